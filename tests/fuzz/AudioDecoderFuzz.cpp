// A sound file decoded to PCM the way a sound slot loads it: open, the decoded format, then
// pieces of PCM until the end of the stream.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "FuzzFiles.h"
#include "platform/AudioDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace camcab;
    fuzz::Scratch().Write("sound.wav", std::string_view(reinterpret_cast<const char*>(data), size));
    std::unique_ptr<platform::AudioFileReader> reader;
    if (platform::OpenAudioFile(fuzz::Scratch().File("sound.wav"), reader) < 0) {
        return 0;
    }
    if (reader == nullptr) {
        std::abort();
    }
    platform::WaveFormat format{};
    if (reader->DecodedFormat(format) < 0) {
        return 0;
    }
    if (format.nChannels == 0 || format.nBlockAlign == 0) {
        std::abort();
    }
    std::vector<uint8_t> pcm;
    bool endOfStream = false;
    while (reader->ReadSample(pcm, endOfStream) >= 0 && !endOfStream) {
    }
    // The voice plays whole sample frames only.
    if (pcm.size() % format.nBlockAlign != 0) {
        std::abort();
    }
    return 0;
}
