// The Windows side under Wine: XAudio2 and Media Foundation, loaded at run time. Wine's
// clock is not deterministic, so these tests check behaviour, not sample counts.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "SoundTestSupport.h"
#include "host/HostRecords.h"
#include "platform/AudioDecoder.h"
#include "platform/Module.h"
#include "platform/WideText.h"
#include "sound/SoundSystem.h"
#include "support/TempFolder.h"

namespace camcab::test {
namespace {

struct Decoded {
    int32_t code = 0;
    platform::WaveFormat format{};
    std::vector<uint8_t> pcm;
    uint64_t expected = platform::kUnknownPcmBytes;
};

Decoded Decode(const std::wstring& path) {
    Decoded result;
    const bool started = !platform::Failed(platform::StartMediaFoundation());
    std::unique_ptr<platform::AudioFileReader> reader;
    result.code = platform::OpenAudioFile(path, reader);
    if (!platform::Failed(result.code)) {
        result.code = reader->DecodedFormat(result.format);
        result.expected = reader->ExpectedPcmBytes();
        bool end = false;
        while (!platform::Failed(result.code) && !end) {
            result.code = reader->ReadSample(result.pcm, end);
        }
    }
    reader.reset();
    if (started) {
        platform::ShutDownMediaFoundation();
    }
    return result;
}

std::string Success(const TempFolder& folder, const std::wstring& name) {
    return "ソースボイスの作成成功\r\nファイル名：" +
           platform::EncodeUtf8(folder.FileString(name)) + "\r\n";
}

TEST(WindowsSound, MediaFoundationDecodesPcmUnchangedAndWiderFormatsToSixteenBit) {
    TempFolder folder(L"camcab-mf");
    hostaudio::WaveLayout stereo;
    stereo.channels = 2;
    const std::string samples = hostaudio::EncodeSamples(stereo, Tone(4800, 2, 440.0, 0.5f));
    folder.Write(L"stereo.wav", hostaudio::WaveBytes(stereo, samples));
    Decoded decoded = Decode(folder.FileString(L"stereo.wav"));
    ASSERT_EQ(decoded.code, 0);
    EXPECT_EQ(decoded.format.wFormatTag, platform::kWaveFormatPcm);
    EXPECT_EQ(decoded.format.nChannels, 2);
    EXPECT_EQ(decoded.format.wBitsPerSample, 16);
    EXPECT_EQ(std::string(decoded.pcm.begin(), decoded.pcm.end()), samples);
    // The size told from the duration is the size decoded, so a slot reserves it exactly.
    EXPECT_EQ(decoded.expected, samples.size());

    folder.Write(L"mono8.wav", ToneWave(2000, 1, 8));
    decoded = Decode(folder.FileString(L"mono8.wav"));
    ASSERT_EQ(decoded.code, 0);
    EXPECT_EQ(decoded.format.wBitsPerSample, 8);
    EXPECT_EQ(decoded.pcm.size(), 2000u);
    EXPECT_EQ(decoded.expected, 2000u);

    folder.Write(L"float.wav", ToneWave(2000, 1, 32, 0.5f, hostaudio::kFormatFloat));
    decoded = Decode(folder.FileString(L"float.wav"));
    ASSERT_EQ(decoded.code, 0);
    EXPECT_EQ(decoded.format.wFormatTag, platform::kWaveFormatPcm);
    EXPECT_EQ(decoded.format.wBitsPerSample, 16);
    EXPECT_EQ(decoded.pcm.size(), 4000u);
    EXPECT_EQ(decoded.expected, 4000u);

    EXPECT_TRUE(platform::Failed(Decode(folder.FileString(L"missing.wav")).code));
}

TEST(WindowsSound, StartUpWritesTheSameLogLinesAndOneShotsRunOut) {
    TempFolder folder(L"camcab-xaudio2");
    for (const std::wstring& name : kNamedSoundFiles) {
        folder.Write(name, ToneWave(2400, 2));
    }
    config::MotorSoundConfig motorConfig;
    sound::SoundSystem system;
    system.StartUp(folder.Directory(), motorConfig);
    ASSERT_NE(system.audioEngine, nullptr);

    std::string expected =
        "<time>\r\nXAudio2初期化開始\r\nXAudio2作成成功\r\nマスターボイスの作成成功\r\n"
        "モーター音の数は0個\r\n";
    for (const std::wstring& name : kNamedSoundFiles) {
        expected += Success(folder, name);
    }
    expected += "<time>\r\nXAudio2初期化完了\r\n";
    EXPECT_EQ(MaskTimes(ReadFileBytes(folder.File(sound::kStartUpLogName))), expected);

    // A 50 ms one-shot sounds, and then reports that it has finished.
    sound::SoundSlot& reset = system.registry.resetSound;
    system.FrameBegin();
    ASSERT_EQ(reset.Play(system.OperationSet()), 0);
    system.FrameEnd();
    EXPECT_TRUE(reset.IsPlaying());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (reset.IsPlaying() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_FALSE(reset.IsPlaying());
    EXPECT_TRUE(system.registry.pipeSound.IsPlaying());

    // A stopped engine stops the clock: the one-shot waits, and runs out once restarted.
    sound::SoundSlot& start1 = system.registry.start1Sound;
    ASSERT_EQ(start1.Play(0), 0);
    system.audioEngine->StopEngine();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(start1.IsPlaying());
    ASSERT_EQ(system.audioEngine->StartEngine(), 0);
    const auto restartDeadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (start1.IsPlaying() && std::chrono::steady_clock::now() < restartDeadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_FALSE(start1.IsPlaying());

    system.PrepareSecondReverserVoice();
    EXPECT_EQ(system.registry.LengthFrames(sound::Sound::Reverser2), 2400u);
    EXPECT_NE(system.registry.reverser2LoopSound.voice, nullptr);
    system.ShutDown();
    EXPECT_EQ(system.audioEngine, nullptr);
}

TEST(WindowsSound, TheBuiltDllStartsItsEngineAcrossLoadDisposeCycles) {
    TempFolder folder(L"camcab-dll");
    folder.Copy(BuiltFile(CAMCAB_PLUGIN_FILE), L"camcab.dll");
    folder.Write(L"air\\sap.wav", ToneWave(2400));
    platform::ModuleHandle module = platform::LoadModule(folder.FileString(L"camcab.dll"));
    ASSERT_NE(module, nullptr) << platform::LastModuleError();
    auto load = reinterpret_cast<LoadFn>(platform::FindExport(module, "Load"));
    auto dispose = reinterpret_cast<DisposeFn>(platform::FindExport(module, "Dispose"));
    auto elapse = reinterpret_cast<ElapseFn>(platform::FindExport(module, "Elapse"));
    for (int cycle = 0; cycle < 2; ++cycle) {
        load();
        const std::string log = ReadFileBytes(folder.File(sound::kStartUpLogName));
        EXPECT_NE(log.find("XAudio2作成成功\r\nマスターボイスの作成成功\r\n"), std::string::npos)
            << log;
        EXPECT_NE(log.find(Success(folder, L"air\\sap.wav")), std::string::npos) << log;
        std::vector<int32_t> panel(256), sound(256);
        elapse(VehicleState{}, panel.data(), sound.data());
        dispose();
    }
    platform::UnloadModule(module);
}

TEST(WindowsSound, UnloadingTheDllWithoutDisposeReturns) {
    TempFolder folder(L"camcab-dll-unload");
    folder.Copy(BuiltFile(CAMCAB_PLUGIN_FILE), L"camcab.dll");
    folder.Write(L"air\\pipe.wav", ToneWave(2400));
    platform::ModuleHandle module = platform::LoadModule(folder.FileString(L"camcab.dll"));
    ASSERT_NE(module, nullptr) << platform::LastModuleError();
    reinterpret_cast<LoadFn>(platform::FindExport(module, "Load"))();
    platform::UnloadModule(module);  // the engine is still held: released on the way out
}

}  // namespace
}  // namespace camcab::test
