// The built-up library driven as the host drives it: a fresh plug-in instance per case with the
// sample vehicle's files, a real chained module, the real engine rendered frame by frame by this
// program, and the host's keyboard played by it. Linux only: the engine renders in caller-driven
// mode and the keyboard is this process's.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "Drive.h"
#include "HostAudio.h"

namespace camcab::test {
namespace {

constexpr int kDownArrow = 0x28;
constexpr int kShift = 0x10;

TEST(KeyboardFilter, HoldsASingleNotchStepWhileAKeyDownAtTheLastRaiseStaysDown) {
    for (int32_t notches : {8, 12}) {
        Drive d({.brakeNotches = notches});
        d.plugin.SetBrake(2);
        EXPECT_EQ(d.Frame().Brake, 2);
        PressKey(kDownArrow);
        d.plugin.SetBrake(3);
        const int32_t held = notches > 11 ? 2 : 3;
        for (int frame = 0; frame < 5; ++frame) {
            EXPECT_EQ(d.Frame().Brake, held) << notches;
        }
        EXPECT_EQ(d.plugin.sim.handles.AcceptedBrakeNotch(), held);
        ReleaseKey(kDownArrow);
        EXPECT_EQ(d.Frame().Brake, 3) << notches;

        // Two notches at once, full service and release pass even with the key down.
        PressKey(kDownArrow);
        d.plugin.SetBrake(4);
        d.Frame();
        d.plugin.SetBrake(6);
        EXPECT_EQ(d.Frame().Brake, 6) << notches;
        d.plugin.SetBrake(7);
        d.Frame();
        d.plugin.SetBrake(0);
        EXPECT_EQ(d.Frame().Brake, 0) << notches;
    }
}

TEST(KeySwitches, ShiftBlocksKeys5And6) {
    Drive d;
    d.Frame();
    PressKey(kShift);
    d.plugin.KeyDown(5);
    d.plugin.KeyDown(6);
    d.Frame();
    EXPECT_FALSE(d.plugin.sim.handles.Key5On() || d.plugin.sim.handles.Key6On());
    ReleaseKey(kShift);
    d.plugin.KeyUp(6);
    d.plugin.KeyDown(6);
    d.Frame();
    EXPECT_TRUE(d.plugin.sim.handles.Key6On());
}

// The camshaft's sounds through the real engine: power waits for the real start sound's end.
TEST(Camshaft, PowerFollowsTheRealSoundsAndNotch2Becomes3AtCurve1) {
    Drive d;
    d.plugin.DoorClose();
    d.plugin.SetReverser(1);
    d.Run(400);
    d.plugin.SetPower(2);
    EXPECT_EQ(d.Frame().Power, 0);
    EXPECT_TRUE(d.Sounds().start1Sound.IsPlaying());
    int frames = 0;
    while (d.Frame().Power == 0 && frames < 100) {
        ++frames;
    }
    EXPECT_LT(frames, 100);
    EXPECT_FALSE(d.Sounds().start1Sound.IsPlaying());
    d.Run(500);
    d.state.Current = 210.0f;
    EXPECT_EQ(d.Frame().Power, 3);
    EXPECT_TRUE(d.Sounds().shindan2Sound.IsPlaying());
}

TEST(MotorSounds, SilentAtStandstillAndHeardUnderPower) {
    Drive d;
    d.state.MrPressure = 600.0f;  // the reservoir pipe stays quiet
    d.Run(1000);
    const size_t standstill = hostaudio::CapturedFrames();
    d.Run(200);
    EXPECT_EQ(hostaudio::CapturedRms(standstill, hostaudio::CapturedFrames()), 0.0);
    // Under power the motors are heard, once the camshaft's own sounds have ended.
    d.state.Speed = 30.0f;
    d.state.Current = 300.0f;
    d.Run(1500);
    const size_t powering = hostaudio::CapturedFrames();
    d.Run(200);
    EXPECT_GT(hostaudio::CapturedRms(powering, hostaudio::CapturedFrames()), 0.05);
}

TEST(Pause, HeldKeyStopsTheEngineAtEachFrameEndAndStartsItAtTheNext) {
    Drive d;
    d.Run(100);
    d.Sounds().Play(sound::Sound::Reset);  // 0.57 s of sound
    {
        const size_t begin = hostaudio::CapturedFrames();
        d.Frame();
        ASSERT_TRUE(d.Sounds().IsPlaying(sound::Sound::Reset));
        ASSERT_GT(hostaudio::CapturedRms(begin, hostaudio::CapturedFrames()), 0.01);
    }
    PressKey('P');
    for (int frame = 0; frame < 3; ++frame) {
        const size_t begin = hostaudio::CapturedFrames();
        d.Frame();
        EXPECT_TRUE(d.plugin.sound.pauseRequested);
        EXPECT_EQ(
            hostaudio::CapturedRms(begin + hostaudio::QuantumFrames(), hostaudio::CapturedFrames()),
            0.0)
            << frame;
    }
    ReleaseKey('P');
    const size_t begin = hostaudio::CapturedFrames();
    d.Run(100);
    EXPECT_FALSE(d.plugin.sound.pauseRequested);
    EXPECT_GT(hostaudio::CapturedRms(begin, hostaudio::CapturedFrames()), 0.01);
}

TEST(Load, SkippedAudioStartUpLeavesTheMotorBankInStepWithItsConfiguration) {
    Drive d;
    ASSERT_EQ(d.Sounds().MotorSoundCount(), 6u);
    d.plugin.Dispose();
    std::filesystem::remove(d.folder.File(L"XAudio2初期化ログ.txt"));
    d.folder.MakeFolder(L"XAudio2初期化ログ.txt");
    d.plugin.Load();
    EXPECT_EQ(d.plugin.config.motorSoundConfig.MotorSoundCount, 0u);
    EXPECT_EQ(d.Sounds().MotorSoundCount(), 0u);
}

// Regeneration ending at 30 km/h turns the drum back from a point of the second reverser sound.
uint32_t DrumStartAfterRegeneration(Drive& d) {
    d.plugin.DoorClose();
    d.plugin.SetReverser(1);
    d.state.Speed = 30.0f;
    d.Run(400);
    d.plugin.SetBrake(3);
    d.Frame();
    d.state.Current = -100.0f;
    d.Frame();
    d.state.Current = 0.0f;
    d.Frame();
    return d.Cam().Reverser2StartFrame();
}

// A later Load whose second reverser sound does not load behaves as a first Load without it,
// not with the length of the sound an earlier Load had.
TEST(Load, ASecondLoadWithoutTheSecondReverserSoundActsAsAFirstOne) {
    Drive d;
    EXPECT_EQ(DrumStartAfterRegeneration(d), 3675u) << "50/90 of 6615 frames";
    d.plugin.Dispose();
    std::filesystem::remove(d.folder.File(L"kamujiku\\reverser2.wav"));
    d.plugin.Load();
    d.plugin.SetVehicleSpec(VehicleSpec{8, 5, 1, 6, 4});
    d.plugin.Initialize(0);
    d.state = VehicleState{};
    d.state.Time = 72000000;
    EXPECT_EQ(DrumStartAfterRegeneration(d), 0u);
}

// A value from the pool a hostile host may send.
float HostileFloat(std::mt19937& random) {
    static const float pool[] = {0.0f,
                                 -0.0f,
                                 std::numeric_limits<float>::quiet_NaN(),
                                 std::numeric_limits<float>::infinity(),
                                 -std::numeric_limits<float>::infinity(),
                                 std::numeric_limits<float>::denorm_min(),
                                 std::numeric_limits<float>::max(),
                                 -std::numeric_limits<float>::max(),
                                 5.0f,
                                 210.0f,
                                 -100.0f};
    if (random() % 2 == 0) {
        return pool[random() % std::size(pool)];
    }
    return std::uniform_real_distribution<float>(-500.0f, 500.0f)(random);
}

int32_t HostileInt(std::mt19937& random) {
    static const int32_t pool[] = {0, 1, 2, -1, 8, 9, 10, 12, 13, INT32_MAX, INT32_MIN};
    return random() % 2 == 0 ? pool[random() % std::size(pool)]
                             : static_cast<int32_t>(random() % 30) - 10;
}

void Soak(Drive& d, int frames, bool render, uint32_t seed) {
    std::mt19937 random(seed);
    d.plugin.config.panelTest.PanelModifyEnabled = true;
    for (int frame = 0; frame < frames; ++frame) {
        VehicleState& s = d.state;
        s.Speed = HostileFloat(random);
        s.Current = HostileFloat(random);
        s.BcPressure = HostileFloat(random);
        s.BpPressure = HostileFloat(random);
        s.MrPressure = HostileFloat(random);
        s.SapPressure = HostileFloat(random);
        const uint32_t r = random();
        // Mostly forward by up to 34 ms, sometimes back or still, now and then anywhere.
        const uint32_t stepMs = r % 40 - 5;
        s.Time = r % 16 == 0 ? HostileInt(random)
                             : static_cast<int32_t>(static_cast<uint32_t>(s.Time) + stepMs);
        switch (random() % 12) {
            case 0:
                d.plugin.SetPower(HostileInt(random));
                break;
            case 1:
                d.plugin.SetBrake(HostileInt(random));
                break;
            case 2:
                d.plugin.SetReverser(HostileInt(random));
                break;
            case 3:
                d.plugin.KeyDown(HostileInt(random) & 15);
                break;
            case 4:
                d.plugin.KeyUp(HostileInt(random) & 15);
                break;
            case 5:
                random() % 2 ? d.plugin.DoorOpen() : d.plugin.DoorClose();
                break;
            case 6:
                d.ChainAnswers(Handles{HostileInt(random), HostileInt(random), HostileInt(random),
                                       HostileInt(random)});
                break;
            case 7:
                random() % 2 ? PressKey(static_cast<int>(random() % 256)) : ReleaseAllKeys();
                break;
            default:
                break;
        }
        d.panel[3] = HostileInt(random);  // a chained module's blink input
        const bool nullArrays = random() % 64 == 0;
        const Handles h = d.plugin.Elapse(s, nullArrays ? nullptr : d.panel.data(),
                                          nullArrays ? nullptr : d.sound.data());
        ASSERT_EQ(h.ConstantSpeed, 0);
        if (render) {
            hostaudio::Advance(20.0);
        }
    }
    ReleaseAllKeys();
}

// Non-finite and extreme values, clocks that jump or run backwards, calls in any order:
// nothing may be undefined (the sanitizer build runs this too).
TEST(Hostile, AMillionFramesWithoutSoundsAndSomeWithThem) {
    {
        Drive d({.brakeNotches = 12, .sounds = false});
        Soak(d, 1000000, false, 1);
    }
    {
        Drive d({.brakeNotches = 12});
        Soak(d, 20000, true, 2);
    }
    // A frame before SetVehicleSpec and Load, and one without elapsed time.
    Plugin fresh(L"");
    const VehicleState state{0.0, 30.0f, 0, 0, 0, 0, 0, 0, -100.0f};
    fresh.Elapse(state, nullptr, nullptr);
    const Handles h = fresh.Elapse(state, nullptr, nullptr);
    EXPECT_EQ(h.Brake, 0);
    EXPECT_EQ(fresh.sim.frame.DeltaMs(), 0);
    EXPECT_TRUE(std::isnan(fresh.sim.frame.AccelerationKmhPerS()));
}

}  // namespace
}  // namespace camcab::test
