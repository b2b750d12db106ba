// Every configuration record of the library, filled once by Load.
#pragma once

#include "config/MotorSoundConfig.h"
#include "config/NeedleTables.h"
#include "config/NotchTable.h"
#include "config/PanelTest.h"

namespace camcab::config {

struct Configuration {
    NotchTable notchTable;
    MotorSoundConfig motorSoundConfig;
    NeedleTables needleTables;
    PanelTest panelTest;
};

}  // namespace camcab::config
