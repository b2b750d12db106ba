// The audio engine as the library drives it: one engine, one mastering voice and one source
// voice per sound, shaped like XAudio2 2.8. On Windows it is XAudio2 itself; on Linux FAudio,
// which mixes either in real time on the default SDL device or, when the host process offers
// an audio clock, exactly when the host asks for samples.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace camcab::platform {

// Result codes, HRESULT-style: negative is failure.
inline constexpr int32_t kSuccess = 0;
inline constexpr int32_t kInvalidCall =
    static_cast<int32_t>(0x88960001u);  // XAUDIO2_E_INVALID_CALL
inline constexpr int32_t kInvalidArgument = static_cast<int32_t>(0x80070057u);  // E_INVALIDARG
inline constexpr int32_t kFail = static_cast<int32_t>(0x80004005u);             // E_FAIL
inline constexpr int32_t kOutOfMemory = static_cast<int32_t>(0x8007000Eu);      // E_OUTOFMEMORY
inline constexpr bool Failed(int32_t code) {
    return code < 0;
}

inline constexpr uint32_t kCommitNow = 0;                    // XAUDIO2_COMMIT_NOW
inline constexpr uint32_t kCommitAll = 0;                    // XAUDIO2_COMMIT_ALL
inline constexpr uint32_t kVoiceNoPitch = 2;                 // XAUDIO2_VOICE_NOPITCH
inline constexpr uint32_t kVoiceNoSamplesPlayed = 0x100;     // XAUDIO2_VOICE_NOSAMPLESPLAYED
inline constexpr uint32_t kLoopInfinite = 255;               // XAUDIO2_LOOP_INFINITE
inline constexpr uint32_t kEndOfStream = 0x40;               // XAUDIO2_END_OF_STREAM
inline constexpr uint32_t kDefaultProcessor = 1;             // XAUDIO2_DEFAULT_PROCESSOR
inline constexpr uint32_t kDefaultChannels = 0;              // XAUDIO2_DEFAULT_CHANNELS
inline constexpr uint32_t kDefaultSampleRate = 0;            // XAUDIO2_DEFAULT_SAMPLERATE
inline constexpr uint32_t kCategoryGameEffects = 6;          // AudioCategory_GameEffects
inline constexpr float kMinFrequencyRatio = 1.0f / 1024.0f;  // XAUDIO2_MIN_FREQ_RATIO
inline constexpr float kMaxFrequencyRatio = 1024.0f;         // XAUDIO2_MAX_FREQ_RATIO
inline constexpr float kMaxVolumeLevel = 16777216.0f;        // XAUDIO2_MAX_VOLUME_LEVEL

inline constexpr uint16_t kWaveFormatPcm = 1;
inline constexpr uint16_t kWaveFormatExtensible = 0xFFFE;

#pragma pack(push, 1)
// WAVEFORMATEX, cbSize included: 18 bytes.
struct WaveFormat {
    uint16_t wFormatTag;
    uint16_t nChannels;
    uint32_t nSamplesPerSec;
    uint32_t nAvgBytesPerSec;
    uint16_t nBlockAlign;
    uint16_t wBitsPerSample;
    uint16_t cbSize;
};

// XAUDIO2_BUFFER in its packed layout: 44 bytes. Ranges are in sample frames.
struct AudioBuffer {
    uint32_t Flags;
    uint32_t AudioBytes;
    const uint8_t* pAudioData;
    uint32_t PlayBegin;
    uint32_t PlayLength;
    uint32_t LoopBegin;
    uint32_t LoopLength;
    uint32_t LoopCount;
    void* pContext;
};
#pragma pack(pop)
static_assert(sizeof(WaveFormat) == 18);
static_assert(sizeof(AudioBuffer) == 44);

// XAUDIO2_VOICE_STATE.
struct VoiceState {
    void* pCurrentBufferContext;
    uint32_t BuffersQueued;
    uint64_t SamplesPlayed;
};

// Voice callbacks, send lists and effect chains: the library never uses any, so they are
// opaque and always null.
struct VoiceCallback;
struct VoiceSends;
struct EffectChain;

