// The simulation's state: handles, frame quantities, camshaft flags, panel, doors and the
// host sound triggers. Each group belongs to the part of the frame that owns it.
#pragma once

#include <array>
#include <cstdint>

#include "sim/HostSoundTrigger.h"
#include "sim/NotchPressureTable.h"

namespace camcab::sim {

struct HandleState {
    int32_t powerNotch = 0;
    int32_t brakeNotch = 0;
    int32_t reverserPosition = 0;
    int32_t brakeNotchCount = 0;
    int32_t emergencyNotch = 0;
    bool key5Switch = false;
    bool key6Switch = false;
    bool key8Switch = false;
};

struct FrameState {
    float prevBcPressure = 0.0f;
    float prevBpPressure = 0.0f;
    float prevSapPressure = 0.0f;
    float prevAbsCurrent = 0.0f;
    float prevCurrent = 0.0f;
};

struct CamshaftState {
    bool camAtStart = false;
    bool reverser1Pending = false;
    bool reverser2Pending = false;
    bool forwardSelected = false;
    bool backwardSelected = false;
    bool forwardSet = false;
    bool backwardSet = false;
    bool brakeRaised = false;
    bool start1Armed = false;
    bool start2Armed = false;
    bool regenReleased = false;
    float currentLimitEmpty = 0.0f;  // A
    float noLoadCurrent = 0.0f;      // A
    int32_t breakerDelayMs = 0;
    int32_t brakeTopNotch = 0;
};

struct PanelState {
    int32_t blinkTimerMs = 0;
    float lineVoltageBase = 0.0f;  // V
};

// Host sound indices of the door chimes.
inline constexpr int kHostSoundDoorClose = 95;
inline constexpr int kHostSoundDoorOpen = 96;

struct Simulation {
    HandleState handles;
    FrameState frame;
    CamshaftState camshaft;
    PanelState panel;
    NotchPressureTable notchPressure;
    bool doorsClosed = false;
    std::array<HostSoundTrigger, 256> hostSoundTriggers{};
};

}  // namespace camcab::sim
