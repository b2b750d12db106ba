// Every sound the library plays itself: the named camshaft, breaker and air sounds, the
// second voice of the second reverser sound, and the bank of motor sounds.
#pragma once

#include <cstdint>
#include <iterator>
#include <vector>

#include "config/MotorSoundConfig.h"
#include "platform/AudioEngine.h"
#include "platform/StartUpLog.h"
#include "sound/CabSounds.h"
#include "sound/SoundSlot.h"

namespace camcab::sound {

struct SoundRegistry final : CabSounds {
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

    SoundSlot& Slot(Sound sound);
    const SoundSlot& Slot(Sound sound) const;
    // The operation set that changes made with the frame go into.
    void UseOperationSet(uint32_t operationSet) { frameOperationSet_ = operationSet; }

    bool HasVoice(Sound sound) const override { return Slot(sound).HasVoice(); }
    bool IsPlaying(Sound sound) const override { return Slot(sound).IsPlaying(); }
    void Play(Sound sound) override { Slot(sound).Play(frameOperationSet_); }
    void Stop(Sound sound, Commit commit) override { Slot(sound).Stop(SetFor(commit)); }
    void PlayRange(Sound sound, uint32_t startFrame, uint32_t lengthFrames) override {
        Slot(sound).PlayRange(startFrame, lengthFrames, frameOperationSet_);
    }
    uint32_t PositionFrames(Sound sound) const override { return Slot(sound).PositionFrames(); }
    uint32_t LengthFrames(Sound sound) const override { return Slot(sound).LengthFrames(); }
    void SetVolume(Sound sound, float volume, Commit commit) override {
        Slot(sound).SetVolume(volume, SetFor(commit));
    }
    size_t MotorSoundCount() const override { return motorSounds.size(); }
    void SetMotorFrequencyRatio(size_t motorSound, float ratio) override {
        motorSounds[motorSound].SetFrequencyRatio(ratio, frameOperationSet_);
    }
    void SetMotorVolume(size_t motorSound, float volume) override {
        motorSounds[motorSound].SetVolume(volume, frameOperationSet_);
    }

  private:
    uint32_t SetFor(Commit commit) const {
        return commit == Commit::Now ? platform::kCommitNow : frameOperationSet_;
    }

    uint32_t frameOperationSet_ = 0;
};

inline SoundSlot& SoundRegistry::Slot(Sound sound) {
    return const_cast<SoundSlot&>(static_cast<const SoundRegistry&>(*this).Slot(sound));
}

inline const SoundSlot& SoundRegistry::Slot(Sound sound) const {
    switch (sound) {
        case Sound::Reset:
            return resetSound;
        case Sound::Start1:
            return start1Sound;
        case Sound::Start2:
            return start2Sound;
        case Sound::Reverser1:
            return reverser1Sound;
        case Sound::Reverser2:
            return reverser2Sound;
        case Sound::Reverser3:
            return reverser3Sound;
        case Sound::NotchOff:
            return notchOffSound;
        case Sound::BreakerOff:
            return breakerOffSound;
        case Sound::Shindan1:
            return shindan1Sound;
        case Sound::Shindan2:
            return shindan2Sound;
        case Sound::Watari:
            return watariSound;
        case Sound::Sap:
            return sapSound;
        case Sound::Bc:
            return bcSound;
        case Sound::Pipe:
            return pipeSound;
        case Sound::Reverser2Loop:
            return reverser2LoopSound;
    }
    return resetSound;
}

// A named one-shot sound and its file in the plug-in's folder.
struct NamedSoundFile {
    SoundSlot SoundRegistry::*slot;
    const wchar_t* file;
};

// The named one-shot sounds, in load order (the order of their log lines).
inline constexpr NamedSoundFile kOneShotSoundFiles[] = {
    {&SoundRegistry::resetSound, L"kamujiku\\reset.wav"},
    {&SoundRegistry::start1Sound, L"kamujiku\\start1.wav"},
    {&SoundRegistry::start2Sound, L"kamujiku\\start2.wav"},
    {&SoundRegistry::reverser1Sound, L"kamujiku\\reverser1.wav"},
    {&SoundRegistry::reverser2Sound, L"kamujiku\\reverser2.wav"},
    {&SoundRegistry::reverser3Sound, L"kamujiku\\reverser3.wav"},
    {&SoundRegistry::notchOffSound, L"kamujiku\\notchoff.wav"},
    {&SoundRegistry::breakerOffSound, L"kamujiku\\breakeroff.wav"},
    {&SoundRegistry::shindan1Sound, L"kamujiku\\shindan1.wav"},
    {&SoundRegistry::shindan2Sound, L"kamujiku\\shindan2.wav"},
    {&SoundRegistry::watariSound, L"kamujiku\\watari.wav"},
    {&SoundRegistry::sapSound, L"air\\sap.wav"},
};
// The looping air sounds, loaded after the one-shots. The brake-cylinder loop is "air\bc.wav"
// when the SAP sound got a voice, else the folder's own "airloop.wav".
inline constexpr const wchar_t* kBcSoundFile = L"air\\bc.wav";
inline constexpr const wchar_t* kBcFallbackSoundFile = L"airloop.wav";
inline constexpr const wchar_t* kPipeSoundFile = L"air\\pipe.wav";

// The file a sound is loaded from, as the plug-in's folder names it: the one-shots are listed
// above in the order of Sound; the brake-cylinder loop is named by its usual file, and the
// second voice of the second reverser sound by that sound's.
inline const wchar_t* SoundFile(Sound sound) {
    const auto index = static_cast<size_t>(sound);
    switch (sound) {
        case Sound::Bc:
            return kBcSoundFile;
        case Sound::Pipe:
            return kPipeSoundFile;
        case Sound::Reverser2Loop:
            return SoundFile(Sound::Reverser2);
        default:
            return index < std::size(kOneShotSoundFiles) ? kOneShotSoundFiles[index].file : L"";
    }
}

// The largest frequency ratio motor sound k is ever asked for: the largest of the highest
// point of each of its three frequency curves and their values at 160 km/h.
float MotorMaxFrequencyRatio(const config::MotorSoundConfig& config, uint64_t k);

// Builds the motor sound bank (one slot per configured motor sound) and loads the named sounds, in
// the order of their log lines.
void LoadSounds(SoundRegistry& registry, const platform::EngineRef& engine,
                platform::StartUpLog* log, const config::MotorSoundConfig& config,
                const std::wstring& pluginDirectory);

// After the needle tables: the second reverser sound's second voice.
void PrepareSecondReverserVoice(SoundRegistry& registry);

// Empties every motor sound and clears the named sounds.
void UnloadSounds(SoundRegistry& registry);

}  // namespace camcab::sound
