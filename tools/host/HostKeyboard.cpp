#include "HostKeyboard.h"

#include <algorithm>
#include <array>
#include <type_traits>

#include "platform/Keyboard.h"
#ifndef _WIN32
#include "platform/HostServices.h"
#endif

namespace camcab::host {
namespace {

// One byte per virtual key, 0x80 while down, as GetKeyboardState fills them.
std::array<uint8_t, 256> keys{};

// The plug-in sees exactly the keys the host holds.
void Publish() {
    platform::SetThreadKeyboardState(keys);
}

}  // namespace

void SetHostKey(int32_t virtualKey, bool down) {
    if (virtualKey < 0 || virtualKey >= static_cast<int32_t>(keys.size())) {
        return;
    }
    keys[virtualKey] = down ? 0x80 : 0x00;
    Publish();
}

void ReleaseAllKeys() {
    keys.fill(0);
    Publish();
}

}  // namespace camcab::host

#ifndef _WIN32
// The host-process keyboard that the plug-in looks up by name.
extern "C" __attribute__((visibility("default"))) int16_t CamcabHostKeyState(int32_t virtualKey) {
    if (virtualKey < 0 || virtualKey >= 256) {
        return 0;
    }
    return (camcab::host::keys[virtualKey] & 0x80) != 0 ? static_cast<int16_t>(0x8000) : 0;
}

extern "C" __attribute__((visibility("default"))) int32_t CamcabHostKeyboardState(uint8_t* out) {
    if (out == nullptr) {
        return 0;
    }
    std::copy(camcab::host::keys.begin(), camcab::host::keys.end(), out);
    return 1;
}

// The names must match what the plug-in looks up.
static_assert(std::is_same_v<decltype(&CamcabHostKeyState), CamcabHostKeyStateFn>);
static_assert(std::is_same_v<decltype(&CamcabHostKeyboardState), CamcabHostKeyboardStateFn>);
#endif
