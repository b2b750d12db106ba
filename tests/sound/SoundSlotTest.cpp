// The sound slot on the real engine, rendered in caller-driven mode: this program is the
// host and renders every quantum it listens to.
#include "sound/SoundSlot.h"

#include <gtest/gtest.h>

#include <cstring>

#include "HostAudio.h"
#include "SoundTestSupport.h"
#include "platform/AudioEngine.h"
#include "platform/StartUpLog.h"
#include "support/TempFolder.h"

namespace camcab::test {
namespace {

using sound::SoundSlot;

constexpr uint32_t kInvalidCall = 0x88960001u;

class SoundSlotTest : public ::testing::Test {
  protected:
    void SetUp() override {
        hostaudio::UseSilentDevice();
        engine = EngineWithMasteringVoice();
        ASSERT_TRUE(engine);
        ASSERT_TRUE(hostaudio::Attached());
        hostaudio::ClearCapture();
    }
    std::wstring File(const std::wstring& name, const std::string& bytes) {
        folder.Write(name, bytes);
        return folder.FileString(name);
    }

    // Renders `quanta` quanta and gives the RMS of what they held.
    double Listen(uint32_t quanta) {
        const size_t begin = hostaudio::CapturedFrames();
        hostaudio::RenderQuanta(quanta);
        return hostaudio::CapturedRms(begin, hostaudio::CapturedFrames());
    }

