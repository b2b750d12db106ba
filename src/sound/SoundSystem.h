// The library's own sounds: the audio engine and its start-up log, the per-frame operation
// set, the P-key pause, and every sound slot.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "config/MotorSoundConfig.h"
#include "platform/AudioEngine.h"
#include "sound/SoundRegistry.h"

namespace camcab::sound {

inline constexpr const wchar_t* kStartUpLogName = L"XAudio2初期化ログ.txt";

class SoundSystem {
  public:
    SoundSystem() = default;
    SoundSystem(const SoundSystem&) = delete;
    SoundSystem& operator=(const SoundSystem&) = delete;
    // At process exit: whatever Dispose did not release.
    ~SoundSystem();

    // Opens the start-up log, creates the engine and the mastering voice, reads the motor
    // sound configuration into `motorConfig` and loads every sound. Skipped as a whole when
    // the log cannot be opened; stops early when the engine or mastering voice cannot be made.
    void StartUp(const std::wstring& pluginDirectory, config::MotorSoundConfig& motorConfig);
    // After the needle tables: the second reverser sound's derived values and second voice.
    void PrepareSecondReverserVoice();
    // First step of a frame: restarts an engine paused by the previous frame, samples P.
    void FrameBegin();
    // Last step of a frame: pauses while P is down, commits the frame's operation set and
    // draws the next one.
    void FrameEnd();
    // Empties every sound and releases the engine.
    void ShutDown();

    // The operation set that this frame's voice changes go into.
    uint32_t OperationSet() const { return operationSet_; }
    // Hands out this frame's operation set and draws the next one, which the registry's
    // changes then go into.
    uint32_t DrawOperationSet();

    platform::EngineRef audioEngine;
    // Destroyed by the engine's last reference, never on its own at shut-down.
    platform::MasteringVoicePtr masteringVoice;
    bool pauseRequested = false;
    SoundRegistry registry;

  private:
    uint32_t operationSet_ = 0;
    std::atomic<int32_t> operationSetCounter_{0};
};

}  // namespace camcab::sound
