// The library's own sounds on a clock of their own: each one-shot plays for its length and then
// has ended, as a voice's buffer runs out. One sample frame is one millisecond, so positions and
// lengths read in milliseconds. The test advances the clock as frames go by.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "sound/CabSounds.h"

namespace camcab::test {

using sound::Commit;
using sound::Sound;

class FakeSounds final : public sound::CabSounds {
  public:
    static constexpr size_t kSounds = static_cast<size_t>(Sound::Reverser2Loop) + 1;

    FakeSounds() {
        for (Voice& voice : voices_) {
            voice.lengthMs = 500;
        }
        // The air loops play from the start, silent until given a volume.
        Of(Sound::Bc).looping = Of(Sound::Pipe).looping = true;
        Of(Sound::Bc).playing = Of(Sound::Pipe).playing = true;
    }

    void SetLengthMs(Sound sound, uint32_t lengthMs) { Of(sound).lengthMs = lengthMs; }
    // A sound whose file did not decode: every call on it does nothing.
    void RemoveVoice(Sound sound) { Of(sound) = Voice{false}; }
    void SetMotorSoundCount(size_t count) { motors_.assign(count, Motor{}); }
    void Advance(uint32_t ms) { nowMs_ += ms; }

    // How often the sound was started since the last look, and forgets.
    int TakePlays(Sound sound) {
        const int plays = Of(sound).plays;
        Of(sound).plays = 0;
        return plays;
    }
    uint32_t RangeBeginMs(Sound sound) const { return Of(sound).rangeBeginMs; }
    uint32_t RangeLengthMs(Sound sound) const { return Of(sound).rangeLengthMs; }
    float Volume(Sound sound) const { return Of(sound).volume; }
    float MotorRatio(size_t k) const { return motors_[k].ratio; }
    float MotorVolume(size_t k) const { return motors_[k].volume; }

    bool HasVoice(Sound sound) const override { return Of(sound).hasVoice; }
    bool IsPlaying(Sound sound) const override {
        const Voice& v = Of(sound);
        return v.hasVoice && v.playing && (v.looping || nowMs_ < v.startMs + PlayedLengthMs(v));
    }
    void Play(Sound sound) override {
        Voice& v = Of(sound);
        if (v.hasVoice) {
            v.playing = true;
            v.startMs = nowMs_;
            ++v.plays;
        }
    }
    void Stop(Sound sound, Commit) override { Of(sound).playing = false; }
    void PlayRange(Sound sound, uint32_t beginMs, uint32_t lengthMs) override {
        Voice& v = Of(sound);
        if (v.hasVoice) {
            v.rangeBeginMs = beginMs;
            v.rangeLengthMs = lengthMs;
            Play(sound);
        }
    }
    uint32_t PositionFrames(Sound sound) const override {
        const Voice& v = Of(sound);
        if (!v.hasVoice || v.lengthMs == 0) {
            return 0;
        }
        const uint64_t played = nowMs_ - v.startMs;
        return static_cast<uint32_t>((v.rangeBeginMs + played) % v.lengthMs);
    }
    uint32_t LengthFrames(Sound sound) const override {
        return Of(sound).hasVoice ? Of(sound).lengthMs : 0;
    }
    void SetVolume(Sound sound, float volume, Commit) override {
        if (Of(sound).hasVoice) {
            Of(sound).volume = volume;
        }
    }
    size_t MotorSoundCount() const override { return motors_.size(); }
    void SetMotorFrequencyRatio(size_t k, float ratio) override { motors_[k].ratio = ratio; }
    void SetMotorVolume(size_t k, float volume) override { motors_[k].volume = volume; }

  private:
    struct Voice {
        bool hasVoice = true;
        bool looping = false;
        bool playing = false;
        uint32_t lengthMs = 0;
        uint64_t startMs = 0;
        uint32_t rangeBeginMs = 0;
        uint32_t rangeLengthMs = 0;  // 0: to the end
        float volume = 0.0f;
        int plays = 0;
    };
    struct Motor {
        float ratio = 1.0f;
        float volume = 0.0f;
    };

    Voice& Of(Sound sound) { return voices_[static_cast<size_t>(sound)]; }
    const Voice& Of(Sound sound) const { return voices_[static_cast<size_t>(sound)]; }
    static uint64_t PlayedLengthMs(const Voice& v) {
        if (v.rangeBeginMs >= v.lengthMs) {
            return 0;
        }
        return v.rangeLengthMs != 0 ? v.rangeLengthMs : v.lengthMs - v.rangeBeginMs;
    }

    std::array<Voice, kSounds> voices_{};
    std::vector<Motor> motors_;
    uint64_t nowMs_ = 0;
};

}  // namespace camcab::test
