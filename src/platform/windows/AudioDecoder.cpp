#include "platform/AudioDecoder.h"

namespace camcab::platform {

int32_t StartMediaFoundation() {
    return kFail;
}
void ShutDownMediaFoundation() {}
int32_t OpenAudioFile(const std::wstring&, std::unique_ptr<AudioFileReader>& reader) {
    reader.reset();
    return kFail;
}

}  // namespace camcab::platform
