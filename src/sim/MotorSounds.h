// The traction motors' hum and brush noise: every motor sound's pitch and loudness follow the
// speed along the curve set the current chooses (powering, braking or coasting).
#pragma once

#include <cstdint>

#include "config/MotorSoundConfig.h"
#include "sound/SoundRegistry.h"

namespace camcab::sim {

// Sets each motor sound's frequency ratio and volume for this frame, with the frame's changes.
// A current that is not a number leaves every sound as it was.
void updateMotorSounds(sound::SoundRegistry& sounds, const config::MotorSoundConfig& config,
                       float absSpeed, float current, uint32_t operationSet);

}  // namespace camcab::sim
