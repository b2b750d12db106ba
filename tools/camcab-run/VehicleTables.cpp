#include "VehicleTables.h"

#include <array>
#include <cmath>

#include "chain/ModuleList.h"
#include "config/ConfigText.h"
#include "config/VehicleFolder.h"
#include "platform/FileSystem.h"

namespace camcab::run {
namespace {

// The files the readers named, kept when they exist.
class FilesRead final : public config::Diagnostics {
  public:
    explicit FilesRead(std::vector<std::wstring>& files) : files_(files) {}

    void Report(const config::Diagnostic&) override {}
    void FileOpened(const std::wstring& path, bool opened) override { Keep(path, opened); }
    void FileLookedFor(const std::wstring& path, bool present) override { Keep(path, present); }

  private:
    void Keep(const std::wstring& path, bool known) {
        if (known || platform::PathExists(path)) {
            files_.push_back(path);
        }
    }

    std::vector<std::wstring>& files_;
};

CamshaftSteps ReadSteps(const std::vector<int32_t>& requiredNotches,
                        const std::wstring& currentPath) {
    CamshaftSteps steps;
    steps.requiredNotch = requiredNotches;
    std::vector<uint64_t> columns;
    for (size_t s = 1; s <= steps.requiredNotch.size(); ++s) {
        columns.push_back(s);
    }
    if (!currentPath.empty() && !columns.empty()) {
        config::ReadColumnCurves(currentPath, columns, steps.currentA);
    }
    steps.currentA.resize(steps.requiredNotch.size());
    return steps;
}

}  // namespace

VehicleTables ReadVehicleTables(const std::wstring& pluginFolder) {
    VehicleTables tables;
    FilesRead filesRead(tables.filesRead);
    config::Configuration configuration;
    config::VehicleSteps steps;
    // The modules are the plug-in's to load: the list is only read.
    steps.detailModules = [&] { chain::OpenModuleList(pluginFolder, &filesRead); };
    config::ReadVehicle(configuration, pluginFolder, &filesRead, steps);
    tables.notchTable = std::move(configuration.notchTable);
    const config::NotchTable& notch = tables.notchTable;
    tables.power = ReadSteps(notch.PowerRequiredNotches, notch.powerCurrentFile);
    tables.brake = ReadSteps(notch.BrakeRequiredNotches, notch.brakeCurrentFile);
    return tables;
}

void EvaluateCurves(const config::NotchTable& notchTable, TraceFrame& frame) {
    const float absSpeedKmh = std::fabs(frame.state.Speed);
    const std::array<float, config::kPowerCurrentValues> powerA =
        config::PowerCurrentsAt(notchTable, absSpeedKmh);
    for (size_t i = 0; i < kTracedPowerCurves.size(); ++i) {
        frame.powerCurvesA[i] = powerA[static_cast<size_t>(kTracedPowerCurves[i])];
    }
    const config::BrakeCurrents brakeA = config::BrakeCurrentsAt(notchTable, absSpeedKmh);
    frame.brakeFirstA = brakeA.firstA;
    frame.brakeLastA = brakeA.lastA;
}

}  // namespace camcab::run
