#include "HostAudio.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>

#include "HostExport.h"
#include "WaveFile.h"
#include "platform/HostServices.h"

namespace camcab::hostaudio {
namespace {

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
    WaveLayout layout;
    layout.channels = static_cast<uint16_t>(clock.captureChannels == 0 ? 2 : clock.captureChannels);
    layout.sampleRate = clock.captureRate == 0 ? 48000 : clock.captureRate;
    layout.bitsPerSample = 16;
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
