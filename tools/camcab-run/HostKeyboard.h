// The real keyboard as a scenario holds it: which of the 256 virtual keys are down. The
// plug-in reads it the way it reads the host's keyboard: through GetKeyState and
// GetKeyboardState on Windows, through the host functions CamcabHostKeyState and
// CamcabHostKeyboardState that this program exports on Linux.
#pragma once

#include <cstdint>

namespace camcab::run {

// Holds the key down or lets it go. Call it on the thread that calls the plug-in: on
// Windows the key state belongs to the calling thread. Codes outside 0 to 255 are ignored.
void SetHostKey(int32_t virtualKey, bool down);

}  // namespace camcab::run
