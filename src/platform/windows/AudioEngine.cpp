// The engine over XAudio2 2.8, loaded at run time from the system folder, so that the
// plug-in still loads where XAudio2_8.dll is missing; engine creation then fails and the
// start-up log says so.
#include "platform/AudioEngine.h"

#include <windows.h>
#include <xaudio2.h>

#include <cmath>
#include <cstring>
#include <set>
#include <string>

namespace camcab::platform {
namespace {

static_assert(sizeof(XAUDIO2_BUFFER) == sizeof(AudioBuffer));
static_assert(sizeof(WAVEFORMATEX) == sizeof(WaveFormat));

using XAudio2CreateFn = HRESULT(WINAPI*)(IXAudio2**, UINT32, XAUDIO2_PROCESSOR);

int32_t LastErrorCode() {
    const DWORD error = GetLastError();
    return static_cast<int32_t>(HRESULT_FROM_WIN32(error != 0 ? error : ERROR_MOD_NOT_FOUND));
}

// XAudio2Create of the system's XAudio2_8.dll. The library stays loaded for the process:
// its mixing thread may outlive any one engine.
XAudio2CreateFn FindXAudio2Create(int32_t& code) {
    static XAudio2CreateFn create = nullptr;
    static int32_t loadCode = 0;
    static bool tried = false;
    if (!tried) {
        tried = true;
        wchar_t system[MAX_PATH];
        const UINT length = GetSystemDirectoryW(system, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) {
            loadCode = LastErrorCode();
        } else {
            const std::wstring path = std::wstring(system, length) + L"\\XAudio2_8.dll";
            HMODULE module = LoadLibraryW(path.c_str());
            if (module == nullptr) {
                loadCode = LastErrorCode();
            } else {
                create = reinterpret_cast<XAudio2CreateFn>(
                    reinterpret_cast<void*>(GetProcAddress(module, "XAudio2Create")));
                if (create == nullptr) {
                    loadCode = LastErrorCode();
                }
            }
        }
    }
    code = loadCode;
    return create;
}

class XAudio2Engine;

class XAudio2Source final : public SourceVoice {
  public:
    XAudio2Source(XAudio2Engine* engine, IXAudio2SourceVoice* voice)
        : engine_(engine), voice_(voice) {}

    int32_t Start(uint32_t flags, uint32_t operationSet) override {
        return voice_->Start(flags, operationSet);
    }
    int32_t Stop(uint32_t flags, uint32_t operationSet) override {
        return voice_->Stop(flags, operationSet);
    }
    int32_t SubmitSourceBuffer(const AudioBuffer& buffer) override {
        XAUDIO2_BUFFER xaudioBuffer;
        std::memcpy(&xaudioBuffer, &buffer, sizeof(xaudioBuffer));
        return voice_->SubmitSourceBuffer(&xaudioBuffer, nullptr);
    }
    int32_t FlushSourceBuffers() override { return voice_->FlushSourceBuffers(); }
    void GetState(VoiceState& state, uint32_t flags) override {
        XAUDIO2_VOICE_STATE xaudioState{};
        voice_->GetState(&xaudioState, flags);
        state.pCurrentBufferContext = xaudioState.pCurrentBufferContext;
        state.BuffersQueued = xaudioState.BuffersQueued;
        state.SamplesPlayed = xaudioState.SamplesPlayed;
    }
    int32_t SetVolume(float volume, uint32_t operationSet) override {
        if (!std::isfinite(volume)) {
            return kInvalidArgument;
        }
        volume = std::fmax(-kMaxVolumeLevel, std::fmin(kMaxVolumeLevel, volume));
        return voice_->SetVolume(volume, operationSet);
    }
    void GetVolume(float& volume) override { voice_->GetVolume(&volume); }
    int32_t SetFrequencyRatio(float ratio, uint32_t operationSet) override {
        if (!std::isfinite(ratio)) {
            return kInvalidArgument;
        }
        return voice_->SetFrequencyRatio(ratio, operationSet);
    }
    void GetFrequencyRatio(float& ratio) override { voice_->GetFrequencyRatio(&ratio); }
    void DestroyVoice() override;

    void DestroyNow() {
        voice_->DestroyVoice();
        delete this;
    }

  private:
    ~XAudio2Source() = default;
    XAudio2Engine* engine_;
    IXAudio2SourceVoice* voice_;
};

class XAudio2Master final : public MasteringVoice {
  public:
    XAudio2Master(XAudio2Engine* engine, IXAudio2MasteringVoice* voice)
        : engine_(engine), voice_(voice) {}
    void DestroyVoice() override;
    void DestroyNow() {
        voice_->DestroyVoice();
        delete this;
    }
    // Leaves the voice to the engine, which the process keeps.
    void Abandon() { delete this; }

  private:
    ~XAudio2Master() = default;
    XAudio2Engine* engine_;
    IXAudio2MasteringVoice* voice_;
};

class XAudio2Engine final : public AudioEngine {
  public:
    explicit XAudio2Engine(IXAudio2* xaudio) : xaudio_(xaudio) {}

