// The simulation's state, one struct per concept, each owned by the code of that concept.
#pragma once

#include "sim/AirSounds.h"
#include "sim/BrakeDisplays.h"
#include "sim/Camshaft.h"
#include "sim/FrameState.h"
#include "sim/HandleInput.h"
#include "sim/HostSoundTrigger.h"
#include "sim/NotchPressureLearning.h"
#include "sim/Panel.h"

namespace camcab::sim {

struct Simulation {
    HandleState handles;
    FrameState frame;
    BrakeOverrideState brakeOverride;
    CamshaftState camshaft;
    PanelState panel;
    NotchPressureTable notchPressure;
    NotchLearningState notchLearning;
    AirSoundState air;
    BrakeDisplayState brakeDisplays;
    bool doorsClosed = false;
    HostSoundTriggers hostSoundTriggers;
};

}  // namespace camcab::sim
