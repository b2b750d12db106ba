// The keyboard state of the process, as the host's window sees it.
#pragma once

#include <array>
#include <cstdint>

namespace camcab::platform {

inline constexpr int kVirtualKeyShift = 0x10;
inline constexpr int kVirtualKeyP = 0x50;

// The key state word for a virtual key, as GetKeyState answers: while the key is down the
// value is negative, with both 0x8000 and bit 7 (0x80) set; the low bit is the toggle state.
int16_t KeyState(int virtualKey);

// True while the virtual key is held down: bit 7 of its key state word.
inline bool IsKeyDown(int virtualKey) {
    return (static_cast<uint16_t>(KeyState(virtualKey)) & 0x80u) != 0;
}

// Fills the 256 key state bytes (high bit set while down), as GetKeyboardState does. False,
// with every byte zero, when the state cannot be read.
bool KeyboardState(std::array<uint8_t, 256>& keys);

// For a host stand-in: the keys its thread holds, as KeyState and KeyboardState then answer on
// Windows. On POSIX the host process answers through its own functions instead: nothing to do.
void SetThreadKeyboardState(const std::array<uint8_t, 256>& keys);

}  // namespace camcab::platform
