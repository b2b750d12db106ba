// The vehicle folder: every configuration file of the plug-in's folder named once, and the
// one reading of them in the order Load reads them. (The sound files are named by the sound
// registry.) The plug-in reads without a diagnostics sink; the checker and the workbench read
// the same way with one, and learn from it which files were read.
#pragma once

#include <functional>
#include <string>

#include "config/Configuration.h"
#include "config/Diagnostics.h"

namespace camcab::config {

// The files, relative to the plug-in's folder, with '\' between folders.
inline constexpr const wchar_t* kModuleListFile = L"detailmodulesx64.txt";
inline constexpr const wchar_t* kNotchIndexFile = L"notch\\notch.txt";
inline constexpr const wchar_t* kMotorSoundConfigFile = L"AtsMotorConfig.txt";
inline constexpr const wchar_t* kPanelModifyFile = L"PanelModify.txt";
inline constexpr const wchar_t* kPressureLNeedleFile = L"NeedleTable\\PressureL.csv";
inline constexpr const wchar_t* kPressureRNeedleFile = L"NeedleTable\\PressureR.csv";
inline constexpr const wchar_t* kSpeedNeedleFile = L"NeedleTable\\Speed.csv";
inline constexpr const wchar_t* kCurrentNeedleFile = L"NeedleTable\\Current.csv";
inline constexpr const wchar_t* kVoltageNeedleFile = L"NeedleTable\\Voltage.csv";

// What a reader of the folder does at the two steps of Load that are not configuration
// reading. Without a step, nothing happens there, and the motor sound configuration is read
// on its own.
struct VehicleSteps {
    // Runs first: the detail modules are loaded, each module's Load running before any file
    // is read (a module may still write the folder).
    std::function<void()> detailModules;
    // The audio start-up, after the notch table group: it reads the motor sound configuration
    // into the record it is handed (LoadMotorSoundConfig), between creating the engine and
    // loading the sounds.
    std::function<void(MotorSoundConfig&)> audioStartUp;
};

// Reads the vehicle whose plug-in lives in `folder` (with a trailing separator) in Load's
// order: the detail modules, the notch table group, the audio start-up with the motor sound
// configuration, the panel test switch, the needle tables. Each record is made afresh at its
// step, so a second reading gives what the first gave. An empty `folder` names the files
// relative to the current folder.
void ReadVehicle(Configuration& configuration, const std::wstring& folder,
                 Diagnostics* diagnostics = nullptr, const VehicleSteps& steps = {});

}  // namespace camcab::config
