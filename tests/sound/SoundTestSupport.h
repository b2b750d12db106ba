// Shared pieces of the sound tests: generated WAV files and the caller-driven engine.
#pragma once

#include <cmath>
#include <string>
#include <vector>

#include "WaveFile.h"
#include "platform/AudioEngine.h"

namespace camcab::test {

// The named sounds' files, in the order the plug-in loads and logs them.
inline const std::vector<std::wstring> kNamedSoundFiles = {L"kamujiku\\reset.wav",
                                                           L"kamujiku\\start1.wav",
                                                           L"kamujiku\\start2.wav",
                                                           L"kamujiku\\reverser1.wav",
                                                           L"kamujiku\\reverser2.wav",
                                                           L"kamujiku\\reverser3.wav",
                                                           L"kamujiku\\notchoff.wav",
                                                           L"kamujiku\\breakeroff.wav",
                                                           L"kamujiku\\shindan1.wav",
                                                           L"kamujiku\\shindan2.wav",
                                                           L"kamujiku\\watari.wav",
                                                           L"air\\sap.wav",
                                                           L"air\\bc.wav",
                                                           L"air\\pipe.wav"};

// A sine tone of `frames` sample frames at `amplitude`, the same on every channel.
inline std::vector<float> Tone(size_t frames, uint16_t channels, double hz, float amplitude,
                               uint32_t rate = 48000) {
    std::vector<float> samples(frames * channels);
    for (size_t i = 0; i < frames; ++i) {
        const float value =
            amplitude * static_cast<float>(std::sin(2.0 * 3.14159265358979323846 * hz *
                                                    static_cast<double>(i) / rate));
        for (uint16_t c = 0; c < channels; ++c) {
            samples[i * channels + c] = value;
        }
    }
    return samples;
}

inline std::string ToneWave(size_t frames, uint16_t channels = 1, uint16_t bits = 16,
                            float amplitude = 0.5f, uint16_t tag = hostaudio::kFormatPcm,
                            uint32_t rate = 48000) {
    hostaudio::WaveLayout layout;
    layout.formatTag = tag;
    layout.channels = channels;
    layout.bitsPerSample = bits;
    layout.sampleRate = rate;
    return hostaudio::WaveBytes(
        layout, hostaudio::EncodeSamples(layout, Tone(frames, channels, 440.0, amplitude, rate)));
}

// The start-up log with each time stamp ("%d年%d月%d日%d時%d分%d秒%d") replaced by "<time>".
inline std::string MaskTimes(const std::string& log) {
    static const char* const kUnits[] = {"年", "月", "日", "時", "分", "秒", ""};
    auto digits = [&log](size_t at) {
        size_t end = at;
        while (end < log.size() && log[end] >= '0' && log[end] <= '9') {
            ++end;
        }
        return end;
    };
    std::string masked;
    size_t i = 0;
    while (i < log.size()) {
        size_t at = i;
        bool stamp = true;
        for (const char* unit : kUnits) {
            const size_t end = digits(at);
            const std::string text(unit);
            if (end == at || log.compare(end, text.size(), text) != 0) {
                stamp = false;
                break;
            }
            at = end + text.size();
        }
        if (stamp) {
            masked += "<time>";
            i = at;
        } else {
            masked.push_back(log[i++]);
        }
    }
    return masked;
}

// An engine with its mastering voice, as the sound system makes them: the engine frees the
// mastering voice with itself. Empty when either cannot be made.
inline platform::EngineRef EngineWithMasteringVoice() {
    platform::EngineRef engine;
    platform::MasteringVoicePtr master;
    if (platform::CreateAudioEngine(engine, 0, platform::kDefaultProcessor) != 0 ||
        engine->CreateMasteringVoice(master, 0, 0, 0, platform::kCategoryGameEffects) != 0) {
        return {};
    }
    master.release();
    return engine;
}

}  // namespace camcab::test
