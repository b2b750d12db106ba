// The brake cylinder and straight air pipe gauges and their exhaust sounds.
#include <gtest/gtest.h>

#include "Cab.h"

namespace camcab::test {
namespace {

// Braking at 45 km/h with the cylinder at `bcKpa`, then full regeneration with the straight
// air pipe above 100 kPa.
void RegenerateFrom(Cab& c, float bcKpa) {
    c.state.Speed = 45.0f;
    c.state.BcPressure = bcKpa;
    c.Ready();
    c.Brake(3);
    c.Frame();
    c.state.Current = -150.0f;
    c.state.SapPressure = 140.0f;
}

TEST(BrakeDisplays, FullRegenerationHoldsTheCylinderAt100AndSinksToItAt01KpaPerMs) {
    Cab c;
    RegenerateFrom(c, 0.0f);
    for (float bc : {40.0f, 80.0f, 120.0f, 200.0f}) {
        c.state.BcPressure = bc;
        EXPECT_EQ(c.Frame().Power, -7);
        EXPECT_EQ(c.sim.brakeDisplays.BcDisplayKpa(), std::min(bc, 100.0f)) << bc;
        EXPECT_EQ(c.panel[130], static_cast<int32_t>(std::min(bc, 100.0f)));
    }

    Cab high;
    RegenerateFrom(high, 300.0f);
    for (int frame = 1; frame <= 50; ++frame) {
        high.state.BcPressure = frame % 2 ? 300.0f : 280.0f;  // whatever the host does above 100
        high.Frame();
        const float expected = std::max(100.0f, 300.0f - 2.0f * frame);
        EXPECT_NEAR(high.sim.brakeDisplays.BcDisplayKpa(), expected, 1e-3f) << frame;
    }
}

TEST(BrakeDisplays, ExhaustRisesAt1Per240MsAndStopsWithTheRelease) {
    Cab c;
    c.state.BcPressure = 300.0f;
    c.Run(200);
    for (int frame = 1; frame <= 14; ++frame) {
        c.state.BcPressure -= 20.0f;  // 1 kPa per ms
        c.Frame();
        // Rising by 20/240 a frame, up to the release rate (2 here); applied at most 1.
        EXPECT_NEAR(c.sounds.Volume(Sound::Bc), std::min(1.0f, frame * 20.0f / 240.0f), 1e-5f)
            << frame;
    }
    c.Frame();  // the release stops
    EXPECT_EQ(c.sounds.Volume(Sound::Bc), 0.0f);
}

TEST(BrakeDisplays, StraightAirExhaustStartsOnAFallUnlessAtEmergency) {
    for (int32_t notch : {3, 9}) {
        Cab c;
        c.Brake(notch);
        c.state.SapPressure = 300.0f;
        c.state.BcPressure = 300.0f;
        c.Run(200);
        c.Brake(notch);  // not a raise
        c.state.SapPressure = 250.0f;
        c.state.BcPressure = 250.0f;
        c.Frame();
        EXPECT_EQ(c.sounds.TakePlays(Sound::Sap), notch != 9 ? 1 : 0) << notch;
        EXPECT_EQ(c.sounds.Volume(Sound::Bc) > 0.0f, notch != 9) << notch;
        c.state.SapPressure = 200.0f;
        c.Frame();
        EXPECT_EQ(c.sounds.TakePlays(Sound::Sap), 0) << "once per fall";
    }
}

TEST(BrakeDisplays, WithoutTheStraightAirSoundTheFoldersLoopFollowsTheDrop) {
    Cab c;
    c.sounds.RemoveVoice(Sound::Sap);
    c.state.BcPressure = 300.0f;
    c.Run(200);
    c.state.BcPressure = 299.6f;
    c.Frame();
    EXPECT_NEAR(c.sounds.Volume(Sound::Bc), 0.4f, 1e-4f) << "this frame's drop in kPa";
    c.state.BcPressure = 100.0f;
    c.Frame();
    EXPECT_EQ(c.sounds.Volume(Sound::Bc), 1.0f);
    c.state.BcPressure = 5.0f;
    c.Frame();
    EXPECT_EQ(c.sounds.Volume(Sound::Bc), 0.0f) << "quiet below 6 kPa";
}

}  // namespace
}  // namespace camcab::test
