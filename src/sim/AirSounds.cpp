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

void AirSounds::UpdateBrakePipeSound(const VehicleState& state, float prevBpKpa,
                                     int32_t* soundArray) {
    HostSoundLoop& loop = brakePipeHostSound_;
    loop.value = state.BpPressure > prevBpKpa ? kSoundPlayLooping : kSoundStop;
    int32_t value = loop.value;
    if (loop.forceStop) {
        value = kSoundStop;
        loop.forceStop = false;
    }
    if (soundArray != nullptr) {
        soundArray[kHostSoundBrakePipe] = value;
    }
}

void AirSounds::UpdatePipeSound(const VehicleState& state, int32_t frameDeltaMs,
                                sound::CabSounds& sounds) {
    const float mrKpa = state.MrPressure;
    const float dt = static_cast<float>(frameDeltaMs);
    const float rate = std::fabs(mrKpa - prevMrKpa_) / dt;
    mrSteadyMs_ = rate > kMrChangingKpaPerMs ? 0 : AddMs(mrSteadyMs_, frameDeltaMs);
    if (mrSteadyMs_ < kPipeSoundHoldMs && pipeVolume_ < 1.0f) {
        pipeVolume_ += dt / kFadeInMs;
    } else if (pipeVolume_ > 0.0f) {
        pipeVolume_ -= dt / kFadeOutMs;
    }
    if (pipeVolume_ > 1.0f) {
        pipeVolume_ = 1.0f;
    } else if (pipeVolume_ < 0.0f) {
        pipeVolume_ = 0.0f;
    }
    sounds.SetVolume(sound::Sound::Pipe, pipeVolume_, sound::Commit::Now);
    prevMrKpa_ = mrKpa;
}

}  // namespace camcab::sim
