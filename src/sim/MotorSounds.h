// The traction motors' hum and brush noise: every motor sound's pitch and loudness follow the
// speed along the curve set the current chooses (powering, braking or coasting).
#pragma once

#include "config/MotorSoundConfig.h"
#include "sound/CabSounds.h"

namespace camcab::sim {

class MotorSounds {
  public:
    // The motor sound configuration, kept by reference until the next Configure.
    void Configure(const config::MotorSoundConfig& config) { config_ = &config; }
    // Sets each motor sound's frequency ratio and volume for this frame, with the frame's
    // changes. A current that is not a number leaves every sound as it was.
    void Update(float absSpeedKmh, float currentA, sound::CabSounds& sounds) const;

  private:
    const config::MotorSoundConfig* config_ = nullptr;
};

}  // namespace camcab::sim
