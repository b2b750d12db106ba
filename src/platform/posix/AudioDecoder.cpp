#include "platform/AudioDecoder.h"

#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "platform/WideText.h"
#include "platform/posix/RegularFile.h"

namespace camcab::platform {
namespace {

// The codes the Windows source reader gives for the same failures.
constexpr int32_t kFileNotFound = static_cast<int32_t>(0x80070002u);
constexpr int32_t kPathNotFound = static_cast<int32_t>(0x80070003u);
constexpr int32_t kAccessDenied = static_cast<int32_t>(0x80070005u);
constexpr int32_t kUnsupportedByteStream = static_cast<int32_t>(0xC00D36C4u);

// XAudio2's bounds for a source format.
constexpr int kMaxChannels = 64;
constexpr int kMinSampleRate = 1000;
constexpr int kMaxSampleRate = 200000;

// Frames read aside when the output has no spare capacity.
constexpr sf_count_t kFramesPerSample = 4096;
// At most this many frames go into spare capacity per read, so that a reading stays in cache.
constexpr sf_count_t kMaxFramesPerRead = 16384;

int32_t CodeOfOpenError(int error) {
    switch (error) {
        case ENOENT:
            return kFileNotFound;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
            return kPathNotFound;
        case EACCES:
        case EPERM:
        case EISDIR:
            return kAccessDenied;
        case ENODEV:  // a FIFO, socket or device: no sound file
            return kUnsupportedByteStream;
        default:
            return kFail;
    }
}

int16_t SampleFromFloat(float x) {
    if (!(x == x)) {
        return 0;
    }
    const float scaled = x * 32768.0f;
    if (scaled >= 32767.0f) {
        return 32767;
    }
    if (scaled <= -32768.0f) {
        return -32768;
    }
    return static_cast<int16_t>(std::lrintf(scaled));
}

class SndfileReader final : public AudioFileReader {
  public:
    enum class Delivery { Raw, Shorts, Floats };

    SndfileReader(int descriptor, SNDFILE* file, const SF_INFO& info)
        : descriptor_(descriptor), file_(file), info_(info) {
        const int major = info.format & SF_FORMAT_TYPEMASK;
        const int subtype = info.format & SF_FORMAT_SUBMASK;
        const int endian = info.format & SF_FORMAT_ENDMASK;
        const bool plainWave = major == SF_FORMAT_WAV && endian != SF_ENDIAN_BIG;
        if (plainWave && subtype == SF_FORMAT_PCM_U8) {
            delivery_ = Delivery::Raw;
            bytesPerSample_ = 1;
        } else if (plainWave && subtype == SF_FORMAT_PCM_16) {
            delivery_ = Delivery::Raw;
            bytesPerSample_ = 2;
        } else if (subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE) {
            // The library's float-to-short read does not serve float files; convert here.
            delivery_ = Delivery::Floats;
            bytesPerSample_ = 2;
        } else {
            delivery_ = Delivery::Shorts;
            bytesPerSample_ = 2;
        }
    }

    ~SndfileReader() override {
        sf_close(file_);
        ::close(descriptor_);
    }

    int32_t DecodedFormat(WaveFormat& format) override {
        format = WaveFormat{};
        // Like the source reader, more than two channels are described as
        // WAVE_FORMAT_EXTENSIBLE (its 22 extra bytes are not part of this record).
        format.wFormatTag = info_.channels > 2 ? kWaveFormatExtensible : kWaveFormatPcm;
        format.nChannels = static_cast<uint16_t>(info_.channels);
        format.nSamplesPerSec = static_cast<uint32_t>(info_.samplerate);
        format.wBitsPerSample = static_cast<uint16_t>(bytesPerSample_ * 8);
        format.nBlockAlign = static_cast<uint16_t>(info_.channels * bytesPerSample_);
        format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
        format.cbSize = info_.channels > 2 ? 22 : 0;
        return kSuccess;
    }

    uint64_t ExpectedPcmBytes() override {
        // libsndfile takes the frame count from the header, bounded by what the file holds,
        // and reads no frame beyond it.
        if (info_.frames < 0 || static_cast<uint64_t>(info_.frames) > UINT32_MAX) {
            return kUnknownPcmBytes;
        }
        return static_cast<uint64_t>(info_.frames) * BlockBytes();
    }

