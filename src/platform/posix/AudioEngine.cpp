// The engine over FAudio. Without a host audio clock FAudio mixes in real time on the default
// SDL device. With one, the engine procedure recorded from SDL's thread does no mixing there:
// the host's clock renders each quantum through it, which is deterministic and as fast as the
// host likes.
#include "platform/AudioEngine.h"
#include "platform/AudioEngineBase.h"

#include <FAudio.h>
#include <dlfcn.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/HostServices.h"

namespace camcab::platform {
namespace {

static_assert(sizeof(FAudioBuffer) == sizeof(AudioBuffer));
static_assert(sizeof(FAudioWaveFormatEx) == sizeof(WaveFormat));

// A voice change held for its operation set.
struct HeldChange {
    enum class Kind { Start, Stop, Volume, FrequencyRatio };
    FAudioSourceVoice* voice;
    Kind kind;
    uint32_t flags;
    float value;
    uint32_t operationSet;
};

// While the host keeps the audio clock nothing mixes between the quanta it asks for, so a
// committed set of changes is applied at its commit rather than at the next quantum: the
// sound is the same, and frames that advance no time leave nothing queued in FAudio, whose
// queue grows by walking it and would make each such frame slower than the last.
class HeldChanges {
  public:
    bool active = false;

    // True if `change` is held for its set; false if it is to go to FAudio now (also when
    // there is no memory to hold it: FAudio then queues it itself).
    bool Hold(const HeldChange& change) noexcept {
        if (!active || change.operationSet == FAUDIO_COMMIT_NOW) {
            return false;
        }
        try {
            held_.push_back(change);
        } catch (...) {
            return false;
        }
        return true;
    }

    // Applies the changes of `operationSet` (every set for FAUDIO_COMMIT_ALL), in the order made.
    void Commit(uint32_t operationSet) {
        size_t kept = 0;
        for (const HeldChange& change : held_) {
            if (operationSet == FAUDIO_COMMIT_ALL || change.operationSet == operationSet) {
                Apply(change);
            } else {
                held_[kept++] = change;
            }
        }
        held_.resize(kept);
    }

    // A voice going away takes its held changes with it.
    void Forget(const FAudioSourceVoice* voice) {
        size_t kept = 0;
        for (const HeldChange& change : held_) {
            if (change.voice != voice) {
                held_[kept++] = change;
            }
        }
        held_.resize(kept);
    }

  private:
    static void Apply(const HeldChange& change) {
        switch (change.kind) {
            case HeldChange::Kind::Start:
                FAudioSourceVoice_Start(change.voice, change.flags, FAUDIO_COMMIT_NOW);
                break;
            case HeldChange::Kind::Stop:
                FAudioSourceVoice_Stop(change.voice, change.flags, FAUDIO_COMMIT_NOW);
                break;
            case HeldChange::Kind::Volume:
                FAudioVoice_SetVolume(change.voice, change.value, FAUDIO_COMMIT_NOW);
                break;
            case HeldChange::Kind::FrequencyRatio:
                FAudioSourceVoice_SetFrequencyRatio(change.voice, change.value, FAUDIO_COMMIT_NOW);
                break;
        }
    }

    std::vector<HeldChange> held_;
};

class FAudioSource final : public EngineSourceVoice {
  public:
    FAudioSource(AudioEngineBase& engine, HeldChanges& held, FAudioSourceVoice* voice,
                 const WaveFormat& format)
        : EngineSourceVoice(engine), held_(held), voice_(voice), format_(format) {}

