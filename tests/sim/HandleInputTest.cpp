// Handles, key switches and the keyboard filter, seen in what the frames return and emit.
#include <gtest/gtest.h>

#include "Drive.h"

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
        EXPECT_EQ(d.plugin.sim.handles.acceptedBrakeNotch, held);
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

TEST(KeySwitches, ToggleOncePerPressAndShiftBlocksKeys5And6) {
    Drive d;
    d.Frame();
    sim::HandleState& h = d.plugin.sim.handles;
    d.plugin.KeyDown(5);
    d.plugin.KeyDown(5);  // the host repeats a held key
    d.Frame();
    EXPECT_TRUE(h.key5Switch.on);
    EXPECT_EQ(d.HostSound(107), 1);
    d.plugin.KeyUp(5);
    d.plugin.KeyDown(5);
    d.Frame();
    EXPECT_FALSE(h.key5Switch.on);
    EXPECT_EQ(d.HostSound(108), 1);
    EXPECT_EQ(d.HostSound(107), 2);

    d.plugin.KeyUp(5);
    PressKey(kShift);
    d.plugin.KeyDown(5);
    d.plugin.KeyDown(6);
    d.Frame();
    EXPECT_FALSE(h.key5Switch.on);
    EXPECT_FALSE(h.key6Switch.on);
    EXPECT_EQ(d.HostSound(110), 2);
    ReleaseKey(kShift);
    d.plugin.KeyDown(6);
    d.Frame();
    EXPECT_TRUE(h.key6Switch.on);
    EXPECT_EQ(d.HostSound(110), 1);

    for (int press = 0; press < 60; ++press) {
        d.plugin.KeyDown(14);
    }
    EXPECT_EQ(d.plugin.sim.panel.swingRate, 50000.0f);
    d.plugin.KeyDown(13);
    EXPECT_EQ(d.plugin.sim.panel.swingRate, 49000.0f);
}

TEST(PanelTestKeys, Key0SelectsAndKeys5And6StepTheValueOnlyInTestMode) {
    Plugin plugin(L"");
    sim::PanelState& p = plugin.sim.panel;
    plugin.KeyDown(0);
    plugin.KeyDown(5);
    EXPECT_EQ(p.panelTestSelection, 0);
    EXPECT_EQ(p.panelTestValue, 0);
    plugin.config.panelTest.PanelModifyEnabled = true;
    plugin.KeyDown(5);  // no selection yet
    EXPECT_EQ(p.panelTestValue, 0);
    for (int press = 0; press < 5; ++press) {
        plugin.KeyDown(0);
    }
    EXPECT_EQ(p.panelTestSelection, 5);
    plugin.KeyDown(5);
    plugin.KeyDown(5);  // held: the switch stays, the value still steps
    EXPECT_EQ(p.panelTestValue, 200);
    plugin.KeyDown(6);
    EXPECT_EQ(p.panelTestValue, 100);
    plugin.KeyDown(0);
    EXPECT_EQ(p.panelTestValue, 0);
    plugin.KeyDown(6);
    EXPECT_EQ(p.panelTestValue, -10) << "selection 6 steps by 10";
    plugin.KeyDown(0);
    plugin.KeyDown(0);
    EXPECT_EQ(p.panelTestSelection, 0) << "from 7 back to 0";
    p.panelTestSelection = 5;
    p.panelTestValue = INT32_MAX - 50;
    plugin.KeyDown(5);
    EXPECT_EQ(p.panelTestValue, INT32_MAX);
}

TEST(BrakeHandle, ReleaseAndStepSounds) {
    Drive d;
    d.Frame();
    d.plugin.SetBrake(9);  // emergency of 8 notches
    d.Frame();
    d.plugin.SetBrake(0);
    d.Frame();
    EXPECT_EQ(d.HostSound(220), 1);
    EXPECT_EQ(d.HostSound(244), 1);
    EXPECT_EQ(d.HostSound(243), 1);
    d.plugin.SetBrake(1);
    d.Frame();
    EXPECT_EQ(d.HostSound(244), 1);
    d.plugin.SetBrake(0);
    d.Frame();
    EXPECT_EQ(d.HostSound(243), 1);
    EXPECT_EQ(d.HostSound(244), 2);
    EXPECT_EQ(d.HostSound(220), 2);
    d.plugin.SetBrake(9);
    d.Frame();
    d.plugin.SetBrake(8);  // emergency to full service
    d.Frame();
    EXPECT_EQ(d.HostSound(220), 1);
    EXPECT_EQ(d.HostSound(244), 2);
}

TEST(Reverser, NeutralUntilTheDoorsCloseAndWithKey8WhileBrakingWithoutPower) {
    Drive d;
    d.plugin.SetReverser(1);
    EXPECT_EQ(d.Run(400).Reverser, 0) << "the doors have not been closed";
    d.plugin.DoorClose();
    EXPECT_EQ(d.Frame().Reverser, 1);
    d.plugin.KeyDown(8);
    d.plugin.SetBrake(2);
    EXPECT_EQ(d.Frame().Reverser, 0);
    d.plugin.SetBrake(0);
    EXPECT_EQ(d.Frame().Reverser, 1);
    d.plugin.DoorOpen();
    EXPECT_EQ(d.Frame().Reverser, 0);
}

TEST(BrakeOverride, Key9AddsTheEmergencyNotchAndItsWatchPlays229Once) {
    Drive d;
    d.plugin.DoorClose();
    d.plugin.SetReverser(1);
    d.Run(400);
    d.ChainAnswers(Handles{3, 0, 1, 0});
    d.state.Current = 10.0f;
    d.plugin.KeyDown(9);
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

    d.plugin.KeyUp(9);
    d.plugin.KeyDown(9);
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
    EXPECT_FALSE(d.plugin.sim.brakeOverride.overrideBcWatch);
}

}  // namespace
}  // namespace camcab::test
