#include "Tuner.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <system_error>

#include "CurveCells.h"
#include "DriveDifferences.h"
#include "FileBytes.h"
#include "ReportData.h"
#include "VehicleDrive.h"
#include "VehicleTables.h"
#include "config/ConfigText.h"
#include "config/NotchTable.h"
#include "platform/FileSystem.h"
#include "platform/WideText.h"
#include "sound/SoundSystem.h"

namespace camcab::tune {
namespace {

namespace fs = std::filesystem;

// Each stage's curve (c0..c10), the lower curve the current must be above (if any), and the
// curve that ends the stage in the frame it is met (if any) with its window: a current met by
// both in one frame reaches the stage and leaves it at once, so it is never told. (The
// transition ends stage A in the frame it is set only after a frame without current.)
struct StageCurve {
    size_t curve;
    std::optional<size_t> below;
    std::optional<size_t> ending;
    double endingWindowA;
};
constexpr StageCurve kStageCurves[] = {{1, 0, std::nullopt, 0.0},
                                       {2, std::nullopt, std::nullopt, 0.0},
                                       {4, 3, 5, 2.0},
                                       {7, 6, 8, 2.0},
                                       {10, std::nullopt, std::nullopt, 0.0}};

// At most this many of a stage's nearest approaches are tried, each at other table rows.
constexpr size_t kMostTries = 8;
// At most this many drives in one search: a 10-minute recording drives in about a quarter of a
// second.
constexpr int kMostDrives = 64;

// A cell's new text: to a tenth of an ampere, without a trailing ".0".
std::string CellText(double valueA) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", std::round(valueA * 10.0) / 10.0);
    std::string cell = text;
    if (cell.size() > 2 && cell.compare(cell.size() - 2, 2, ".0") == 0) {
        cell.resize(cell.size() - 2);
    }
    return cell == "-0" ? "0" : cell;
}

std::optional<double> Number(const std::optional<std::string>& cell) {
    if (!cell) {
        return std::nullopt;
    }
    const std::optional<float> value = config::ToFloat(platform::DecodeUtf8(*cell));
    return value ? std::optional<double>(*value) : std::nullopt;
}

// Copies the vehicle folder but its start-up log. False when any of it could not be copied: a
// drive through a folder without some of its files (a sound, a table) would tell other stages.
bool CopyFolder(const fs::path& from, const fs::path& to) {
    static const std::string logName = platform::EncodeUtf8(sound::kStartUpLogName);
    std::error_code error;
    fs::create_directories(to, error);
    auto walk = fs::recursive_directory_iterator(from, error);
    for (; !error && walk != fs::recursive_directory_iterator(); walk.increment(error)) {
        const fs::path relative = walk->path().lexically_relative(from);
        const std::u8string name = relative.filename().u8string();
        if (walk->is_directory(error)) {
            fs::create_directories(to / relative, error);
        } else if (!error && std::string(name.begin(), name.end()) != logName) {
            fs::copy_file(walk->path(), to / relative, fs::copy_options::overwrite_existing, error);
        }
    }
    return !error;
}

// The curves of one camshaft as the plug-in reads them: the power camshaft's c0..c10, or the
// regenerating camshaft's brake curves (the first and the last are compared with the current).
class Curves {
  public:
    Curves(const config::NotchTable& notch, bool brake) : notch_(notch), brake_(brake) {}

    size_t Count() const {
        return brake_ ? notch_.BrakeCurveColumns.size() : notch_.PowerCurveColumns.size();
    }
    size_t Column(size_t k) const {
        return static_cast<size_t>(brake_ ? notch_.BrakeCurveColumns[k]
                                          : notch_.PowerCurveColumns[k]);
    }
    const config::Curve& Curve(size_t k) const {
        return brake_ ? notch_.BrakeCurrentCurves[k] : notch_.PowerCurrentCurves[k];
    }
    // The curve's current at the speed, as the camshaft compares it.
    double At(size_t k, float speedKmh) const {
        const float absSpeedKmh = std::fabs(speedKmh);
        return brake_ ? config::InterpolateCurve(absSpeedKmh, notch_.BrakeCurrentCurves[k])
                      : config::PowerCurrentsAt(notch_, absSpeedKmh)[k];
    }
    // The columns whose cells a move of curve k's cell must not pass, with the side they
    // stand on: for power, the curves beside it of those compared (c9 is not, so c8 and c10 are
    // beside each other); for braking, the camshaft's steps beside its step, so that the table
    // keeps its steps in order.
    std::vector<std::pair<size_t, int>> Beside(size_t k) const {
        std::vector<std::pair<size_t, int>> beside;
        for (const int side : {-1, 1}) {
            if (brake_) {
                const size_t column = Column(k) + static_cast<size_t>(side);
                if (column > 0) {
                    beside.push_back({column, side});
                }
                continue;
            }
            size_t next = k + static_cast<size_t>(side);
            next = next == 9 ? next + static_cast<size_t>(side) : next;
            const bool outermost = (k == 0 && side < 0) || (k == 10 && side > 0);
            if (outermost || next >= Count() || Column(next) == Column(k)) {
                continue;
            }
            beside.push_back({Column(next), side});
        }
        return beside;
    }