    int32_t ReadSample(std::vector<uint8_t>& pcm, bool& endOfStream) override {
        endOfStream = false;
        const size_t blockBytes = BlockBytes();
        // Decode straight into the spare capacity; with none left (the end of a stream whose
        // size was reserved, or a size not known), a chunk is read aside and appended.
        const size_t roomFrames = std::min((pcm.capacity() - pcm.size()) / blockBytes,
                                           static_cast<size_t>(kMaxFramesPerRead));
        if (roomFrames > 0) {
            const size_t start = pcm.size();
            pcm.resize(start + roomFrames * blockBytes);
            const sf_count_t frames = Decode(pcm.data() + start, roomFrames);
            pcm.resize(start + static_cast<size_t>(frames) * blockBytes);
            endOfStream = frames == 0;
            return kSuccess;
        }
        chunk_.resize(static_cast<size_t>(kFramesPerSample) * blockBytes);
        const sf_count_t frames = Decode(chunk_.data(), kFramesPerSample);
        if (frames == 0) {
            endOfStream = true;
            return kSuccess;
        }
        pcm.insert(pcm.end(), chunk_.begin(),
                   chunk_.begin() + static_cast<ptrdiff_t>(frames * blockBytes));
        return kSuccess;
    }

  private:
    size_t BlockBytes() const {
        return static_cast<size_t>(info_.channels) * static_cast<size_t>(bytesPerSample_);
    }

    // Decodes up to `frames` frames into `out` in the delivered format; returns the frames
    // decoded (0 at the end).
    sf_count_t Decode(uint8_t* out, size_t frames) {
        const size_t channels = static_cast<size_t>(info_.channels);
        sf_count_t done = 0;
        switch (delivery_) {
            case Delivery::Raw: {
                const sf_count_t bytes =
                    sf_read_raw(file_, out, static_cast<sf_count_t>(frames * BlockBytes()));
                done = bytes > 0 ? bytes / static_cast<sf_count_t>(BlockBytes()) : 0;
                break;
            }
            case Delivery::Shorts:
                done = sf_readf_short(file_, reinterpret_cast<short*>(out),
                                      static_cast<sf_count_t>(frames));
                break;
            case Delivery::Floats: {
                // Converted piece by piece, so that the float buffer stays small.
                const size_t piece = std::min(frames, static_cast<size_t>(kFramesPerSample));
                floats_.resize(piece * channels);
                int16_t* samples = reinterpret_cast<int16_t*>(out);
                while (static_cast<size_t>(done) < frames) {
                    const size_t want = std::min(piece, frames - static_cast<size_t>(done));
                    const sf_count_t got =
                        sf_readf_float(file_, floats_.data(), static_cast<sf_count_t>(want));
                    if (got <= 0) {
                        break;
                    }
                    for (size_t i = 0; i < static_cast<size_t>(got) * channels; ++i) {
                        *samples++ = SampleFromFloat(floats_[i]);
                    }
                    done += got;
                    if (static_cast<size_t>(got) < want) {
                        break;
                    }
                }
                break;
            }
        }
        return done > 0 ? done : 0;
    }

    int descriptor_;
    SNDFILE* file_;
    SF_INFO info_;
    Delivery delivery_ = Delivery::Shorts;
    int bytesPerSample_ = 2;
    std::vector<uint8_t> chunk_;
    std::vector<float> floats_;
};

}  // namespace

// libsndfile needs no start-up; the pairing of start-ups and shut-downs is kept anyway.
int32_t StartMediaFoundation() {
    return kSuccess;
}
void ShutDownMediaFoundation() {}

int32_t OpenAudioFile(const std::wstring& path, std::unique_ptr<AudioFileReader>& reader) {
    reader.reset();
    const std::string name = NativeNameFromWide(path);
    if (name.empty()) {
        return kFileNotFound;
    }
    const int descriptor = OpenRegularFile(name.c_str());
    if (descriptor < 0) {
        return CodeOfOpenError(errno);
    }
    // Only RIFF WAVE files are decoded, the sounds of a vehicle: libsndfile would take any
    // container it knows (Ogg, FLAC, AIFF, ...), and its Ogg decoder leaks on corrupt files.
    // (Media Foundation on Windows reads some other containers too, MP3 among them.) The
    // container libsndfile recognises from these bytes must be WAV as well.
    char header[12] = {};
    if (::pread(descriptor, header, sizeof header, 0) != static_cast<ssize_t>(sizeof header) ||
        std::memcmp(header, "RIFF", 4) != 0 || std::memcmp(header + 8, "WAVE", 4) != 0) {
        ::close(descriptor);
        return kUnsupportedByteStream;
    }
    SF_INFO format{};
    SNDFILE* file = sf_open_fd(descriptor, SFM_READ, &format, SF_FALSE);
    if (file == nullptr) {
        ::close(descriptor);
        return kUnsupportedByteStream;
    }
    const int container = format.format & SF_FORMAT_TYPEMASK;
    if ((container != SF_FORMAT_WAV && container != SF_FORMAT_WAVEX) || format.channels < 1 ||
        format.channels > kMaxChannels || format.samplerate < kMinSampleRate ||
        format.samplerate > kMaxSampleRate) {
        sf_close(file);
        ::close(descriptor);
        return kUnsupportedByteStream;
    }
    reader = std::make_unique<SndfileReader>(descriptor, file, format);
    return kSuccess;
}

}  // namespace camcab::platform
