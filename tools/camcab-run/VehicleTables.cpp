#include "VehicleTables.h"

#include <cmath>
#include <limits>

#include "config/ConfigText.h"
#include "config/MotorSoundConfig.h"
#include "platform/FileSystem.h"

namespace camcab::run {
namespace {

// The fields of the last "RequiredNotch_Up" line of a parameter file, steps 1 to S.
std::vector<int32_t> ReadRequiredNotches(const std::wstring& path) {
    std::vector<int32_t> notches;
    config::ConfigFile file = config::OpenConfigFile(path);
    std::wstring line;
    while (config::ReadConfigLine(file, line)) {
        const std::wstring_view text = config::TrimLine(config::StripComment(line));
        if (!config::HasPrefix(text, L"RequiredNotch_Up")) {
            continue;
        }
        const std::vector<std::wstring_view> fields = config::SplitFields(text);
        notches.clear();
        for (size_t s = 1; s < fields.size(); ++s) {
            notches.push_back(
                config::ToInt32(fields[s]).value_or(std::numeric_limits<int32_t>::max()));
        }
    }
    return notches;
}

CamshaftSteps ReadSteps(const std::wstring& paramsPath, const std::wstring& currentPath) {
    CamshaftSteps steps;
    if (paramsPath.empty()) {
        return steps;
    }
    steps.requiredNotch = ReadRequiredNotches(paramsPath);
    std::vector<uint64_t> columns;
    for (size_t s = 1; s <= steps.requiredNotch.size(); ++s) {
        columns.push_back(s);
    }
    if (!currentPath.empty()) {
        config::ReadColumnCurves(currentPath, columns, steps.currentA);
    }
    steps.currentA.resize(steps.requiredNotch.size());
    return steps;
}

float CurveAt(const std::vector<config::Curve>& curves, size_t k, float speed) {
    return k < curves.size() ? config::InterpolateCurve(speed, curves[k]) : 0.0f;
}

}  // namespace

VehicleTables ReadVehicleTables(const std::wstring& pluginFolder) {
    VehicleTables tables;
    const std::wstring indexPath = config::JoinPath(pluginFolder, L"notch\\notch.txt");
    config::LoadNotchTable(tables.notchTable, indexPath);
    const config::NotchTable& notch = tables.notchTable;
    tables.power = ReadSteps(notch.powerParamsFile, notch.powerCurrentFile);
    tables.brake = ReadSteps(notch.brakeParamsFile, notch.brakeCurrentFile);

    config::MotorSoundConfig motorSounds;
    config::LoadMotorSoundConfig(motorSounds, pluginFolder);
    const std::wstring inLoadOrder[] = {
        config::JoinPath(pluginFolder, L"detailmodulesx64.txt"),
        indexPath,
        notch.powerParamsFile,
        notch.powerCurrentFile,
        notch.brakeParamsFile,
        notch.brakeCurrentFile,
        notch.noLoadCurrentFile,
        config::JoinPath(pluginFolder, L"AtsMotorConfig.txt"),
        motorSounds.powerVolumeTable,
        motorSounds.brakeVolumeTable,
        motorSounds.neutralVolumeTable,
        motorSounds.powerFrequencyTable,
        motorSounds.brakeFrequencyTable,
        motorSounds.neutralFrequencyTable,
        config::JoinPath(pluginFolder, L"PanelModify.txt"),
        config::JoinPath(pluginFolder, L"NeedleTable\\PressureL.csv"),
        config::JoinPath(pluginFolder, L"NeedleTable\\PressureR.csv"),
        config::JoinPath(pluginFolder, L"NeedleTable\\Speed.csv"),
        config::JoinPath(pluginFolder, L"NeedleTable\\Current.csv"),
        config::JoinPath(pluginFolder, L"NeedleTable\\Voltage.csv"),
    };
    for (const std::wstring& path : inLoadOrder) {
        if (!path.empty() && platform::PathExists(path)) {
            tables.filesRead.push_back(path);
        }
    }
    return tables;
}

void EvaluateCurves(const config::NotchTable& notchTable, TraceFrame& frame) {
    const float absSpeed = std::fabs(frame.state.Speed);
    for (size_t i = 0; i < kTracedPowerCurves.size(); ++i) {
        frame.powerCurvesA[i] = CurveAt(notchTable.PowerCurrentCurves,
                                        static_cast<size_t>(kTracedPowerCurves[i]), absSpeed);
    }
    const std::vector<config::Curve>& brake = notchTable.BrakeCurrentCurves;
    frame.brakeFirstA = brake.empty() ? 0.0f : config::InterpolateCurve(absSpeed, brake.front());
    frame.brakeLastA = brake.empty() ? 0.0f : config::InterpolateCurve(absSpeed, brake.back());
}

}  // namespace camcab::run
