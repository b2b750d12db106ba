// The drive as the report page's data: per-frame columns, step-plot rows and the sound
// commands, which the page's script plots.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "DriveTrace.h"

namespace camcab::run {

// One script statement that sets window.driveData to an object of numbers. `audioStartTimeMs`
// is the scenario time at the rendered sound's first sample, `soundSeconds` its length;
// `regenerationLimitA` the vehicle's CurrentLimitingValue_Empty (0: none drawn).
std::string DriveData(const DriveTrace& trace, int32_t audioStartTimeMs, double soundSeconds,
                      float regenerationLimitA = 0.0f);

// The events the plug-in told in one frame, as the trace keeps them ("; " between).
std::vector<std::string_view> FrameEvents(const std::string& events);

// The files of camcab's own sounds that the drive told of, in the order first told; for each,
// 1 after every frame in which it plays and 0 after the others.
std::vector<std::string> SoundFilesTold(const DriveTrace& trace);
std::vector<std::vector<double>> SoundsPlaying(const DriveTrace& trace,
                                               const std::vector<std::string>& files);
// File names as a script's array of strings.
std::string FileNamesData(const std::vector<std::string>& files);
// The stage markers as a script's array: [time ms, "A", "stage A"], ... (A, T, B, C, D for
// the stages, R for regeneration released, N for the first brake curve met, H for the hold).
std::string MarkersData(const DriveTrace& trace);

// Each camshaft stage: the frame its event was told, or where it was not, the frame of the
// powering current's nearest approach to its curve.
struct StageOutcome {
    const char* stage;       // "stage A", "transition", ...
    const char* curve;       // "c1", ...
    double windowA;          // the camshaft's window around the curve
    long firedFrame = -1;    // index into the trace's frames; -1: never
    long nearestFrame = -1;  // where it never fired: -1 when the current never powered
    double nearestA = 0.0;   // |current - curve| there
};
std::vector<StageOutcome> StageOutcomes(const DriveTrace& trace);

}  // namespace camcab::run
