// The sample vehicle's sounds: committed as the generator makes them, and every one loads.
#include "SampleSounds.h"

#include <gtest/gtest.h>

#include "HostAudio.h"
#include "SoundTestSupport.h"
#include "platform/AudioDecoder.h"
#include "platform/WideText.h"
#include "sound/SoundSystem.h"
#include "support/TempFolder.h"

namespace camcab::test {
namespace {

const std::filesystem::path kVehicle = CAMCAB_SAMPLE_VEHICLE;

TEST(SampleSounds, CommittedFilesAreWhatTheGeneratorMakes) {
    const std::vector<samples::SampleSound> sounds = samples::MakeSampleSounds();
    EXPECT_EQ(sounds.size(), 21u);
    size_t totalBytes = 0;
    for (const samples::SampleSound& sound : sounds) {
        EXPECT_EQ(ReadFileBytes(kVehicle / std::filesystem::path(sound.name)), sound.bytes)
            << platform::EncodeUtf8(sound.name) << ": run the make-sample-sounds-write target";
        totalBytes += sound.bytes.size();
    }
    EXPECT_LT(totalBytes, 600u * 1024u);  // small enough to keep in the repository
}

TEST(SampleSounds, FormatsAreMixedAndEveryFileDecodes) {
    int eightBit = 0, stereo = 0, mono16 = 0;
    for (const samples::SampleSound& sound : samples::MakeSampleSounds()) {
        SCOPED_TRACE(platform::EncodeUtf8(sound.name));
        std::unique_ptr<platform::AudioFileReader> reader;
        ASSERT_EQ(platform::OpenAudioFile((kVehicle / std::filesystem::path(sound.name)).wstring(),
                                          reader),
                  0);
        platform::WaveFormat format{};
        ASSERT_EQ(reader->DecodedFormat(format), 0);
        EXPECT_EQ(format.wFormatTag, platform::kWaveFormatPcm);
        eightBit += format.wBitsPerSample == 8;
        stereo += format.nChannels == 2;
        mono16 += format.nChannels == 1 && format.wBitsPerSample == 16;
        std::vector<uint8_t> pcm;
        bool end = false;
        while (!end) {
            ASSERT_EQ(reader->ReadSample(pcm, end), 0);
        }
        EXPECT_GT(pcm.size(), 500u);
    }
    EXPECT_GT(eightBit, 0);
    EXPECT_GT(stereo, 0);
    EXPECT_GT(mono16, 0);
    // The one float file arrives as 16-bit PCM.
    EXPECT_EQ(ReadFileBytes(kVehicle / "kamujiku/reverser3.wav").substr(20, 2),
              std::string("\x03\x00", 2));
}

TEST(SampleSounds, TheSampleVehicleStartsWithEverySound) {
    hostaudio::UseSilentDevice();
    TempFolder folder(L"camcab-sample-vehicle");
    for (const samples::SampleSound& sound : samples::MakeSampleSounds()) {
        folder.Copy(kVehicle / std::filesystem::path(sound.name), sound.name);
    }
    config::MotorSoundConfig motorConfig;
    sound::SoundSystem system;
    system.StartUp(folder.Directory(), motorConfig);
    system.PrepareSecondReverserVoice();
    const std::string log = ReadFileBytes(folder.Path() / "XAudio2初期化ログ.txt");
    EXPECT_EQ(log.find("失敗"), std::string::npos) << log;
    EXPECT_NE(system.registry.reverser2LoopSound.voice, nullptr);
    EXPECT_EQ(system.registry.LengthFrames(sound::Sound::Reverser2),
              system.registry.reverser2Sound.pcm.size() / 4);

    // Every named sound is heard when played.
    for (sound::SoundSlot* slot : {&system.registry.resetSound, &system.registry.start1Sound,
                                   &system.registry.reverser3Sound, &system.registry.sapSound}) {
        hostaudio::ClearCapture();
        ASSERT_EQ(slot->Play(0), 0);
        hostaudio::RenderQuanta(10);
        EXPECT_GT(hostaudio::CapturedRms(0, hostaudio::CapturedFrames()), 0.01);
        slot->Stop(0);
    }
    system.ShutDown();
}

}  // namespace
}  // namespace camcab::test
