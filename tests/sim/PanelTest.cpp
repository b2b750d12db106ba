// The cab panel on the sample vehicle, whose needle tables are near identities (PressureL and
// Voltage exact, Speed 20 km/h reads 20.5).
#include <gtest/gtest.h>

#include "Cab.h"
#include "config/Curve.h"
#include "sim/Panel.h"

namespace camcab::test {
namespace {

TEST(Panel, SwingIndicatorShapesItsTravelAndKnocksOnAFastReversal) {
    const struct {
        float position;
        int32_t output;
    } shaped[] = {{1000.0f, 250},    {7000.0f, 9750},   {-1000.0f, -250},
                  {-7000.0f, -9750}, {10000.0f, 10000}, {0.0f, 0}};
    for (const auto& s : shaped) {
        EXPECT_EQ(sim::PanelValue(sim::SwingOutput(sim::SwingShape{}, s.position)), s.output)
            << s.position;
    }

    Cab c;
    c.Frame();
    EXPECT_EQ(c.panel[97], 10000) << "at rest at the top";
    for (int press = 0; press < 10; ++press) {
        c.sim.OnKeyDown(14);  // 10000 units per second: the whole travel in 2 s
    }
    int knocks = 0;
    int32_t lowest = 0;
    int32_t highest = 0;
    for (int frame = 0; frame < 201; ++frame) {
        c.Frame();
        lowest = std::min(lowest, c.panel[97]);
        highest = std::max(highest, c.panel[97]);
        knocks += c.HostSound(111) == 1;
        if (frame == 99) {
            EXPECT_EQ(c.panel[97], -10000) << "down the whole travel in 2 s";
        }
    }
    EXPECT_EQ(lowest, -10000);
    EXPECT_EQ(highest, 10000);
    EXPECT_EQ(knocks, 0) << "10000 is below 1.5 times the amplitude";
    for (int press = 0; press < 10; ++press) {
        c.sim.OnKeyDown(14);
    }
    for (int frame = 0; frame < 100; ++frame) {
        c.Frame();
        knocks += c.HostSound(111) == 1;
    }
    EXPECT_EQ(knocks, 2) << "20000: a reversal every second";

    for (int press = 0; press < 60; ++press) {
        c.sim.OnKeyDown(14);
    }
    EXPECT_EQ(c.sim.panel.SwingRate(), 50000.0f);
    c.sim.OnKeyDown(13);
    EXPECT_EQ(c.sim.panel.SwingRate(), 49000.0f);
}

std::array<int32_t, 4> Digits(const Cab& c) {
    return {c.panel[220], c.panel[221], c.panel[222], c.panel[223]};
}

TEST(Panel, TestModeSelectsANeedleByKey0AndStepsItsValueWithKeys5And6) {
    Cab c;
    c.state.Speed = 20.0f;
    c.sim.OnKeyDown(0);
    c.sim.OnKeyDown(5);
    c.Frame();
    EXPECT_EQ(c.panel[22], 2050);
    EXPECT_EQ(Digits(c), (std::array{10, 10, 10, 10})) << "blank without the test mode";

    c.config.panelTest.PanelModifyEnabled = true;
    c.sim.Configure(c.config);
    for (int press = 0; press < 5; ++press) {
        c.sim.OnKeyDown(0);  // to selection 5, the speed needle
    }
    for (int press = 0; press < 9; ++press) {
        c.sim.OnKeyDown(5);  // held: the value still steps, by 100 for the speed needle
    }
    c.Frame();
    EXPECT_EQ(c.panel[22], 900);
    EXPECT_EQ(Digits(c), (std::array{0, 0, 0, 9})) << "the speed needle shows whole units";

    for (int press = 0; press < 3; ++press) {
        c.sim.OnKeyDown(0);  // on to 7, then back to 0
    }
    c.Frame();
    EXPECT_EQ(Digits(c), (std::array{10, 10, 10, 10}));
    c.sim.OnKeyDown(0);
    c.sim.OnKeyDown(0);  // selection 2, the straight air pipe needle
    for (int press = 0; press < 3; ++press) {
        c.sim.OnKeyDown(5);
    }
    c.Frame();
    EXPECT_EQ(c.panel[131], 30);
    EXPECT_EQ(Digits(c), (std::array{0, 0, 3, 0}));
    for (int press = 0; press < 5; ++press) {
        c.sim.OnKeyDown(6);
    }
    c.Frame();
    EXPECT_EQ(c.panel[131], -20) << "forced once as it is";
    c.Frame();
    EXPECT_EQ(c.panel[131], 0) << "then held at 0";
}

TEST(Panel, LineVoltageWandersSagsWithCurrentAndIsClamped) {
    Cab c;  // the line starts at 1500 V
    const auto needle = [&](float volts) {
        return sim::PanelValue(
            config::InterpolateCurve(volts, c.config.needleTables.voltageNeedleTable));
    };
    c.state.Current = 500.0f;
    c.Frame();  // the first frame's clock jump makes the second a wander step
    c.Frame();
    const int32_t sagged = c.panel[232];
    EXPECT_TRUE(sagged == needle(1390.0f) || sagged == needle(1400.0f) || sagged == needle(1410.0f))
        << sagged;
    c.state.Current = 1500.0f;
    c.Run(520);
    EXPECT_EQ(c.panel[232], needle(1310.0f));
    c.state.Current = -1000.0f;  // regeneration does not raise it
    c.Run(520);
    EXPECT_GE(c.panel[232], needle(1380.0f));
    EXPECT_LE(c.panel[232], needle(1620.0f));
}

TEST(Panel, BlinkLampFollowsPanel3) {
    Cab c;
    c.Frame();
    c.panel[3] = 1;
    std::string phases;
    for (int frame = 0; frame < 100; ++frame) {
        c.Frame();
        phases += static_cast<char>('0' + c.panel[68]);
    }
    // 20 ms frames: 1 while the timer is at most 500 ms, 2 up to 999 ms, then round again.
    const std::string second = std::string(26, '1') + std::string(24, '2') + "2";
    EXPECT_EQ(phases.substr(0, 51), second);
    EXPECT_EQ(phases.substr(51, 26), std::string(26, '1'));
    c.panel[3] = 2;
    c.Frame();
    EXPECT_EQ(c.panel[68], 2);
    c.panel[3] = 0;
    c.Frame();
    EXPECT_EQ(c.panel[68], 0);
    EXPECT_EQ(c.sim.panel.BlinkTimerMs(), 0);
}

}  // namespace
}  // namespace camcab::test
