#include "config/VehicleFolder.h"

#include "config/ConfigText.h"

namespace camcab::config {

void ReadVehicle(Configuration& configuration, const std::wstring& folder, Diagnostics* diagnostics,
                 const VehicleSteps& steps) {
    if (steps.detailModules) {
        steps.detailModules();
    }

    configuration.notchTable = NotchTable{};
    LoadNotchTable(configuration.notchTable, JoinPath(folder, kNotchIndexFile), diagnostics);

    configuration.motorSoundConfig = MotorSoundConfig{};
    if (steps.audioStartUp) {
        steps.audioStartUp(configuration.motorSoundConfig);
    } else {
        LoadMotorSoundConfig(configuration.motorSoundConfig, folder, diagnostics);
    }

    configuration.panelTest.PanelModifyEnabled = TestPanelModify(folder, diagnostics);

    ReadNeedleTables(configuration.needleTables, folder, diagnostics);
}

}  // namespace camcab::config
