// The simulation: one object per concept, each owning its state (the frame driver calls their
// steps), and the host's events routed to the concepts they concern, in the order the concepts
// must see them.
#pragma once

#include <cstdint>

#include "config/Configuration.h"
#include "host/EventChannel.h"
#include "sim/AirSounds.h"
#include "sim/BrakeDisplays.h"
#include "sim/BrakeOverride.h"
#include "sim/Camshaft.h"
#include "sim/FrameMarks.h"
#include "sim/FrameState.h"
#include "sim/HandleInput.h"
#include "sim/HostSoundTrigger.h"
#include "sim/MotorSounds.h"
#include "sim/NotchPressureLearning.h"
#include "sim/Panel.h"
#include "sound/CabSounds.h"

namespace camcab::sim {

class Simulation {
  public:
    // The configuration Load read; the concepts keep references into it.
    void Configure(const config::Configuration& config);
    void OnVehicleSpec(int32_t brakeNotches);
    void OnInitialize();
    void OnPower(int32_t notch, sound::CabSounds& sounds);
    void OnBrake(int32_t notch);
    void OnReverser(int32_t position, sound::CabSounds& sounds);
    void OnKeyDown(int32_t key);
    void OnKeyUp(int32_t key);
    void OnDoorOpen();
    void OnDoorClose();
    bool DoorsClosed() const { return doorsClosed_; }

    HandleInput handles;
    FrameState frame;
    BrakeOverride brakeOverride;
    Camshaft camshaft;
    Panel panel;
    NotchPressureLearning notchPressure;
    AirSounds air;
    BrakeDisplays brakeDisplays;
    MotorSounds motorSounds;
    HostSoundTriggers hostSounds;
    // Where the workbench hears what the simulation does; off in the simulator.
    EventChannel events;
    // The marks the channel was last told of (kept only while it is on).
    FrameMarks toldMarks;

  private:
    bool doorsClosed_ = false;
};

}  // namespace camcab::sim