  private:
    const config::NotchTable& notch_;
    const bool brake_;
};

// Moves curve `k`'s cell at table line `line` by `deltaA`, to a tenth of an ampere, and returns
// its new text (the old where the line has no number there). Nothing where the move would take
// the cell past a cell beside it at that line that it was not past before.
std::optional<std::string> MoveCell(TableText& table, const Curves& curves, size_t k, size_t line,
                                    double deltaA) {
    const size_t column = curves.Column(k);
    const std::optional<std::string> cell = table.Cell(line, column);
    const std::optional<double> old = Number(cell);
    if (!old) {
        return cell.value_or("");
    }
    const std::string after = CellText(*old + deltaA);
    const double value = *Number(std::optional<std::string>(after));
    for (const auto& [besideColumn, side] : curves.Beside(k)) {
        const std::optional<double> next = Number(table.Cell(line, besideColumn));
        if (next && (*next - *old) * side >= 0.0 && (*next - value) * side < 0.0) {
            return std::nullopt;
        }
    }
    table.SetCell(line, column, after);
    return after;
}

// Moves curve `k`'s cell at `line` as MoveCell does and, where its text changes, records the
// change with `why`. False where the move would pass a cell beside it.
bool MoveRecorded(Tuner::Table& table, const Curves& curves, size_t k, size_t line, double deltaA,
                  const std::string& why, std::vector<CellChange>& changes) {
    const size_t column = curves.Column(k);
    const std::optional<std::string> was = table.text->Cell(line, column);
    const std::optional<std::string> after = MoveCell(*table.text, curves, k, line, deltaA);
    if (after && *after != was.value_or("")) {
        table.changed = true;
        changes.push_back(
            {platform::EncodeUtf8(table.file), line + 1, column + 1, *was, *after, why});
    }
    return after.has_value();
}

// Per frame, whether a step sound (shindan1, shindan2, or reverser2 as the brake camshaft's run)
// may be playing as the camshaft looks at the first brake curve: only then can it be met. A sound
// that ran out is told so at the start of the frame in which it no longer plays; a start or stop
// told in a frame takes effect as that frame ends. The two reverser2 voices (the one-shot and
// the brake camshaft's run) share their file, so both are counted; a frame where either plays
// is taken as one where the run may play.
std::vector<bool> StepSoundPlaying(const run::DriveTrace& trace) {
    static const char* const kStepSounds[] = {"kamujiku\\shindan1.wav", "kamujiku\\shindan2.wav",
                                              "kamujiku\\reverser2.wav"};
    const std::vector<run::TraceFrame>& frames = trace.Frames();
    std::vector<bool> playing(frames.size(), false);
    int voices[std::size(kStepSounds)] = {};
    const int mostVoices[std::size(kStepSounds)] = {1, 1, 2};
    // Applies the frame's events that are `ends` (or the others), sound by sound.
    const auto apply = [&](const run::TraceFrame& frame, bool ends) {
        for (std::string_view event : run::FrameEvents(frame.events)) {
            for (size_t i = 0; i < std::size(kStepSounds); ++i) {
                const std::string prefix = std::string("sound ") + kStepSounds[i] + " ";
                if (event.substr(0, prefix.size()) != prefix ||
                    (event.substr(prefix.size()) == "end") != ends) {
                    continue;
                }
                voices[i] = event.substr(prefix.size()) == "start"
                                ? std::min(mostVoices[i], voices[i] + 1)
                                : std::max(0, voices[i] - 1);
            }
        }
    };
    for (size_t f = 0; f < frames.size(); ++f) {
        apply(frames[f], true);
        playing[f] = std::any_of(std::begin(voices), std::end(voices), [](int n) { return n > 0; });
        apply(frames[f], false);
    }
    return playing;
}

// The first frame before `beforeS` in which the drive told `stage`.
std::optional<size_t> FirstTold(const run::DriveTrace& trace, std::string_view stage,
                                double beforeS) {
    const std::vector<run::TraceFrame>& frames = trace.Frames();
    for (size_t f = 0; f < frames.size() && frames[f].state.Time / 1000.0 < beforeS; ++f) {
        for (std::string_view event : run::FrameEvents(frames[f].events)) {
            if (event == stage) {
                return f;
            }
        }
    }
    return std::nullopt;
}

// The table of a current file that the notch table names, when the search may change it: a
// file inside the vehicle folder (a name that climbs out of it, "..", could name a file of the
// author's beside it) that no other table reads. Otherwise nothing, with the reason.
std::optional<Tuner::Table> OpenTable(const std::wstring& folder, const std::wstring& file,
                                      bool sharedWithAnother, const std::string& what,
                                      std::string& whyNot) {
    const fs::path relative =
        file.compare(0, folder.size(), folder) == 0
            ? host::NativePath(platform::NativeSeparators(file.substr(folder.size())))
                  .lexically_normal()
            : fs::path();
    if (file.empty() || relative.empty() || relative.is_absolute() ||
        *relative.begin() == fs::path("..")) {
        whyNot = "the notch table names no " + what + " file inside the vehicle folder";
        return std::nullopt;
    }
    if (sharedWithAnother) {
        whyNot = "the " + what +
                 " file is also read as another of the notch table's files: a "
                 "change would move those too";
        return std::nullopt;
    }
    Tuner::Table table;
    table.file = platform::WideFromNativeName(relative.string());
    table.text = TableText::Read(host::NativePath(platform::NativeSeparators(file)));
    if (!table.text) {
        whyNot = "cannot read " + platform::EncodeUtf8(table.file);
        return std::nullopt;
    }
    if (!table.text->IsUtf8()) {
        // A change could not keep the plug-in's reading of the rest: it stops at the first
        // byte that is not UTF-8.
        whyNot = platform::EncodeUtf8(table.file) + " is not UTF-8 throughout";
        return std::nullopt;
    }
    return table;
}

// Whether two of the notch table's file names name one file (spelt alike, or the same file on
// disk however spelt).
bool SameFile(const std::wstring& a, const std::wstring& b) {
    if (a.empty() || b.empty()) {
        return false;
    }
    std::error_code error;
    return a == b || fs::equivalent(host::NativePath(platform::NativeSeparators(a)),
                                    host::NativePath(platform::NativeSeparators(b)), error);
}

// How often the frames from `first` up to `end` told `stage`.
size_t TimesTold(const run::DriveTrace& trace, size_t first, size_t end, std::string_view stage) {
    size_t told = 0;
    for (size_t f = first; f < end && f < trace.Frames().size(); ++f) {
        for (std::string_view event : run::FrameEvents(trace.Frames()[f].events)) {
            told += event == stage ? 1 : 0;
        }
    }
    return told;
}

int Sign(float currentA) {
    return !std::isfinite(currentA) ? 0 : currentA > 0.0f ? 1 : currentA < 0.0f ? -1 : 0;
}

}  // namespace

