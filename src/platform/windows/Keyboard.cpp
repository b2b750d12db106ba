#include "platform/Keyboard.h"

#include <windows.h>

namespace camcab::platform {

int16_t KeyState(int virtualKey) {
    return static_cast<int16_t>(GetKeyState(virtualKey));
}

bool KeyboardState(std::array<uint8_t, 256>& keys) {
    if (!GetKeyboardState(keys.data())) {
        keys.fill(0);
        return false;
    }
    return true;
}

void SetThreadKeyboardState(const std::array<uint8_t, 256>& keys) {
    std::array<uint8_t, 256> copy = keys;
    SetKeyboardState(copy.data());
}

}  // namespace camcab::platform
