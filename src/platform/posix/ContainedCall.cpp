#include "platform/ContainedCall.h"

namespace camcab::platform {

// Every compiler on this platform throws through the same unwinder: catch (...) sees all.
bool CallContained(void (*call)(void*), void* context) noexcept {
    try {
        call(context);
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace camcab::platform
