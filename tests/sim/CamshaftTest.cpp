// The camshaft read back from the motor current of the sample vehicle, whose power curves at
// standstill are c0 192, c1 210, c2 228, c3 246, c4 264, c5 282, c6 300, c7 318, c8 = c10 336 A
// and whose brake curves are 0 A up to 10 km/h (the last one is 160 A at 30 km/h). Its sounds
// last 500 ms unless a case says otherwise.
#include <gtest/gtest.h>

#include "Cab.h"

namespace camcab::test {
namespace {

// Which step sound a frame started, after the earlier ones have ended.
const char* StepSoundOf(Cab& c, float currentA) {
    c.Run(500);
    c.sounds.TakePlays(Sound::Shindan1);
    c.sounds.TakePlays(Sound::Shindan2);
    c.state.Current = currentA;
    c.Frame();
    const int one = c.sounds.TakePlays(Sound::Shindan1);
    const int two = c.sounds.TakePlays(Sound::Shindan2);
    return one == 1 && two == 0 ? "shindan1" : two == 1 && one == 0 ? "shindan2" : "none or both";
}

TEST(Camshaft, PowerRunGoesThroughStartStepsAndStages) {
    Cab c;
    c.sounds.SetLengthMs(Sound::Start1, 300);
    c.Ready();
    c.Power(2);
    EXPECT_EQ(c.Frame().Power, 0) << "no power while start1 runs";
    EXPECT_EQ(c.sounds.TakePlays(Sound::Start1), 1);
    // 300 ms of start1: power on the frame after it has ended, with start2 then.
    int frames = 1;
    while (c.Frame().Power == 0 && frames < 50) {
        ++frames;
    }
    EXPECT_EQ(frames, 15);
    EXPECT_EQ(c.sounds.TakePlays(Sound::Start2), 1);

    // Rising current between stages: the step sounds alternate, shindan2 first after start2.
    EXPECT_STREQ(StepSoundOf(c, 100.0f), "shindan2");
    EXPECT_STREQ(StepSoundOf(c, 101.0f), "shindan1");
    EXPECT_STREQ(StepSoundOf(c, 102.0f), "shindan2");

    // Curve 1: notch 2 becomes 3 in the same frame, with shindan2 once.
    c.Run(500);
    c.state.Current = 210.0f;
    EXPECT_EQ(c.Frame().Power, 3);
    EXPECT_EQ(c.sim.handles.PowerNotch(), 3);
    EXPECT_EQ(c.sounds.TakePlays(Sound::Shindan2), 1);
    c.Run(500);
    EXPECT_EQ(c.sounds.TakePlays(Sound::Shindan1) + c.sounds.TakePlays(Sound::Shindan2), 0);

    const struct {
        float currentA;
        Sound sound;
    } stages[] = {{228.0f, Sound::Watari},
                  {264.0f, Sound::Shindan1},
                  {318.0f, Sound::Shindan1},
                  {336.0f, Sound::Shindan1}};
    for (const auto& stage : stages) {
        c.state.Current = stage.currentA;
        c.Frame();
        EXPECT_EQ(c.sounds.TakePlays(stage.sound), 1) << stage.currentA;
        // The transition is no stage of the lamp's.
        EXPECT_EQ(c.panel[41], stage.sound == Sound::Watari ? 0 : 1) << stage.currentA;
        c.Run(500);
        c.sounds.TakePlays(Sound::Shindan1);  // the transition's step sound
        EXPECT_EQ(c.sounds.TakePlays(stage.sound), 0) << "once per stage: " << stage.currentA;
    }
    EXPECT_TRUE(c.sim.camshaft.StageTransition() && c.sim.camshaft.StageCLatched() &&
                c.sim.camshaft.StageD());
}

// Notching off plays the sound of the furthest stage reached, and power waits for it to end.
TEST(Camshaft, NotchOffSoundFollowsTheFurthestStageAndHoldsThePower) {
    const struct {
        std::vector<float> currentsA;
        Sound expected;
        bool breaker;
    } cases[] = {
        {{210.0f, 228.0f, 264.0f, 318.0f}, Sound::NotchOff, false},
        {{210.0f, 228.0f, 264.0f}, Sound::Reverser3, false},
        {{150.0f}, Sound::Reverser1, true},
    };
    for (const auto& k : cases) {
        Cab c;
        c.Ready();
        c.Power(4);
        c.Run(600);
        for (float currentA : k.currentsA) {
            c.state.Current = currentA;
            c.Frame();
        }
        for (Sound s : {Sound::NotchOff, Sound::Reverser3, Sound::Reverser1, Sound::BreakerOff}) {
            c.sounds.TakePlays(s);
        }
        c.state.Current = 0.0f;
        c.Frame();
        for (Sound s : {Sound::NotchOff, Sound::Reverser3, Sound::Reverser1}) {
            EXPECT_EQ(c.sounds.TakePlays(s), s == k.expected ? 1 : 0) << k.currentsA.size();
        }
        EXPECT_EQ(c.sounds.TakePlays(Sound::BreakerOff), k.breaker ? 1 : 0) << k.currentsA.size();
        EXPECT_EQ(c.sim.camshaft.AtStart(), k.breaker) << "before the transition: back at start";
        EXPECT_FALSE(c.sim.camshaft.StageBLatched() || c.sim.camshaft.StageCLatched() ||
                     c.sim.camshaft.StageTransition());
        // The notch is still 4: power returns once the 500 ms sound has ended.
        int frames = 0;
        while (c.Frame().Power == 0 && frames < 100) {
            ++frames;
        }
        EXPECT_EQ(frames, 24) << k.currentsA.size();
    }
}

TEST(Camshaft, RegenerationReturnsTopBrakeNotchAndItsEndTurnsTheDrumBackFromTheSpeed) {
    // A 900 ms drum sound: at 30 km/h it starts 50/90 of the way in.
    const struct {
        float speedKmh;
        uint32_t startMs;
    } cases[] = {{30.0f, 500u}, {85.0f, 0u}};
    for (const auto& k : cases) {
        Cab c;
        c.sounds.SetLengthMs(Sound::Reverser2, 900);
        c.state.Speed = k.speedKmh;
        c.Ready();
        c.Brake(3);
        c.Frame();  // braking at speed without current: regeneration is not released
        c.state.Current = -100.0f;
        EXPECT_EQ(c.Frame().Power, -7) << "the sample's top brake notch";
        c.state.Current = 0.0f;
        c.Frame();
        EXPECT_EQ(c.sim.camshaft.Reverser2StartFrame(), k.startMs) << k.speedKmh;
        EXPECT_TRUE(c.sounds.IsPlaying(Sound::Reverser2));
        EXPECT_EQ(c.sounds.RangeBeginMs(Sound::Reverser2), k.startMs);
        EXPECT_EQ(c.sounds.RangeLengthMs(Sound::Reverser2), 900u - k.startMs);
    }
}

TEST(Camshaft, BreakerDelayCountsQualifyingFramesThenTheLoopStartsAndEndsAtRelease) {
    Cab c;
    c.state.Speed = 30.0f;
    c.Ready();
    c.Brake(3);
    // 250 ms of 20 ms frames: the count reaches 260 on the 13th frame; the 14th starts the loop.
    for (int frame = 1; frame <= 13; ++frame) {
        c.Frame();
        ASSERT_FALSE(c.sounds.IsPlaying(Sound::Reverser2Loop)) << frame;
    }
    EXPECT_EQ(c.sim.camshaft.BreakerDelayElapsedMs(), 260);
    c.Frame();
    EXPECT_TRUE(c.sounds.IsPlaying(Sound::Reverser2Loop));
    EXPECT_TRUE(c.sim.camshaft.Reverser2LoopPlaying());

    // Released 160 ms into the loop: the drum turns back from there.
    c.state.Current = -100.0f;
    c.Run(120);
    EXPECT_EQ(c.Frame().Power, -7);
    c.Brake(0);
    const Handles h = c.Frame();
    EXPECT_FALSE(c.sounds.IsPlaying(Sound::Reverser2Loop));
    EXPECT_FALSE(c.sim.camshaft.Reverser2LoopPlaying());
    EXPECT_TRUE(c.sim.camshaft.RegenerationReleased());
    EXPECT_TRUE(c.sounds.IsPlaying(Sound::Reverser2));
    EXPECT_EQ(c.sounds.RangeBeginMs(Sound::Reverser2), 160u);
    EXPECT_GE(h.Power, 0) << "regeneration released";
}

TEST(Camshaft, RegenerationIsReleasedBeyondTheEmptyCarCurrentLimit) {
    Cab c;
    c.state.Speed = 45.0f;
    c.Ready();
    c.Brake(3);
    c.Frame();
    c.state.Current = -150.0f;
    EXPECT_EQ(c.Frame().Power, -7);
    c.state.Current = -281.0f;  // beyond CurrentLimitingValue_Empty, 280 A
    EXPECT_GE(c.Frame().Power, 0);
    EXPECT_TRUE(c.sim.camshaft.RegenerationReleased());
}

TEST(Camshaft, ReverserToNeutralStopsTheDrumWhereItIsAndItGoesOnFromThereAtLowSpeed) {
    Cab c;
    c.sounds.SetLengthMs(Sound::Reverser2, 900);
    c.state.Speed = 30.0f;
    c.Ready();
    c.Brake(3);
    c.Run(300);  // the loop runs: the drum turns to braking
    c.state.Current = -100.0f;
    c.Frame();
    c.state.Current = 0.0f;
    c.Frame();  // regeneration ends: the drum turns back from 500 ms
    ASSERT_TRUE(c.sounds.IsPlaying(Sound::Reverser2));
    c.Run(100);
    c.Reverser(0);
    EXPECT_FALSE(c.sounds.IsPlaying(Sound::Reverser2));
    EXPECT_EQ(c.sim.camshaft.Reverser2StartFrame(), 620u) << "120 ms on";

    // Forward again below 10 km/h, where there is no electric brake: on from there.
    c.state.Speed = 5.0f;
    c.Frame();
    c.Reverser(1);
    c.Frame();
    EXPECT_TRUE(c.sounds.IsPlaying(Sound::Reverser2));
    EXPECT_EQ(c.sounds.RangeBeginMs(Sound::Reverser2), 620u);
}

}  // namespace
}  // namespace camcab::test
