#include "ReportData.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <set>
#include <string_view>
#include <utility>
#include <vector>

#include "PageEncoding.h"
#include "ReportSound.h"
#include "sim/CabIndices.h"
#include "sim/Camshaft.h"

namespace camcab::run {
namespace {

// Sound levels below this (and silence) are drawn at this level.
constexpr double kLevelFloorDbfs = -120.0;
// The bands around the curves are the camshaft's own windows.
constexpr double kStageToleranceA = sim::kStageNearA;
constexpr double kTransitionToleranceA = sim::kTransitionNearA;
constexpr double kBrakeToleranceA = sim::kBrakeCurveNearA;
constexpr int kTransitionCurve = 2;
// Annotations are page elements: beyond this many sound commands only points are drawn.
constexpr size_t kMostSoundAnnotations = 1000;

// A JavaScript number in its shortest form, to a thousandth; null for NaN and infinities.
void AppendNumber(std::string& text, double value) {
    if (!std::isfinite(value)) {
        text += "null";
        return;
    }
    const double rounded = std::round(value * 1000.0) / 1000.0;
    if (std::isfinite(rounded)) {
        value = rounded == 0.0 ? 0.0 : rounded;  // no "-0"
    }
    char digits[32];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    text.append(digits, result.ptr);
}

void AppendInteger(std::string& text, int64_t value) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    text.append(digits, result.ptr);
}

// One packed column (PackColumn) of a value of every frame.
template <typename Value>
void AppendColumn(std::string& js, const std::vector<TraceFrame>& frames, Value value) {
    std::vector<double> values;
    values.reserve(frames.size());
    for (const TraceFrame& frame : frames) {
        values.push_back(static_cast<double>(value(frame)));
    }
    js += '"' + PackColumn(values) + '"';
}

// The panel entries `indices`, each a packed column of its value after every frame.
void AppendPanelColumns(std::string& js, const DriveTrace& trace, const std::vector<int>& indices) {
    js += '[';
    for (int index : indices) {
        const std::vector<int32_t> column = trace.PanelColumn(index);
        js += '"' + PackColumn(std::vector<double>(column.begin(), column.end())) + "\",";
    }
    js += ']';
}

void AppendIntegers(std::string& js, const std::vector<int>& values) {
    js += '[';
    for (int value : values) {
        AppendInteger(js, value);
        js += ',';
    }
    js += ']';
}

// The events of a frame that a marker on the current plot shows: a stage reached, regeneration
// released, the brake curve met and the camshaft held.
const char* MarkerOf(std::string_view event) {
    static constexpr std::pair<std::string_view, const char*> kMarkers[] = {
        {"stage A", "A"},
        {"transition", "T"},
        {"stage B", "B"},
        {"stage C", "C"},
        {"stage D", "D"},
        {"regeneration released", "R"},
        {"brake current near", "N"},
        {"camshaft hold", "H"}};
    for (const auto& [name, marker] : kMarkers) {
        if (event == name) {
            return marker;
        }
    }
    return nullptr;
}

// A "sound FILE start|stop|end" event's file and what happened; an empty file for others.
std::pair<std::string_view, std::string_view> SoundEvent(std::string_view event) {
    const size_t space = event.rfind(' ');
    if (event.rfind("sound ", 0) != 0 || space == std::string_view::npos || space < 6) {
        return {};
    }
    return {event.substr(6, space - 6), event.substr(space + 1)};
}

}  // namespace

std::vector<std::string_view> FrameEvents(const std::string& events) {
    std::vector<std::string_view> split;
    std::string_view rest = events;
    while (!rest.empty()) {
        const size_t end = rest.find("; ");
        split.push_back(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 2);
    }
    return split;
}

std::vector<std::string> SoundFilesTold(const DriveTrace& trace) {
    std::vector<std::string> files;
    for (const TraceFrame& frame : trace.Frames()) {
        for (std::string_view event : FrameEvents(frame.events)) {
            const std::string_view file = SoundEvent(event).first;
            if (!file.empty() && std::find(files.begin(), files.end(), file) == files.end()) {
                files.emplace_back(file);
            }
        }
    }
    return files;
}

