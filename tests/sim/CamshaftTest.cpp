// The camshaft read back from the motor current of the sample vehicle, whose power curves at
// standstill are c0 192, c1 210, c2 228, c3 246, c4 264, c5 282, c6 300, c7 318, c8 = c10 336 A
// and whose brake curves are 0 A up to 10 km/h (the last one is 160 A at 30 km/h).
#include <gtest/gtest.h>

#include "Drive.h"

namespace camcab::test {
namespace {

// Doors closed, reverser forward, and the drum's first turn over.
void Ready(Drive& d) {
    d.plugin.DoorClose();
    d.plugin.SetReverser(1);
    d.Run(400);
}

// Which step sound a frame started, after the earlier ones have ended.
const char* StepSoundOf(Drive& d, float currentA) {
    d.Run(500);
    d.state.Current = currentA;
    d.Frame();
    const bool one = d.Sounds().shindan1Sound.IsPlaying();
    const bool two = d.Sounds().shindan2Sound.IsPlaying();
    return one && !two ? "shindan1" : two && !one ? "shindan2" : "none or both";
}

TEST(Camshaft, PowerRunGoesThroughStartStepsAndStages) {
    Drive d;
    Ready(d);
    d.plugin.SetPower(2);
    Handles h = d.Frame();
    EXPECT_TRUE(d.Sounds().start1Sound.IsPlaying());
    EXPECT_EQ(h.Power, 0) << "no power while start1 runs";
    bool start2Played = false;
    for (int i = 0; i < 20 && !start2Played; ++i) {
        d.Frame();
        start2Played = d.Sounds().start2Sound.IsPlaying();
    }
    EXPECT_TRUE(start2Played);

    // Rising current between stages: the step sounds alternate, shindan2 first after start2.
    EXPECT_STREQ(StepSoundOf(d, 100.0f), "shindan2");
    EXPECT_STREQ(StepSoundOf(d, 101.0f), "shindan1");
    EXPECT_STREQ(StepSoundOf(d, 102.0f), "shindan2");

    // Curve 1: notch 2 becomes 3 in the same frame, with shindan2 once.
    d.Run(500);
    d.state.Current = 210.0f;
    h = d.Frame();
    EXPECT_EQ(h.Power, 3);
    EXPECT_EQ(d.plugin.sim.handles.powerNotch, 3);
    EXPECT_TRUE(d.Sounds().shindan2Sound.IsPlaying());
    d.Run(500);
    EXPECT_FALSE(d.Sounds().shindan1Sound.IsPlaying() || d.Sounds().shindan2Sound.IsPlaying());

    d.state.Current = 228.0f;  // the transition
    d.Frame();
    EXPECT_TRUE(d.Sounds().watariSound.IsPlaying());
    EXPECT_TRUE(d.Cam().stageTransition);
    d.Run(500);
    d.state.Current = 264.0f;  // stage B
    d.Frame();
    EXPECT_TRUE(d.Cam().stageB);
    EXPECT_TRUE(d.Sounds().shindan1Sound.IsPlaying());
    d.Run(500);
    d.state.Current = 318.0f;  // stage C
    d.Frame();
    EXPECT_TRUE(d.Cam().stageC);
    EXPECT_TRUE(d.Sounds().shindan1Sound.IsPlaying());
}

// Notching off plays the sound of the furthest stage reached; zero current clears the stages.
TEST(Camshaft, NotchOffSoundFollowsTheFurthestStage) {
    struct Case {
        std::vector<float> currentsA;
        sound::SoundSlot sound::SoundRegistry::*expected;
        bool breaker;
    };
    const Case cases[] = {
        {{210.0f, 228.0f, 264.0f, 318.0f}, &sound::SoundRegistry::notchOffSound, false},
        {{210.0f, 228.0f, 264.0f}, &sound::SoundRegistry::reverser3Sound, false},
        {{150.0f}, &sound::SoundRegistry::reverser1Sound, true},
    };
    for (const Case& c : cases) {
        Drive d;
        Ready(d);
        d.plugin.SetPower(4);
        d.Run(600);
        for (float currentA : c.currentsA) {
            d.state.Current = currentA;
            d.Frame();
        }
        d.plugin.SetPower(0);
        d.state.Current = 0.0f;
        const Handles h = d.Frame();
        sound::SoundRegistry& s = d.Sounds();
        EXPECT_TRUE((s.*c.expected).IsPlaying()) << c.currentsA.size();
        for (auto other :
             {&sound::SoundRegistry::notchOffSound, &sound::SoundRegistry::reverser3Sound,
              &sound::SoundRegistry::reverser1Sound}) {
            if (other != c.expected) {
                EXPECT_FALSE((s.*other).IsPlaying()) << c.currentsA.size();
            }
        }
        EXPECT_EQ(s.breakerOffSound.IsPlaying(), c.breaker) << c.currentsA.size();
        EXPECT_EQ(h.Power, 0);
        if (c.breaker) {
            EXPECT_TRUE(d.Cam().camAtStart) << "before the transition the cam is back at start";
        }
        EXPECT_FALSE(d.Cam().stageBLatched || d.Cam().stageCLatched || d.Cam().stageTransition);
    }
}

TEST(Camshaft, RegenerationReturnsTopBrakeNotchAndItsEndTurnsTheDrumBackFromTheSpeed) {
    // 0.3 s of 22050 Hz stereo: 6615 frames; at 30 km/h the drum starts at 50/90 of them.
    const struct {
        float speedKmh;
        uint32_t startFrame;
    } cases[] = {{30.0f, 3675u}, {85.0f, 0u}};
    for (const auto& c : cases) {
        Drive d;
        EXPECT_EQ(d.Sounds().reverser2LengthFrames, 6615u);
        d.state.Speed = c.speedKmh;
        Ready(d);
        d.plugin.SetBrake(3);
        d.Frame();  // braking at speed without current: regeneration is not released
        d.state.Current = -100.0f;
        EXPECT_EQ(d.Frame().Power, -7) << "the sample's top brake notch";
        d.state.Current = 0.0f;
        d.Frame();
        EXPECT_EQ(d.Cam().reverser2StartFrame, c.startFrame) << c.speedKmh;
        EXPECT_TRUE(d.Sounds().reverser2Sound.IsPlaying());
        EXPECT_EQ(d.Sounds().reverser2Sound.buffer->PlayBegin, c.startFrame);
        EXPECT_EQ(d.Sounds().reverser2Sound.buffer->PlayLength, 6615u - c.startFrame);
    }
}

TEST(Camshaft, BreakerDelayCountsQualifyingFramesThenTheLoopStartsAndEndsAtRelease) {
    Drive d;
    d.state.Speed = 30.0f;
    Ready(d);
    d.plugin.SetBrake(3);
    // 250 ms of 20 ms frames: the count reaches 260 on the 13th frame; the 14th starts the loop.
    for (int frame = 1; frame <= 13; ++frame) {
        d.Frame();
        ASSERT_FALSE(d.Sounds().reverser2LoopSound.IsPlaying()) << frame;
    }
    EXPECT_EQ(d.Cam().breakerDelayElapsedMs, 260);
    d.Frame();
    EXPECT_TRUE(d.Sounds().reverser2LoopSound.IsPlaying());
    EXPECT_TRUE(d.Cam().reverser2LoopPlaying);

    d.state.Current = -100.0f;
    EXPECT_EQ(d.Frame().Power, -7);
    d.plugin.SetBrake(0);
    const Handles h = d.Frame();
    EXPECT_FALSE(d.Sounds().reverser2LoopSound.IsPlaying());
    EXPECT_FALSE(d.Cam().reverser2LoopPlaying);
    EXPECT_TRUE(d.Cam().regenReleased);
    EXPECT_TRUE(d.Sounds().reverser2Sound.IsPlaying());
    EXPECT_GE(h.Power, 0) << "regeneration released";
}

TEST(Camshaft, PositionOfAVoiceWithoutChannelsOrLengthIsZero) {
    Drive d;
    sound::SoundRegistry& s = d.Sounds();
    s.reverser2Sound.Play(0);
    d.Run(100);
    EXPECT_GT(sim::ReverserPosition(s, s.reverser2Sound), 0u);
    s.reverser2LengthFrames = 0;
    EXPECT_EQ(sim::ReverserPosition(s, s.reverser2Sound), 0u);
    s.reverser2LengthFrames = 6615;
    s.reverser2Format.nChannels = 0;
    EXPECT_EQ(sim::ReverserPosition(s, s.reverser2Sound), 0u);
}

}  // namespace
}  // namespace camcab::test
