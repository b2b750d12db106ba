// The air sounds that follow the host's pressures: the main reservoir pipe sound of the
// library's own, and the host's looping brake pipe sound.
#pragma once

#include <cstdint>

#include "host/HostRecords.h"
#include "sim/HostSoundTrigger.h"
#include "sound/CabSounds.h"

namespace camcab::sim {

class AirSounds {
  public:
    // Host sound 239 loops while the brake pipe pressure rises, and stops otherwise.
    void UpdateBrakePipeSound(const VehicleState& state, float prevBpKpa, int32_t* soundArray);
    // The pipe sound fades in while the main reservoir pressure changes and out 2 s after it
    // has settled; its volume is set at once, not with the frame's changes.
    void UpdatePipeSound(const VehicleState& state, int32_t frameDeltaMs, sound::CabSounds& sounds);

  private:
    float pipeVolume_ = 0.0f;
    int32_t mrSteadyMs_ = 5000;  // how long the main reservoir has been steady
    float prevMrKpa_ = 600.0f;
    HostSoundLoop brakePipeHostSound_;  // loops while the brake pipe charges
};

}  // namespace camcab::sim
