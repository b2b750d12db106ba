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
    return hostKeyState != nullptr ? hostKeyState(virtualKey) : 0;
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

}  // namespace camcab::platform