    int32_t Start(uint32_t flags, uint32_t operationSet) override {
        if (held_.Hold({voice_, HeldChange::Kind::Start, flags, 0.0f, operationSet})) {
            return kSuccess;
        }
        return static_cast<int32_t>(FAudioSourceVoice_Start(voice_, flags, operationSet));
    }
    int32_t Stop(uint32_t flags, uint32_t operationSet) override {
        if (held_.Hold({voice_, HeldChange::Kind::Stop, flags, 0.0f, operationSet})) {
            return kSuccess;
        }
        return static_cast<int32_t>(FAudioSourceVoice_Stop(voice_, flags, operationSet));
    }
    int32_t SubmitSourceBuffer(const AudioBuffer& buffer) override;
    int32_t FlushSourceBuffers() override {
        return static_cast<int32_t>(FAudioSourceVoice_FlushSourceBuffers(voice_));
    }
    void GetState(VoiceState& state, uint32_t flags) override {
        FAudioVoiceState faudioState{};
        FAudioSourceVoice_GetState(voice_, &faudioState, flags);
        state.pCurrentBufferContext = faudioState.pCurrentBufferContext;
        state.BuffersQueued = faudioState.BuffersQueued;
        state.SamplesPlayed = faudioState.SamplesPlayed;
    }
    int32_t SetVolume(float volume, uint32_t operationSet) override {
        if (!std::isfinite(volume)) {
            return kInvalidArgument;
        }
        volume = std::fmax(-kMaxVolumeLevel, std::fmin(kMaxVolumeLevel, volume));
        if (held_.Hold({voice_, HeldChange::Kind::Volume, 0, volume, operationSet})) {
            return kSuccess;
        }
        return static_cast<int32_t>(FAudioVoice_SetVolume(voice_, volume, operationSet));
    }
    void GetVolume(float& volume) override { FAudioVoice_GetVolume(voice_, &volume); }
    int32_t SetFrequencyRatio(float ratio, uint32_t operationSet) override {
        // FAudio clamps to the voice's range but lets NaN through into the resampler.
        if (!std::isfinite(ratio)) {
            return kInvalidArgument;
        }
        if (held_.Hold({voice_, HeldChange::Kind::FrequencyRatio, 0, ratio, operationSet})) {
            return kSuccess;
        }
        return static_cast<int32_t>(
            FAudioSourceVoice_SetFrequencyRatio(voice_, ratio, operationSet));
    }
    void GetFrequencyRatio(float& ratio) override {
        FAudioSourceVoice_GetFrequencyRatio(voice_, &ratio);
    }

  private:
    void DestroyEngineVoice() override {
        held_.Forget(voice_);
        FAudioVoice_DestroyVoice(voice_);
    }

    HeldChanges& held_;
    FAudioSourceVoice* voice_;
    WaveFormat format_;
};

class FAudioMaster final : public EngineMasteringVoice {
  public:
    FAudioMaster(AudioEngineBase& engine, FAudioMasteringVoice* voice)
        : EngineMasteringVoice(engine), voice_(voice) {}

  private:
    void DestroyEngineVoice() override { FAudioVoice_DestroyVoice(voice_); }

    FAudioMasteringVoice* voice_;
};

class FAudioEngine final : public AudioEngineBase {
  public:
    explicit FAudioEngine(FAudio* audio) : AudioEngineBase(UnloadTeardown::Full), audio_(audio) {
        hostAttach_ =
            reinterpret_cast<CamcabHostAttachAudioFn>(::dlsym(RTLD_DEFAULT, kHostAttachAudioName));
        if (hostAttach_ != nullptr) {
            FAudio_SetEngineProcedureEXT(audio_, &RecordEngineProcedure, this);
        }
    }

    int32_t StartEngine() override {
        running_ = true;
        return static_cast<int32_t>(FAudio_StartEngine(audio_));
    }

    void StopEngine() override {
        running_ = false;
        FAudio_StopEngine(audio_);
    }

    int32_t CommitChanges(uint32_t operationSet) override {
        held_.Commit(operationSet);
        return static_cast<int32_t>(FAudio_CommitOperationSet(audio_, operationSet));
    }

  private:
    ~FAudioEngine() override = default;

    int32_t NewMasteringVoice(EngineMasteringVoice*& voice, uint32_t inputChannels,
                              uint32_t inputSampleRate, uint32_t flags, uint32_t) override {
        FAudioMasteringVoice* faudioVoice = nullptr;
        const uint32_t code = FAudio_CreateMasteringVoice(audio_, &faudioVoice, inputChannels,
                                                          inputSampleRate, flags, 0, nullptr);
        if (code != 0 || faudioVoice == nullptr) {
            return code != 0 ? static_cast<int32_t>(code) : kFail;
        }
        FAudioVoiceDetails details{};
        FAudioVoice_GetVoiceDetails(faudioVoice, &details);
        FAudioPerformanceData performance{};
        FAudio_GetPerformanceData(audio_, &performance);
        voice = new FAudioMaster(*this, faudioVoice);
        if (hostAttach_ != nullptr) {
            source_.context = this;
            source_.sampleRate = details.InputSampleRate;
            source_.channels = details.InputChannels;
            source_.quantumFrames =
                performance.CurrentLatencyInSamples / 2;  // FAudio reports two quanta
            source_.renderQuantum = &RenderQuantum;
            hostAttach_(&source_);
            attached_ = true;
            held_.active = true;
        }
        return kSuccess;
    }

