// A sound file decoded to PCM exactly as a sound slot loads it (the decoder's size hint
// reserving the buffer, then the pieces until the end of the stream).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "FuzzFiles.h"
#include "platform/AudioDecoder.h"
#include "sound/SoundSlot.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace camcab;
    fuzz::Scratch().Write("sound.wav", std::string_view(reinterpret_cast<const char*>(data), size));
    platform::WaveFormat format{};
    std::vector<uint8_t> pcm;
    const sound::SoundDecoding decoding =
        sound::DecodeSound(fuzz::Scratch().File("sound.wav"), format, pcm);
    if (decoding.mediaFoundationStarted) {
        platform::ShutDownMediaFoundation();
    }
    if (platform::Failed(decoding.code) || decoding.formatRejected) {
        return 0;
    }
    if (format.nChannels == 0 || format.nBlockAlign == 0) {
        std::abort();
    }
    // The voice plays whole sample frames only.
    if (pcm.size() % format.nBlockAlign != 0) {
        std::abort();
    }
    return 0;
}
