// The frame as a whole: the state a fresh library starts from, the host sound emission rules,
// the pause key, and hostile host values.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "Drive.h"
#include "HostAudio.h"

namespace camcab::test {
namespace {

// Every host sound index the library drives as a one-shot.
const int kTriggers[] = {95,  96,  97,  98,  107, 108, 109, 110, 111,
                         220, 223, 224, 227, 228, 229, 243, 244};

TEST(InitialState, EveryPartStartsFromItsDocumentedValues) {
    Plugin plugin(L"");
    const sim::Simulation& s = plugin.sim;
    // The triggers' forceStop is shown by the first frame's emission below.
    EXPECT_EQ(s.air.brakePipeHostSound.value, 0);
    EXPECT_TRUE(s.air.brakePipeHostSound.forceStop);
    EXPECT_EQ(s.air.pipeVolume, 0.0f);
    EXPECT_EQ(s.air.mrSteadyMs, 5000);
    EXPECT_EQ(s.air.prevMrPressure, 600.0f);
    EXPECT_EQ(s.notchLearning.sapSteadyMs, 0);
    const sim::BrakeDisplayState& b = s.brakeDisplays;
    EXPECT_EQ(b.sapOffset + b.sapDisplay + b.bcOffset + b.bcDisplay + b.bcVolume +
                  b.prevSapDisplay + b.prevBcDisplay + b.noLoadCurrent,
              0.0f);
    EXPECT_EQ(b.sapNotFallingMs, 0);

    const sim::HandleState& h = s.handles;
    EXPECT_EQ(h.brakeNotchCount, 0);
    EXPECT_EQ(h.emergencyNotch, 0);
    EXPECT_EQ(h.powerNotch | h.brakeNotch | h.acceptedBrakeNotch | h.reverserPosition, 0);
    for (const sim::KeySwitch* k :
         {&h.key5Switch, &h.key6Switch, &h.key8Switch, &h.key9Switch, &h.key12Switch}) {
        EXPECT_FALSE(k->on || k->held);
    }
    EXPECT_TRUE(h.keysAtBrakeUp.none() && h.keysAtBrakeDown.none());

    const sim::CamshaftState& c = s.camshaft;
    EXPECT_EQ(c.brakeTopNotch, 100);
    EXPECT_EQ(c.breakerDelayMs, 0);
    EXPECT_EQ(c.reverser2StartFrame, 0u);
    EXPECT_FALSE(c.stageA || c.stageTransition || c.stageB || c.stageC || c.stageD || c.camHold ||
                 c.camAtStart || c.regenReleased || c.reverser2LoopPlaying || c.stepSoundToggle ||
                 c.start1Armed || c.start2Armed || c.resetPending || c.notchOffPending);

    const sim::FrameState& f = s.frame;
    EXPECT_EQ(f.frameDeltaMs | f.prevTimeMs, 0);
    EXPECT_EQ(f.acceleration + f.absSpeed + f.absCurrent + f.prevAbsSpeed + f.prevAbsCurrent +
                  f.prevCurrent + f.prevBcPressure + f.prevBpPressure + f.prevSapPressure,
              0.0f);
    EXPECT_FALSE(f.swingRisingSeen);

    const sim::PanelState& p = s.panel;
    EXPECT_EQ(p.swingRate, 0.0f);
    EXPECT_EQ(p.swingAmplitude, 10000.0f);
    EXPECT_EQ(p.swingPosition, 10000.0f);
    EXPECT_EQ(p.swingOutput, 10000.0f);
    EXPECT_FALSE(p.swingRising);
    EXPECT_EQ(p.swingInnerKnot, 0.1f);
    EXPECT_EQ(p.swingOuterKnot, 0.7f);
    EXPECT_EQ(p.swingInnerLevel, 0.025f);
    EXPECT_EQ(p.swingOuterLevel, 0.975f);
    EXPECT_EQ(p.panelTestSelection | p.panelTestValue | p.blinkTimerMs | p.voltageTimerMs, 0);
    EXPECT_EQ(p.lineVoltage, 0.0f);
    EXPECT_EQ(p.lastRandom, 0u);
    EXPECT_FALSE(s.doorsClosed);
    EXPECT_FALSE(s.brakeOverride.overrideBcWatch || s.brakeOverride.overrideBcWaitFall);
}

TEST(HostSounds, FirstFrameStopsEveryTriggerAndAnEarlierRequestSoundsOnTheSecond) {
    Drive d;
    d.plugin.DoorClose();
    d.Frame();
    for (int index : kTriggers) {
        EXPECT_EQ(d.HostSound(index), -10000) << index;
    }
    d.Frame();
    EXPECT_EQ(d.HostSound(95), 1);
    EXPECT_EQ(d.HostSound(96), 2);
    d.Frame();
    EXPECT_EQ(d.HostSound(95), 2);
}

TEST(HostSounds, PassingFiveKmhEitherWayPlaysOnce) {
    Drive d;
    d.state.Speed = 4.0f;
    d.Run(100);
    d.state.Speed = -5.0f;  // running backwards counts by its magnitude
    d.Frame();
    EXPECT_EQ(d.HostSound(98), 1);
    d.Frame();
    EXPECT_EQ(d.HostSound(98), 2);
    d.state.Speed = 4.9f;
    d.Frame();
    EXPECT_EQ(d.HostSound(97), 1);
    EXPECT_EQ(d.HostSound(98), 2);
}

TEST(Pause, HeldKeyStopsTheEngineAtEachFrameEndAndStartsItAtTheNext) {
    Drive d;
    d.Run(100);
    d.Sounds().resetSound.Play(d.plugin.sound.operationSet);  // 0.57 s of sound
    {
        const size_t begin = hostaudio::CapturedFrames();
        d.Frame();
        ASSERT_TRUE(d.Sounds().resetSound.IsPlaying());
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
    ASSERT_EQ(d.Sounds().motorSoundCount(), 6u);
    d.plugin.Dispose();
    std::filesystem::remove(d.folder.File(L"XAudio2初期化ログ.txt"));
    d.folder.MakeFolder(L"XAudio2初期化ログ.txt");
    d.plugin.Load();
    EXPECT_EQ(d.plugin.config.motorSoundConfig.MotorSoundCount, 0u);
    EXPECT_EQ(d.Sounds().motorSoundCount(), 0u);
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
    EXPECT_EQ(fresh.sim.frame.frameDeltaMs, 0);
    EXPECT_TRUE(std::isnan(fresh.sim.frame.acceleration));
}

}  // namespace
}  // namespace camcab::test
