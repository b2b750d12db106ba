// The brake cylinder and straight air pipe pressures as the cab gauge shows them, and the two
// exhaust sounds that follow the displayed pressures.
#pragma once

#include <cstdint>

#include "host/HostRecords.h"
#include "sim/FrameState.h"
#include "sim/HandleInput.h"
#include "sim/NotchPressureLearning.h"
#include "sound/SoundSystem.h"

namespace camcab::sim {

struct CamshaftState;

// The displayed brake cylinder pressure never exceeds this.
inline constexpr float kMaxBcDisplayKpa = 320.0f;

struct BrakeDisplayState {
    float sapOffset = 0.0f;   // kPa added to the host's straight air pipe pressure
    float sapDisplay = 0.0f;  // kPa
    float bcOffset = 0.0f;    // kPa added to the host's brake cylinder pressure; never positive
    float bcDisplay = 0.0f;   // kPa
    int32_t sapNotFallingMs = 0;
    float bcVolume = 0.0f;  // last computed exhaust loop volume, clamped only when applied
    float prevSapDisplay = 0.0f;
    float prevBcDisplay = 0.0f;
    float noLoadCurrent = 0.0f;  // A, copied from the notch table by Load
};

// What the displays read besides their own state.
struct BrakeDisplayContext {
    BrakeDisplayState& display;
    const HandleState& handles;
    const FrameState& frame;
    const BrakeOverrideState& brakeOverride;
    const CamshaftState& cam;
    const NotchPressureTable& notchPressure;
    sound::SoundSystem& sound;
};

// One frame, inside the panel step: both displays, the fall timer and the exhaust sounds.
void updateBrakeDisplays(BrakeDisplayContext& c, const VehicleState& state, const Handles& result);

}  // namespace camcab::sim
