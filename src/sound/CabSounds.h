// The library's own sounds as the simulation asks about them: by name, with the frame's
// voice changes or at once. The sound registry plays them on the audio engine; tests play them
// on a clock driven by the sounds' lengths.
#pragma once

#include <cstddef>
#include <cstdint>

namespace camcab::sound {

enum class Sound : uint8_t {
    Reset,
    Start1,
    Start2,
    Reverser1,
    Reverser2,
    Reverser3,
    NotchOff,
    BreakerOff,
    Shindan1,
    Shindan2,
    Watari,
    Sap,
    Bc,
    Pipe,
    Reverser2Loop,  // the second voice of the second reverser sound
};

// When a voice change takes effect: with the rest of the frame's changes, or at once.
enum class Commit : uint8_t { WithFrame, Now };

class CabSounds {
  public:
    // The sound has a voice: its file decoded and the engine gave it one.
    virtual bool HasVoice(Sound sound) const = 0;
    virtual bool IsPlaying(Sound sound) const = 0;
    virtual void Play(Sound sound) = 0;
    virtual void Stop(Sound sound, Commit commit) = 0;
    // Plays the sound once from `startFrame` for `lengthFrames` sample frames (0: to its end),
    // dropping whatever it had queued.
    virtual void PlayRange(Sound sound, uint32_t startFrame, uint32_t lengthFrames) = 0;
    // The sample frame the sound's voice has reached, within its length; 0 without a voice.
    virtual uint32_t PositionFrames(Sound sound) const = 0;
    // The sound's length in sample frames; 0 without a decoded sound.
    virtual uint32_t LengthFrames(Sound sound) const = 0;
    virtual void SetVolume(Sound sound, float volume, Commit commit) = 0;

    // The bank of motor sounds, one per configured motor sound number.
    virtual size_t MotorSoundCount() const = 0;
    virtual void SetMotorFrequencyRatio(size_t motorSound, float ratio) = 0;
    virtual void SetMotorVolume(size_t motorSound, float volume) = 0;

  protected:
    ~CabSounds() = default;
};

}  // namespace camcab::sound
