// The engine over XAudio2 2.8, loaded at run time from the system folder, so that the
// plug-in still loads where XAudio2_8.dll is missing; engine creation then fails and the
// start-up log says so.
#include "platform/AudioEngine.h"
#include "platform/AudioEngineBase.h"
#include "platform/ClockedAudioEngine.h"

#include <mmdeviceapi.h>
#include <windows.h>
#include <xaudio2.h>

#include <cmath>
#include <cstring>
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

// Whether the system has a default audio output device; otherwise the code of the failed
// look-up. Without one some engines (Wine's) crash inside mastering-voice creation instead of
// failing, so the voice is refused before it is asked for. COM is initialised for the look-up
// only where the host's thread has none, and left as it was found.
int32_t FindDefaultOutputDevice() {
    const HRESULT comCode = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    // A thread already in another apartment can still use the enumerator, which lives in both.
    const bool comInitialised = SUCCEEDED(comCode);
    if (!comInitialised && comCode != RPC_E_CHANGED_MODE) {
        return comCode;
    }
    IMMDeviceEnumerator* enumerator = nullptr;
    HRESULT code =
        CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_INPROC_SERVER,
                         __uuidof(IMMDeviceEnumerator), reinterpret_cast<void**>(&enumerator));
    if (SUCCEEDED(code) && enumerator == nullptr) {
        code = kFail;
    }
    if (SUCCEEDED(code)) {
        IMMDevice* device = nullptr;
        code = enumerator->GetDefaultAudioEndpoint(eRender, eConsole, &device);
        if (SUCCEEDED(code) && device == nullptr) {
            code = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
        }
        if (device != nullptr) {
            device->Release();
        }
        enumerator->Release();
    }
    if (comInitialised) {
        CoUninitialize();
    }
    return SUCCEEDED(code) ? kSuccess : code;
}

class XAudio2Source final : public EngineSourceVoice {
  public:
    XAudio2Source(AudioEngineBase& engine, IXAudio2SourceVoice* voice)
        : EngineSourceVoice(engine), voice_(voice) {}

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

  private:
    void DestroyEngineVoice() override { voice_->DestroyVoice(); }

    IXAudio2SourceVoice* voice_;
};

class XAudio2Master final : public EngineMasteringVoice {
  public:
    XAudio2Master(AudioEngineBase& engine, IXAudio2MasteringVoice* voice)
        : EngineMasteringVoice(engine), voice_(voice) {}

  private:
    void DestroyEngineVoice() override { voice_->DestroyVoice(); }

    IXAudio2MasteringVoice* voice_;
};

// Under the loader lock only the source voices go: destroying the mastering voice or
// releasing the engine would wait for the engine's thread, which waits for the lock.
class XAudio2Engine final : public AudioEngineBase {
  public:
    explicit XAudio2Engine(IXAudio2* xaudio)
        : AudioEngineBase(UnloadTeardown::SilenceOnly), xaudio_(xaudio) {}

    int32_t StartEngine() override { return xaudio_->StartEngine(); }
    void StopEngine() override { xaudio_->StopEngine(); }
    int32_t CommitChanges(uint32_t operationSet) override {
        return xaudio_->CommitChanges(operationSet);
    }

  private:
    ~XAudio2Engine() override = default;

    int32_t NewMasteringVoice(EngineMasteringVoice*& voice, uint32_t inputChannels,
                              uint32_t inputSampleRate, uint32_t flags,
                              uint32_t streamCategory) override {
        const int32_t deviceCode = FindDefaultOutputDevice();
        if (FAILED(deviceCode)) {
            return deviceCode;
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
        voice = new XAudio2Master(*this, xaudioVoice);
        return kSuccess;
    }

    int32_t NewSourceVoice(EngineSourceVoice*& voice, const WaveFormat& format, uint32_t flags,
                           float maxFrequencyRatio) override {
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
        voice = new XAudio2Source(*this, xaudioVoice);
        return kSuccess;
    }

    void ReleaseEngine() override { xaudio_->Release(); }

    IXAudio2* xaudio_;
};

}  // namespace

int32_t CreateAudioEngine(EngineRef& engine, uint32_t flags, uint32_t processor) {
    engine.reset();
    // A host program that keeps the audio clock (the workbench) exports its attach function:
    // the sounds then keep its time, and no XAudio2 is loaded. The simulator exports none.
    const auto hostAttach = reinterpret_cast<CamcabHostAttachAudioFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(nullptr), kHostAttachAudioName)));
    if (hostAttach != nullptr) {
        return CreateClockedAudioEngine(engine, hostAttach);
    }
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
    engine = EngineRef::Adopt(new XAudio2Engine(xaudio));
    return kSuccess;
}

}  // namespace camcab::platform
