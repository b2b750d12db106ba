// What both engine backends keep alike: the reference count, the one mastering voice, the set
// of source voices still alive, and the order in which the last reference takes them down.
// A backend adds only its engine's own calls.
#pragma once

#include <cstdint>
#include <set>

#include "platform/AudioEngine.h"

namespace camcab::platform {

class AudioEngineBase;

// A source voice made by an AudioEngineBase: destroying it also takes it off the engine's set.
class EngineSourceVoice : public SourceVoice {
  public:
    void DestroyVoice() final;

  protected:
    explicit EngineSourceVoice(AudioEngineBase& engine) : engine_(engine) {}
    virtual ~EngineSourceVoice() = default;
    // Frees the backend's voice.
    virtual void DestroyEngineVoice() = 0;

  private:
    friend class AudioEngineBase;
    void DestroyNow();

    AudioEngineBase& engine_;
};

class EngineMasteringVoice : public MasteringVoice {
  public:
    void DestroyVoice() final;

  protected:
    explicit EngineMasteringVoice(AudioEngineBase& engine) : engine_(engine) {}
    virtual ~EngineMasteringVoice() = default;
    virtual void DestroyEngineVoice() = 0;

  private:
    friend class AudioEngineBase;
    void DestroyNow();

    AudioEngineBase& engine_;
};

class AudioEngineBase : public AudioEngine {
  public:
    // What the last reference may still do while the library is being unloaded.
    enum class UnloadTeardown {
        // Everything, as at any last Release.
        Full,
        // Only stop the engine and destroy the source voices: the mastering voice and the
        // engine wait for the engine's own thread, which cannot run under the loader lock.
        // They are left to the process.
        SilenceOnly,
    };

    uint32_t AddRef() final;
    uint32_t Release() final;
    void ReleaseAtUnload() final;
    int32_t CreateMasteringVoice(MasteringVoicePtr& voice, uint32_t inputChannels,
                                 uint32_t inputSampleRate, uint32_t flags,
                                 uint32_t streamCategory) final;
    int32_t CreateSourceVoice(VoicePtr& voice, const WaveFormat& format, uint32_t flags,
                              float maxFrequencyRatio, VoiceCallback* callback,
                              const VoiceSends* sendList, const EffectChain* effectChain) final;

  protected:
    explicit AudioEngineBase(UnloadTeardown unloadTeardown) : unloadTeardown_(unloadTeardown) {}
    virtual ~AudioEngineBase() = default;

    bool HasMasteringVoice() const { return master_ != nullptr; }
    // A source format and pitch limit that FAudio plays (it asserts on others), so that every
    // engine under the host's clock refuses alike: 8, 16, 24 or 32-bit PCM, 1 to 64 channels,
    // 1 to 200 kHz, a ratio limit within the engine's range.
    static bool PlayableSource(const WaveFormat& format, float maxFrequencyRatio) {
        const bool bitsOk = format.wBitsPerSample == 8 || format.wBitsPerSample == 16 ||
                            format.wBitsPerSample == 24 || format.wBitsPerSample == 32;
        return format.wFormatTag == kWaveFormatPcm && bitsOk && format.nChannels >= 1 &&
               format.nChannels <= 64 && format.nSamplesPerSec >= 1000 &&
               format.nSamplesPerSec <= 200000 &&
               format.nBlockAlign == format.nChannels * format.wBitsPerSample / 8 &&
               maxFrequencyRatio >= kMinFrequencyRatio && maxFrequencyRatio <= kMaxFrequencyRatio;
    }

    // The backend's own creation: a new voice, or a failure code and null.
    virtual int32_t NewMasteringVoice(EngineMasteringVoice*& voice, uint32_t inputChannels,
                                      uint32_t inputSampleRate, uint32_t flags,
                                      uint32_t streamCategory) = 0;
    virtual int32_t NewSourceVoice(EngineSourceVoice*& voice, const WaveFormat& format,
                                   uint32_t flags, float maxFrequencyRatio) = 0;
    // Before the mastering voice is destroyed, on its own or with the engine.
    virtual void MasteringVoiceEnding() {}
    // Frees the backend's engine, once every voice is gone.
    virtual void ReleaseEngine() = 0;

  private:
    friend class EngineSourceVoice;
    friend class EngineMasteringVoice;

    void Forget(EngineSourceVoice* voice) { sources_.erase(voice); }
    void ForgetMaster();
    void DestroySources();
    // The last reference: every voice, then the engine.
    void Destroy();
    void DestroyAtUnload();

    const UnloadTeardown unloadTeardown_;
    uint32_t references_ = 1;
    EngineMasteringVoice* master_ = nullptr;
    std::set<EngineSourceVoice*> sources_;
};

}  // namespace camcab::platform
