// The drive report: one HTML page that stands alone (works offline), with zoomable plots of a
// drive against time, a spectrogram of the rendered sound, a player and a summary.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "DriveTrace.h"

namespace camcab::run {

struct ReportInfo {
    std::wstring pluginPath;
    std::wstring scenarioPath;            // empty: no scenario (one frame at rest)
    std::vector<std::wstring> filesRead;  // the vehicle's configuration and sound files
    double runSeconds = 0.0;              // wall-clock time the drive took
    std::wstring audioPath;               // the rendered WAV; empty when no sound was rendered
    bool audioKept = true;                // false: the WAV is removed once the page is written
    int32_t audioStartTimeMs = 0;         // the scenario time at the WAV's first sample
    std::string clock;                    // what camcab's sounds kept time by (DriveClock)
    float regenerationLimitA = 0.0f;      // CurrentLimitingValue_Empty; 0: not drawn
    // A player's sound larger than this is written beside the page (PAGE.ogg) instead of into
    // it, so that the page of a long drive stays small enough to open quickly.
    size_t largestEmbeddedSoundBytes = 8u << 20;
};

// Writes the report to `path`. False with a reason in `error` when it cannot be written; a
// missing sox only leaves the spectrogram out (the page says so).
bool WriteDriveReport(const std::wstring& path, const DriveTrace& trace, const ReportInfo& info,
                      std::string& error);

}  // namespace camcab::run