class SourceVoice {
  public:
    virtual int32_t Start(uint32_t flags, uint32_t operationSet) = 0;
    virtual int32_t Stop(uint32_t flags, uint32_t operationSet) = 0;
    // The buffer record and the audio it points at must outlive the queued buffer.
    virtual int32_t SubmitSourceBuffer(const AudioBuffer& buffer) = 0;
    virtual int32_t FlushSourceBuffers() = 0;
    virtual void GetState(VoiceState& state, uint32_t flags) = 0;
    virtual int32_t SetVolume(float volume, uint32_t operationSet) = 0;
    virtual void GetVolume(float& volume) = 0;
    virtual int32_t SetFrequencyRatio(float ratio, uint32_t operationSet) = 0;
    virtual void GetFrequencyRatio(float& ratio) = 0;
    // Stops the voice at once and frees it; the pointer is dead afterwards.
    virtual void DestroyVoice() = 0;

  protected:
    ~SourceVoice() = default;
};

class MasteringVoice {
  public:
    virtual void DestroyVoice() = 0;

  protected:
    ~MasteringVoice() = default;
};

// Destroys a voice through its engine.
struct VoiceDestroyer {
    void operator()(SourceVoice* voice) const noexcept { voice->DestroyVoice(); }
    void operator()(MasteringVoice* voice) const noexcept { voice->DestroyVoice(); }
};
// The one owner of a voice: DestroyVoice when it lets go. The engine must still be alive then.
using VoicePtr = std::unique_ptr<SourceVoice, VoiceDestroyer>;
using MasteringVoicePtr = std::unique_ptr<MasteringVoice, VoiceDestroyer>;

// Reference-counted like IXAudio2: the creator holds the first reference. The last Release
// destroys every voice still alive and the engine.
class AudioEngine {
  public:
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;
    // Drops the last reference while the library itself is being unloaded. On Windows that
    // happens under the loader lock, where the engine's own thread cannot be joined: the
    // engine is stopped and its voices destroyed, and the rest is left to the process.
    virtual void ReleaseAtUnload() = 0;
    virtual int32_t CreateMasteringVoice(MasteringVoicePtr& voice, uint32_t inputChannels,
                                         uint32_t inputSampleRate, uint32_t flags,
                                         uint32_t streamCategory) = 0;
    virtual int32_t CreateSourceVoice(VoicePtr& voice, const WaveFormat& format, uint32_t flags,
                                      float maxFrequencyRatio, VoiceCallback* callback,
                                      const VoiceSends* sendList,
                                      const EffectChain* effectChain) = 0;
    virtual int32_t StartEngine() = 0;
    virtual void StopEngine() = 0;
    virtual int32_t CommitChanges(uint32_t operationSet) = 0;

  protected:
    ~AudioEngine() = default;
};

// A counted reference to the engine: a copy holds a reference of its own, and every
// reference is released when its holder lets go of it.
class EngineRef {
  public:
    EngineRef() noexcept = default;
    // Takes over a reference already held, such as the creator's first one.
    static EngineRef Adopt(AudioEngine* engine) noexcept {
        EngineRef adopted;
        adopted.engine_ = engine;
        return adopted;
    }
    EngineRef(const EngineRef& other) noexcept : engine_(other.engine_) {
        if (engine_ != nullptr) {
            engine_->AddRef();
        }
    }
    EngineRef(EngineRef&& other) noexcept : engine_(other.engine_) { other.engine_ = nullptr; }
    EngineRef& operator=(const EngineRef& other) noexcept {
        if (other.engine_ != engine_) {
            reset();
            engine_ = other.engine_;
            if (engine_ != nullptr) {
                engine_->AddRef();
            }
        }
        return *this;
    }
    EngineRef& operator=(EngineRef&& other) noexcept {
        if (&other != this) {
            reset();
            engine_ = other.engine_;
            other.engine_ = nullptr;
        }
        return *this;
    }
    ~EngineRef() { reset(); }

    void reset() noexcept {
        if (engine_ != nullptr) {
            AudioEngine* released = engine_;
            engine_ = nullptr;
            released->Release();
        }
    }
    // Lets go while the library itself is being unloaded (AudioEngine::ReleaseAtUnload).
    void ResetAtUnload() noexcept {
        if (engine_ != nullptr) {
            AudioEngine* released = engine_;
            engine_ = nullptr;
            released->ReleaseAtUnload();
        }
    }
    AudioEngine* get() const noexcept { return engine_; }
    AudioEngine* operator->() const noexcept { return engine_; }
    explicit operator bool() const noexcept { return engine_ != nullptr; }
    friend bool operator==(const EngineRef& ref, std::nullptr_t) noexcept {
        return ref.engine_ == nullptr;
    }

  private:
    AudioEngine* engine_ = nullptr;
};

// XAudio2Create: a new engine with one reference, or a failure code and null.
int32_t CreateAudioEngine(EngineRef& engine, uint32_t flags, uint32_t processor);

}  // namespace camcab::platform