DriveSummary Summarize(const run::DriveTrace& trace) {
    DriveSummary summary;
    summary.stageCounts.assign(std::size(kTunedStages), 0);
    size_t powerCycles = 0;
    size_t regenerations = 0;
    int previousSign = 0;
    unsigned latched = 0;  // the power stages told since the last frame at zero current
    const std::vector<run::TraceFrame>& frames = trace.Frames();
    for (size_t f = 0; f < frames.size(); ++f) {
        const run::TraceFrame& frame = frames[f];
        const int sign = Sign(frame.state.Current);
        if (sign != 0 && sign != previousSign) {
            DriveCycle cycle;
            cycle.regenerating = sign < 0;
            cycle.firstFrame = f;
            cycle.carried = sign > 0 ? latched : 0;
            cycle.label = (cycle.regenerating ? "regeneration " + std::to_string(++regenerations)
                                              : "power cycle " + std::to_string(++powerCycles)) +
                          " at " + run::ClockText(frame.state.Time / 1000.0);
            summary.cycles.push_back(cycle);
        }
        previousSign = sign;
        if (sign != 0) {
            summary.cycles.back().endFrame = f + 1;
        }
        for (std::string_view event : run::FrameEvents(frame.events)) {
            for (size_t s = 0; s < std::size(kTunedStages); ++s) {
                if (event != kTunedStages[s]) {
                    continue;
                }
                ++summary.stageCounts[s];
                if (summary.cycles.empty()) {
                    continue;
                }
                DriveCycle& cycle = summary.cycles.back();
                const unsigned later = ~((2u << s) - 1) & ((1u << kPowerStages) - 1);
                cycle.outOfOrder = cycle.outOfOrder ||
                                   (s < kPowerStages && ((cycle.stages | cycle.carried) & later));
                latched |= s < kPowerStages ? 1u << s : 0u;
                cycle.stages |= 1u << s;
                ++cycle.counts[s];
                cycle.told += " " + std::string(event);
            }
        }
        latched = frame.state.Current == 0.0f ? 0 : latched;  // reset as the frame ends
        summary.heldFrames += frame.driver.Power > 0 && frame.returned.Power == 0 ? 1 : 0;
    }
    return summary;
}

bool KeepsEveryStage(const DriveSummary& before, const DriveSummary& after,
                     std::optional<size_t> except, size_t exceptBefore) {
    if (after.heldFrames > before.heldFrames || after.cycles.size() != before.cycles.size()) {
        return false;
    }
    for (size_t c = 0; c < before.cycles.size(); ++c) {
        const DriveCycle& was = before.cycles[c];
        const unsigned mask = except && was.firstFrame < exceptBefore ? ~(1u << *except) : ~0u;
        if (((was.stages | was.carried) & mask &
             ~(after.cycles[c].stages | after.cycles[c].carried)) != 0) {
            return false;
        }
    }
    return true;
}

Tuner::Tuner(std::wstring folder, std::wstring pluginName, scenario::Scenario drive,
             run::DriveTrace before, fs::path scratch)
    : folder_(std::move(folder)),
      tablesFolder_(folder_),
      pluginName_(std::move(pluginName)),
      drive_(std::move(drive)),
      scratch_(std::move(scratch)),
      trace_(std::move(before)),
      summary_(Summarize(trace_)),
      stepSound_(StepSoundPlaying(trace_)) {}

bool Tuner::WriteTables(const fs::path& folder) const {
    for (const Table* table : {&power_, &brake_}) {
        if (table->changed &&
            !table->text->Write(folder /
                                host::NativePath(platform::NativeSeparators(table->file)))) {
            return false;
        }
    }
    return true;
}

