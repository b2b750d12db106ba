// Start-up, frames and shut-down of the sound system, on the real engine rendered by this
// program, which also plays the host's keyboard.
#include "sound/SoundSystem.h"

#include <gtest/gtest.h>

#include "HostAudio.h"
#include "HostKeyboard.h"
#include "SoundTestSupport.h"
#include "platform/Keyboard.h"
#include "platform/WideText.h"
#include "support/TempFolder.h"

namespace camcab::test {
namespace {

std::string Utf8(const std::filesystem::path& path) {
    return path.string();
}

std::string Success(const TempFolder& folder, const std::wstring& name) {
    return "ソースボイスの作成成功\r\nファイル名：" + Utf8(folder.File(name)) + "\r\n";
}

std::string Failure(const TempFolder& folder, const std::wstring& name,
                    const char* code = "0X80070002") {
    return std::string("ソースボイスの作成失敗\r\nエラー:") + code + "\r\nファイル名：" +
           Utf8(folder.File(name)) + "\r\n";
}

// The number fields of the log's two time stamps, in order.
std::vector<std::string> StampFields(const std::string& log) {
    std::vector<std::string> fields;
    for (const std::string& line :
         {log.substr(0, log.find('\r')),
          log.substr(log.rfind("\r\nXAudio2初期化完了") == std::string::npos
                         ? 0
                         : log.rfind('\n', log.rfind("\r\nXAudio2初期化完了") - 1) + 1)}) {
        std::string digits;
        for (char c : line.substr(0, line.find('\r'))) {
            if (c >= '0' && c <= '9') {
                digits.push_back(c);
            } else if (!digits.empty()) {
                fields.push_back(digits);
                digits.clear();
            }
        }
        if (!digits.empty()) {
            fields.push_back(digits);
        }
    }
    return fields;
}

const std::string kStart =
    "<time>\r\nXAudio2初期化開始\r\nXAudio2作成成功\r\nマスターボイスの作成成功\r\n";
const std::string kEnd = "<time>\r\nXAudio2初期化完了\r\n";

class SoundSystemTest : public ::testing::Test {
  protected:
    void SetUp() override {
        hostaudio::UseSilentDevice();
        host::ReleaseAllKeys();
        hostaudio::ClearCapture();
    }

    void WriteNamedSounds() {
        for (const std::wstring& name : kNamedSoundFiles) {
            folder.Write(name, ToneWave(2400));
        }
        folder.Write(L"kamujiku\\reverser2.wav", ToneWave(1000, 2, 16));
    }

    std::filesystem::path LogPath() const {
        return folder.Path() / platform::NativeNameFromWide(sound::kStartUpLogName);
    }
    std::string Log() { return ReadFileBytes(LogPath()); }

    double Listen(uint32_t quanta) {
        const size_t begin = hostaudio::CapturedFrames();
        hostaudio::RenderQuanta(quanta);
        return hostaudio::CapturedRms(begin, hostaudio::CapturedFrames());
    }

