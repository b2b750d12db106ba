#include "platform/ClockedAudioEngine.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <new>
#include <vector>

#include "platform/AudioEngineBase.h"

namespace camcab::platform {
namespace {

class ClockedEngine;

constexpr uint64_t kFixedOne = uint64_t{1} << 32;

// A voice change held for its operation set.
struct HeldChange {
    enum class Kind { Start, Stop, Volume, FrequencyRatio };
    class ClockedVoice* voice;
    Kind kind;
    float value;
    uint32_t operationSet;
};

class ClockedVoice final : public EngineSourceVoice {
  public:
    ClockedVoice(AudioEngineBase& engine, ClockedEngine& clock, const WaveFormat& format,
                 float maxFrequencyRatio)
        : EngineSourceVoice(engine),
          clock_(clock),
          sampleRate_(format.nSamplesPerSec),
          frameBytes_(format.nBlockAlign),
          maxFrequencyRatio_(maxFrequencyRatio) {}

    int32_t Start(uint32_t flags, uint32_t operationSet) override;
    int32_t Stop(uint32_t flags, uint32_t operationSet) override;
    int32_t SubmitSourceBuffer(const AudioBuffer& buffer) override {
        const uint32_t frames = frameBytes_ == 0 ? 0 : buffer.AudioBytes / frameBytes_;
        const uint64_t playEnd = uint64_t{buffer.PlayBegin} + buffer.PlayLength;
        if (buffer.pAudioData == nullptr || frames == 0 || buffer.PlayBegin >= frames ||
            playEnd > frames || buffer.LoopCount > kLoopInfinite) {
            return kInvalidArgument;
        }
        try {
            queue_.push_back(Queued{buffer, frames});
        } catch (const std::bad_alloc&) {
            return kOutOfMemory;
        }
        if (queue_.size() == 1) {
            BeginFront();
        }
        return kSuccess;
    }
    int32_t FlushSourceBuffers() override {
        // The buffer being played stays until it ends; the rest go.
        if (running_ && !queue_.empty()) {
            queue_.erase(queue_.begin() + 1, queue_.end());
        } else {
            queue_.clear();
        }
        return kSuccess;
    }
    void GetState(VoiceState& state, uint32_t flags) override {
        state.pCurrentBufferContext = queue_.empty() ? nullptr : queue_.front().buffer.pContext;
        state.BuffersQueued = static_cast<uint32_t>(queue_.size());
        state.SamplesPlayed = (flags & kVoiceNoSamplesPlayed) != 0 ? 0 : playedFixed_ / kFixedOne;
    }
    int32_t SetVolume(float volume, uint32_t operationSet) override;
    void GetVolume(float& volume) override { volume = volume_; }
    int32_t SetFrequencyRatio(float ratio, uint32_t operationSet) override;
    void GetFrequencyRatio(float& ratio) override { ratio = frequencyRatio_; }

    void Apply(const HeldChange& change) {
        switch (change.kind) {
            case HeldChange::Kind::Start:
                running_ = true;
                break;
            case HeldChange::Kind::Stop:
                running_ = false;
                break;
            case HeldChange::Kind::Volume:
                volume_ = change.value;
                break;
            case HeldChange::Kind::FrequencyRatio:
                frequencyRatio_ = std::clamp(change.value, kMinFrequencyRatio, maxFrequencyRatio_);
                break;
        }
    }

