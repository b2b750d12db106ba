#include "config/VehicleFolder.h"

#include "config/ConfigText.h"

namespace camcab::config {

void ReadVehicle(Configuration& configuration, const std::wstring& folder, Diagnostics* diagnostics,
                 const VehicleSteps& steps) {
    // Without its folder, the names would be taken relative to the host's current folder.
    const bool folderKnown = !folder.empty();

    if (folderKnown && steps.detailModules) {
        steps.detailModules();
    }

    configuration.notchTable = NotchTable{};
    if (folderKnown) {
        LoadNotchTable(configuration.notchTable, JoinPath(folder, kNotchIndexFile), diagnostics);
    }

    configuration.motorSoundConfig = MotorSoundConfig{};
    if (folderKnown) {
        if (steps.audioStartUp) {
            steps.audioStartUp(configuration.motorSoundConfig);
        } else {
            LoadMotorSoundConfig(configuration.motorSoundConfig, folder, diagnostics);
        }
    }

    configuration.panelTest.PanelModifyEnabled =
        folderKnown && TestPanelModify(folder, diagnostics);

    if (folderKnown) {
        ReadNeedleTables(configuration.needleTables, folder, diagnostics);
    }
}

}  // namespace camcab::config