    uint32_t AddRef() override { return ++references_; }
    uint32_t Release() override {
        const uint32_t left = --references_;
        if (left == 0) {
            Destroy();
        }
        return left;
    }

    void ReleaseAtUnload() override {
        if (--references_ != 0) {
            return;
        }
        // Silence the engine and drop the source voices; destroying the mastering voice or
        // releasing the engine would wait for the engine's thread, which waits for the lock.
        xaudio_->StopEngine();
        while (!sources_.empty()) {
            XAudio2Source* source = *sources_.begin();
            sources_.erase(sources_.begin());
            source->DestroyNow();
        }
        if (master_ != nullptr) {
            master_->Abandon();
            master_ = nullptr;
        }
        delete this;
    }

    int32_t CreateMasteringVoice(MasteringVoice** voice, uint32_t inputChannels,
                                 uint32_t inputSampleRate, uint32_t flags,
                                 uint32_t streamCategory) override {
        *voice = nullptr;
        if (master_ != nullptr) {
            return kInvalidCall;
        }
        IXAudio2MasteringVoice* xaudioVoice = nullptr;
        const HRESULT code = xaudio_->CreateMasteringVoice(
            &xaudioVoice, inputChannels, inputSampleRate, flags, nullptr, nullptr,
            static_cast<AUDIO_STREAM_CATEGORY>(streamCategory));
        if (FAILED(code) || xaudioVoice == nullptr) {
            if (xaudioVoice != nullptr) {
                xaudioVoice->DestroyVoice();
            }
            return FAILED(code) ? code : kFail;
        }
        master_ = new XAudio2Master(this, xaudioVoice);
        *voice = master_;
        return kSuccess;
    }

    int32_t CreateSourceVoice(SourceVoice** voice, const WaveFormat& format, uint32_t flags,
                              float maxFrequencyRatio, VoiceCallback*, const VoiceSends*,
                              const EffectChain*) override {
        *voice = nullptr;
        if (!(maxFrequencyRatio >= kMinFrequencyRatio && maxFrequencyRatio <= kMaxFrequencyRatio)) {
            return kInvalidArgument;
        }
        // Only the 18 bytes are held: no extension may be read beyond them.
        WAVEFORMATEX xaudioFormat;
        std::memcpy(&xaudioFormat, &format, sizeof(xaudioFormat));
        if (xaudioFormat.wFormatTag == WAVE_FORMAT_PCM) {
            xaudioFormat.cbSize = 0;
        } else if (xaudioFormat.cbSize != 0) {
            return kInvalidArgument;
        }
        IXAudio2SourceVoice* xaudioVoice = nullptr;
        const HRESULT code = xaudio_->CreateSourceVoice(
            &xaudioVoice, &xaudioFormat, flags, maxFrequencyRatio, nullptr, nullptr, nullptr);
        if (FAILED(code) || xaudioVoice == nullptr) {
            return FAILED(code) ? code : kFail;
        }
        auto* source = new XAudio2Source(this, xaudioVoice);
        sources_.insert(source);
        *voice = source;
        return kSuccess;
    }

    int32_t StartEngine() override { return xaudio_->StartEngine(); }
    void StopEngine() override { xaudio_->StopEngine(); }
    int32_t CommitChanges(uint32_t operationSet) override {
        return xaudio_->CommitChanges(operationSet);
    }

    void Forget(XAudio2Source* source) { sources_.erase(source); }
    void ForgetMaster() { master_ = nullptr; }

  private:
    ~XAudio2Engine() = default;

    void Destroy() {
        while (!sources_.empty()) {
            XAudio2Source* source = *sources_.begin();
            sources_.erase(sources_.begin());
            source->DestroyNow();
        }
        if (master_ != nullptr) {
            XAudio2Master* master = master_;
            master_ = nullptr;
            master->DestroyNow();
        }
        xaudio_->Release();
        delete this;
    }

    IXAudio2* xaudio_;
    uint32_t references_ = 1;
    XAudio2Master* master_ = nullptr;
    std::set<XAudio2Source*> sources_;
};

void XAudio2Source::DestroyVoice() {
    engine_->Forget(this);
    DestroyNow();
}

void XAudio2Master::DestroyVoice() {
    engine_->ForgetMaster();
    DestroyNow();
}

}  // namespace

int32_t CreateAudioEngine(AudioEngine** engine, uint32_t flags, uint32_t processor) {
    *engine = nullptr;
    int32_t code = kSuccess;
    const XAudio2CreateFn create = FindXAudio2Create(code);
    if (create == nullptr) {
        return code;
    }
    IXAudio2* xaudio = nullptr;
    const HRESULT result = create(&xaudio, flags, static_cast<XAUDIO2_PROCESSOR>(processor));
    if (FAILED(result) || xaudio == nullptr) {
        return FAILED(result) ? result : kFail;
    }
    *engine = new XAudio2Engine(xaudio);
    return kSuccess;
}

}  // namespace camcab::platform