std::optional<run::DriveTrace> Tuner::Drive(const Table& power, const Table& brake) {
    if (tries_ >= kMostDrives) {
        return std::nullopt;
    }
    const fs::path tryFolder = scratch_ / ("try-" + std::to_string(++tries_));
    lastTry_ = platform::WideFromNativeName(tryFolder.string() + "/");
    if (!CopyFolder(host::NativePath(folder_), tryFolder)) {
        return std::nullopt;
    }
    for (const Table* table : {&power, &brake}) {
        if (table->changed &&
            !table->text->Write(tryFolder /
                                host::NativePath(platform::NativeSeparators(table->file)))) {
            return std::nullopt;
        }
    }
    run::PlayOptions quiet;
    quiet.program = "camcab-tune";
    quiet.narrate = false;
    const std::wstring plugin =
        platform::AppendPath(platform::WideFromNativeName(tryFolder.string() + "/"), pluginName_);
    run::TracedDrive drive = run::DriveTraced(plugin, quiet, drive_);
    if (drive.status != 0) {
        return std::nullopt;
    }
    return std::move(drive.trace);
}

bool Tuner::OnTopNotch(const run::TraceFrame& frame) const {
    const int32_t brakeNotch = frame.returned.Brake;
    return topNotch_ > 0 && brakeNotch >= topNotch_ && brakeNotch <= drive_.vehicle.BrakeNotches;
}

void Tuner::Keep(Table power, Table brake, run::DriveTrace tuned, std::vector<CellChange> changes) {
    power_ = std::move(power);
    brake_ = std::move(brake);
    trace_ = std::move(tuned);
    summary_ = Summarize(trace_);
    stepSound_ = StepSoundPlaying(trace_);
    tablesFolder_ = lastTry_;
    changes_.insert(changes_.end(), changes.begin(), changes.end());
}

