// The engine that keeps the host's audio clock without rendering (the Windows workbench's):
// sounds end in the quantum their length takes, changes wait for their commit, and on Linux
// each sound ends in the same quantum as under FAudio with the same clock.
#include <gtest/gtest.h>

#include <vector>

#include "platform/ClockedAudioEngine.h"
#ifndef _WIN32
#include "HostAudio.h"
#endif

namespace camcab::platform {
namespace {

// The source the engine attached, if any.
const CamcabAudioSource* attachedSource = nullptr;
void Attach(const CamcabAudioSource* source) {
    attachedSource = source;
}

// `frames` of 16-bit silence at `rate`, one channel.
struct Sound {
    Sound(uint32_t frames, uint32_t rate) : pcm(frames * 2u) {
        format = WaveFormat{kWaveFormatPcm, 1, rate, rate * 2, 2, 16, 0};
        buffer = AudioBuffer{
            kEndOfStream, static_cast<uint32_t>(pcm.size()), pcm.data(), 0, 0, 0, 0, 0, nullptr};
    }
    std::vector<uint8_t> pcm;
    WaveFormat format{};
    AudioBuffer buffer{};
};

uint32_t Queued(SourceVoice& voice) {
    VoiceState state{};
    voice.GetState(state, 0);
    return state.BuffersQueued;
}

class ClockedEngineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(CreateClockedAudioEngine(engine, &Attach), kSuccess);
        ASSERT_EQ(engine->CreateMasteringVoice(master, 0, 0, 0, kCategoryGameEffects), kSuccess);
        ASSERT_NE(attachedSource, nullptr);
        EXPECT_EQ(attachedSource->quantumFrames, kClockedQuantumFrames);
    }
    void TearDown() override {
        master.reset();
        EXPECT_EQ(attachedSource, nullptr);  // detached before the mastering voice went
    }
    VoicePtr Voice(const Sound& sound, float maxRatio = 2.0f) {
        VoicePtr voice;
        EXPECT_EQ(
            engine->CreateSourceVoice(voice, sound.format, 0, maxRatio, nullptr, nullptr, nullptr),
            kSuccess);
        return voice;
    }
    // Renders `quanta` quanta; each is silent.
    void Render(int quanta) {
        std::vector<float> output(kClockedQuantumFrames * kClockedChannels, 1.0f);
        for (int i = 0; i < quanta; ++i) {
            attachedSource->renderQuantum(attachedSource->context, output.data());
        }
        EXPECT_EQ(output[0], 0.0f);
    }
    // Renders quanta until the voice has no buffer left; how many it took.
    int QuantaUntilDrained(SourceVoice& voice) {
        int quanta = 0;
        for (; Queued(voice) != 0 && quanta < 10000; ++quanta) {
            Render(1);
        }
        return quanta;
    }

    EngineRef engine;
    MasteringVoicePtr master;
};

TEST_F(ClockedEngineTest, AOneShotEndsInTheQuantumItsLengthAndPitchTake) {
    // 4800 frames at 48 kHz: ten quanta exactly. A sound that ends at a quantum's end leaves
    // in the next one, as FAudio's do.
    const Sound sound(4800, 48000);
    VoicePtr voice = Voice(sound);
    ASSERT_EQ(voice->SubmitSourceBuffer(sound.buffer), kSuccess);
    ASSERT_EQ(voice->Start(0, kCommitNow), kSuccess);
    EXPECT_EQ(QuantaUntilDrained(*voice), 11);
    VoiceState state{};
    voice->GetState(state, 0);
    EXPECT_EQ(state.SamplesPlayed, 0u);  // the stream ended

    ASSERT_EQ(voice->SetFrequencyRatio(2.0f, kCommitNow), kSuccess);  // five quanta exactly
    ASSERT_EQ(voice->SubmitSourceBuffer(sound.buffer), kSuccess);
    EXPECT_EQ(QuantaUntilDrained(*voice), 6);

    // A range: 500 frames from frame 1000 at ratio 4, held at the voice's limit of 2.
    ASSERT_EQ(voice->SetFrequencyRatio(4.0f, kCommitNow), kSuccess);
    float ratio = 0.0f;
    voice->GetFrequencyRatio(ratio);
    EXPECT_EQ(ratio, 2.0f);
    AudioBuffer range = sound.buffer;
    range.PlayBegin = 1000;
    range.PlayLength = 500;
    ASSERT_EQ(voice->SubmitSourceBuffer(range), kSuccess);
    EXPECT_EQ(QuantaUntilDrained(*voice), 1);
}