std::vector<std::vector<double>> SoundsPlaying(const DriveTrace& trace,
                                               const std::vector<std::string>& files) {
    const std::vector<TraceFrame>& frames = trace.Frames();
    std::vector<std::vector<double>> playing(files.size(), std::vector<double>(frames.size()));
    std::vector<double> now(files.size(), 0.0);
    for (size_t f = 0; f < frames.size(); ++f) {
        for (std::string_view event : FrameEvents(frames[f].events)) {
            const auto [file, what] = SoundEvent(event);
            const auto k = std::find(files.begin(), files.end(), file) - files.begin();
            if (!file.empty() && static_cast<size_t>(k) < files.size()) {
                now[static_cast<size_t>(k)] = what == "start" ? 1.0 : 0.0;
            }
        }
        for (size_t k = 0; k < files.size(); ++k) {
            playing[k][f] = now[k];
        }
    }
    return playing;
}

std::string FileNamesData(const std::vector<std::string>& files) {
    std::string js = "[";
    for (const std::string& name : files) {
        js += '"';
        for (char c : name) {  // file names: backslashes doubled, anything odd dropped
            if (c == '\\') {
                js += "\\\\";
            } else if (static_cast<unsigned char>(c) >= 0x20 && c != '"' && c != '<') {
                js += c;
            }
        }
        js += "\",";
    }
    return js + "]";
}

std::string MarkersData(const DriveTrace& trace) {
    std::string js = "[";
    for (const TraceFrame& frame : trace.Frames()) {
        for (std::string_view event : FrameEvents(frame.events)) {
            if (const char* marker = MarkerOf(event)) {
                js += '[';
                AppendInteger(js, frame.state.Time);
                js += ",\"" + std::string(marker) + "\",\"" + std::string(event) + "\"],";
            }
        }
    }
    return js + "]";
}

std::vector<StageOutcome> StageOutcomes(const DriveTrace& trace) {
    // The stages, their curves (an index into kTracedPowerCurves) and windows.
    struct Stage {
        const char* stage;
        const char* curve;
        size_t traced;
        double windowA;
    };
    static constexpr Stage kStages[] = {{"stage A", "c1", 1, kStageToleranceA},
                                        {"transition", "c2", 2, kTransitionToleranceA},
                                        {"stage B", "c4", 4, kStageToleranceA},
                                        {"stage C", "c7", 7, kStageToleranceA},
                                        {"stage D", "c10", 9, kStageToleranceA}};
    std::vector<StageOutcome> outcomes;
    const std::vector<TraceFrame>& frames = trace.Frames();
    for (const Stage& stage : kStages) {
        StageOutcome outcome{stage.stage, stage.curve, stage.windowA};
        for (size_t f = 0; f < frames.size() && outcome.firedFrame < 0; ++f) {
            for (std::string_view event : FrameEvents(frames[f].events)) {
                if (event == stage.stage) {
                    outcome.firedFrame = static_cast<long>(f);
                }
            }
        }
        if (outcome.firedFrame < 0) {
            for (size_t f = 0; f < frames.size(); ++f) {
                const double currentA = frames[f].state.Current;
                const double gapA = std::fabs(currentA - frames[f].powerCurvesA[stage.traced]);
                if (currentA > 0.0 && std::isfinite(gapA) &&
                    (outcome.nearestFrame < 0 || gapA < outcome.nearestA)) {
                    outcome.nearestFrame = static_cast<long>(f);
                    outcome.nearestA = gapA;
                }
            }
        }
        outcomes.push_back(outcome);
    }
    return outcomes;
}