bool Tuner::Tune(const std::vector<StageMark>& marks) {
    const run::VehicleTables tables = run::ReadVehicleTables(folder_);
    const config::NotchTable& notch = tables.notchTable;
    std::string whyNot;
    // A current table that another of the notch table's files also names is left alone.
    const auto shared = [&notch](const std::wstring& file) {
        int names = 0;
        for (const std::wstring* other :
             {&notch.powerParamsFile, &notch.powerCurrentFile, &notch.brakeParamsFile,
              &notch.brakeCurrentFile, &notch.noLoadCurrentFile}) {
            names += SameFile(file, *other) ? 1 : 0;
        }
        return names > 1;
    };
    std::optional<Table> power = OpenTable(folder_, notch.powerCurrentFile,
                                           shared(notch.powerCurrentFile), "power current", whyNot);
    if (!power) {
        findings_.push_back(whyNot + ": nothing is tuned");
        return false;
    }
    power_ = *power;
    std::string brakeWhyNot;
    std::optional<Table> brake =
        OpenTable(folder_, notch.brakeCurrentFile, shared(notch.brakeCurrentFile), "brake current",
                  brakeWhyNot);
    if (brake) {
        brake_ = *brake;
    }
    RepairSwappedColumns(notch);

    // Each power stage that never fired, and each marked one.
    for (size_t s = 0; s < kPowerStages; ++s) {
        std::optional<double> markS;
        for (const StageMark& mark : marks) {
            if (mark.stage == kTunedStages[s]) {
                markS = mark.timeS;
            }
        }
        if (!markS && summary_.stageCounts[s] > 0) {
            findings_.push_back(std::string(kTunedStages[s]) + ": fires already");
            continue;
        }
        unmet_ += TuneStage({s, std::nullopt, markS}) ? 0 : 1;
    }

    // A power cycle runs through its stages in order: one that told a later stage passed
    // each before it. (Stage A reached and left for the transition in one frame is told only
    // as the transition; a stage still latched from before is not told again.)
    const size_t cycleCount = summary_.cycles.size();
    for (size_t c = 0; c < cycleCount; ++c) {
        for (size_t s = 0; s < kPowerStages; ++s) {
            const DriveCycle cycle = summary_.cycles[c];
            const unsigned passed = cycle.stages | cycle.carried;
            const unsigned later = ~((2u << s) - 1) & ((1u << kPowerStages) - 1);
            if (cycle.regenerating || (passed & (1u << s)) != 0 || (cycle.stages & later) == 0 ||
                (s == 0 && (passed & 2u) != 0)) {
                continue;
            }
            unmet_ += TuneStage({s, c, std::nullopt}) ? 0 : 1;
        }
    }
    for (const DriveCycle& cycle : summary_.cycles) {
        if (cycle.outOfOrder) {
            findings_.push_back(cycle.label + ": stages told out of the camshaft's order (" +
                                cycle.told.substr(1) + "); no change is proposed for the order");
        }
    }

    // Each marked stage of the regenerating camshaft.
    std::vector<bool> marked(std::size(kTunedStages), false);
    for (const StageMark& mark : marks) {
        for (size_t s = kPowerStages; s < std::size(kTunedStages); ++s) {
            if (mark.stage == kTunedStages[s]) {
                marked[s] = true;
                if (!brake) {
                    findings_.push_back(mark.stage + ": " + brakeWhyNot +
                                        "; nothing is tuned for it");
                }
                unmet_ += brake && TuneStage({s, std::nullopt, mark.timeS}) ? 0 : 1;
            }
        }
    }

    // The regenerating camshaft runs to its last step on the top brake notch (the notch its
    // brake curves require): on the way it meets the first brake curve while it steps, and it
    // holds at the last. A hold still on from the regeneration before, with only frames without
    // current between and the brake applied throughout, is not told again.
    topNotch_ = static_cast<int32_t>(notch.BrakeTopNotch);
    bool anyOnTop = false;
    std::vector<std::string> silent;  // regenerations on the top notch without a step sound
    std::vector<bool> onTop(cycleCount, false);
    // Within 10 A of the last brake curve: the camshaft holds there.
    const auto atLastCurve = [](const run::TraceFrame& frame) {
        return Sign(frame.state.Current) < 0 &&
               std::fabs(std::fabs(frame.state.Current) - frame.brakeLastA) < 10.0f;
    };
    for (size_t c = 0; c < cycleCount; ++c) {
        const DriveCycle cycle = summary_.cycles[c];
        const std::vector<run::TraceFrame>& frames = trace_.Frames();
        bool stepping = false;
        for (size_t f = cycle.firstFrame; f < cycle.endFrame; ++f) {
            onTop[c] = onTop[c] || (cycle.regenerating && OnTopNotch(frames[f]));
            stepping = stepping || (stepSound_[f] && Sign(frames[f].state.Current) < 0);
        }
        // The hold carries over when the regeneration before ended at the last curve, the
        // frames between had no current and left the handles alone (a power notch, the brake
        // or the reverser taken off releases it), and this one begins there too.
        bool carried = c > 0 && cycle.regenerating && atLastCurve(frames[cycle.firstFrame]);
        if (carried) {
            const size_t lastFrame = summary_.cycles[c - 1].endFrame - 1;
            carried = summary_.cycles[c - 1].regenerating && atLastCurve(frames[lastFrame]);
            for (size_t f = lastFrame + 1; carried && f <= cycle.firstFrame; ++f) {
                carried = frames[f].driver.Brake != 0 && frames[f].driver.Reverser != 0 &&
                          frames[f].driver.Power == frames[lastFrame].driver.Power;
            }
        }
        if (!onTop[c]) {
            continue;
        }
        anyOnTop = true;
        for (size_t s = kPowerStages; s < std::size(kTunedStages); ++s) {
            if ((summary_.cycles[c].stages & (1u << s)) != 0 || marked[s]) {
                continue;
            }
            if (s == kPowerStages + 1 && carried) {
                findings_.push_back(std::string(kTunedStages[s]) + " in " + cycle.label +
                                    ": held on from the regeneration before, so not told again");
                continue;
            }
            if (!brake) {
                findings_.push_back(std::string(kTunedStages[s]) + " in " + cycle.label + ": " +
                                    brakeWhyNot + "; nothing is tuned for it");
                ++unmet_;
            } else if (s == kPowerStages && !stepping) {
                silent.push_back(cycle.label);
            } else {
                unmet_ += TuneStage({s, c, std::nullopt}) ? 0 : 1;
            }
        }
    }
    if (!silent.empty()) {
        findings_.push_back(
            std::string(kTunedStages[kPowerStages]) + " in " + silent.front() +
            (silent.size() > 1 ? " and " + std::to_string(silent.size() - 1) + " more" : "") +
            ": no step sound plays while it regenerates, and the camshaft looks at the first "
            "brake curve only while one does; no change of the tables can make it fire, and it "
            "is not counted as a stage that does not fire");
    }
    // On the top brake notch the camshaft stays on its last step: a hold that lets go and is
    // taken again within one regeneration is told twice. The last brake curve then moves to the
    // current where it let go, until it holds once.
    for (size_t c = 0; c < cycleCount && brake; ++c) {
        const DriveCycle cycle = summary_.cycles[c];
        while (onTop[c] &&
               TimesTold(trace_, cycle.firstFrame, cycle.endFrame, kTunedStages[kPowerStages + 1]) >
                   1 &&
               TuneStage({kPowerStages + 1, c, std::nullopt, true})) {
        }
    }
    if (!anyOnTop) {
        findings_.push_back(
            "brake current near, camshaft hold: no regeneration in this drive is on "
            "the top brake notch (" +
            std::to_string(topNotch_) + "), so neither is looked for");
    }
    if (tries_ >= kMostDrives) {
        findings_.push_back("the search stopped after " + std::to_string(kMostDrives) +
                            " drives; what was not tried is said above");
    }
    return true;
}