    TempFolder folder{L"camcab-sound"};
    config::MotorSoundConfig motorConfig;
};

TEST_F(SoundSystemTest, LogOfAStartUpWithEveryFilePresent) {
    WriteNamedSounds();
    sound::SoundSystem system;
    system.StartUp(folder.Directory(), motorConfig);
    ASSERT_NE(system.audioEngine, nullptr);
    ASSERT_NE(system.masteringVoice, nullptr);

    std::string expected = kStart + "モーター音の数は0個\r\n";
    for (const std::wstring& name : kNamedSoundFiles) {
        expected += Success(folder, name);
    }
    expected += kEnd;
    const std::string log = Log();
    EXPECT_EQ(MaskTimes(log), expected);
    EXPECT_EQ(log.find("\xEF\xBB\xBF"), std::string::npos);  // no byte-order mark

    // The completion time is not earlier than the start time, and no field has leading zeros.
    const std::vector<std::string> fields = StampFields(log);
    ASSERT_EQ(fields.size(), 14u);
    std::vector<long> started, completed;
    for (size_t i = 0; i < fields.size(); ++i) {
        EXPECT_TRUE(fields[i] == "0" || fields[i][0] != '0') << fields[i];
        (i < 7 ? started : completed).push_back(std::stol(fields[i]));
    }
    EXPECT_LE(started, completed);

    EXPECT_TRUE(system.registry.bcSound.IsPlaying());
    EXPECT_TRUE(system.registry.pipeSound.IsPlaying());
    EXPECT_EQ(system.registry.bcSound.voiceFlags, platform::kVoiceNoPitch);
    EXPECT_FALSE(system.registry.resetSound.IsPlaying());
    system.ShutDown();
    EXPECT_EQ(system.audioEngine, nullptr);
    EXPECT_FALSE(hostaudio::Attached());
}

TEST_F(SoundSystemTest, LogOfAStartUpWithNoFiles) {
    sound::SoundSystem system;
    system.StartUp(folder.Directory(), motorConfig);
    std::string expected = kStart + "モーター音の数は0個\r\n";
    for (size_t i = 0; i + 2 < kNamedSoundFiles.size(); ++i) {
        expected += Failure(folder, kNamedSoundFiles[i]);
    }
    // Without the SAP sound the brake-cylinder loop is the folder's own "airloop.wav".
    expected += Failure(folder, L"airloop.wav");
    expected += Failure(folder, L"air\\pipe.wav");
    expected += kEnd;
    EXPECT_EQ(MaskTimes(Log()), expected);
    EXPECT_EQ(system.registry.bcSound.voice, nullptr);
    EXPECT_EQ(static_cast<uint32_t>(system.registry.sapSound.Play(system.OperationSet())),
              0x88960001u);
    system.ShutDown();
}

TEST_F(SoundSystemTest, AirloopServesAsBrakeCylinderLoopWithoutTheSapSound) {
    WriteNamedSounds();
    std::filesystem::remove(folder.File(L"air\\sap.wav"));
    folder.Write(L"airloop.wav", ToneWave(4800, 2));
    sound::SoundSystem system;
    system.StartUp(folder.Directory(), motorConfig);
    EXPECT_NE(
        MaskTimes(Log()).find(Failure(folder, L"air\\sap.wav") + Success(folder, L"airloop.wav") +
                              Success(folder, L"air\\pipe.wav") + kEnd),
        std::string::npos);
    ASSERT_NE(system.registry.bcSound.voice, nullptr);
    EXPECT_EQ(system.registry.bcSound.format->nChannels, 2);
    EXPECT_EQ(system.registry.bcSound.loopCount, sound::kLooping);
}

TEST_F(SoundSystemTest, MotorSoundsComeFirstEachWithItsFrequencyLimit) {
    folder.Write(L"motor\\motor0.wav", ToneWave(4800));
    folder.Write(L"motor\\motor2.wav", ToneWave(4800, 2));
    config::MotorSoundConfig config;
    config.MotorSoundFiles = {folder.FileString(L"motor\\motor0.wav"), L"",
                              folder.FileString(L"motor\\motor2.wav")};
    config.MotorSoundCount = 3;
    config.PowerFrequencyCurves = {{{0.0f, 0.5f}, {200.0f, 500.0f}}, {}, {{0.0f, 5000.0f}}};
    config.BrakeFrequencyCurves = {{}, {}, {}};
    config.NeutralFrequencyCurves = {{}, {}};  // one short: sound 2 has no neutral curve

    TempFolder logFolder(L"camcab-log");
    sound::SoundRegistry registry;
    platform::EngineRef engine = EngineWithMasteringVoice();
    ASSERT_TRUE(engine);
    std::string log;
    {
        auto startUpLog = platform::OpenStartUpLog(logFolder.FileString(L"log.txt"));
        sound::LoadSounds(registry, engine, startUpLog.get(), config, folder.Directory());
        // Every line is on disk while the log is still open: a crash leaves them.
        log = ReadFileBytes(logFolder.File(L"log.txt"));
    }
    const std::string motors = Success(folder, L"motor\\motor0.wav") +
                               "ソースボイスの作成失敗\r\nエラー:0X80070002\r\nファイル名：\r\n" +
                               Success(folder, L"motor\\motor2.wav") +
                               Failure(folder, kNamedSoundFiles[0]);
    EXPECT_EQ(log.rfind(motors, 0), 0u) << log;

    ASSERT_EQ(registry.motorSounds.size(), 3u);
    EXPECT_EQ(registry.motorSounds.capacity(), 3u);
    EXPECT_EQ(registry.motorSounds[0].maxFrequencyRatio, 500.0f);
    EXPECT_EQ(registry.motorSounds[0].voiceFlags, 0u);
    EXPECT_EQ(registry.motorSounds[1].voice, nullptr);
    EXPECT_EQ(registry.motorSounds[2].maxFrequencyRatio, 1024.0f);  // held at the engine's bound
    EXPECT_TRUE(registry.motorSounds[2].IsPlaying());

    // Pitch control is allowed on motor sounds.
    ASSERT_EQ(registry.motorSounds[0].voice->SetVolume(1.0f, 0), 0);
    ASSERT_EQ(registry.motorSounds[0].voice->SetFrequencyRatio(1.5f, 0), 0);
    hostaudio::RenderQuanta(1);
    float ratio = 0.0f;
    registry.motorSounds[0].voice->GetFrequencyRatio(ratio);
    EXPECT_EQ(ratio, 1.5f);

    sound::UnloadSounds(registry);
    EXPECT_EQ(registry.motorSounds.size(), 3u);  // emptied, not removed
    EXPECT_EQ(registry.motorSounds[0].voice, nullptr);
    engine.reset();
    EXPECT_FALSE(hostaudio::Attached());
}

TEST_F(SoundSystemTest, MotorFrequencyLimitWithoutCurvesIsTheValueAt160) {
    config::MotorSoundConfig config;
    config.MotorSoundCount = 1;
    config.PowerFrequencyCurves.resize(1);
    config.BrakeFrequencyCurves.resize(1);
    config.NeutralFrequencyCurves.resize(1);
    EXPECT_EQ(sound::MotorMaxFrequencyRatio(config, 0), 160.0f);
    // A curve rising beyond its last point reaches its limit through the value at 160 km/h.
    config.PowerFrequencyCurves[0] = {{80.0f, 1.3f}, {100.0f, 1.5f}};
    config.NeutralFrequencyCurves[0] = {{0.0f, 1.0f}, {200.0f, 1.0f}};
    config.BrakeFrequencyCurves[0] = {{0.0f, 0.8f}, {200.0f, 0.8f}};
    EXPECT_NEAR(sound::MotorMaxFrequencyRatio(config, 0), 2.1f, 1e-5f);
    config.BrakeFrequencyCurves[0] = {{0.0f, NAN}, {10.0f, 700.0f}};
    EXPECT_EQ(sound::MotorMaxFrequencyRatio(config, 0), 700.0f);
}

TEST_F(SoundSystemTest, SecondReverserVoiceAndLength) {
    WriteNamedSounds();
    sound::SoundSystem system;
    system.StartUp(folder.Directory(), motorConfig);
    system.PrepareSecondReverserVoice();
    const sound::SoundRegistry& registry = system.registry;
    EXPECT_EQ(registry.LengthFrames(sound::Sound::Reverser2), 1000u);  // 4000 bytes, 16-bit stereo
    EXPECT_EQ(registry.LengthFrames(sound::Sound::Reverser2Loop), 1000u);
    ASSERT_NE(registry.reverser2LoopSound.voice, nullptr);
    EXPECT_NE(registry.reverser2LoopSound.voice, registry.reverser2Sound.voice);
    EXPECT_EQ(registry.reverser2LoopSound.loopCount, sound::kOneShot);
    system.ShutDown();

    folder.Write(L"kamujiku\\reverser2.wav", ToneWave(777, 1, 8));
    system.StartUp(folder.Directory(), motorConfig);
    system.PrepareSecondReverserVoice();
    EXPECT_EQ(system.registry.LengthFrames(sound::Sound::Reverser2), 777u);
    system.ShutDown();
}

TEST_F(SoundSystemTest, SecondReverserVoiceWithoutEngineStaysEmpty) {
    sound::SoundSystem system;
    system.PrepareSecondReverserVoice();
    EXPECT_EQ(system.registry.reverser2LoopSound.voice, nullptr);
    EXPECT_EQ(system.registry.LengthFrames(sound::Sound::Reverser2), 0u);
    system.ShutDown();
}

TEST_F(SoundSystemTest, FirstFrameActsAtOnceLaterFramesAtTheirCommit) {
    WriteNamedSounds();
    sound::SoundSystem system;
    system.StartUp(folder.Directory(), motorConfig);
    sound::SoundSlot& pipe = system.registry.pipeSound;

    system.FrameBegin();
    EXPECT_EQ(system.OperationSet(), 0u);
    pipe.voice->SetVolume(1.0f, system.OperationSet());
    EXPECT_GT(Listen(2), 0.1);  // set 0: at once, before the frame ends
    system.FrameEnd();
    EXPECT_EQ(system.OperationSet(), 1u);

    system.FrameBegin();
    pipe.voice->SetVolume(0.0f, system.OperationSet());
    EXPECT_GT(Listen(2), 0.1);  // not yet
    system.FrameEnd();
    float volume = 1.0f;
    pipe.voice->GetVolume(volume);
    EXPECT_EQ(volume, 0.0f);  // in effect at its commit, before any quantum renders
    EXPECT_EQ(Listen(2), 0.0);
    EXPECT_EQ(system.OperationSet(), 2u);
    system.ShutDown();
}

uint32_t Le32(const std::string& bytes, size_t at) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) {
        value |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    }
    return value;
}

