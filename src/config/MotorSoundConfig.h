// The traction motor sound bank's configuration, read from "AtsMotorConfig.txt".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "config/Curve.h"

namespace camcab::config {

// The largest sound number of the bank. Lines with larger numbers are ignored, so a file
// cannot make the bank (and its six curve lists) huge.
inline constexpr uint64_t kMaxMotorSoundNumber = 255;

struct MotorSoundConfig {
    std::vector<Curve> PowerVolumeCurves;
    std::vector<Curve> BrakeVolumeCurves;
    std::vector<Curve> NeutralVolumeCurves;
    std::vector<Curve> PowerFrequencyCurves;
    std::vector<Curve> BrakeFrequencyCurves;
    std::vector<Curve> NeutralFrequencyCurves;
    std::vector<std::wstring> MotorSoundFiles;
    int32_t section = 2;  // reader state: 0 power, 1 brake, 2 neutral, 3 sound
    std::wstring powerVolumeTable;
    std::wstring brakeVolumeTable;
    std::wstring neutralVolumeTable;
    std::wstring powerFrequencyTable;
    std::wstring brakeFrequencyTable;
    std::wstring neutralFrequencyTable;
    uint64_t MotorSoundCount = 0;
};

// Reads "AtsMotorConfig.txt" in `pluginDirectory` and the six tables it names, reporting to
// `diagnostics`, when given, every line and file that is not used as written.
void LoadMotorSoundConfig(MotorSoundConfig& config, const std::wstring& pluginDirectory,
                          Diagnostics* diagnostics = nullptr);

}  // namespace camcab::config