TEST_F(ClockedEngineTest, ChangesWaitForTheirCommitAndAStoppedEngineKeepsStill) {
    const Sound sound(48000, 48000);
    VoicePtr voice = Voice(sound);
    AudioBuffer loop = sound.buffer;
    loop.LoopCount = kLoopInfinite;
    ASSERT_EQ(voice->SubmitSourceBuffer(loop), kSuccess);
    ASSERT_EQ(voice->Start(0, 7), kSuccess);
    const auto played = [&voice] {
        VoiceState state{};
        voice->GetState(state, 0);
        return state.SamplesPlayed;
    };
    Render(3);
    EXPECT_EQ(played(), 0u);  // set 7 is not committed yet
    ASSERT_EQ(engine->CommitChanges(7), kSuccess);
    Render(3);
    EXPECT_EQ(played(), 3u * kClockedQuantumFrames);
    engine->StopEngine();
    Render(5);
    EXPECT_EQ(played(), 3u * kClockedQuantumFrames);
    ASSERT_EQ(engine->StartEngine(), kSuccess);
    Render(300);  // three times round the loop: it never drains
    EXPECT_EQ(played(), 303u * kClockedQuantumFrames);
    EXPECT_EQ(Queued(*voice), 1u);
    ASSERT_EQ(voice->Stop(0, kCommitNow), kSuccess);
    Render(5);
    EXPECT_EQ(played(), 303u * kClockedQuantumFrames);
}

#ifndef _WIN32
// FAudio under the host's clock, through the same calls: a one-shot ends in the same quantum.
TEST(ClockedEngine, EndsEachSoundInTheQuantumFAudioDoes) {
    hostaudio::UseSilentDevice();
    EngineRef faudio;
    ASSERT_EQ(CreateAudioEngine(faudio, 0, kDefaultProcessor), kSuccess);
    MasteringVoicePtr faudioMaster;
    ASSERT_EQ(faudio->CreateMasteringVoice(faudioMaster, 0, 0, 0, kCategoryGameEffects), kSuccess);
    ASSERT_TRUE(hostaudio::Attached());
    ASSERT_EQ(hostaudio::SampleRate(), kClockedSampleRate);
    ASSERT_EQ(hostaudio::Channels(), kClockedChannels);
    ASSERT_EQ(hostaudio::QuantumFrames(), kClockedQuantumFrames);
    EngineRef clocked;
    ASSERT_EQ(CreateClockedAudioEngine(clocked, &Attach), kSuccess);
    MasteringVoicePtr clockedMaster;
    ASSERT_EQ(clocked->CreateMasteringVoice(clockedMaster, 0, 0, 0, kCategoryGameEffects),
              kSuccess);

    struct Case {
        uint32_t frames, rate;
        float ratio;
    };
    // Ends just before, at and just after a quantum's end, with steps that fixed point holds
    // exactly, rounds up and rounds down, at several pitches.
    for (const Case& c :
         {Case{4799, 48000, 1.0f}, Case{4800, 48000, 1.0f}, Case{4801, 48000, 1.0f},
          Case{2204, 22050, 1.0f}, Case{2205, 22050, 1.0f}, Case{2206, 22050, 1.0f},
          Case{44099, 44100, 1.0f}, Case{44100, 44100, 1.0f}, Case{44101, 44100, 1.0f},
          Case{2400, 48000, 0.5f}, Case{12000, 22050, 1.37f}, Case{30000, 44100, 0.61f}}) {
        SCOPED_TRACE(std::to_string(c.frames) + " frames at " + std::to_string(c.rate) +
                     " Hz, ratio " + std::to_string(c.ratio));
        const Sound sound(c.frames, c.rate);
        int quanta[2] = {-1, -1};
        for (int side = 0; side < 2; ++side) {
            EngineRef& engine = side == 0 ? faudio : clocked;
            VoicePtr voice;
            ASSERT_EQ(
                engine->CreateSourceVoice(voice, sound.format, 0, 2.0f, nullptr, nullptr, nullptr),
                kSuccess);
            ASSERT_EQ(voice->SetFrequencyRatio(c.ratio, kCommitNow), kSuccess);
            ASSERT_EQ(voice->SubmitSourceBuffer(sound.buffer), kSuccess);
            ASSERT_EQ(voice->Start(0, kCommitNow), kSuccess);
            std::vector<float> output(kClockedQuantumFrames * kClockedChannels);
            for (int q = 0; q < 10000 && quanta[side] < 0; ++q) {
                if (Queued(*voice) == 0) {
                    quanta[side] = q;
                } else if (side == 0) {
                    hostaudio::RenderQuanta(1);
                } else {
                    attachedSource->renderQuantum(attachedSource->context, output.data());
                }
            }
        }
        EXPECT_EQ(quanta[1], quanta[0]);
        hostaudio::ClearCapture();
    }
}
#endif

}  // namespace
}  // namespace camcab::platform