    // One quantum of `outputFrames` at `outputRate`: the place in the buffer moves on by as
    // many source frames as the voice's rate and pitch take, through its loops; a buffer that
    // runs out leaves the queue, and the rest of the quantum goes to the next one. As in
    // FAudio, the place is counted in 32.32 fixed point, the step per output frame rounded to
    // it, and a buffer whose end falls exactly at the quantum's end leaves in the next one.
    void Advance(uint32_t outputFrames, uint32_t outputRate) {
        if (!running_ || queue_.empty()) {
            return;
        }
        const double ratio = static_cast<double>(frequencyRatio_) * sampleRate_ / outputRate;
        uint64_t left = static_cast<uint64_t>(ratio * kFixedOne + 0.5) * outputFrames;
        while (left > 0 && !queue_.empty()) {
            const AudioBuffer& b = queue_.front().buffer;
            const uint32_t end =
                b.PlayLength == 0 ? queue_.front().frames : b.PlayBegin + b.PlayLength;
            const uint32_t loopEnd = b.LoopLength == 0 ? end : b.LoopBegin + b.LoopLength;
            const uint64_t until = uint64_t{loopsLeft_ > 0 ? loopEnd : end} * kFixedOne;
            if (position_ + left <= until) {
                position_ += left;
                playedFixed_ += left;
                break;
            }
            const uint64_t step = until - position_;
            left -= step;
            playedFixed_ += step;
            if (loopsLeft_ > 0) {
                if (loopEnd <= b.LoopBegin) {
                    position_ = until;  // an empty loop region holds the voice where it is
                    break;
                }
                position_ = uint64_t{b.LoopBegin} * kFixedOne;
                if (b.LoopCount != kLoopInfinite) {
                    --loopsLeft_;
                }
                continue;
            }
            if ((b.Flags & kEndOfStream) != 0) {
                playedFixed_ = 0;
            }
            queue_.pop_front();
            BeginFront();
        }
    }

  private:
    struct Queued {
        AudioBuffer buffer;
        uint32_t frames;
    };

    void BeginFront() {
        if (!queue_.empty()) {
            position_ = uint64_t{queue_.front().buffer.PlayBegin} * kFixedOne;
            loopsLeft_ = queue_.front().buffer.LoopCount;
        }
    }

    void DestroyEngineVoice() override;

    ClockedEngine& clock_;
    const uint32_t sampleRate_;
    const uint32_t frameBytes_;
    const float maxFrequencyRatio_;
    std::deque<Queued> queue_;
    uint64_t position_ = 0;  // in source frames, 32.32 fixed point, within the front buffer
    uint32_t loopsLeft_ = 0;
    uint64_t playedFixed_ = 0;  // source frames played, 32.32 fixed point
    bool running_ = false;
    float volume_ = 1.0f;
    float frequencyRatio_ = 1.0f;
};

class ClockedMaster final : public EngineMasteringVoice {
  public:
    explicit ClockedMaster(AudioEngineBase& engine) : EngineMasteringVoice(engine) {}

  private:
    void DestroyEngineVoice() override {}
};

class ClockedEngine final : public AudioEngineBase {
  public:
    explicit ClockedEngine(CamcabHostAttachAudioFn hostAttach)
        : AudioEngineBase(UnloadTeardown::Full), hostAttach_(hostAttach) {}

    int32_t StartEngine() override {
        running_ = true;
        return kSuccess;
    }
    void StopEngine() override { running_ = false; }
    int32_t CommitChanges(uint32_t operationSet) override {
        // Applied in the order made; kCommitAll takes every set.
        size_t kept = 0;
        for (const HeldChange& change : held_) {
            if (operationSet == kCommitAll || change.operationSet == operationSet) {
                change.voice->Apply(change);
            } else {
                held_[kept++] = change;
            }
        }
        held_.resize(kept);
        return kSuccess;
    }

    // A change with an operation set waits for its commit; the others apply now.
    int32_t Change(const HeldChange& change) {
        if (change.operationSet == kCommitNow) {
            change.voice->Apply(change);
            return kSuccess;
        }
        try {
            held_.push_back(change);
        } catch (const std::bad_alloc&) {
            return kOutOfMemory;
        }
        return kSuccess;
    }

    void Forget(ClockedVoice* voice) {
        voices_.erase(std::remove(voices_.begin(), voices_.end(), voice), voices_.end());
        held_.erase(std::remove_if(held_.begin(), held_.end(),
                                   [voice](const HeldChange& c) { return c.voice == voice; }),
                    held_.end());
    }

