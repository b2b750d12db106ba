#include "Tuner.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <system_error>

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

// The speeds of the two table points the curve's value at `speedKmh` comes from.
std::vector<float> PointsAround(const config::Curve& curve, float speedKmh) {
    if (curve.size() < 2) {
        return curve.empty() ? std::vector<float>{} : std::vector<float>{curve[0].x};
    }
    size_t upper = 1;
    while (upper + 1 < curve.size() && curve[upper].x < speedKmh) {
        ++upper;
    }
    if (curve[upper].x == speedKmh || curve[upper - 1].x == speedKmh ||
        curve[upper].x == curve[upper - 1].x) {
        return {curve[upper].x == speedKmh ? speedKmh : curve[upper].x};
    }
    return {curve[upper - 1].x, curve[upper].x};
}

bool IsPowering(const run::TraceFrame& frame) {
    return frame.state.Current > 0.0f && std::isfinite(frame.state.Current);
}

void CopyFolder(const fs::path& from, const fs::path& to) {
    static const std::string logName = platform::EncodeUtf8(sound::kStartUpLogName);
    std::error_code error;
    fs::create_directories(to, error);
    for (auto walk = fs::recursive_directory_iterator(from, error);
         !error && walk != fs::recursive_directory_iterator(); walk.increment(error)) {
        const fs::path relative = walk->path().lexically_relative(from);
        const std::u8string name = relative.filename().u8string();
        if (walk->is_directory(error)) {
            fs::create_directories(to / relative, error);
        } else if (std::string(name.begin(), name.end()) != logName) {
            fs::copy_file(walk->path(), to / relative, fs::copy_options::overwrite_existing, error);
        }
    }
}

// Moves curve `curve`'s cell at table line `line` by `deltaA`, to a tenth of an ampere, and
// returns its new text (the old where the line has no number there). Nothing where the move
// would take the curve past a curve beside it at that line that it was not past before.
std::optional<std::string> MoveCell(TableText& table, const config::NotchTable& notch, size_t curve,
                                    size_t line, double deltaA) {
    const size_t column = static_cast<size_t>(notch.PowerCurveColumns[curve]);
    const std::optional<std::string> cell = table.Cell(line, column);
    const std::optional<double> old = Number(cell);
    if (!old) {
        return cell.value_or("");
    }
    const std::string after = CellText(*old + deltaA);
    const double value = *Number(std::optional<std::string>(after));
    // The curves beside it (c9 is never compared: c8 and c10 are beside each other).
    for (const int side : {-1, 1}) {
        size_t beside = curve + static_cast<size_t>(side);
        beside = beside == 9 ? beside + static_cast<size_t>(side) : beside;
        if ((curve == 0 && side < 0) || beside >= notch.PowerCurveColumns.size() ||
            notch.PowerCurveColumns[beside] == column) {
            continue;
        }
        const std::optional<double> next =
            Number(table.Cell(line, static_cast<size_t>(notch.PowerCurveColumns[beside])));
        if (next && (*next - *old) * side >= 0.0 && (*next - value) * side < 0.0) {
            return std::nullopt;
        }
    }
    table.SetCell(line, column, after);
    return after;
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

}  // namespace

DriveSummary Summarize(const run::DriveTrace& trace) {
    DriveSummary summary;
    summary.stageCounts.assign(std::size(kTunedStages), 0);
    bool powering = false;
    for (const run::TraceFrame& frame : trace.Frames()) {
        if (IsPowering(frame) && !powering) {
            summary.cycleStages.push_back(0);
            summary.cycleTexts.push_back(run::ClockText(frame.state.Time / 1000.0) + ":");
        }
        powering = IsPowering(frame);
        for (std::string_view event : run::FrameEvents(frame.events)) {
            for (size_t s = 0; s < std::size(kTunedStages); ++s) {
                if (event != kTunedStages[s]) {
                    continue;
                }
                ++summary.stageCounts[s];
                if (!summary.cycleStages.empty()) {
                    summary.cycleStages.back() |= 1u << s;
                    summary.cycleTexts.back() += " " + std::string(event);
                }
            }
        }
        summary.heldFrames += frame.driver.Power > 0 && frame.returned.Power == 0 ? 1 : 0;
    }
    return summary;
}

