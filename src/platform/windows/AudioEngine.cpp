#include "platform/AudioEngine.h"

namespace camcab::platform {

int32_t CreateAudioEngine(AudioEngine** engine, uint32_t, uint32_t) {
    *engine = nullptr;
    return kFail;
}

}  // namespace camcab::platform
