#include "platform/Keyboard.h"

#include <dlfcn.h>

#include "platform/HostServices.h"

namespace camcab::platform {
namespace {

template <typename Fn>
Fn FindHostFunction(const char* name) {
    return reinterpret_cast<Fn>(::dlsym(RTLD_DEFAULT, name));
}

}  // namespace

int16_t KeyState(int virtualKey) {
    static const auto hostKeyState = FindHostFunction<CamcabHostKeyStateFn>(kHostKeyStateName);
    if (hostKeyState == nullptr) {
        return 0;
    }
    // A host may answer only the high bit for a key down; Windows also sets bits 7 to 14.
    const uint16_t state = static_cast<uint16_t>(hostKeyState(virtualKey));
    return static_cast<int16_t>((state & 0x8000u) != 0 ? state | 0xFF80u : state);
}

bool KeyboardState(std::array<uint8_t, 256>& keys) {
    static const auto hostKeyboardState =
        FindHostFunction<CamcabHostKeyboardStateFn>(kHostKeyboardStateName);
    keys.fill(0);
    if (hostKeyboardState == nullptr || hostKeyboardState(keys.data()) == 0) {
        keys.fill(0);
        return false;
    }
    return true;
}

void SetThreadKeyboardState(const std::array<uint8_t, 256>&) {}

}  // namespace camcab::platform