    int32_t NewSourceVoice(EngineSourceVoice*& voice, const WaveFormat& format, uint32_t flags,
                           float maxFrequencyRatio) override {
        if (!HasMasteringVoice()) {
            return kInvalidCall;
        }
        // FAudio asserts instead of failing on formats it cannot play: check them first.
        if (!PlayableSource(format, maxFrequencyRatio)) {
            return kInvalidArgument;
        }
        FAudioWaveFormatEx faudioFormat;
        std::memcpy(&faudioFormat, &format, sizeof(faudioFormat));
        faudioFormat.cbSize = 0;
        FAudioSourceVoice* faudioVoice = nullptr;
        const uint32_t code =
            FAudio_CreateSourceVoice(audio_, &faudioVoice, &faudioFormat, flags, maxFrequencyRatio,
                                     nullptr, nullptr, nullptr);
        if (code != 0 || faudioVoice == nullptr) {
            return code != 0 ? static_cast<int32_t>(code) : kFail;
        }
        voice = new FAudioSource(*this, held_, faudioVoice, format);
        return kSuccess;
    }

    // The host's clock stops asking for quanta before the mastering voice goes.
    void MasteringVoiceEnding() override {
        if (attached_) {
            attached_ = false;
            held_.active = false;
            held_.Commit(FAUDIO_COMMIT_ALL);
            hostAttach_(nullptr);
        }
    }

    void ReleaseEngine() override { FAudio_Release(audio_); }

    static void FAUDIOCALL RecordEngineProcedure(FAudioEngineCallEXT defaultProcedure, FAudio*,
                                                 float*, void* user) {
        // SDL's thread: only learn how to mix; the output stays silent.
        static_cast<FAudioEngine*>(user)->defaultProcedure_.store(defaultProcedure);
    }

    static void RenderQuantum(void* context, float* output) {
        auto* engine = static_cast<FAudioEngine*>(context);
        const size_t count =
            static_cast<size_t>(engine->source_.quantumFrames) * engine->source_.channels;
        std::memset(output, 0, count * sizeof(float));
        if (!engine->running_.load()) {
            return;
        }
        FAudioEngineCallEXT procedure = engine->defaultProcedure_.load();
        // SDL's first callback may still be on its way right after the device opened; a
        // device that never calls back is waited for once, not on every quantum.
        for (int waited = 0; procedure == nullptr && !engine->gaveUpWaiting_ && waited < 2000;
             ++waited) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            procedure = engine->defaultProcedure_.load();
        }
        engine->gaveUpWaiting_ = procedure == nullptr;
        if (procedure != nullptr) {
            procedure(engine->audio_, output);
        }
    }

    FAudio* audio_;
    CamcabHostAttachAudioFn hostAttach_ = nullptr;
    CamcabAudioSource source_{};
    bool attached_ = false;
    HeldChanges held_;
    std::atomic<bool> running_{true};  // an engine runs from its creation
    bool gaveUpWaiting_ = false;
    std::atomic<FAudioEngineCallEXT> defaultProcedure_{nullptr};
};

int32_t FAudioSource::SubmitSourceBuffer(const AudioBuffer& buffer) {
    // XAudio2 refuses these; FAudio would loop forever on an empty buffer or read past it.
    const uint32_t frames = format_.nBlockAlign == 0 ? 0 : buffer.AudioBytes / format_.nBlockAlign;
    if (buffer.pAudioData == nullptr || frames == 0 || buffer.PlayBegin >= frames ||
        buffer.PlayLength > frames - buffer.PlayBegin) {
        return kInvalidCall;
    }
    const uint32_t playEnd = buffer.PlayLength == 0 ? frames : buffer.PlayBegin + buffer.PlayLength;
    if (buffer.LoopCount == 0) {
        if (buffer.LoopBegin != 0 || buffer.LoopLength != 0) {
            return kInvalidCall;
        }
    } else {
        if (buffer.LoopCount > kLoopInfinite || buffer.LoopBegin >= playEnd ||
            buffer.LoopLength > playEnd - buffer.LoopBegin) {
            return kInvalidCall;
        }
    }
    FAudioBuffer faudioBuffer;
    std::memcpy(&faudioBuffer, &buffer, sizeof(faudioBuffer));
    return static_cast<int32_t>(
        FAudioSourceVoice_SubmitSourceBuffer(voice_, &faudioBuffer, nullptr));
}

}  // namespace

int32_t CreateAudioEngine(EngineRef& engine, uint32_t flags, uint32_t processor) {
    engine.reset();
    if (flags != 0 || processor != kDefaultProcessor) {
        return kInvalidArgument;  // FAudio asserts on anything else
    }
    FAudio* audio = nullptr;
    const uint32_t code = FAudioCreate(&audio, 0, FAUDIO_DEFAULT_PROCESSOR);
    if (code != 0 || audio == nullptr) {
        return code != 0 ? static_cast<int32_t>(code) : kFail;
    }
    engine = EngineRef::Adopt(new FAudioEngine(audio));
    return kSuccess;
}

}  // namespace camcab::platform
