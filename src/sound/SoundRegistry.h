// Every sound the library plays itself: the named camshaft, breaker and air sounds, the
// second voice of the second reverser sound, and the bank of motor sounds.
#pragma once

#include <cstdint>
#include <vector>

#include "config/MotorSoundConfig.h"
#include "platform/AudioEngine.h"
#include "platform/StartUpLog.h"
#include "sound/SoundSlot.h"

namespace camcab::sound {

struct SoundRegistry {
    SoundSlot resetSound;
    SoundSlot start1Sound;
    SoundSlot start2Sound;
    SoundSlot reverser1Sound;
    SoundSlot reverser2Sound;
    SoundSlot reverser3Sound;
    SoundSlot notchOffSound;
    SoundSlot breakerOffSound;
    SoundSlot shindan1Sound;
    SoundSlot shindan2Sound;
    SoundSlot watariSound;
    SoundSlot sapSound;
    SoundSlot bcSound;
    SoundSlot pipeSound;
    SoundSlot reverser2LoopSound;

    // One slot per motor sound number of the configuration the bank was built from.
    std::vector<SoundSlot> motorSounds;
    uint64_t motorSoundCount() const { return motorSounds.size(); }

    // Derived from the second reverser sound once it is loaded.
    platform::WaveFormat reverser2Format{};
    uint32_t reverser2LengthFrames = 0;
};

// The largest frequency ratio motor sound k is ever asked for: the largest of the highest
// point of each of its three frequency curves and their values at 160 km/h.
float MotorMaxFrequencyRatio(const config::MotorSoundConfig& config, uint64_t k);

// Builds the motor sound bank (one slot per configured motor sound) and loads the named sounds, in
// the order of their log lines.
void LoadSounds(SoundRegistry& registry, platform::AudioEngine* engine, platform::StartUpLog* log,
                const config::MotorSoundConfig& config, const std::wstring& pluginDirectory);

// After the needle tables: the second reverser sound's format and length, and its second voice.
void PrepareSecondReverserVoice(SoundRegistry& registry);

// Empties every motor sound and clears the named sounds.
void UnloadSounds(SoundRegistry& registry);

}  // namespace camcab::sound
