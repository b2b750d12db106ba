#include "sound/SoundSystem.h"

#include <string>

#include "platform/AudioDecoder.h"
#include "platform/FileSystem.h"
#include "platform/Keyboard.h"
#include "platform/LocalTime.h"
#include "platform/StartUpLog.h"

namespace camcab::sound {
namespace {

// "%d年%d月%d日%d時%d分%d秒%d\n" and the line that follows it.
std::wstring TimeLines(const platform::LocalTime& time, const wchar_t* event) {
    return std::to_wstring(time.year) + L"年" + std::to_wstring(time.month) + L"月" +
           std::to_wstring(time.day) + L"日" + std::to_wstring(time.hour) + L"時" +
           std::to_wstring(time.minute) + L"分" + std::to_wstring(time.second) + L"秒" +
           std::to_wstring(time.milliseconds) + L"\n" + event + L"\n";
}

}  // namespace

SoundSystem::~SoundSystem() {
    // Dispose did not run: the library is being unloaded, or the process ends.
    if (audioEngine) {
        UnloadSounds(registry);
        masteringVoice.release();
        audioEngine.ResetAtUnload();
    }
}

void SoundSystem::StartUp(const std::wstring& pluginDirectory,
                          config::MotorSoundConfig& motorConfig) {
    // A second Load without Dispose starts from an empty sound system, not a leaked engine.
    if (audioEngine) {
        ShutDown();
    }
    // The bank follows the configuration read by this start-up, even when it is skipped.
    registry.motorSounds.clear();
    registry.motorSounds.shrink_to_fit();
    std::unique_ptr<platform::StartUpLog> log =
        platform::OpenStartUpLog(platform::AppendPath(pluginDirectory, kStartUpLogName));
    if (log == nullptr) {
        return;
    }
    log->Write(TimeLines(platform::ReadLocalTime(), L"XAudio2初期化開始"));

    int32_t code = platform::CreateAudioEngine(audioEngine, 0, platform::kDefaultProcessor);
    if (platform::Failed(code) || !audioEngine) {
        audioEngine.reset();
        log->Write(L"XAudio2作成失敗\nエラー:" + FormatCode(code, false) + L"\n");
        return;
    }
    log->Write(L"XAudio2作成成功\n");

    code = audioEngine->CreateMasteringVoice(masteringVoice, platform::kDefaultChannels,
                                             platform::kDefaultSampleRate, 0,
                                             platform::kCategoryGameEffects);
    if (platform::Failed(code) || masteringVoice == nullptr) {
        log->Write(L"マスターボイスの作成失敗\nエラー:" + FormatCode(code, true) + L"\n");
        masteringVoice.reset();
        return;
    }
    log->Write(L"マスターボイスの作成成功\n");

    const bool mediaFoundationStarted = !platform::Failed(platform::StartMediaFoundation());

    config::LoadMotorSoundConfig(motorConfig, pluginDirectory);
    log->Write(L"モーター音の数は" +
               std::to_wstring(static_cast<int32_t>(motorConfig.MotorSoundCount)) + L"個\n");

    LoadSounds(registry, audioEngine, log.get(), motorConfig, pluginDirectory);

    if (mediaFoundationStarted) {
        platform::ShutDownMediaFoundation();
    }
    log->Write(TimeLines(platform::ReadLocalTime(), L"XAudio2初期化完了"));
}

void SoundSystem::PrepareSecondReverserVoice() {
    sound::PrepareSecondReverserVoice(registry);
}

void SoundSystem::FrameBegin() {
    if (pauseRequested && audioEngine) {
        audioEngine->StartEngine();
        pauseRequested = false;
    }
    if (platform::IsKeyDown(platform::kVirtualKeyP)) {
        pauseRequested = true;
    }
}

void SoundSystem::FrameEnd() {
    if (pauseRequested && audioEngine) {
        audioEngine->StopEngine();
    }
    const uint32_t set = DrawOperationSet();
    if (audioEngine) {
        audioEngine->CommitChanges(set);
    }
}

uint32_t SoundSystem::DrawOperationSet() {
    const uint32_t set = operationSet_;
    operationSet_ = static_cast<uint32_t>(operationSetCounter_.fetch_add(1)) + 1u;
    registry.UseOperationSet(operationSet_);
    return set;
}

void SoundSystem::ShutDown() {
    UnloadSounds(registry);
    // The engine takes its mastering voice with it.
    masteringVoice.release();
    audioEngine.reset();
}

}  // namespace camcab::sound
