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
}

namespace camcab::platform {
inline constexpr const char* kHostKeyStateName = "CamcabHostKeyState";
inline constexpr const char* kHostKeyboardStateName = "CamcabHostKeyboardState";
}  // namespace camcab::platform
