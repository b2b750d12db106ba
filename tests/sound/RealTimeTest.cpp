// Without a host audio clock the engine mixes in real time on SDL's device (here the
// silent one): a one-shot runs out after about its own length.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "SoundTestSupport.h"
#include "sound/SoundSlot.h"
#include "support/TempFolder.h"

namespace camcab::test {
namespace {

TEST(RealTime, OneShotRunsOutInAboutItsOwnLength) {
    const platform::EngineRef engine = EngineWithMasteringVoice();
    ASSERT_TRUE(engine);
    TempFolder folder(L"camcab-realtime");
    folder.Write(L"shot.wav", ToneWave(9600));  // 200 ms
    {
        sound::SoundSlot shot(engine, nullptr, folder.FileString(L"shot.wav"), sound::kOneShot, 0,
                              2.0f);
        ASSERT_EQ(shot.Play(0), 0);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(shot.IsPlaying());
        while (shot.IsPlaying() &&
               std::chrono::steady_clock::now() - start < std::chrono::seconds(5)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        const auto elapsed = std::chrono::steady_clock::now() - start;
        EXPECT_FALSE(shot.IsPlaying());
        EXPECT_GE(elapsed, std::chrono::milliseconds(150));
        EXPECT_LT(elapsed, std::chrono::seconds(2));
    }
}

}  // namespace
}  // namespace camcab::test