std::string DriveData(const DriveTrace& trace, int32_t audioStartTimeMs, double soundSeconds,
                      float regenerationLimitA) {
    const std::vector<TraceFrame>& frames = trace.Frames();
    std::string js = "window.driveData={frames:";
    AppendInteger(js, static_cast<int64_t>(frames.size()));
    js += ",t:";  // in seconds: a frame's step is a few thousandths
    AppendColumn(js, frames, [](const TraceFrame& f) { return f.state.Time / 1000.0; });
    js += ",speed:";
    AppendColumn(js, frames, [](const TraceFrame& f) { return f.state.Speed; });
    js += ",current:";
    AppendColumn(js, frames, [](const TraceFrame& f) { return f.state.Current; });
    js += ",curveNames:[";
    for (int curve : kTracedPowerCurves) {
        js += "\"c" + std::to_string(curve) + "\",";
    }
    js += "],curves:[";
    for (size_t c = 0; c < kTracedPowerCurves.size(); ++c) {
        AppendColumn(js, frames, [c](const TraceFrame& f) { return f.powerCurvesA[c]; });
        js += ',';
    }
    js += "],curveTolerances:[";
    for (int curve : kTracedPowerCurves) {
        AppendNumber(js, curve == kTransitionCurve ? kTransitionToleranceA : kStageToleranceA);
        js += ',';
    }
    js += "],brakeTolerance:";
    AppendNumber(js, kBrakeToleranceA);
    js += ",brakeFirst:";
    AppendColumn(js, frames, [](const TraceFrame& f) { return f.brakeFirstA; });
    js += ",brakeLast:";
    AppendColumn(js, frames, [](const TraceFrame& f) { return f.brakeLastA; });
    js += ",levelDbfs:";
    AppendColumn(js, frames, [](const TraceFrame& f) {
        if (!(f.audioRms >= 0.0)) {
            return std::nan("");
        }
        return std::max(kLevelFloorDbfs, 20.0 * std::log10(f.audioRms));
    });
    // As the driver set them, then as the plug-in returned them.
    js += ",handles:[";
    for (int k = 0; k < 6; ++k) {
        AppendColumn(js, frames, [k](const TraceFrame& f) {
            const Handles& handles = k < 3 ? f.driver : f.returned;
            return k % 3 == 0 ? handles.Power : k % 3 == 1 ? handles.Brake : handles.Reverser;
        });
        js += ',';
    }
    js += ']';

    // Lamps take only the values 0 and 1; needles, digits and the rest take any.
    std::vector<int> lamps;
    std::vector<int> others;
    std::set<int> notLamps;
    for (const EntryChange& change : trace.PanelChanges()) {
        if (change.value != 0 && change.value != 1) {
            notLamps.insert(change.index);
        }
    }
    for (int index : trace.PanelIndices()) {
        (notLamps.count(index) != 0 ? others : lamps).push_back(index);
    }
    js += ",lampIndices:";
    AppendIntegers(js, lamps);
    js += ",lamps:";
    AppendPanelColumns(js, trace, lamps);
    js += ",needleIndices:";
    AppendIntegers(js, others);
    js += ",needles:";
    AppendPanelColumns(js, trace, others);

    js += ",soundIndices:";
    AppendIntegers(js, trace.SoundIndices());
    // Each host sound command: its time, sound index and value, in packed columns.
    std::vector<double> commandTimes, commandIndices, commandValues;
    for (const EntryChange& change : trace.SoundChanges()) {
        commandTimes.push_back(frames[change.frame].state.Time / 1000.0);
        commandIndices.push_back(change.index);
        commandValues.push_back(change.value);
    }
    js += ",soundCommands:{count:";
    AppendInteger(js, static_cast<int64_t>(commandTimes.size()));
    js += ",t:\"" + PackColumn(commandTimes) + "\",index:\"" + PackColumn(commandIndices) +
          "\",value:\"" + PackColumn(commandValues) + "\"}";
    const std::vector<std::string> soundFiles = SoundFilesTold(trace);
    js += ",ownSoundNames:" + FileNamesData(soundFiles) + ",ownSounds:[";
    for (const std::vector<double>& column : SoundsPlaying(trace, soundFiles)) {
        js += '"' + PackColumn(column) + "\",";
    }
    js += ']';
    js += ",markers:" + MarkersData(trace);
    js += ",panelNames:{";
    for (const sim::CabIndex& entry : sim::kPanelNames) {
        js += '"' + std::to_string(entry.index) + "\":[\"" + entry.name + "\",\"" + entry.group +
              "\"],";
    }
    js += "},soundNames:{";
    for (const sim::CabIndex& entry : sim::kHostSoundNames) {
        js += '"' + std::to_string(entry.index) + "\":\"" + entry.name + "\",";
    }
    js += "},regenerationLimit:";
    AppendNumber(js, regenerationLimitA);
    js += ",mostSoundAnnotations:";
    AppendInteger(js, static_cast<int64_t>(kMostSoundAnnotations));
    js += ",audioStartMs:";
    AppendInteger(js, audioStartTimeMs);
    js += ",audioSeconds:";
    AppendNumber(js, soundSeconds);
    js += ",spectrogramTopHz:";
    AppendInteger(js, kSpectrogramRateHz / 2);
    js += "};\n";
    return js;
}

}  // namespace camcab::run
