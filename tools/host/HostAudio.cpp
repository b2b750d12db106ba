#include "HostAudio.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <fstream>
#include <system_error>

#include "HostExport.h"
#include "WaveFile.h"
#include "platform/HostServices.h"

namespace camcab::hostaudio {
namespace {

// The WAV file that the capture is written to as it is rendered.
struct Stream {
    std::ofstream file;
    std::filesystem::path path;
    WaveLayout layout;
    uint64_t dataBytes = 0;
    uint64_t maxDataBytes = 0;
    bool open = false;     // a file was asked for and not yet ended
    bool started = false;  // its header is written, in `layout`
    bool cut = false;      // samples past maxDataBytes were left out
};

WaveLayout CaptureLayout(uint32_t channels, uint32_t rate) {
    WaveLayout layout;
    layout.channels = static_cast<uint16_t>(channels == 0 ? 2 : channels);
    layout.sampleRate = rate == 0 ? 48000 : rate;
    layout.bitsPerSample = 16;
    return layout;
}

// (Re)starts the stream's file with a header for `layout` and no samples.
void StartStream(Stream& stream, const WaveLayout& layout) {
    stream.file.close();
    stream.file.clear();
    stream.file.open(stream.path, std::ios::binary | std::ios::trunc);
    stream.layout = layout;
    stream.dataBytes = 0;
    stream.cut = false;
    stream.started = true;
    const std::string header = WaveBytes(layout, "");
    stream.file.write(header.data(), static_cast<std::streamsize>(header.size()));
}

void StreamSamples(Stream& stream, const std::vector<float>& samples) {
    const std::string bytes = EncodeSamples(stream.layout, samples);
    const uint64_t limit = std::min(stream.maxDataBytes, MaxWaveDataBytes(stream.layout));
    const uint64_t room = limit - std::min(limit, stream.dataBytes);
    const uint64_t blockAlign = stream.layout.channels * 2u;
    const uint64_t count = std::min<uint64_t>(bytes.size(), room - room % blockAlign);
    stream.cut = stream.cut || count < bytes.size();
    stream.file.write(bytes.data(), static_cast<std::streamsize>(count));
    stream.dataBytes += count;
}

struct Clock {
    CamcabAudioSource source{};
    bool attached = false;
    // The capture's format: the last attached engine's, kept after it went away.
    uint32_t captureChannels = 0;
    uint32_t captureRate = 0;
    double pendingFrames = 0.0;
    std::vector<float> captured;
    size_t forgottenFrames = 0;  // frames of the capture before captured's first
    bool keepWhole = true;
    bool everAttached = false;
    std::vector<float> quantum;
    Stream stream;
};

Clock& TheClock() {
    static Clock clock;
    return clock;
}

}  // namespace

#ifndef _WIN32
void UseSilentDevice() {
    ::setenv("SDL_AUDIODRIVER", "dummy", 0);
}
void UseAudioDriver(const char* name) {
    ::setenv("SDL_AUDIODRIVER", name, 1);
}
#endif

bool WasAttached() {
    return TheClock().everAttached;
}

bool Attached() {
    return TheClock().attached;
}
uint32_t SampleRate() {
    return TheClock().attached ? TheClock().source.sampleRate : 0;
}
uint32_t Channels() {
    return TheClock().attached ? TheClock().source.channels : 0;
}
uint32_t QuantumFrames() {
    return TheClock().attached ? TheClock().source.quantumFrames : 0;
}

void RenderQuanta(uint32_t count) {
    Clock& clock = TheClock();
    if (!clock.attached || clock.source.quantumFrames == 0) {
        return;
    }
    const size_t samples = static_cast<size_t>(clock.source.quantumFrames) * clock.source.channels;
    clock.quantum.resize(samples);
    for (uint32_t i = 0; i < count; ++i) {
        clock.source.renderQuantum(clock.source.context, clock.quantum.data());
        if (clock.stream.open) {
            if (!clock.stream.started) {
                StartStream(clock.stream, CaptureLayout(clock.captureChannels, clock.captureRate));
            }
            StreamSamples(clock.stream, clock.quantum);
        }
        clock.captured.insert(clock.captured.end(), clock.quantum.begin(), clock.quantum.end());
    }
}

void Advance(double milliseconds) {
    Clock& clock = TheClock();
    if (!clock.attached || clock.source.quantumFrames == 0 || !(milliseconds > 0.0)) {
        return;
    }
    clock.pendingFrames += milliseconds * clock.source.sampleRate / 1000.0;
    const double quantum = clock.source.quantumFrames;
    const uint32_t due = static_cast<uint32_t>(std::floor(clock.pendingFrames / quantum));
    clock.pendingFrames -= due * quantum;
    RenderQuanta(due);
}

const std::vector<float>& Captured() {
    return TheClock().captured;
}
void ClearCapture() {
    TheClock().captured.clear();
    TheClock().forgottenFrames = 0;
}

size_t CapturedFrames() {
    const Clock& clock = TheClock();
    return clock.captureChannels == 0
               ? 0
               : clock.forgottenFrames + clock.captured.size() / clock.captureChannels;
}

size_t FirstCapturedFrame() {
    return TheClock().forgottenFrames;
}

void KeepWholeCapture(bool keep) {
    TheClock().keepWhole = keep;
}

void ForgetCaptureBefore(size_t frame) {
    Clock& clock = TheClock();
    if (clock.keepWhole || frame <= clock.forgottenFrames) {
        return;
    }
    const size_t frames = std::min(frame, CapturedFrames()) - clock.forgottenFrames;
    const size_t samples = frames * clock.captureChannels;
    clock.captured.erase(clock.captured.begin(),
                         clock.captured.begin() + static_cast<std::ptrdiff_t>(samples));
    clock.forgottenFrames += frames;
}

double CapturedRms(size_t beginFrame, size_t endFrame) {
    const Clock& clock = TheClock();
    const size_t channels = clock.captureChannels;
    endFrame = std::min(endFrame, CapturedFrames());
    beginFrame = std::max(beginFrame, clock.forgottenFrames);
    if (channels == 0 || beginFrame >= endFrame) {
        return 0.0;
    }
    double sum = 0.0;
    const size_t first = clock.forgottenFrames * channels;
    for (size_t i = beginFrame * channels - first; i < endFrame * channels - first; ++i) {
        sum += static_cast<double>(clock.captured[i]) * clock.captured[i];
    }
    return std::sqrt(sum / static_cast<double>((endFrame - beginFrame) * channels));
}

bool WriteCapture(const std::filesystem::path& path, std::string& error, uint64_t maxDataBytes) {
    const Clock& clock = TheClock();
    const WaveLayout layout = CaptureLayout(clock.captureChannels, clock.captureRate);
    const uint64_t dataBytes = uint64_t{clock.captured.size()} * layout.bitsPerSample / 8;
    const uint64_t limit = std::min(maxDataBytes, MaxWaveDataBytes(layout));
    if (clock.forgottenFrames != 0) {
        error = "the start of the sound was not kept";
        return false;
    }
    if (dataBytes > limit) {
        error = "the sound (" + std::to_string(dataBytes) + " bytes, " +
                std::to_string(CapturedFrames() / layout.sampleRate) + " s) is past the " +
                std::to_string(limit) + " bytes a WAV file can hold; no WAV written";
        return false;
    }
    if (!WriteFileBytes(path, WaveBytes(layout, EncodeSamples(layout, clock.captured)))) {
        error = "cannot write the file";
        return false;
    }
    return true;
}

bool StreamCaptureTo(const std::filesystem::path& path, std::string& error, uint64_t maxDataBytes) {
    Stream& stream = TheClock().stream;
    std::error_code ignored;
    if (path.has_parent_path()) {
        std::filesystem::create_directories(path.parent_path(), ignored);
    }
    stream.path = path;
    stream.maxDataBytes = maxDataBytes;
    StartStream(stream, CaptureLayout(TheClock().captureChannels, TheClock().captureRate));
    if (!stream.file) {
        stream.file.close();
        stream.started = false;
        error = "cannot make the file";
        return false;
    }
    // The header is written again in the format of the first engine that renders.
    stream.started = false;
    stream.open = true;
    return true;
}

bool EndCaptureStream(std::string& error) {
    Stream& stream = TheClock().stream;
    if (!stream.open) {
        error = "no sound file was being written";
        return false;
    }
    stream.open = false;
    if (!stream.started) {
        StartStream(stream, stream.layout);  // nothing rendered: an empty WAV
    }
    // The RIFF size and the data chunk's size, now that they are known.
    const std::string header = WaveBytes(stream.layout, "");
    const uint64_t riffBytes = header.size() - 8 + stream.dataBytes;
    const auto put32 = [&stream](std::streamoff at, uint64_t value) {
        const char bytes[4] = {
            static_cast<char>(value & 0xFF), static_cast<char>(value >> 8 & 0xFF),
            static_cast<char>(value >> 16 & 0xFF), static_cast<char>(value >> 24 & 0xFF)};
        stream.file.seekp(at);
        stream.file.write(bytes, 4);
    };
    put32(4, riffBytes);
    put32(static_cast<std::streamoff>(header.size() - 4), stream.dataBytes);
    stream.file.close();
    stream.started = false;
    if (!stream.file) {
        error = "cannot write the file";
        return false;
    }
    if (stream.cut) {
        error = "the sound went past the " + std::to_string(stream.dataBytes) +
                " bytes a WAV file can hold; the file holds its first " +
                std::to_string(stream.dataBytes / (stream.layout.channels * 2u) /
                               stream.layout.sampleRate) +
                " s";
        return false;
    }
    return true;
}

}  // namespace camcab::hostaudio

extern "C" {
// Looked up by name in the host process by the plug-in's audio engine.
CAMCAB_HOST_EXPORT void CamcabHostAttachAudio(const CamcabAudioSource* source) {
    camcab::hostaudio::Clock& clock = camcab::hostaudio::TheClock();
    if (source == nullptr) {
        clock.attached = false;
        clock.source = CamcabAudioSource{};
    } else {
        if (clock.captureChannels != source->channels || clock.captureRate != source->sampleRate) {
            clock.captured.clear();  // one capture holds one format
            clock.forgottenFrames = 0;
            clock.stream.started = false;
        }
        clock.source = *source;
        clock.attached = true;
        clock.everAttached = true;
        clock.captureChannels = source->channels;
        clock.captureRate = source->sampleRate;
    }
    clock.pendingFrames = 0.0;
}
}