bool KeepsEveryStage(const DriveSummary& before, const DriveSummary& after,
                     std::optional<size_t> except) {
    if (after.heldFrames > before.heldFrames ||
        after.cycleStages.size() != before.cycleStages.size()) {
        return false;
    }
    const unsigned mask = except ? ~(1u << *except) : ~0u;
    for (size_t c = 0; c < before.cycleStages.size(); ++c) {
        if ((before.cycleStages[c] & mask & ~after.cycleStages[c]) != 0) {
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
      trace_(std::move(before)) {}

std::optional<run::DriveTrace> Tuner::Drive(const TableText& table) {
    const fs::path tryFolder = scratch_ / ("try-" + std::to_string(++tries_));
    lastTry_ = platform::WideFromNativeName(tryFolder.string() + "/");
    CopyFolder(host::NativePath(folder_), tryFolder);
    if (!table.Write(tryFolder / host::NativePath(platform::NativeSeparators(tableFile_)))) {
        return std::nullopt;
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

bool Tuner::Tune(const std::vector<StageMark>& marks) {
    const run::VehicleTables tables = run::ReadVehicleTables(folder_);
    const config::NotchTable& notch = tables.notchTable;
    const std::wstring& file = notch.powerCurrentFile;
    // Only a file inside the vehicle folder is changed (in the copy): a name that climbs out
    // of it ("..") could name a file of the author's beside it.
    const fs::path relative =
        file.compare(0, folder_.size(), folder_) == 0
            ? host::NativePath(platform::NativeSeparators(file.substr(folder_.size())))
                  .lexically_normal()
            : fs::path();
    if (file.empty() || relative.empty() || relative.is_absolute() ||
        *relative.begin() == fs::path("..")) {
        findings_.push_back(
            "the notch table names no power current file inside the vehicle folder: nothing "
            "is tuned");
        return false;
    }
    if (file == notch.brakeCurrentFile || file == notch.noLoadCurrentFile) {
        findings_.push_back(
            "the power current file is also read as the brake current or the "
            "no-load current: a change would move those too; nothing is tuned");
        return false;
    }
    tableFile_ = platform::WideFromNativeName(relative.string());
    table_ = TableText::Read(host::NativePath(platform::NativeSeparators(file)));
    if (!table_) {
        findings_.push_back("cannot read " + platform::EncodeUtf8(tableFile_));
        return false;
    }
    RepairSwappedColumns(notch);
    for (size_t s = 0; s < std::size(kTunedStages); ++s) {
        std::optional<double> markS;
        for (const StageMark& mark : marks) {
            if (mark.stage == kTunedStages[s]) {
                markS = mark.timeS;
            }
        }
        if (!markS && Summarize(trace_).stageCounts[s] > 0) {
            findings_.push_back(std::string(kTunedStages[s]) + ": fires already");
            continue;
        }
        TuneStage(s, markS);
    }
    return true;
}

// The curves' columns in the order of their curves (c0 to c8, then c10), each once. At each table
// row the curves stand in this order: a stage's curve above the one the current must pass
// first. Where rows are out of it and exchanging two columns' cells puts every row back in
// order, the two columns were swapped: the exchange is tried first, and stands when the drive,
// driven again, fires more stages, loses none and holds the power no longer.
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
    for (size_t line = 1; line < table_->LineCount(); ++line) {  // the first is the heading
        if (Number(table_->Cell(line, 0))) {
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
                const std::optional<double> value = Number(table_->Cell(line, read));
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
            TableText table = *table_;
            std::vector<CellChange> changes;
            for (size_t line : rows) {
                const std::optional<std::string> a = table_->Cell(line, columns[i]);
                const std::optional<std::string> b = table_->Cell(line, columns[j]);
                if (!a || !b || *a == *b) {
                    continue;
                }
                table.SetCell(line, columns[i], *b);
                table.SetCell(line, columns[j], *a);
                const std::string why = "columns " + std::to_string(columns[i]) + " and " +
                                        std::to_string(columns[j]) +
                                        " exchanged: their currents stood in each other's place, "
                                        "out of the curves' order";
                changes.push_back(
                    {platform::EncodeUtf8(tableFile_), line + 1, columns[i] + 1, *a, *b, why});
                changes.push_back(
                    {platform::EncodeUtf8(tableFile_), line + 1, columns[j] + 1, *b, *a, why});
            }
            const std::optional<run::DriveTrace> tuned = Drive(table);
            if (!tuned || changes.empty()) {
                continue;
            }
            const DriveSummary before = Summarize(trace_);
            const DriveSummary after = Summarize(*tuned);
            bool more = false;
            for (size_t s = 0; s < before.stageCounts.size(); ++s) {
                more = more || after.stageCounts[s] > before.stageCounts[s];
            }
            if (KeepsEveryStage(before, after) && more) {
                *table_ = table;
                trace_ = *tuned;
                tablesFolder_ = lastTry_;
                changes_.insert(changes_.end(), changes.begin(), changes.end());
                findings_.push_back("columns " + std::to_string(columns[i]) + " and " +
                                    std::to_string(columns[j]) +
                                    " of the power current table exchanged back");
                return;
            }
        }
    }
}

bool Tuner::TuneStage(size_t stage, std::optional<double> markS) {
    const char* name = kTunedStages[stage];
    const StageCurve& target = kStageCurves[stage];
    const std::string curveName = "c" + std::to_string(target.curve);
    const std::vector<run::TraceFrame>& frames = trace_.Frames();
    // The tables as they stand (with the changes made so far), as the plug-in reads them.
    const run::VehicleTables tables = run::ReadVehicleTables(tablesFolder_);
    const config::NotchTable& notch = tables.notchTable;
    if (target.curve >= notch.PowerCurveColumns.size()) {
        findings_.push_back(std::string(name) + ": the table gives no " + curveName +
                            ", so no cell of it can be changed");
        return false;
    }
    if (target.ending && *target.ending < notch.PowerCurveColumns.size() &&
        notch.PowerCurveColumns[*target.ending] == notch.PowerCurveColumns[target.curve]) {
        findings_.push_back(std::string(name) + ": " + curveName + " and c" +
                            std::to_string(*target.ending) +
                            " read the same column, so the stage is left in the frame it is "
                            "reached and never told; no cell change can part them");
        return false;
    }
    // Stage A is set only before the transition of its power cycle (a run of powering frames).
    std::vector<bool> afterTransition(frames.size(), false);
    bool transitionTold = false;
    for (size_t f = 0; f < frames.size(); ++f) {
        transitionTold = transitionTold && IsPowering(frames[f]);
        afterTransition[f] = transitionTold;
        for (std::string_view event : run::FrameEvents(frames[f].events)) {
            transitionTold = transitionTold || event == "transition";
        }
    }
    const auto curveAt = [&notch](size_t curve, float speedKmh) {
        return static_cast<double>(config::PowerCurrentsAt(notch, std::fabs(speedKmh))[curve]);
    };
    // The candidate frames: where a mark says, or the powering frames nearest the curve first;
    // not where the curve that ends the stage would meet the current too.
    std::vector<size_t> candidates;
    for (size_t f = 0; f < frames.size(); ++f) {
        const bool ends =
            target.ending &&
            std::fabs(frames[f].state.Current - curveAt(*target.ending, frames[f].state.Speed)) <
                target.endingWindowA + 0.5;
        if (IsPowering(frames[f]) && !ends && !(stage == 0 && afterTransition[f]) &&
            (!markS || std::fabs(frames[f].state.Time / 1000.0 - *markS) < 0.5)) {
            candidates.push_back(f);
        }
    }
    if (candidates.empty()) {
        findings_.push_back(std::string(name) +
                            (markS ? ": the current does not power at " + run::ClockText(*markS)
                                   : ": the current never powers in this "
                                     "drive") +
                            ", so no change of the curves can make it fire there");
        return false;
    }
    const auto gap = [&](size_t f) {
        return std::fabs(frames[f].state.Current - curveAt(target.curve, frames[f].state.Speed));
    };
    const auto nearer = [&](size_t x, size_t y) {
        if (markS) {
            return std::fabs(frames[x].state.Time / 1000.0 - *markS) <
                   std::fabs(frames[y].state.Time / 1000.0 - *markS);
        }
        return gap(x) < gap(y);
    };
    std::stable_sort(candidates.begin(), candidates.end(), nearer);
    const DriveSummary before = Summarize(trace_);
    const size_t nearest = candidates.front();
    std::vector<std::vector<float>> tried;
    std::string markBlocked;  // why a marked stage cannot be kept from firing before its mark
    for (size_t f : candidates) {
        if (tried.size() >= kMostTries) {
            break;
        }
        const run::TraceFrame& frame = frames[f];
        const float speedKmh = std::fabs(frame.state.Speed);
        const std::vector<float> around =
            PointsAround(notch.PowerCurrentCurves[target.curve], speedKmh);
        if (around.empty() || std::find(tried.begin(), tried.end(), around) != tried.end()) {
            continue;
        }
        tried.push_back(around);
        const double currentA = frame.state.Current;
        // The curve moves by its gap to the current; a lower curve in the way moves to 1 A
        // below the current.
        std::vector<std::pair<size_t, double>> moves = {
            {target.curve, currentA - curveAt(target.curve, speedKmh)}};
        if (target.below && curveAt(*target.below, speedKmh) > currentA - 0.5) {
            moves.push_back({*target.below, currentA - 1.0 - curveAt(*target.below, speedKmh)});
        }
        TableText table = *table_;
        std::vector<CellChange> changes;
        bool ordered = true;
        for (const auto& [curve, deltaA] : moves) {
            const size_t column = static_cast<size_t>(notch.PowerCurveColumns[curve]);
            if (column == 0) {
                ordered = false;  // the speed column: a change would move every curve's speed
                continue;
            }
            const std::vector<float> points =
                PointsAround(notch.PowerCurrentCurves[curve], speedKmh);
            for (size_t p = 0; p < points.size(); ++p) {
                // Of rows at one speed the curve uses, below the speed, the last read, and at
                // or above it, the first.
                const std::vector<size_t> rows = table.RowsAt(points[p]);
                if (rows.empty()) {
                    continue;
                }
                const size_t line = points.size() == 2 && p == 0 ? rows.back() : rows.front();
                const std::optional<std::string> was = table.Cell(line, column);
                const std::optional<std::string> after =
                    MoveCell(table, notch, curve, line, deltaA);
                if (!after) {
                    ordered = false;
                } else if (*after != *was) {
                    char why[200];
                    std::snprintf(why, sizeof why,
                                  "c%zu, %s: the powering current came to %.1f A at %.1f km/h "
                                  "(%s), %.1f A from c%zu",
                                  curve, curve == target.curve ? name : "moved below the current",
                                  currentA, static_cast<double>(speedKmh),
                                  run::ClockText(frame.state.Time / 1000.0).c_str(),
                                  std::fabs(deltaA), curve);
                    changes.push_back({platform::EncodeUtf8(tableFile_), line + 1, column + 1, *was,
                                       *after, why});
                }
            }
        }
        if (!ordered || (changes.empty() && !markS)) {
            continue;
        }
        std::optional<run::DriveTrace> tuned = Drive(table);
        // A marked stage must not fire before its mark: where it still does, at other table
        // rows than the mark's, the curve moves there to 3 A above the current (a few times).
        for (int away = 0; markS && tuned && away < 3; ++away) {
            const std::optional<size_t> early = FirstTold(*tuned, name, *markS - 0.5);
            if (!early) {
                break;
            }
            const run::TraceFrame& at = tuned->Frames()[*early];
            const run::VehicleTables moved = run::ReadVehicleTables(lastTry_);
            const float earlySpeedKmh = std::fabs(at.state.Speed);
            const double deltaA =
                at.state.Current + 3.0 -
                config::PowerCurrentsAt(moved.notchTable, earlySpeedKmh)[target.curve];
            const size_t column = static_cast<size_t>(notch.PowerCurveColumns[target.curve]);
            bool apart = true;
            for (float x :
                 PointsAround(moved.notchTable.PowerCurrentCurves[target.curve], earlySpeedKmh)) {
                const std::vector<size_t> rows = table.RowsAt(x);
                for (float markX : around) {
                    apart = apart && x != markX;  // the mark's own rows stay
                }
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
                if (!apart || rows.empty()) {
                    continue;
                }
                const std::optional<std::string> was = table.Cell(rows.front(), column);
                const std::optional<std::string> after =
                    MoveCell(table, notch, target.curve, rows.front(), deltaA);
                if (!after) {
                    apart = false;
                } else if (*after != *was) {
                    char why[200];
                    std::snprintf(why, sizeof why,
                                  "c%zu, %s: moved 3 A above the current at %.1f km/h (%s), where "
                                  "the stage fired before its mark",
                                  target.curve, name, static_cast<double>(earlySpeedKmh),
                                  run::ClockText(at.state.Time / 1000.0).c_str());
                    changes.push_back({platform::EncodeUtf8(tableFile_), rows.front() + 1,
                                       column + 1, *was, *after, why});
                }
            }
            tuned = apart ? Drive(table) : std::nullopt;
        }
        if (!tuned) {
            continue;
        }
        const DriveSummary after = Summarize(*tuned);
        bool fired = after.stageCounts[stage] > 0;
        if (markS) {
            fired = false;
            for (const run::TraceFrame& told : tuned->Frames()) {
                for (std::string_view event : run::FrameEvents(told.events)) {
                    fired = fired ||
                            (event == name && std::fabs(told.state.Time / 1000.0 - *markS) < 0.5);
                }
            }
        }
        if (fired && KeepsEveryStage(before, after, stage)) {
            *table_ = table;
            trace_ = *tuned;
            tablesFolder_ = lastTry_;
            changes_.insert(changes_.end(), changes.begin(), changes.end());
            findings_.push_back(std::string(name) + ": made to fire by moving " + curveName +
                                " at " + CellText(speedKmh) + " km/h");
            return true;
        }
    }
    if (!markBlocked.empty()) {
        findings_.push_back(std::string(name) + ": " + markBlocked + "; no change proposed");
        return false;
    }
    char text[300];
    std::snprintf(text, sizeof text,
                  ": none of the %zu nearest approaches tried (the nearest: %.1f A from %s at "
                  "%.1f km/h, %s) made it fire without another stage ceasing to fire or the "
                  "power being held longer, with the curves kept in order and apart from the "
                  "curve that ends it; no change proposed",
                  tried.size(), gap(nearest), curveName.c_str(),
                  static_cast<double>(std::fabs(frames[nearest].state.Speed)),
                  run::ClockText(frames[nearest].state.Time / 1000.0).c_str());
    findings_.push_back(name + std::string(text));
    return false;
}

}  // namespace camcab::tune
