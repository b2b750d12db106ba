// On POSIX the host process offers services that Windows provides through the OS: the
// keyboard, and an audio clock for rendering in step with its frames. The plug-in finds them
// as C functions of the host process by these names; a host that offers none has no key down
// and no audio clock.
#pragma once

#include <cstdint>

extern "C" {
// Key state word of a virtual key (high bit 0x8000 while down), as GetKeyState answers.
using CamcabHostKeyStateFn = int16_t (*)(int32_t virtualKey);
// Fills 256 key state bytes, as GetKeyboardState does; returns non-zero on success.
using CamcabHostKeyboardStateFn = int32_t (*)(uint8_t* keys);

// The plug-in's audio output, handed to a host that keeps the audio clock. The host calls
// `renderQuantum` whenever its clock has advanced by `quantumFrames` sample frames; each call
// mixes the next quantum into `output` (quantumFrames x channels interleaved floats). While
// the plug-in's engine is stopped the quantum is silent and the sounds do not advance.
struct CamcabAudioSource {
    void* context;
    uint32_t sampleRate;
    uint32_t channels;
    uint32_t quantumFrames;
    void (*renderQuantum)(void* context, float* output);
};
// Called by the plug-in with its source once its engine has a mastering voice, and with
// null before that engine goes away. The source stays valid until then.
using CamcabHostAttachAudioFn = void (*)(const CamcabAudioSource* source);
}

namespace camcab::platform {
inline constexpr const char* kHostKeyStateName = "CamcabHostKeyState";
inline constexpr const char* kHostKeyboardStateName = "CamcabHostKeyboardState";
inline constexpr const char* kHostAttachAudioName = "CamcabHostAttachAudio";
}  // namespace camcab::platform