TEST_F(SoundSystemTest, TheCaptureIsWrittenOnlyWithinWhatAWavCanDescribe) {
    WriteNamedSounds();
    sound::SoundSystem system;
    system.StartUp(folder.Directory(), motorConfig);
    system.registry.pipeSound.voice->SetVolume(1.0f, 0);
    // The same quanta go to a file as they are rendered and into the whole capture.
    const std::filesystem::path streamed = folder.Path() / "streamed.wav";
    std::string error;
    ASSERT_TRUE(hostaudio::StreamCaptureTo(streamed, error)) << error;
    Listen(4);
    ASSERT_TRUE(hostaudio::EndCaptureStream(error)) << error;
    const uint64_t dataBytes = hostaudio::CapturedFrames() * hostaudio::Channels() * 2;
    ASSERT_GT(dataBytes, 0u);
    const std::filesystem::path wav = folder.Path() / "drive.wav";
    EXPECT_FALSE(hostaudio::WriteCapture(wav, error, dataBytes - 1));
    EXPECT_NE(error.find("no WAV written"), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(wav));
    ASSERT_TRUE(hostaudio::WriteCapture(wav, error, dataBytes)) << error;
    const std::string bytes = ReadFileBytes(wav);
    EXPECT_EQ(Le32(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(Le32(bytes, 40), dataBytes);
    EXPECT_EQ(ReadFileBytes(streamed), bytes);
    // The largest data keeps the RIFF size within 32 bits, to the last whole frame.
    hostaudio::WaveLayout layout;
    layout.channels = 2;
    const uint64_t largest = hostaudio::MaxWaveDataBytes(layout);
    EXPECT_EQ(largest % 4, 0u);
    EXPECT_LE(bytes.size() - 8 - dataBytes + largest, uint64_t{UINT32_MAX});
    EXPECT_GT(bytes.size() - 8 - dataBytes + largest + 4, uint64_t{UINT32_MAX});

    // A stream past its bound keeps the whole frames within it, a playable file, and says so.
    ASSERT_TRUE(hostaudio::StreamCaptureTo(streamed, error, dataBytes / 2 + 1)) << error;
    Listen(4);
    EXPECT_FALSE(hostaudio::EndCaptureStream(error));
    EXPECT_NE(error.find("holds its first 0 s"), std::string::npos) << error;
    const std::string cut = ReadFileBytes(streamed);
    EXPECT_EQ(Le32(cut, 40), dataBytes / 2);
    EXPECT_EQ(Le32(cut, 4), cut.size() - 8);

    // Only listening: the frames before the latest go, the count and levels stay whole.
    hostaudio::KeepWholeCapture(false);
    const size_t before = hostaudio::CapturedFrames();
    const double level = Listen(3);
    hostaudio::ForgetCaptureBefore(hostaudio::CapturedFrames() - 1);
    EXPECT_EQ(hostaudio::FirstCapturedFrame(), hostaudio::CapturedFrames() - 1);
    EXPECT_EQ(hostaudio::Captured().size(), hostaudio::Channels());
    EXPECT_GT(hostaudio::CapturedFrames(), before);
    EXPECT_EQ(hostaudio::CapturedRms(before, hostaudio::CapturedFrames()),
              hostaudio::CapturedRms(hostaudio::CapturedFrames() - 1, hostaudio::CapturedFrames()));
    EXPECT_GT(level, 0.0);
    EXPECT_FALSE(hostaudio::WriteCapture(wav, error));
    hostaudio::KeepWholeCapture(true);
    hostaudio::ClearCapture();
    system.ShutDown();
}

TEST_F(SoundSystemTest, HoldingPStopsTheClockAndTheNextFrameRestartsIt) {
    // A slow ramp, so that a resumed loop shows where it resumed.
    std::vector<float> ramp(96000);
    for (size_t i = 0; i < ramp.size(); ++i) {
        ramp[i] = 0.05f + 0.9f * static_cast<float>(i) / static_cast<float>(ramp.size());
    }
    hostaudio::WaveLayout layout;
    WriteNamedSounds();
    folder.Write(L"air\\pipe.wav",
                 hostaudio::WaveBytes(layout, hostaudio::EncodeSamples(layout, ramp)));
    sound::SoundSystem system;
    system.StartUp(folder.Directory(), motorConfig);
    sound::SoundSlot& pipe = system.registry.pipeSound;
    const uint32_t channels = hostaudio::Channels();

    system.FrameBegin();
    pipe.voice->SetVolume(1.0f, system.OperationSet());
    system.FrameEnd();
    EXPECT_GT(Listen(5), 0.05);
    const float beforePause = hostaudio::Captured().back();

    host::PressKey(platform::kVirtualKeyP);
    for (int frame = 0; frame < 3; ++frame) {
        system.FrameBegin();
        system.FrameEnd();
        EXPECT_TRUE(system.pauseRequested);
        EXPECT_EQ(Listen(4), 0.0) << frame;  // silent between frames
    }
    host::ReleaseKey(platform::kVirtualKeyP);
    system.FrameBegin();
    EXPECT_FALSE(system.pauseRequested);
    system.FrameEnd();
    const size_t resumedAt = hostaudio::CapturedFrames();
    EXPECT_GT(Listen(4), 0.05);
    const float afterPause = hostaudio::Captured()[resumedAt * channels];
    EXPECT_GT(afterPause, beforePause);
    EXPECT_LT(afterPause - beforePause, 10 * 0.9f / 96000.0f);  // where it was, not from the start
    system.ShutDown();
}

TEST_F(SoundSystemTest, UnopenableLogMeansNoAudioAndFramesTouchNoEngine) {
    WriteNamedSounds();
    std::filesystem::create_directory(LogPath());  // a folder where the log should be
    sound::SoundSystem system;
    system.StartUp(folder.Directory(), motorConfig);
    EXPECT_EQ(system.audioEngine, nullptr);
    EXPECT_FALSE(hostaudio::Attached());
    EXPECT_EQ(system.registry.resetSound.voice, nullptr);
    host::PressKey(platform::kVirtualKeyP);
    system.FrameBegin();
    system.FrameEnd();
    system.FrameBegin();
    system.FrameEnd();
    EXPECT_EQ(system.OperationSet(), 2u);
    system.PrepareSecondReverserVoice();
    system.ShutDown();
    system.ShutDown();
}

TEST_F(SoundSystemTest, WithoutAnOutputDeviceTheEngineStaysAndNoSoundIsLoaded) {
    WriteNamedSounds();
    hostaudio::UseAudioDriver("no-such-driver");
    sound::SoundSystem system;
    system.StartUp(folder.Directory(), motorConfig);
    hostaudio::UseAudioDriver("dummy");
    EXPECT_EQ(
        MaskTimes(Log()),
        "<time>\r\nXAudio2初期化開始\r\nXAudio2作成成功\r\nマスターボイスの作成失敗\r\nエラー:"
        "0X88960001\r\n");
    ASSERT_NE(system.audioEngine, nullptr);
    EXPECT_EQ(system.masteringVoice, nullptr);
    EXPECT_EQ(system.registry.pipeSound.voice, nullptr);
    EXPECT_EQ(system.registry.motorSounds.size(), 0u);
    system.FrameBegin();
    EXPECT_EQ(static_cast<uint32_t>(system.registry.resetSound.Play(system.OperationSet())),
              0x88960001u);
    system.FrameEnd();  // commits the frame's empty operation set
    system.PrepareSecondReverserVoice();
    EXPECT_EQ(system.registry.reverser2LoopSound.voice, nullptr);
    system.ShutDown();
    EXPECT_EQ(system.audioEngine, nullptr);
}

TEST_F(SoundSystemTest, RepeatedStartUpsBehaveLikeTheFirst) {
    WriteNamedSounds();
    sound::SoundSystem system;
    std::string first;
    for (int cycle = 0; cycle < 3; ++cycle) {
        system.StartUp(folder.Directory(), motorConfig);
        system.PrepareSecondReverserVoice();
        system.FrameBegin();
        system.registry.start1Sound.Play(system.OperationSet());
        system.FrameEnd();
        EXPECT_GT(Listen(2), 0.1);
        if (cycle == 1) {
            // A Load without Dispose in between still starts from an empty sound system.
            continue;
        }
        system.ShutDown();
        EXPECT_FALSE(hostaudio::Attached());
        const std::string log = MaskTimes(Log());
        if (cycle == 0) {
            first = log;
        }
        EXPECT_EQ(log, first);
    }
}

}  // namespace
}  // namespace camcab::test
