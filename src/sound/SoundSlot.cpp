#include "sound/SoundSlot.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "platform/AudioDecoder.h"
#include "sound/NormalPath.h"

namespace camcab::sound {
namespace {

using platform::Failed;
using platform::kInvalidCall;
using platform::kSuccess;

constexpr size_t kPcmReserveBytes = 1000000;

// Leaves `pcm` without spare capacity, or without storage when it is empty.
void Trim(std::vector<uint8_t>& pcm) noexcept {
    if (pcm.size() == pcm.capacity()) {
        return;
    }
    if (pcm.empty()) {
        std::vector<uint8_t>().swap(pcm);
        return;
    }
    try {
        std::vector<uint8_t>(pcm).swap(pcm);
    } catch (...) {
        // Keeping the spare capacity is harmless.
    }
}

// Empties `pcm` and gives it room for the decoded sound: exactly the expected size when the
// decoder knows it, so that no trimming copy follows; otherwise at least 1,000,000 bytes.
void ReserveFor(std::vector<uint8_t>& pcm, uint64_t expectedBytes) {
    pcm.clear();
    if (expectedBytes != platform::kUnknownPcmBytes && expectedBytes <= UINT32_MAX) {
        if (pcm.capacity() == expectedBytes) {
            return;
        }
        std::vector<uint8_t>().swap(pcm);
        try {
            pcm.reserve(static_cast<size_t>(expectedBytes));
            return;
        } catch (...) {
            // A header may promise more than memory holds: decode what is there instead.
        }
    }
    if (pcm.capacity() < kPcmReserveBytes) {
        pcm.reserve(kPcmReserveBytes);
    }
}

}  // namespace

std::wstring FormatCode(int32_t code, bool upperCase) {
    char text[16];
    std::snprintf(text, sizeof(text), upperCase ? "%#X" : "%#x", static_cast<unsigned>(code));
    return std::wstring(text, text + std::strlen(text));
}

SoundSlot::SoundSlot(const platform::EngineRef& audioEngine, platform::StartUpLog* log,
                     const std::wstring& path, uint32_t newLoopCount, uint32_t newVoiceFlags,
                     float newMaxFrequencyRatio) noexcept
    : engine(audioEngine),
      loopCount(newLoopCount),
      voiceFlags(newVoiceFlags),
      maxFrequencyRatio(newMaxFrequencyRatio) {
    EnsureRecords();
    DecodeAndCreateVoice(path, log);
}

SoundSlot::~SoundSlot() {
    // The voice goes while the engine is surely alive.
    voice.reset();
}

bool SoundSlot::EnsureRecords() noexcept {
    if (format == nullptr) {
        format.reset(new (std::nothrow) platform::WaveFormat{});
    }
    if (buffer == nullptr) {
        buffer.reset(new (std::nothrow) platform::AudioBuffer{});
    }
    return format != nullptr && buffer != nullptr;
}

int32_t SoundSlot::Reload(const platform::EngineRef& audioEngine, platform::StartUpLog* log,
                          const std::wstring& path, uint32_t newLoopCount,
                          float newMaxFrequencyRatio) noexcept {
    if (started) {
        Stop(0);
    }
    voice.reset();
    pcm.clear();
    if (EnsureRecords()) {
        *format = platform::WaveFormat{};
        *buffer = platform::AudioBuffer{};
    }
    engine = audioEngine;
    loopCount = newLoopCount;
    drained = false;
    voiceFlags = platform::kVoiceNoPitch;
    maxFrequencyRatio = newMaxFrequencyRatio;
    callback = nullptr;
    sendList = nullptr;
    effectChain = nullptr;
    return DecodeAndCreateVoice(path, log);
}

int32_t SoundSlot::CreateVoiceAndBuffer() noexcept {
    if (engine == nullptr || format == nullptr || buffer == nullptr) {
        return kInvalidCall;
    }
    int32_t code = engine->CreateSourceVoice(voice, *format, voiceFlags, maxFrequencyRatio,
                                             callback, sendList, effectChain);
    if (Failed(code) || voice == nullptr) {
        return Failed(code) ? code : platform::kFail;
    }
    buffer->pAudioData = pcm.data();
    buffer->Flags = platform::kEndOfStream;
    buffer->AudioBytes = static_cast<uint32_t>(pcm.size());
    buffer->LoopCount = loopCount;
    if (loopCount == kLooping) {
        code = voice->SubmitSourceBuffer(*buffer);
        Play(0);
        voice->SetVolume(0.0f, 0);
    }
    return code;
}

SoundDecoding DecodeSound(const std::wstring& normalPath, platform::WaveFormat& format,
                          std::vector<uint8_t>& pcm) noexcept {
    SoundDecoding result;
    int32_t& code = result.code;
    try {
        std::unique_ptr<platform::AudioFileReader> reader;
        code = platform::OpenAudioFile(normalPath, reader);
        if (Failed(code)) {
            // The media framework may not be running yet: start it and try once more.
            result.mediaFoundationStarted = !Failed(platform::StartMediaFoundation());
            code = platform::OpenAudioFile(normalPath, reader);
        }
        if (!Failed(code)) {
            platform::WaveFormat decoded{};
            code = reader->DecodedFormat(decoded);
            if (!Failed(code)) {
                if (decoded.wFormatTag != platform::kWaveFormatPcm && decoded.nChannels != 1) {
                    format = decoded;
                    result.formatRejected = true;
                    code = platform::kInvalidArgument;
                    return result;
                }
                if (decoded.wFormatTag != platform::kWaveFormatPcm) {
                    // Only 18 bytes are kept: no extension may be announced beyond them.
                    decoded.cbSize = 0;
                }
                format = decoded;
            }
        }
        if (!Failed(code)) {
            ReserveFor(pcm, reader->ExpectedPcmBytes());
            bool endOfStream = false;
            while (!Failed(code)) {
                code = reader->ReadSample(pcm, endOfStream);
                if (endOfStream) {
                    break;
                }
            }
            Trim(pcm);
        }
        // The buffer describes byte counts in 32 bits.
        if (!Failed(code) && pcm.size() > UINT32_MAX) {
            code = platform::kOutOfMemory;
        }
    } catch (...) {
        code = platform::kOutOfMemory;
    }
    return result;
}

int32_t SoundSlot::DecodeAndCreateVoice(const std::wstring& path,
                                        platform::StartUpLog* log) noexcept {
    int32_t code = kSuccess;
    bool mediaFoundationStarted = false;
    std::wstring normal;
    try {
        normal = NormalPath(path);
        platform::WaveFormat decoded{};
        const SoundDecoding decoding = DecodeSound(normal, decoded, pcm);
        code = decoding.code;
        mediaFoundationStarted = decoding.mediaFoundationStarted;
        if (decoding.formatRejected) {
            if (mediaFoundationStarted) {
                platform::ShutDownMediaFoundation();
            }
            return code;
        }
        if (!Failed(code)) {
            if (!EnsureRecords()) {
                code = platform::kOutOfMemory;
            } else {
                *format = decoded;
            }
        }
    } catch (...) {
        code = platform::kOutOfMemory;
    }
    if (Failed(code)) {
        Clear();
    } else {
        code = CreateVoiceAndBuffer();
        if (Failed(code) && voice == nullptr) {
            Clear();
        }
    }
    if (mediaFoundationStarted) {
        platform::ShutDownMediaFoundation();
    }
    if (log != nullptr) {
        try {
            if (Failed(code)) {
                log->Write(L"ソースボイスの作成失敗\nエラー:" + FormatCode(code, true) + L"\n");
            } else {
                log->Write(L"ソースボイスの作成成功\n");
            }
            log->Write(kLogFileNameLabel + normal + L"\n");
        } catch (...) {
        }
    }
    return code;
}

int32_t SoundSlot::Play(uint32_t operationSet) noexcept {
    if (voice == nullptr) {
        return kInvalidCall;
    }
    if (loopCount == kLooping) {
        const int32_t code = voice->Start(0, operationSet);
        if (!Failed(code)) {
            started = true;
        }
        return code;
    }
    int32_t code = kSuccess;
    if (IsPlaying()) {
        if (started) {
            code = voice->Stop(0, platform::kCommitNow);
            if (Failed(code)) {
                return code;
            }
            started = false;
        }
        code = voice->FlushSourceBuffers();
        if (Failed(code)) {
            return code;
        }
    }
    if (buffer != nullptr) {
        code = voice->SubmitSourceBuffer(*buffer);
        if (Failed(code)) {
            return code;
        }
        drained = false;
    }
    if (!started) {
        code = voice->Start(0, operationSet);
        if (!Failed(code)) {
            started = true;
        }
    }
    return code;
}

int32_t SoundSlot::Stop(uint32_t operationSet) noexcept {
    if (voice == nullptr) {
        return kInvalidCall;
    }
    if (loopCount == kLooping) {
        if (!Failed(voice->Stop(0, operationSet))) {
            started = false;
        }
        return kSuccess;
    }
    if (started) {
        const int32_t code = voice->Stop(0, operationSet);
        if (Failed(code)) {
            return code;
        }
        started = false;
    }
    return voice->FlushSourceBuffers();
}

int32_t SoundSlot::PlayRange(uint32_t startFrame, uint32_t lengthFrames,
                             uint32_t operationSet) noexcept {
    if (voice == nullptr || buffer == nullptr) {
        return kInvalidCall;
    }
    voice->FlushSourceBuffers();
    buffer->PlayBegin = startFrame;
    buffer->PlayLength = lengthFrames;
    buffer->LoopBegin = 0;
    buffer->LoopLength = 0;
    buffer->LoopCount = 0;
    return Play(operationSet);
}

int32_t SoundSlot::SetVolume(float volume, uint32_t operationSet) noexcept {
    return voice != nullptr ? voice->SetVolume(volume, operationSet) : kInvalidCall;
}

int32_t SoundSlot::SetFrequencyRatio(float ratio, uint32_t operationSet) noexcept {
    return voice != nullptr ? voice->SetFrequencyRatio(ratio, operationSet) : kInvalidCall;
}

uint32_t SoundSlot::LengthFrames() const noexcept {
    if (format == nullptr || format->nChannels == 0 || format->wBitsPerSample == 0) {
        return 0;
    }
    const uint64_t bytes = static_cast<uint32_t>(pcm.size());
    return static_cast<uint32_t>(bytes * 8u / format->nChannels / format->wBitsPerSample);
}

uint32_t SoundSlot::PositionFrames() const noexcept {
    const uint32_t lengthFrames = LengthFrames();
    if (voice == nullptr || lengthFrames == 0) {
        return 0;
    }
    platform::VoiceState state{};
    voice->GetState(state, 0);
    const uint32_t samplesPlayed = static_cast<uint32_t>(state.SamplesPlayed);
    return samplesPlayed / format->nChannels % lengthFrames;
}

bool SoundSlot::IsPlaying() const noexcept {
    if (loopCount == kLooping) {
        return started;
    }
    // A one-shot not started since it was last stopped, or whose buffer has run out since it
    // was last given one, needs no look at its voice: only Play queues a buffer again.
    if (!started || voice == nullptr || drained) {
        return false;
    }
    platform::VoiceState state{};
    voice->GetState(state, platform::kVoiceNoSamplesPlayed);
    drained = state.BuffersQueued == 0;
    return !drained;
}

void SoundSlot::Clear() noexcept {
    if (started && voice != nullptr) {
        if (!Failed(voice->Stop(0, platform::kCommitNow))) {
            started = false;
            if (loopCount != kLooping) {
                voice->FlushSourceBuffers();
            }
        }
    }
    voice.reset();
    engine.reset();
    std::vector<uint8_t> storage = std::move(pcm);
    storage.clear();
    *this = SoundSlot();
    pcm = std::move(storage);
}

void SoundSlot::CopyFrom(const SoundSlot& source) noexcept {
    if (&source == this) {
        return;
    }
    if (started) {
        Stop(0);
    }
    voice.reset();
    engine = source.engine;
    loopCount = source.loopCount;
    bool copied = true;
    try {
        pcm = source.pcm;
    } catch (...) {
        copied = false;
    }
    if (EnsureRecords()) {
        *format = source.format != nullptr ? *source.format : platform::WaveFormat{};
        *buffer = source.buffer != nullptr ? *source.buffer : platform::AudioBuffer{};
    } else {
        copied = false;
    }
    started = false;
    drained = false;
    voiceFlags = source.voiceFlags;
    maxFrequencyRatio = source.maxFrequencyRatio;
    callback = source.callback;
    sendList = source.sendList;
    effectChain = source.effectChain;
    if (copied && engine != nullptr && source.format != nullptr &&
        !Failed(CreateVoiceAndBuffer())) {
        return;
    }
    if (voice == nullptr || !copied) {
        Clear();
    }
}

}  // namespace camcab::sound
