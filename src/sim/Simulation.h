// The simulation's state, one struct per concept, each owned by the code of that concept.
#pragma once

#include "sim/Camshaft.h"
#include "sim/FrameState.h"
#include "sim/HandleInput.h"
#include "sim/HostSoundTrigger.h"
#include "sim/NotchPressureTable.h"
#include "sim/Panel.h"

namespace camcab::sim {

struct Simulation {
    HandleState handles;
    FrameState frame;
    BrakeOverrideState brakeOverride;
    CamshaftState camshaft;
    PanelState panel;
    NotchPressureTable notchPressure;
    bool doorsClosed = false;
    HostSoundTriggers hostSoundTriggers;
    HostSoundLoop brakePipeHostSound;
};

}  // namespace camcab::sim
