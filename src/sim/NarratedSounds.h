// The library's sounds as the host's event channel hears of them: each play, stop and natural
// end of a sound, named by its file. It stands between the simulation and the sounds only
// while the host offers the channel.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "host/EventChannel.h"
#include "sound/CabSounds.h"

namespace camcab::sim {

class NarratedSounds final : public sound::CabSounds {
  public:
    NarratedSounds(sound::CabSounds& sounds, const EventChannel& events)
        : sounds_(sounds), events_(events) {}

    bool HasVoice(sound::Sound sound) const override { return sounds_.HasVoice(sound); }
    bool IsPlaying(sound::Sound sound) const override { return sounds_.IsPlaying(sound); }
    void Play(sound::Sound sound) override;
    void Stop(sound::Sound sound, sound::Commit commit) override;
    void PlayRange(sound::Sound sound, uint32_t startFrame, uint32_t lengthFrames) override;
    uint32_t PositionFrames(sound::Sound sound) const override {
        return sounds_.PositionFrames(sound);
    }
    uint32_t LengthFrames(sound::Sound sound) const override { return sounds_.LengthFrames(sound); }
    void SetVolume(sound::Sound sound, float volume, sound::Commit commit) override {
        sounds_.SetVolume(sound, volume, commit);
    }
    size_t MotorSoundCount() const override { return sounds_.MotorSoundCount(); }
    void SetMotorFrequencyRatio(size_t motorSound, float ratio) override {
        sounds_.SetMotorFrequencyRatio(motorSound, ratio);
    }
    void SetMotorVolume(size_t motorSound, float volume) override {
        sounds_.SetMotorVolume(motorSound, volume);
    }

    // Every sound told playing that has since run out is told ended (at a frame's start).
    void TellEnded();
    // A fresh start: no sound is playing (Load).
    void Forget() { playing_.fill(false); }

  private:
    static constexpr size_t kSounds = static_cast<size_t>(sound::Sound::Reverser2Loop) + 1;

    void Tell(sound::Sound sound, const char* what) const;

    sound::CabSounds& sounds_;
    const EventChannel& events_;
    // Sounds told started and not yet stopped or ended.
    std::array<bool, kSounds> playing_{};
};

}  // namespace camcab::sim
