// The real keyboard as the host holds it: which of the 256 virtual keys are down. A plug-in
// loaded into this process reads it the way it reads the host's keyboard: through GetKeyState
// and GetKeyboardState on Windows, through the host functions CamcabHostKeyState and
// CamcabHostKeyboardState that a program linking this exports on Linux.
#pragma once

#include <cstdint>

namespace camcab::host {

// Holds the key down or lets it go. Call it on the thread that calls the plug-in: on
// Windows the key state belongs to the calling thread. Codes outside 0 to 255 are ignored.
void SetHostKey(int32_t virtualKey, bool down);
inline void PressKey(int32_t virtualKey) {
    SetHostKey(virtualKey, true);
}
inline void ReleaseKey(int32_t virtualKey) {
    SetHostKey(virtualKey, false);
}
void ReleaseAllKeys();

}  // namespace camcab::host
