// The library's own sounds: the audio engine and its start-up log, the per-frame operation
// set, and every sound slot.
#pragma once

#include <string>

#include "config/MotorSoundConfig.h"

namespace camcab::sound {

class SoundSystem {
public:
    // Opens the start-up log, creates the engine and the mastering voice, reads the motor
    // sound configuration into `motorConfig` and loads every sound. Skipped as a whole when
    // the log cannot be opened or the engine cannot be made.
    void StartUp(const std::wstring& pluginDirectory, config::MotorSoundConfig& motorConfig);
    // After the needle tables: the second reverser sound's derived values and second voice.
    void PrepareSecondReverserVoice();
    void FrameBegin();
    void FrameEnd();
    void ShutDown();
};

}  // namespace camcab::sound
