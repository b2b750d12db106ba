// The frame as a whole: what a fresh simulation shows on its first frame and the host sound
// emission rules.
#include <gtest/gtest.h>

#include "Cab.h"

namespace camcab::test {
namespace {

// Every host sound index the library drives as a one-shot.
const int kTriggers[] = {95,  96,  97,  98,  107, 108, 109, 110, 111,
                         220, 223, 224, 227, 228, 229, 243, 244};

TEST(FirstFrame, ShowsTheCabAtRest) {
    Cab d;
    d.panel[68] = 7;
    const Handles h = d.Frame();
    EXPECT_EQ(h.Power | h.Brake | h.Reverser | h.ConstantSpeed, 0);
    EXPECT_EQ(d.panel[42] + d.panel[43], 2);
    EXPECT_EQ(d.panel[41] | d.panel[68] | d.panel[135] | d.panel[136] | d.panel[252], 0);
    EXPECT_EQ(d.panel[97], 10000) << "the swing indicator at rest at the top";
    EXPECT_EQ(d.panel[232], 0) << "no line voltage before its first step";
    EXPECT_EQ(d.HostSound(239), -10000) << "the brake pipe loop is stopped once";
    EXPECT_FALSE(d.sim.DoorsClosed() || d.sim.brakeOverride.IsWatching());
    for (Sound s : {Sound::Reset, Sound::Start1, Sound::Reverser1, Sound::Shindan1}) {
        EXPECT_EQ(d.sounds.TakePlays(s), 0);
    }
}

TEST(HostSounds, FirstFrameStopsEveryTriggerAndAnEarlierRequestSoundsOnTheSecond) {
    Cab d;
    d.sim.OnDoorClose();
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
    Cab d;
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

}  // namespace
}  // namespace camcab::test
