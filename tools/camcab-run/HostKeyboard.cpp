#include "HostKeyboard.h"

#include <algorithm>
#include <array>
#include <type_traits>

#ifdef _WIN32
#include <windows.h>
#else
#include "platform/HostServices.h"
#endif

namespace camcab::run {
namespace {

// One byte per virtual key, 0x80 while down, as GetKeyboardState fills them.
std::array<uint8_t, 256> keys{};

}  // namespace

void SetHostKey(int32_t virtualKey, bool down) {
    if (virtualKey < 0 || virtualKey >= static_cast<int32_t>(keys.size())) {
        return;
    }
    keys[virtualKey] = down ? 0x80 : 0x00;
#ifdef _WIN32
    // The calling thread's key state, which GetKeyState and GetKeyboardState answer from:
    // the plug-in sees exactly the keys the scenario holds.
    SetKeyboardState(keys.data());
#endif
}

}  // namespace camcab::run

#ifndef _WIN32
// The host-process keyboard that the plug-in looks up by name.
extern "C" __attribute__((visibility("default"))) int16_t CamcabHostKeyState(int32_t virtualKey) {
    if (virtualKey < 0 || virtualKey >= 256) {
        return 0;
    }
    return (camcab::run::keys[virtualKey] & 0x80) != 0 ? static_cast<int16_t>(0x8000) : 0;
}

extern "C" __attribute__((visibility("default"))) int32_t CamcabHostKeyboardState(uint8_t* out) {
    if (out == nullptr) {
        return 0;
    }
    std::copy(camcab::run::keys.begin(), camcab::run::keys.end(), out);
    return 1;
}

// The names must match what the plug-in looks up.
static_assert(std::is_same_v<decltype(&CamcabHostKeyState), CamcabHostKeyStateFn>);
static_assert(std::is_same_v<decltype(&CamcabHostKeyboardState), CamcabHostKeyboardStateFn>);
#endif