void Tuner::RepairSwappedColumns(const config::NotchTable& notch) {
    std::vector<size_t> columns;
    for (size_t k = 0; k < notch.PowerCurveColumns.size() && k < config::kPowerCurrentValues; ++k) {
        const size_t column = static_cast<size_t>(notch.PowerCurveColumns[k]);
        if (k != 9 && column != 0 &&
            std::find(columns.begin(), columns.end(), column) == columns.end()) {
            columns.push_back(column);
        }
    }
    std::vector<size_t> rows;
    for (size_t line = 1; line < power_.text->LineCount(); ++line) {  // the first is the heading
        if (Number(power_.text->Cell(line, 0))) {
            rows.push_back(line);
        }
    }
    // Rows out of order with columns `a` and `b` exchanged (none exchanged: a == b).
    const auto outOfOrder = [&](size_t a, size_t b) {
        size_t count = 0;
        for (size_t line : rows) {
            std::optional<double> previous;
            bool ordered = true;
            for (size_t column : columns) {
                const size_t read = column == a ? b : column == b ? a : column;
                const std::optional<double> value = Number(power_.text->Cell(line, read));
                if (value && previous && *value < *previous) {
                    ordered = false;
                }
                previous = value ? value : previous;
            }
            count += ordered ? 0 : 1;
        }
        return count;
    };
    if (outOfOrder(0, 0) == 0) {
        return;
    }
    for (size_t i = 0; i < columns.size(); ++i) {
        for (size_t j = i + 1; j < columns.size(); ++j) {
            if (outOfOrder(columns[i], columns[j]) != 0) {
                continue;
            }
            Table table = power_;
            table.changed = true;
            std::vector<CellChange> changes;
            for (size_t line : rows) {
                const std::optional<std::string> a = power_.text->Cell(line, columns[i]);
                const std::optional<std::string> b = power_.text->Cell(line, columns[j]);
                if (!a || !b || *a == *b) {
                    continue;
                }
                table.text->SetCell(line, columns[i], *b);
                table.text->SetCell(line, columns[j], *a);
                const std::string why = "columns " + std::to_string(columns[i]) + " and " +
                                        std::to_string(columns[j]) +
                                        " exchanged: their currents stood in each other's place, "
                                        "out of the curves' order";
                changes.push_back(
                    {platform::EncodeUtf8(power_.file), line + 1, columns[i] + 1, *a, *b, why});
                changes.push_back(
                    {platform::EncodeUtf8(power_.file), line + 1, columns[j] + 1, *b, *a, why});
            }
            if (changes.empty()) {
                continue;
            }
            const std::optional<run::DriveTrace> tuned = Drive(table, brake_);
            if (!tuned) {
                continue;
            }
            const DriveSummary before = summary_;
            const DriveSummary after = Summarize(*tuned);
            bool more = false;
            for (size_t s = 0; s < kPowerStages; ++s) {
                more = more || after.stageCounts[s] > before.stageCounts[s];
            }
            if (KeepsEveryStage(before, after) && more) {
                Keep(table, brake_, *tuned, changes);
                findings_.push_back("columns " + std::to_string(columns[i]) + " and " +
                                    std::to_string(columns[j]) +
                                    " of the power current table exchanged back");
                return;
            }
        }
    }
}

