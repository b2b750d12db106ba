// The air sounds that follow the host's pressures: the main reservoir pipe sound of the
// library's own, and the host's looping brake pipe sound.
#pragma once

#include <cstdint>

#include "host/HostRecords.h"
#include "sim/HostSoundTrigger.h"
#include "sound/SoundRegistry.h"

namespace camcab::sim {

struct AirSoundState {
    float pipeVolume = 0.0f;
    int32_t mrSteadyMs = 5000;         // how long the main reservoir has been steady
    float prevMrPressure = 600.0f;     // kPa
    HostSoundLoop brakePipeHostSound;  // host sound 239: loops while the brake pipe charges
};

// Host sound 239 loops while the brake pipe pressure rises, and stops otherwise.
void updateBrakePipeSound(AirSoundState& air, const VehicleState& state, float prevBpPressure,
                          int32_t* sound);

// The pipe sound fades in while the main reservoir pressure changes and out 2 s after it has
// settled; its volume is set at once, not with the frame's changes.
void updatePipeSound(AirSoundState& air, const VehicleState& state, int32_t frameDeltaMs,
                     sound::SoundRegistry& sounds);

}  // namespace camcab::sim