    TempFolder folder{L"camcab-slot"};
    platform::EngineRef engine;
};

// A sound that is loud for its first `loudFrames` and quiet after, `frames` long.
std::string LoudThenQuiet(size_t loudFrames, size_t frames) {
    std::vector<float> samples = Tone(frames, 1, 440.0, 0.8f);
    for (size_t i = loudFrames; i < frames; ++i) {
        samples[i] *= 0.05f;
    }
    hostaudio::WaveLayout layout;
    return hostaudio::WaveBytes(layout, hostaudio::EncodeSamples(layout, samples));
}

TEST_F(SoundSlotTest, LoopingSlotRunsSilentFromLoadAndIsHeardOnceRaised) {
    SoundSlot loop(engine, nullptr, File(L"loop.wav", ToneWave(4800)), sound::kLooping, 0, 2.0f);
    ASSERT_NE(loop.voice, nullptr);
    EXPECT_TRUE(loop.IsPlaying());
    EXPECT_TRUE(loop.started);
    EXPECT_EQ(Listen(20), 0.0);

    ASSERT_EQ(loop.voice->SetVolume(1.0f, 0), 0);
    EXPECT_GT(Listen(20), 0.1);
    EXPECT_GT(Listen(1), 0.1);  // still going: it loops
    EXPECT_TRUE(loop.IsPlaying());
}

TEST_F(SoundSlotTest, OneShotPlayedAgainWhileSoundingRestartsFromPlayBegin) {
    SoundSlot shot(engine, nullptr, File(L"shot.wav", LoudThenQuiet(2400, 24000)), sound::kOneShot,
                   0, 2.0f);
    ASSERT_NE(shot.voice, nullptr);
    EXPECT_FALSE(shot.IsPlaying());
    EXPECT_EQ(Listen(3), 0.0);

    ASSERT_EQ(shot.Play(0), 0);
    EXPECT_TRUE(shot.IsPlaying());
    EXPECT_GT(Listen(5), 0.3);   // the loud start
    EXPECT_LT(Listen(5), 0.05);  // into the quiet part
    ASSERT_EQ(shot.Play(0), 0);
    EXPECT_TRUE(shot.IsPlaying());
    EXPECT_GT(Listen(5), 0.3);  // from the start again
}

TEST_F(SoundSlotTest, FinishedOneShotReportsNotPlayingAndReplaysOnItsStartedVoice) {
    SoundSlot shot(engine, nullptr, File(L"click.wav", ToneWave(960)), sound::kOneShot, 0, 2.0f);
    ASSERT_EQ(shot.Play(0), 0);
    EXPECT_GT(Listen(2), 0.1);
    Listen(3);
    EXPECT_FALSE(shot.IsPlaying());
    EXPECT_TRUE(shot.started);  // the voice still runs, with nothing queued
    EXPECT_EQ(Listen(3), 0.0);

    ASSERT_EQ(shot.Play(0), 0);
    EXPECT_TRUE(shot.started);
    EXPECT_TRUE(shot.IsPlaying());
    EXPECT_GT(Listen(2), 0.1);
}

TEST_F(SoundSlotTest, StoppedLoopResumesWhereItStopped) {
    // A slow ramp: each position of the loop has its own value.
    std::vector<float> ramp(48000);
    for (size_t i = 0; i < ramp.size(); ++i) {
        ramp[i] = -0.9f + 1.8f * static_cast<float>(i) / static_cast<float>(ramp.size());
    }
    hostaudio::WaveLayout layout;
    layout.bitsPerSample = 16;
    SoundSlot loop(
        engine, nullptr,
        File(L"ramp.wav", hostaudio::WaveBytes(layout, hostaudio::EncodeSamples(layout, ramp))),
        sound::kLooping, 0, 2.0f);
    ASSERT_EQ(loop.voice->SetVolume(1.0f, 0), 0);
    Listen(10);
    const std::vector<float>& captured = hostaudio::Captured();
    const uint32_t channels = hostaudio::Channels();
    const float lastBeforeStop = captured[captured.size() - channels];

    EXPECT_EQ(loop.Stop(0), 0);
    EXPECT_FALSE(loop.IsPlaying());
    EXPECT_EQ(Listen(5), 0.0);
    EXPECT_EQ(loop.Play(0), 0);
    EXPECT_TRUE(loop.IsPlaying());
    const size_t resumedAt = hostaudio::CapturedFrames();
    Listen(1);
    const float firstAfterPlay = hostaudio::Captured()[resumedAt * channels];
    const float rampStep = 1.8f / 48000.0f;
    EXPECT_GT(firstAfterPlay, lastBeforeStop);
    EXPECT_LT(firstAfterPlay - lastBeforeStop, 8 * rampStep);
    EXPECT_GT(lastBeforeStop, -0.9f + 4000 * rampStep);  // well past the loop's start
}

TEST_F(SoundSlotTest, ChangesOfAnOperationSetActAtItsCommitAndSetZeroAtOnce) {
    SoundSlot loop(engine, nullptr, File(L"loop.wav", ToneWave(4800)), sound::kLooping, 0, 2.0f);
    ASSERT_EQ(loop.voice->SetVolume(1.0f, 7), 0);
    EXPECT_EQ(Listen(4), 0.0);
    ASSERT_EQ(engine->CommitChanges(6), 0);  // another set: still nothing
    EXPECT_EQ(Listen(2), 0.0);
    ASSERT_EQ(engine->CommitChanges(7), 0);
    EXPECT_GT(Listen(4), 0.1);

    ASSERT_EQ(loop.voice->SetVolume(0.0f, 0), 0);
    EXPECT_EQ(Listen(2), 0.0);
}

TEST_F(SoundSlotTest, MissingFileGivesAnEmptySlotAndTheFailureLines) {
    const std::wstring logPath = folder.FileString(L"log.txt");
    const std::wstring missing = folder.Directory() + L"kamujiku/./x/../reset.wav";
    {
        std::unique_ptr<platform::StartUpLog> log = platform::OpenStartUpLog(logPath);
        SoundSlot slot;
        EXPECT_EQ(
            static_cast<uint32_t>(slot.Reload(engine, log.get(), missing, sound::kOneShot, 2.0f)),
            0x80070002u);
        EXPECT_EQ(slot.voice, nullptr);
        EXPECT_EQ(slot.engine, nullptr);
        EXPECT_EQ(slot.format, nullptr);
        EXPECT_EQ(static_cast<uint32_t>(slot.Play(1)), kInvalidCall);
        EXPECT_EQ(static_cast<uint32_t>(slot.Stop(1)), kInvalidCall);
        EXPECT_FALSE(slot.IsPlaying());
    }
    const std::string expected = "ソースボイスの作成失敗\r\nエラー:0X80070002\r\nファイル名：" +
                                 folder.File(L"kamujiku/reset.wav").string() + "\r\n";
    EXPECT_EQ(ReadFileBytes(folder.File(L"log.txt")), expected);
}

TEST_F(SoundSlotTest, SuccessfulLoadLogsItsNormalPath) {
    File(L"air/pipe.wav", ToneWave(480));
    const std::wstring logPath = folder.FileString(L"log.txt");
    {
        std::unique_ptr<platform::StartUpLog> log = platform::OpenStartUpLog(logPath);
        SoundSlot slot;
        EXPECT_EQ(slot.Reload(engine, log.get(), folder.Directory() + L"kamujiku/../air//pipe.wav",
                              sound::kLooping, 2.0f),
                  0);
    }
    EXPECT_EQ(
        ReadFileBytes(folder.File(L"log.txt")),
        "ソースボイスの作成成功\r\nファイル名：" + folder.File(L"air/pipe.wav").string() + "\r\n");
}

TEST_F(SoundSlotTest, UnsupportedDecodedFormatIsRefusedWithoutLogLines) {
    const std::wstring logPath = folder.FileString(L"log.txt");
    {
        std::unique_ptr<platform::StartUpLog> log = platform::OpenStartUpLog(logPath);
        SoundSlot slot;
        EXPECT_EQ(
            static_cast<uint32_t>(slot.Reload(engine, log.get(), File(L"six.wav", ToneWave(480, 6)),
                                              sound::kOneShot, 2.0f)),
            0x80070057u);
        EXPECT_EQ(slot.voice, nullptr);
        EXPECT_EQ(static_cast<uint32_t>(slot.Play(0)), kInvalidCall);
        // Stereo 16-bit and mono 8-bit are taken.
        EXPECT_EQ(
            slot.Reload(engine, nullptr, File(L"st.wav", ToneWave(480, 2)), sound::kOneShot, 2.0f),
            0);
        EXPECT_EQ(slot.Reload(engine, nullptr, File(L"m8.wav", ToneWave(480, 1, 8)),
                              sound::kOneShot, 2.0f),
                  0);
    }
    EXPECT_EQ(ReadFileBytes(folder.File(L"log.txt")), "");
}

TEST_F(SoundSlotTest, ReloadOfAPlayingSlotLoadsAfreshWithoutPitchControl) {
    SoundSlot slot(engine, nullptr, File(L"a.wav", LoudThenQuiet(24000, 24000)), sound::kOneShot, 0,
                   4.0f);
    EXPECT_EQ(slot.voiceFlags, 0u);
    ASSERT_EQ(slot.Play(0), 0);
    EXPECT_GT(Listen(2), 0.3);
    ASSERT_EQ(
        slot.Reload(engine, nullptr, File(L"b.wav", ToneWave(960, 2, 8)), sound::kOneShot, 2.0f),
        0);
    EXPECT_FALSE(slot.started);
    EXPECT_EQ(slot.voiceFlags, platform::kVoiceNoPitch);
    EXPECT_EQ(slot.maxFrequencyRatio, 2.0f);
    EXPECT_EQ(slot.format->nChannels, 2);
    EXPECT_EQ(slot.format->wBitsPerSample, 8);
    EXPECT_EQ(slot.pcm.size(), 1920u);
    EXPECT_EQ(slot.pcm.capacity(), 1920u);
    EXPECT_EQ(slot.buffer->AudioBytes, 1920u);
    EXPECT_EQ(slot.buffer->pAudioData, slot.pcm.data());
    EXPECT_EQ(slot.buffer->Flags, platform::kEndOfStream);
    EXPECT_EQ(Listen(2), 0.0);  // the old sound is gone
}

TEST_F(SoundSlotTest, CopyHasItsOwnDataAndVoice) {
    SoundSlot original;
    ASSERT_EQ(
        original.Reload(engine, nullptr, File(L"r2.wav", ToneWave(4800)), sound::kOneShot, 2.0f),
        0);
    SoundSlot copy;
    copy.CopyFrom(original);
    ASSERT_NE(copy.voice, nullptr);
    EXPECT_NE(copy.voice, original.voice);
    EXPECT_EQ(copy.pcm, original.pcm);
    EXPECT_NE(copy.pcm.data(), original.pcm.data());
    EXPECT_EQ(copy.buffer->pAudioData, copy.pcm.data());
    EXPECT_EQ(copy.loopCount, sound::kOneShot);
    EXPECT_EQ(copy.voiceFlags, platform::kVoiceNoPitch);
    EXPECT_EQ(0,
              std::memcmp(copy.format.get(), original.format.get(), sizeof(platform::WaveFormat)));

    ASSERT_EQ(copy.Play(0), 0);
    const double one = Listen(4);
    ASSERT_EQ(original.Play(0), 0);
    ASSERT_EQ(copy.Play(0), 0);
    const double both = Listen(4);
    EXPECT_GT(one, 0.1);
    EXPECT_GT(both, one * 1.5);  // two voices sounding together

    original.Clear();
    EXPECT_TRUE(copy.IsPlaying());  // the copy does not depend on the original

    SoundSlot empty;
    copy.CopyFrom(empty);  // copying an empty slot empties the copy
    EXPECT_EQ(copy.voice, nullptr);
    EXPECT_EQ(copy.engine, nullptr);
}

TEST_F(SoundSlotTest, MovesTakeVoiceDataAndEngineReference) {
    SoundSlot first(engine, nullptr, File(L"m.wav", ToneWave(4800)), sound::kLooping, 0, 2.0f);
    platform::SourceVoice* voice = first.voice.get();
    const uint8_t* data = first.pcm.data();
    SoundSlot second(std::move(first));
    EXPECT_EQ(second.voice.get(), voice);
    EXPECT_EQ(second.pcm.data(), data);
    EXPECT_TRUE(second.started);
    EXPECT_EQ(first.voice, nullptr);
    EXPECT_EQ(first.engine, nullptr);
    EXPECT_FALSE(first.started);
    EXPECT_FALSE(first.IsPlaying());
    EXPECT_EQ(first.format, nullptr);

    SoundSlot third;
    third = std::move(second);
    EXPECT_EQ(third.voice.get(), voice);
    EXPECT_FALSE(second.started);
    ASSERT_EQ(third.voice->SetVolume(1.0f, 0), 0);
    EXPECT_GT(Listen(3), 0.1);

    third = SoundSlot();  // its voice is destroyed and its engine let go
    EXPECT_EQ(third.voice, nullptr);
    EXPECT_EQ(third.engine, nullptr);
    EXPECT_EQ(Listen(3), 0.0);

    // A moved-from slot loads and plays again like a new one.
    ASSERT_EQ(first.Reload(engine, nullptr, File(L"s.wav", ToneWave(4800)), sound::kOneShot, 2.0f),
              0);
    ASSERT_EQ(first.Play(0), 0);
    EXPECT_GT(Listen(2), 0.1);
}

TEST_F(SoundSlotTest, ClearReturnsToTheEmptyState) {
    SoundSlot slot;
    ASSERT_EQ(slot.Reload(engine, nullptr, File(L"c.wav", ToneWave(4800)), sound::kOneShot, 3.0f),
              0);
    ASSERT_EQ(slot.Play(0), 0);
    slot.Clear();
    EXPECT_EQ(slot.voice, nullptr);
    EXPECT_EQ(slot.engine, nullptr);
    EXPECT_EQ(slot.loopCount, sound::kLooping);
    EXPECT_TRUE(slot.pcm.empty());
    EXPECT_EQ(slot.format, nullptr);
    EXPECT_EQ(slot.buffer, nullptr);
    EXPECT_FALSE(slot.started);
    EXPECT_EQ(slot.voiceFlags, 0u);
    EXPECT_EQ(slot.maxFrequencyRatio, 2.0f);
    EXPECT_EQ(static_cast<uint32_t>(slot.Play(0)), kInvalidCall);
    EXPECT_EQ(static_cast<uint32_t>(slot.Stop(0)), kInvalidCall);
    EXPECT_FALSE(slot.IsPlaying());
    EXPECT_EQ(Listen(2), 0.0);
}

TEST_F(SoundSlotTest, EngineLivesUntilItsLastSlotLetsGo) {
    SoundSlot slot(engine, nullptr, File(L"e.wav", ToneWave(480)), sound::kOneShot, 0, 2.0f);
    engine.reset();
    EXPECT_TRUE(hostaudio::Attached());
    ASSERT_EQ(slot.Play(0), 0);
    EXPECT_GT(Listen(1), 0.1);
    slot.Clear();
    EXPECT_FALSE(hostaudio::Attached());
}

TEST_F(SoundSlotTest, CallerRangesOutsideTheSoundAreRefusedNotPlayed) {
    SoundSlot shot(engine, nullptr, File(L"r.wav", ToneWave(960)), sound::kOneShot, 0, 2.0f);
    shot.buffer->PlayBegin = 5000;
    EXPECT_EQ(static_cast<uint32_t>(shot.Play(0)), kInvalidCall);
    shot.buffer->PlayBegin = 480;
    shot.buffer->PlayLength = 480;
    EXPECT_EQ(shot.Play(0), 0);
    EXPECT_GT(Listen(1), 0.1);
    EXPECT_FALSE(shot.voice->SetFrequencyRatio(NAN, 0) >= 0);
    EXPECT_FALSE(shot.voice->SetVolume(INFINITY, 0) >= 0);
}

}  // namespace
}  // namespace camcab::test
