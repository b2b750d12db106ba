#include "sim/AirSounds.h"

#include <cmath>

#include "sim/FrameState.h"

namespace camcab::sim {
namespace {

// A main reservoir changing faster than this (kPa per ms) is being charged or drawn on.
constexpr float kMrChangingKpaPerMs = 0.0004f;
constexpr int32_t kPipeSoundHoldMs = 2000;
constexpr float kFadeInMs = 200.0f;
constexpr float kFadeOutMs = 170.0f;

}  // namespace

void updateBrakePipeSound(AirSoundState& air, const VehicleState& state, float prevBpPressure,
                          int32_t* sound) {
    HostSoundLoop& loop = air.brakePipeHostSound;
    loop.value = state.BpPressure > prevBpPressure ? kSoundPlayLooping : kSoundStop;
    int32_t value = loop.value;
    if (loop.forceStop) {
        value = kSoundStop;
        loop.forceStop = false;
    }
    if (sound != nullptr) {
        sound[kHostSoundBrakePipe] = value;
    }
}

void updatePipeSound(AirSoundState& air, const VehicleState& state, int32_t frameDeltaMs,
                     sound::SoundRegistry& sounds) {
    const float mrKpa = state.MrPressure;
    const float dt = static_cast<float>(frameDeltaMs);
    const float rate = std::fabs(mrKpa - air.prevMrPressure) / dt;
    air.mrSteadyMs = rate > kMrChangingKpaPerMs ? 0 : AddMs(air.mrSteadyMs, frameDeltaMs);
    if (air.mrSteadyMs < kPipeSoundHoldMs && air.pipeVolume < 1.0f) {
        air.pipeVolume += dt / kFadeInMs;
    } else if (air.pipeVolume > 0.0f) {
        air.pipeVolume -= dt / kFadeOutMs;
    }
    if (air.pipeVolume > 1.0f) {
        air.pipeVolume = 1.0f;
    } else if (air.pipeVolume < 0.0f) {
        air.pipeVolume = 0.0f;
    }
    if (sounds.pipeSound.voice != nullptr) {
        sounds.pipeSound.voice->SetVolume(air.pipeVolume, platform::kCommitNow);
    }
    air.prevMrPressure = mrKpa;
}

}  // namespace camcab::sim