bool Tuner::TuneStage(const StageTarget& target) {
    const size_t stage = target.stage;
    const std::optional<double>& markS = target.markS;
    const bool braking = stage >= kPowerStages;
    const std::string name = kTunedStages[stage];
    const std::vector<run::TraceFrame>& frames = trace_.Frames();
    const DriveSummary before = summary_;
    const std::string where = target.cycle ? " in " + before.cycles[*target.cycle].label : "";
    if (tries_ >= kMostDrives) {
        findings_.push_back(name + where + ": not tried: the search's drives ran out");
        return false;
    }
    // The tables as they stand (with the changes made so far), as the plug-in reads them.
    const run::VehicleTables tables = run::ReadVehicleTables(tablesFolder_);
    const Curves curves(tables.notchTable, braking);
    const size_t last = curves.Count() == 0 ? 0 : curves.Count() - 1;
    const StageCurve stageCurve =
        braking ? StageCurve{stage == kPowerStages ? 0 : last, std::nullopt, std::nullopt, 0.0}
                : kStageCurves[stage];
    const std::string curveName =
        braking ? (stage == kPowerStages ? "the first brake curve" : "the last brake curve")
                : "c" + std::to_string(stageCurve.curve);
    if (stageCurve.curve >= curves.Count()) {
        findings_.push_back(name + where + ": the table gives no " +
                            (braking ? "brake curves" : curveName) +
                            ", so no cell of it can be changed");
        return false;
    }
    if (stageCurve.ending && *stageCurve.ending < curves.Count() &&
        curves.Column(*stageCurve.ending) == curves.Column(stageCurve.curve)) {
        findings_.push_back(name + ": " + curveName + " and c" +
                            std::to_string(*stageCurve.ending) +
                            " read the same column, so the stage is left in the frame it is "
                            "reached and never told; no cell change can part them");
        return false;
    }
    // Stage A is set only before the transition (which clears it in the frame it happens) until
    // a frame at zero current ends the camshaft's run.
    std::vector<bool> afterTransition(frames.size(), false);
    bool transitionTold = false;
    for (size_t f = 0; f < frames.size(); ++f) {
        transitionTold = transitionTold && !(f > 0 && frames[f - 1].state.Current == 0.0f);
        for (std::string_view event : run::FrameEvents(frames[f].events)) {
            transitionTold = transitionTold || event == "transition";
        }
        afterTransition[f] = transitionTold;
    }
    const auto currentAt = [&frames](size_t f) {
        return static_cast<double>(std::fabs(frames[f].state.Current));
    };
    const auto gap = [&](size_t f) {
        return std::fabs(currentAt(f) - curves.At(stageCurve.curve, frames[f].state.Speed));
    };
    // A stage kept once: the frames between its first two tellings on the top brake notch, where
    // the current was out of the curve's window (10 A).
    size_t first = target.cycle ? before.cycles[*target.cycle].firstFrame : 0;
    size_t end = target.cycle ? before.cycles[*target.cycle].endFrame : frames.size();
    const size_t toldBefore = TimesTold(trace_, first, end, name);
    size_t firstToldBefore = end;
    if (target.once) {
        std::vector<size_t> told;
        for (size_t f = first; f < end; ++f) {
            for (std::string_view event : run::FrameEvents(frames[f].events)) {
                told.insert(told.end(), event == name ? 1 : 0, f);
            }
        }
        if (told.size() < 2) {
            return false;
        }
        firstToldBefore = told[0];
        first = told[0] + 1;
        end = told[1];
    }
    // The candidate frames: where a mark says, or in the cycle (or the whole drive) the frames
    // with the camshaft's current nearest the curve first; not where the curve that ends the
    // stage would meet the current too.
    std::vector<size_t> candidates;
    for (size_t f = first; f < end; ++f) {
        const bool ends =
            stageCurve.ending &&
            std::fabs(currentAt(f) - curves.At(*stageCurve.ending, frames[f].state.Speed)) <
                stageCurve.endingWindowA + 0.5;
        // The first brake curve is looked at only while a step sound plays, and above 11 A;
        // the hold where the camshaft can be on its last step: on the top notch.
        const bool camshaftsCurrent =
            braking
                ? Sign(frames[f].state.Current) < 0 && (stage != kPowerStages || stepSound_[f]) &&
                      (stage == kPowerStages || markS || OnTopNotch(frames[f]))
                : Sign(frames[f].state.Current) > 0;
        if (camshaftsCurrent && !ends && !(stage == 0 && afterTransition[f]) &&
            (!braking || stage != kPowerStages || currentAt(f) > 11.0) &&
            (!target.once || gap(f) >= 10.0) &&
            (!markS || std::fabs(frames[f].state.Time / 1000.0 - *markS) < 0.5)) {
            candidates.push_back(f);
        }
    }
    if (candidates.empty() && target.once) {
        findings_.push_back(name + where +
                            ": let go and was taken again, but not where the current left the "
                            "curve on the top brake notch; no change proposed");
        return false;
    }
    if (candidates.empty()) {
        const std::string never =
            braking
                ? ": the current never regenerates there while the camshaft looks at " + curveName
                : ": the current never powers in this drive";
        findings_.push_back(name + where +
                            (markS ? std::string(braking ? ": the current does not regenerate at "
                                                         : ": the current does not power at ") +
                                         run::ClockText(*markS)
                                   : never) +
                            ", so no change of the curves can make it fire there");
        return false;
    }
    const auto nearer = [&](size_t x, size_t y) {
        if (markS) {
            return std::fabs(frames[x].state.Time / 1000.0 - *markS) <
                   std::fabs(frames[y].state.Time / 1000.0 - *markS);
        }
        return gap(x) < gap(y);
    };
    std::stable_sort(candidates.begin(), candidates.end(), nearer);
    const size_t nearest = candidates.front();
    std::vector<std::vector<PointRef>> tried;
    std::string markBlocked;  // why a marked stage cannot be kept from firing before its mark
    for (size_t f : candidates) {
        if (tried.size() >= kMostTries || tries_ >= kMostDrives) {
            break;
        }
        const run::TraceFrame& frame = frames[f];
        const float speedKmh = std::fabs(frame.state.Speed);
        const std::vector<PointRef> around = PointsAround(curves.Curve(stageCurve.curve), speedKmh);
        if (around.empty() || std::find(tried.begin(), tried.end(), around) != tried.end()) {
            continue;
        }
        tried.push_back(around);
        const double currentA = currentAt(f);
        // The curve moves by its gap to the current; a lower curve in the way moves to 1 A
        // below the current.
        std::vector<std::pair<size_t, double>> moves = {
            {stageCurve.curve, currentA - curves.At(stageCurve.curve, speedKmh)}};
        if (stageCurve.below && curves.At(*stageCurve.below, speedKmh) > currentA - 0.5) {
            moves.push_back(
                {*stageCurve.below, currentA - 1.0 - curves.At(*stageCurve.below, speedKmh)});
        }
        Table power = power_;
        Table brake = brake_;
        Table& table = braking ? brake : power;
        std::vector<CellChange> changes;
        bool ordered = true;
        for (const auto& [curve, deltaA] : moves) {
            const size_t column = curves.Column(curve);
            if (column == 0) {
                ordered = false;  // the speed column: a change would move every curve's speed
                continue;
            }
            for (const PointRef& point : PointsAround(curves.Curve(curve), speedKmh)) {
                const std::optional<size_t> found = LineOf(*table.text, column, point);
                if (!found) {
                    continue;
                }
                const std::string curveText = braking ? curveName : "c" + std::to_string(curve);
                char why[240];
                std::snprintf(why, sizeof why,
                              "%s, %s: the %s current came to %.1f A at %.1f km/h (%s), "
                              "%.1f A from it",
                              curveText.c_str(),
                              curve == stageCurve.curve ? name.c_str() : "moved below the current",
                              braking ? "regenerative" : "powering", currentA,
                              static_cast<double>(speedKmh),
                              run::ClockText(frame.state.Time / 1000.0).c_str(), std::fabs(deltaA));
                ordered =
                    MoveRecorded(table, curves, curve, *found, deltaA, why, changes) && ordered;
            }
        }
        if (!ordered || (changes.empty() && !markS)) {
            continue;
        }
        std::optional<run::DriveTrace> tuned = Drive(power, brake);
        // A marked stage must not fire before its mark: where it still does, at other table
        // rows than the mark's, the curve moves there to just outside the window in which the
        // camshaft takes it as met (a few times).
        for (int away = 0; markS && tuned && away < 3; ++away) {
            const std::optional<size_t> early = FirstTold(*tuned, name, *markS - 0.5);
            if (!early) {
                break;
            }
            const run::TraceFrame& at = tuned->Frames()[*early];
            const run::VehicleTables moved = run::ReadVehicleTables(lastTry_);
            const float earlySpeedKmh = std::fabs(at.state.Speed);
            // Just outside the window in which the camshaft takes the curve as met.
            const double awayA = braking ? 11.0 : 3.0;
            const double deltaA =
                std::fabs(at.state.Current) + awayA -
                Curves(moved.notchTable, braking).At(stageCurve.curve, earlySpeedKmh);
            const size_t column = curves.Column(stageCurve.curve);
            bool apart = true;
            for (const PointRef& point : PointsAround(
                     Curves(moved.notchTable, braking).Curve(stageCurve.curve), earlySpeedKmh)) {
                const std::optional<size_t> line = LineOf(*table.text, column, point);
                // The mark's own rows stay.
                apart = apart && std::find(around.begin(), around.end(), point) == around.end();
                if (!apart) {
                    char why[200];
                    std::snprintf(why, sizeof why,
                                  "it fires at %s (%.1f km/h), before its mark, where the curve "
                                  "takes its value from the same table rows as at the mark: no "
                                  "cell change can part the two",
                                  run::ClockText(at.state.Time / 1000.0).c_str(),
                                  static_cast<double>(earlySpeedKmh));
                    markBlocked = why;
                }
                if (!apart || !line) {
                    continue;
                }
                char why[240];
                std::snprintf(why, sizeof why,
                              "%s, %s: moved %.0f A above the current at %.1f km/h (%s), where "
                              "the stage fired before its mark",
                              curveName.c_str(), name.c_str(), awayA,
                              static_cast<double>(earlySpeedKmh),
                              run::ClockText(at.state.Time / 1000.0).c_str());
                apart = MoveRecorded(table, curves, stageCurve.curve, *line, deltaA, why, changes);
            }
            tuned = apart ? Drive(power, brake) : std::nullopt;
        }
        if (!tuned) {
            continue;
        }
        const DriveSummary after = Summarize(*tuned);
        bool fired = target.cycle ? (after.cycles[*target.cycle].stages & (1u << stage)) != 0
                                  : after.stageCounts[stage] > 0;
        if (target.once) {
            // Told fewer times, and taken no later than before.
            const DriveCycle& cycle = after.cycles[*target.cycle];
            fired = fired &&
                    TimesTold(*tuned, cycle.firstFrame, cycle.endFrame, name) < toldBefore &&
                    TimesTold(*tuned, cycle.firstFrame, firstToldBefore + 1, name) > 0;
        }
        if (markS) {
            fired = false;
            for (const run::TraceFrame& told : tuned->Frames()) {
                for (std::string_view event : run::FrameEvents(told.events)) {
                    fired = fired ||
                            (event == name && std::fabs(told.state.Time / 1000.0 - *markS) < 0.5);
                }
            }
        }
        // A marked stage may cease to fire in the cycles before its mark, where it fired early.
        size_t markFrame = 0;
        while (markS && markFrame < frames.size() &&
               frames[markFrame].state.Time / 1000.0 < *markS - 0.5) {
            ++markFrame;
        }
        if (fired &&
            KeepsEveryStage(before, after, markS ? std::optional<size_t>(stage) : std::nullopt,
                            markFrame)) {
            Keep(power, brake, *tuned, changes);
            findings_.push_back(name + (target.once ? ": kept" : ": made to fire") + where +
                                " by moving " + curveName + " at " + CellText(speedKmh) + " km/h");
            return true;
        }
    }
    if (!markBlocked.empty()) {
        findings_.push_back(name + ": " + markBlocked + "; no change proposed");
        return false;
    }
    char text[400];
    std::snprintf(text, sizeof text,
                  "%s: none of the %zu nearest approaches tried (the nearest: %.1f A from %s at "
                  "%.1f km/h, %s) made it %s without another stage ceasing to fire or the "
                  "power being held longer, with the curves kept in order and apart from the "
                  "curve that ends it; no change proposed",
                  where.c_str(), tried.size(), gap(nearest), curveName.c_str(),
                  static_cast<double>(std::fabs(frames[nearest].state.Speed)),
                  run::ClockText(frames[nearest].state.Time / 1000.0).c_str(),
                  target.once ? "hold once" : "fire");
    findings_.push_back(name + text);
    return false;
}

}  // namespace camcab::tune
