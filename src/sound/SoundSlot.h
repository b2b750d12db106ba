// One sound of the library's own: a WAV file decoded whole into memory and bound to its own
// source voice. A slot is either a one-shot (loop count 0) or an endless loop (255), and
// that decides what every operation means. No operation throws; a slot without a voice
// answers every operation with XAUDIO2_E_INVALID_CALL.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/AudioEngine.h"
#include "platform/StartUpLog.h"

namespace camcab::sound {

// The start-up log line that names a sound's file, before its full path.
inline constexpr const wchar_t* kLogFileNameLabel = L"ファイル名：";

inline constexpr uint32_t kOneShot = 0;
inline constexpr uint32_t kLooping = platform::kLoopInfinite;
inline constexpr float kDefaultMaxFrequencyRatio = 2.0f;

// What decoding a sound file the way a slot loads it gave.
struct SoundDecoding {
    // The code the start-up log shows for the file (a voice that cannot be made aside).
    int32_t code = platform::kSuccess;
    // The decoded format is neither PCM nor mono: the load ends with E_INVALIDARG and no log
    // line.
    bool formatRejected = false;
    // This decoding started the media framework; the caller shuts it down when done.
    bool mediaFoundationStarted = false;
};

// Decodes the file at `normalPath` whole into `pcm` (emptied first) and its format into
// `format`: the decoding half of a slot's load, shared with tools that check sound files.
SoundDecoding DecodeSound(const std::wstring& normalPath, platform::WaveFormat& format,
                          std::vector<uint8_t>& pcm) noexcept;

class SoundSlot {
  private:
    // A flag that a move hands over, leaving the source's false.
    class HandedFlag {
      public:
        HandedFlag() noexcept = default;
        HandedFlag(HandedFlag&& other) noexcept : value_(other.value_) { other.value_ = false; }
        HandedFlag& operator=(HandedFlag&& other) noexcept {
            const bool value = other.value_;
            other.value_ = false;
            value_ = value;
            return *this;
        }
        HandedFlag& operator=(bool value) noexcept {
            value_ = value;
            return *this;
        }
        operator bool() const noexcept { return value_; }

      private:
        bool value_ = false;
    };

  public:
    // An empty slot: no engine, no voice.
    SoundSlot() noexcept = default;
    // Takes a reference on `engine` and loads `path` (the motor sounds).
    SoundSlot(const platform::EngineRef& engine, platform::StartUpLog* log,
              const std::wstring& path, uint32_t loopCount, uint32_t voiceFlags,
              float maxFrequencyRatio) noexcept;
    // A move takes the voice, the engine reference, the PCM and the records; the source is
    // left empty and not started. Moving onto a slot destroys its voice without a Stop first:
    // Clear it before, to stop it as Stop does.
    SoundSlot(SoundSlot&& source) noexcept = default;
    SoundSlot& operator=(SoundSlot&& source) noexcept = default;
    SoundSlot(const SoundSlot&) = delete;
    SoundSlot& operator=(const SoundSlot&) = delete;
    ~SoundSlot();

    // Loads a file into this slot on `audioEngine`, always without pitch control (the named
    // sounds).
    int32_t Reload(const platform::EngineRef& audioEngine, platform::StartUpLog* log,
                   const std::wstring& path, uint32_t newLoopCount,
                   float newMaxFrequencyRatio) noexcept;
    int32_t Play(uint32_t operationSet) noexcept;
    int32_t Stop(uint32_t operationSet) noexcept;
    // Plays once from `startFrame` for `lengthFrames` (0: to the end), after flushing what the
    // voice had queued. The range stays in the buffer record for later plays.
    int32_t PlayRange(uint32_t startFrame, uint32_t lengthFrames, uint32_t operationSet) noexcept;
    int32_t SetVolume(float volume, uint32_t operationSet) noexcept;
    int32_t SetFrequencyRatio(float ratio, uint32_t operationSet) noexcept;
    bool IsPlaying() const noexcept;
    bool HasVoice() const noexcept { return voice != nullptr; }
    // The decoded sound's length in sample frames, worked out in 64 bits; 0 without a format.
    uint32_t LengthFrames() const noexcept;
    // The sample frame the voice has reached, within the sound's length; 0 without a voice.
    uint32_t PositionFrames() const noexcept;
    // Stops a started voice, destroys it, lets the engine go and returns to the empty state;
    // the PCM storage is kept.
    void Clear() noexcept;
    // Copy assignment: the copy gets its own PCM and its own voice.
    void CopyFrom(const SoundSlot& source) noexcept;

    // The voice comes before the engine reference: a move destroys the own voice before it
    // lets the own engine go, as the destructor does.
    platform::VoicePtr voice;
    platform::EngineRef engine;
    std::vector<uint8_t> pcm;
    uint32_t loopCount = kLooping;
    uint32_t voiceFlags = 0;
    float maxFrequencyRatio = kDefaultMaxFrequencyRatio;
    platform::VoiceCallback* callback = nullptr;
    const platform::VoiceSends* sendList = nullptr;
    const platform::EffectChain* effectChain = nullptr;
    std::unique_ptr<platform::AudioBuffer> buffer;
    std::unique_ptr<platform::WaveFormat> format;
    HandedFlag started;
    // The one-shot's buffer has played out since Play last queued it.
    mutable bool drained = false;

  private:
    // Decodes the file and creates the voice; logs two lines when `log` is given.
    int32_t DecodeAndCreateVoice(const std::wstring& path, platform::StartUpLog* log) noexcept;
    bool EnsureRecords() noexcept;
    // Creates the voice for `format` and fills `buffer`; a looping slot starts at volume 0.
    int32_t CreateVoiceAndBuffer() noexcept;
};

// A volume a voice is given: within 0.0 to 1.0, and silent for a value that is not a number.
inline float UnitVolume(float volume) {
    return volume >= 0.0f ? (volume <= 1.0f ? volume : 1.0f) : 0.0f;
}

// The text of the start-up log's result code: "%#x" (lower case) or "%#X" (upper case).
std::wstring FormatCode(int32_t code, bool upperCase);

}  // namespace camcab::sound
