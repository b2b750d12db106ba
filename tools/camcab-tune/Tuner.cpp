#include "Tuner.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <system_error>

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
// both in one frame reaches the stage and leaves it at once, so it is never told.
struct StageCurve {
    size_t curve;
    std::optional<size_t> below;
    std::optional<size_t> ending;
    double endingWindowA;
};
constexpr StageCurve kStageCurves[] = {{1, 0, 2, 0.5},
                                       {2, std::nullopt, std::nullopt, 0.0},
                                       {4, 3, 5, 2.0},
                                       {7, 6, 8, 2.0},
                                       {10, std::nullopt, std::nullopt, 0.0}};

// At most this many of a stage's nearest approaches are tried, each at other table rows.
constexpr size_t kMostTries = 8;

std::string Clock(double timeS) {
    const double day = std::fmod(std::fmod(timeS, 86400.0) + 86400.0, 86400.0);
    const int hours = static_cast<int>(day / 3600.0);
    const int minutes = static_cast<int>(day / 60.0) % 60;
    char text[32];
    std::snprintf(text, sizeof text, "%d:%02d:%05.2f", hours, minutes,
                  day - 3600.0 * hours - 60.0 * minutes);
    return text;
}

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
    if (curve[upper].x == speedKmh || curve[upper - 1].x == speedKmh) {
        return {speedKmh};
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

}  // namespace

DriveSummary Summarize(const run::DriveTrace& trace) {
    DriveSummary summary;
    summary.stageCounts.assign(std::size(kTunedStages), 0);
    for (const run::TraceFrame& frame : trace.Frames()) {
        for (std::string_view event : run::FrameEvents(frame.events)) {
            for (size_t s = 0; s < std::size(kTunedStages); ++s) {
                summary.stageCounts[s] += event == kTunedStages[s] ? 1 : 0;
            }
        }
        summary.heldFrames += frame.driver.Power > 0 && frame.returned.Power == 0 ? 1 : 0;
    }
    return summary;
}

Tuner::Tuner(std::wstring folder, std::wstring pluginName, scenario::Scenario drive,
             run::DriveTrace before, fs::path scratch)
    : folder_(std::move(folder)),
      pluginName_(std::move(pluginName)),
      drive_(std::move(drive)),
      scratch_(std::move(scratch)),
      trace_(std::move(before)) {}

std::optional<run::DriveTrace> Tuner::Drive(const TableText& table) {
    const fs::path tryFolder = scratch_ / ("try-" + std::to_string(++tries_));
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
    const std::wstring& file = tables.notchTable.powerCurrentFile;
    if (file.empty() || file.compare(0, folder_.size(), folder_) != 0) {
        findings_.push_back("the notch table names no power current file in the vehicle folder");
        return false;
    }
    tableFile_ = file.substr(folder_.size());
    table_ = TableText::Read(host::NativePath(platform::NativeSeparators(file)));
    if (!table_) {
        findings_.push_back("cannot read " + platform::EncodeUtf8(tableFile_));
        return false;
    }
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

bool Tuner::TuneStage(size_t stage, std::optional<double> markS) {
    const char* name = kTunedStages[stage];
    const StageCurve& target = kStageCurves[stage];
    const std::string curveName = "c" + std::to_string(target.curve);
    const std::vector<run::TraceFrame>& frames = trace_.Frames();
    // The tables as they stand (with the changes made so far), as the plug-in reads them.
    const fs::path current = scratch_ / ("current-" + std::to_string(tries_));
    CopyFolder(host::NativePath(folder_), current);
    table_->Write(current / host::NativePath(platform::NativeSeparators(tableFile_)));
    const run::VehicleTables tables =
        run::ReadVehicleTables(platform::WideFromNativeName(current.string() + "/"));
    const config::NotchTable& notch = tables.notchTable;
    if (target.curve >= notch.PowerCurveColumns.size()) {
        findings_.push_back(std::string(name) + ": the table gives no " + curveName +
                            ", so no cell of it can be changed");
        return false;
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
        if (IsPowering(frames[f]) && !ends &&
            (!markS || std::fabs(frames[f].state.Time / 1000.0 - *markS) < 0.5)) {
            candidates.push_back(f);
        }
    }
    if (candidates.empty()) {
        findings_.push_back(std::string(name) +
                            (markS ? ": the current does not power at " + Clock(*markS)
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
            for (float x : PointsAround(notch.PowerCurrentCurves[curve], speedKmh)) {
                for (size_t line : table.RowsAt(x)) {
                    const std::optional<double> old = Number(table.Cell(line, column));
                    if (!old) {
                        continue;
                    }
                    const std::string after = CellText(*old + deltaA);
                    const double value = *Number(std::optional<std::string>(after));
                    // The curves keep their order at the row: between the curves beside it.
                    for (const auto& [side, sign] :
                         {std::pair{curve - 1, -1.0}, {curve + 1, 1.0}}) {
                        const size_t beside = side == 9 ? side + static_cast<size_t>(sign) : side;
                        if (curve == 0 && sign < 0) {
                            continue;
                        }
                        if (beside >= notch.PowerCurveColumns.size() ||
                            notch.PowerCurveColumns[beside] == column || curve == beside) {
                            continue;
                        }
                        const std::optional<double> next = Number(
                            table.Cell(line, static_cast<size_t>(notch.PowerCurveColumns[beside])));
                        if (next && (*next - *old) * sign >= 0.0 && (*next - value) * sign < 0.0) {
                            ordered = false;
                        }
                    }
                    table.SetCell(line, column, after);
                    char why[200];
                    std::snprintf(why, sizeof why,
                                  "%s, %s: the powering current came to %.1f A at %.1f km/h "
                                  "(%s), %.1f A from %s",
                                  curve == target.curve ? curveName.c_str()
                                                        : ("c" + std::to_string(curve)).c_str(),
                                  curve == target.curve ? name : "moved below the current",
                                  currentA, static_cast<double>(speedKmh),
                                  Clock(frame.state.Time / 1000.0).c_str(), std::fabs(deltaA),
                                  ("c" + std::to_string(curve)).c_str());
                    changes.push_back({platform::EncodeUtf8(tableFile_), line + 1, column + 1,
                                       *table_->Cell(line, column), after, why});
                }
            }
        }
        if (!ordered || changes.empty()) {
            continue;
        }
        const std::optional<run::DriveTrace> tuned = Drive(table);
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
        bool kept = after.heldFrames <= before.heldFrames;
        for (size_t s = 0; s < before.stageCounts.size(); ++s) {
            kept = kept && (s == stage || after.stageCounts[s] >= before.stageCounts[s]);
        }
        if (fired && kept) {
            *table_ = table;
            trace_ = *tuned;
            changes_.insert(changes_.end(), changes.begin(), changes.end());
            findings_.push_back(std::string(name) + ": made to fire by moving " + curveName +
                                " at " + CellText(speedKmh) + " km/h");
            return true;
        }
    }
    char text[300];
    std::snprintf(text, sizeof text,
                  ": none of the %zu nearest approaches tried (the nearest: %.1f A from %s at "
                  "%.1f km/h, %s) made it fire without another stage ceasing to fire or the "
                  "power being held longer, with the curves kept in order and apart from the "
                  "curve that ends it; no change proposed",
                  tried.size(), gap(nearest), curveName.c_str(),
                  static_cast<double>(std::fabs(frames[nearest].state.Speed)),
                  Clock(frames[nearest].state.Time / 1000.0).c_str());
    findings_.push_back(name + std::string(text));
    return false;
}

}  // namespace camcab::tune
