#include "platform/AudioEngineBase.h"

namespace camcab::platform {

void EngineSourceVoice::DestroyVoice() {
    engine_.Forget(this);
    DestroyNow();
}

void EngineSourceVoice::DestroyNow() {
    DestroyEngineVoice();
    delete this;
}

void EngineMasteringVoice::DestroyVoice() {
    engine_.ForgetMaster();
    DestroyNow();
}

void EngineMasteringVoice::DestroyNow() {
    DestroyEngineVoice();
    delete this;
}

uint32_t AudioEngineBase::AddRef() {
    return ++references_;
}

uint32_t AudioEngineBase::Release() {
    const uint32_t left = --references_;
    if (left == 0) {
        Destroy();
    }
    return left;
}

void AudioEngineBase::ReleaseAtUnload() {
    if (unloadTeardown_ == UnloadTeardown::Full) {
        Release();
        return;
    }
    if (--references_ == 0) {
        DestroyAtUnload();
    }
}

int32_t AudioEngineBase::CreateMasteringVoice(MasteringVoicePtr& voice, uint32_t inputChannels,
                                              uint32_t inputSampleRate, uint32_t flags,
                                              uint32_t streamCategory) {
    voice.reset();
    if (master_ != nullptr) {
        return kInvalidCall;  // one mastering voice per engine
    }
    EngineMasteringVoice* created = nullptr;
    const int32_t code =
        NewMasteringVoice(created, inputChannels, inputSampleRate, flags, streamCategory);
    if (Failed(code) || created == nullptr) {
        return Failed(code) ? code : kFail;
    }
    master_ = created;
    voice.reset(created);
    return kSuccess;
}

int32_t AudioEngineBase::CreateSourceVoice(VoicePtr& voice, const WaveFormat& format,
                                           uint32_t flags, float maxFrequencyRatio, VoiceCallback*,
                                           const VoiceSends*, const EffectChain*) {
    voice.reset();
    EngineSourceVoice* created = nullptr;
    const int32_t code = NewSourceVoice(created, format, flags, maxFrequencyRatio);
    if (Failed(code) || created == nullptr) {
        return Failed(code) ? code : kFail;
    }
    try {
        sources_.insert(created);
    } catch (...) {
        created->DestroyNow();
        return kOutOfMemory;
    }
    voice.reset(created);
    return kSuccess;
}

void AudioEngineBase::ForgetMaster() {
    MasteringVoiceEnding();
    master_ = nullptr;
}

void AudioEngineBase::DestroySources() {
    while (!sources_.empty()) {
        EngineSourceVoice* source = *sources_.begin();
        sources_.erase(sources_.begin());
        source->DestroyNow();
    }
}

// XAudio2 frees every voice with its engine; FAudio leaves that to its user, so both are
// given the same order here.
void AudioEngineBase::Destroy() {
    if (master_ != nullptr) {
        MasteringVoiceEnding();
    }
    DestroySources();
    if (master_ != nullptr) {
        EngineMasteringVoice* master = master_;
        master_ = nullptr;
        master->DestroyNow();
    }
    ReleaseEngine();
    delete this;
}

void AudioEngineBase::DestroyAtUnload() {
    StopEngine();
    DestroySources();
    // The mastering voice's record goes; its engine voice stays with the engine.
    delete master_;
    master_ = nullptr;
    delete this;
}

}  // namespace camcab::platform