  private:
    ~ClockedEngine() override = default;

    int32_t NewMasteringVoice(EngineMasteringVoice*& voice, uint32_t, uint32_t, uint32_t,
                              uint32_t) override {
        voice = new (std::nothrow) ClockedMaster(*this);
        if (voice == nullptr) {
            return kOutOfMemory;
        }
        source_ = CamcabAudioSource{this, kClockedSampleRate, kClockedChannels,
                                    kClockedQuantumFrames, &RenderQuantum};
        hostAttach_(&source_);
        attached_ = true;
        return kSuccess;
    }

    // The same formats FAudio takes on Linux.
    int32_t NewSourceVoice(EngineSourceVoice*& voice, const WaveFormat& format, uint32_t,
                           float maxFrequencyRatio) override {
        if (!HasMasteringVoice()) {
            return kInvalidCall;
        }
        if (!PlayableSource(format, maxFrequencyRatio)) {
            return kInvalidArgument;
        }
        try {
            voices_.reserve(voices_.size() + 1);
        } catch (const std::bad_alloc&) {
            return kOutOfMemory;
        }
        auto* clocked = new (std::nothrow) ClockedVoice(*this, *this, format, maxFrequencyRatio);
        if (clocked == nullptr) {
            return kOutOfMemory;
        }
        voices_.push_back(clocked);
        voice = clocked;
        return kSuccess;
    }

    void MasteringVoiceEnding() override {
        if (attached_) {
            attached_ = false;
            hostAttach_(nullptr);
        }
    }

    void ReleaseEngine() override {}

    static void RenderQuantum(void* context, float* output) {
        auto* engine = static_cast<ClockedEngine*>(context);
        std::memset(output, 0, sizeof(float) * kClockedQuantumFrames * kClockedChannels);
        if (!engine->running_) {
            return;
        }
        for (ClockedVoice* voice : engine->voices_) {
            voice->Advance(kClockedQuantumFrames, kClockedSampleRate);
        }
    }

    CamcabHostAttachAudioFn hostAttach_;
    CamcabAudioSource source_{};
    bool attached_ = false;
    bool running_ = true;  // an engine runs from its creation, as XAudio2's does
    std::vector<ClockedVoice*> voices_;
    std::vector<HeldChange> held_;
};

int32_t ClockedVoice::Start(uint32_t, uint32_t operationSet) {
    return clock_.Change(HeldChange{this, HeldChange::Kind::Start, 0.0f, operationSet});
}

int32_t ClockedVoice::Stop(uint32_t, uint32_t operationSet) {
    return clock_.Change(HeldChange{this, HeldChange::Kind::Stop, 0.0f, operationSet});
}

int32_t ClockedVoice::SetVolume(float volume, uint32_t operationSet) {
    if (!(volume >= -kMaxVolumeLevel && volume <= kMaxVolumeLevel)) {
        return kInvalidArgument;
    }
    return clock_.Change(HeldChange{this, HeldChange::Kind::Volume, volume, operationSet});
}

int32_t ClockedVoice::SetFrequencyRatio(float ratio, uint32_t operationSet) {
    if (!(ratio >= 0.0f)) {
        return kInvalidArgument;
    }
    return clock_.Change(HeldChange{this, HeldChange::Kind::FrequencyRatio, ratio, operationSet});
}

void ClockedVoice::DestroyEngineVoice() {
    clock_.Forget(this);
}

}  // namespace

int32_t CreateClockedAudioEngine(EngineRef& engine, CamcabHostAttachAudioFn hostAttach) {
    engine.reset();
    if (hostAttach == nullptr) {
        return kInvalidArgument;
    }
    auto* clocked = new (std::nothrow) ClockedEngine(hostAttach);
    if (clocked == nullptr) {
        return kOutOfMemory;
    }
    engine = EngineRef::Adopt(clocked);
    return kSuccess;
}

}  // namespace camcab::platform
