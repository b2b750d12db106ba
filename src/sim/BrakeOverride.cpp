#include "sim/BrakeOverride.h"

namespace camcab::sim {
namespace {

constexpr int32_t kOverrideWatchMs = 100;

// Notches from chained modules may be anything; sums saturate instead of overflowing.
int32_t AddNotches(int32_t a, int32_t b) {
    return SaturateInt32(static_cast<int64_t>(a) + b);
}

}  // namespace

void BrakeOverride::Apply(const HandleInput& handles, const FrameState& frame, Handles& result) {
    if (!handles.Key9On()) {
        return;
    }
    const int32_t emergency = handles.EmergencyNotch();
    if (result.Brake == 0 && result.Power == 0) {
        result.Reverser = 0;
    }
    if (frame.CurrentA() < 0.0f && result.Power >= 0) {
        result.Brake = AddNotches(result.Brake, AddNotches(emergency, 1));
    } else if (result.Brake != emergency) {
        result.Brake = AddNotches(emergency, 1);
    }
    watching_ = true;
    waitingForFall_ = true;
    holdMs_ = 0;
    riseMs_ = 0;
}

void BrakeOverride::Watch(float bcKpa, const HandleInput& handles, const FrameState& frame,
                          HostSoundTriggers& hostSounds) {
    if (handles.Key9On() || !watching_) {
        return;
    }
    const float prevBcKpa = frame.PrevBcKpa();
    const int32_t deltaMs = frame.DeltaMs();
    if (bcKpa >= prevBcKpa && !waitingForFall_) {
        holdMs_ = AddMs(holdMs_, deltaMs);
    }
    if (bcKpa > prevBcKpa && !waitingForFall_) {
        riseMs_ = AddMs(riseMs_, deltaMs);
    }
    if (bcKpa < prevBcKpa) {
        waitingForFall_ = false;
    }
    if (holdMs_ > kOverrideWatchMs) {
        hostSounds[kHostSoundOverrideOff].RequestStop();
    }
    if (riseMs_ > kOverrideWatchMs) {
        watching_ = false;
        hostSounds[kHostSoundOverrideBcRise].RequestPlay();
    }
}

}  // namespace camcab::sim
