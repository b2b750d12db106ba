// Handles and key switches, seen in what the frames return and emit.
#include <gtest/gtest.h>

#include "Cab.h"

namespace camcab::test {
namespace {

TEST(KeySwitches, ToggleOncePerPressWithTheirSounds) {
    Cab d;
    d.Frame();
    d.sim.OnKeyDown(5);
    d.sim.OnKeyDown(5);  // the host repeats a held key
    d.Frame();
    EXPECT_TRUE(d.sim.handles.Key5On());
    EXPECT_EQ(d.HostSound(107), 1);
    EXPECT_EQ(d.panel[135], 1);
    d.sim.OnKeyUp(5);
    d.sim.OnKeyDown(5);
    d.Frame();
    EXPECT_FALSE(d.sim.handles.Key5On());
    EXPECT_EQ(d.HostSound(108), 1);
    EXPECT_EQ(d.HostSound(107), 2);
    d.sim.OnKeyDown(6);
    d.Frame();
    EXPECT_TRUE(d.sim.handles.Key6On());
    EXPECT_EQ(d.HostSound(110), 1);
    d.sim.OnKeyDown(12);
    d.Frame();
    EXPECT_EQ(d.HostSound(107), 1);
    EXPECT_EQ(d.panel[252], 1);
}

TEST(BrakeHandle, ReleaseAndStepSounds) {
    Cab d;
    d.Frame();
    d.Brake(9);  // emergency of 8 notches
    d.Frame();
    d.Brake(0);
    d.Frame();
    EXPECT_EQ(d.HostSound(220), 1);
    EXPECT_EQ(d.HostSound(244), 1);
    EXPECT_EQ(d.HostSound(243), 1);
    d.Brake(1);
    d.Frame();
    EXPECT_EQ(d.HostSound(244), 1);
    d.Brake(0);
    d.Frame();
    EXPECT_EQ(d.HostSound(243), 1);
    EXPECT_EQ(d.HostSound(244), 2);
    EXPECT_EQ(d.HostSound(220), 2);
    d.Brake(9);
    d.Frame();
    d.Brake(8);  // emergency to full service
    d.Frame();
    EXPECT_EQ(d.HostSound(220), 1);
    EXPECT_EQ(d.HostSound(244), 2);
}

TEST(Reverser, NeutralUntilTheDoorsCloseAndWithKey8WhileBrakingWithoutPower) {
    Cab d;
    d.Reverser(1);
    EXPECT_EQ(d.Run(400).Reverser, 0) << "the doors have not been closed";
    d.sim.OnDoorClose();
    EXPECT_EQ(d.Frame().Reverser, 1);
    d.sim.OnKeyDown(8);
    d.Brake(2);
    EXPECT_EQ(d.Frame().Reverser, 0);
    d.Brake(0);
    EXPECT_EQ(d.Frame().Reverser, 1);
    d.sim.OnDoorOpen();
    EXPECT_EQ(d.Frame().Reverser, 0);
}

TEST(BrakeOverride, Key9AddsTheEmergencyNotchAndItsWatchPlays229Once) {
    Cab d;
    d.sim.OnDoorClose();
    d.Reverser(1);
    d.Run(400);
    d.ChainAnswers(Handles{3, 0, 1, 0});
    d.state.Current = 10.0f;
    d.sim.OnKeyDown(9);
    EXPECT_EQ(d.Frame().Brake, 10);
    EXPECT_EQ(d.HostSound(227), 1);
    EXPECT_EQ(d.HostSound(223), 1);
    EXPECT_EQ(d.HostSound(228), -10000);
    d.state.Current = -50.0f;
    EXPECT_EQ(d.Frame().Brake, 3 + 9 + 1);
    d.ChainAnswers(Handles{9, 0, 1, 0});
    d.state.Current = 10.0f;
    EXPECT_EQ(d.Frame().Brake, 9) << "a brake at emergency stays there";
    d.ChainAnswers(Handles{0, 0, 1, 0});
    const Handles idle = d.Frame();
    EXPECT_EQ(idle.Reverser, 0);
    EXPECT_EQ(idle.Brake, 10);

    d.sim.OnKeyUp(9);
    d.sim.OnKeyDown(9);
    d.state.BcPressure = 300.0f;
    d.Frame();
    EXPECT_EQ(d.HostSound(227), -10000);
    EXPECT_EQ(d.HostSound(228), 1);
    EXPECT_EQ(d.HostSound(224), 1);
    d.Run(200);  // steady: the watch waits for a fall
    d.state.BcPressure = 290.0f;
    d.Frame();
    int plays = 0;
    int firstPlay = 0;
    for (int frame = 1; frame <= 20; ++frame) {
        d.state.BcPressure += 1.0f;
        d.Frame();
        if (d.HostSound(229) == 1 && plays++ == 0) {
            firstPlay = frame;
        }
    }
    EXPECT_EQ(plays, 1);
    EXPECT_EQ(firstPlay, 6) << "more than 100 ms of rise";
    EXPECT_FALSE(d.sim.brakeOverride.IsWatching());
}

}  // namespace
}  // namespace camcab::test
