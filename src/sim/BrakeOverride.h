// The brake override on host key 9: while it is on, the returned brake notch is past the
// emergency notch; after it is switched off, a watch waits for the brake cylinder pressure to
// fall, then times how long it holds and rises.
#pragma once

#include <cstdint>

#include "host/HostRecords.h"
#include "sim/FrameState.h"
#include "sim/HandleInput.h"
#include "sim/HostSoundTrigger.h"

namespace camcab::sim {

class BrakeOverride {
  public:
    // With the switch on, the frame's brake notch goes past the emergency notch (added to
    // it while regenerating) and the watch restarts.
    void Apply(const HandleInput& handles, const FrameState& frame, Handles& result);
    // After the switch is off. This frame's delta is not known yet: the previous frame's is
    // used.
    void Watch(float bcKpa, const HandleInput& handles, const FrameState& frame,
               HostSoundTriggers& hostSounds);

    bool IsWatching() const { return watching_; }
    bool IsWaitingForFall() const { return waitingForFall_; }

  private:
    bool watching_ = false;
    bool waitingForFall_ = false;
    int32_t holdMs_ = 0;
    int32_t riseMs_ = 0;
};

}  // namespace camcab::sim
