// Decoding a sound file into PCM held in memory: the Media Foundation source reader on
// Windows, libsndfile on Linux. 8 and 16-bit PCM come out byte for byte as stored; every
// other format (24 and 32-bit integer, float, ADPCM, WAVE_FORMAT_EXTENSIBLE) comes out as
// 16-bit PCM.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/AudioEngine.h"

namespace camcab::platform {

// MFStartup / MFShutdown. Every successful start-up is paired with one shut-down.
int32_t StartMediaFoundation();
void ShutDownMediaFoundation();

inline constexpr uint64_t kUnknownPcmBytes = UINT64_MAX;

class AudioFileReader {
  public:
    virtual ~AudioFileReader() = default;
    // The format the samples are delivered in.
    virtual int32_t DecodedFormat(WaveFormat& format) = 0;
    // The PCM bytes the whole stream should decode to, as the file's header tells, or
    // kUnknownPcmBytes. Only a hint for reserving memory: a damaged file may yield less or more.
    virtual uint64_t ExpectedPcmBytes() = 0;
    // Appends the next piece of PCM to `pcm`; sets `endOfStream` when nothing is left. A `pcm`
    // reserved at the expected size is filled without being reallocated.
    virtual int32_t ReadSample(std::vector<uint8_t>& pcm, bool& endOfStream) = 0;
};

// Opens a sound file and selects its first audio stream for PCM output (the source reader
// set-up). On failure `reader` stays null and the code tells why.
int32_t OpenAudioFile(const std::wstring& path, std::unique_ptr<AudioFileReader>& reader);

}  // namespace camcab::platform
