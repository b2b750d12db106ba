// The cab around the camshaft: panel, brake displays and exhaust sounds, notch pressure
// learning, air and motor sounds; driven frame by frame on the sample vehicle, whose needle
// tables are near identities (PressureL exact, Speed 20 km/h reads 20.5).
#include <gtest/gtest.h>

#include "Drive.h"
#include "HostAudio.h"

namespace camcab::test {
namespace {

TEST(Panel, SwingIndicatorShapesItsTravelAndKnocksOnAFastReversal) {
    sim::PanelState p;
    const struct {
        float positionValue;
        int32_t output;
    } shaped[] = {{1000.0f, 250},    {7000.0f, 9750},   {-1000.0f, -250},
                  {-7000.0f, -9750}, {10000.0f, 10000}, {0.0f, 0}};
    for (const auto& s : shaped) {
        p.swingPosition = s.positionValue;
        EXPECT_EQ(sim::PanelValue(sim::SwingOutput(p)), s.output) << s.positionValue;
    }

    Drive d;
    d.Frame();
    for (int press = 0; press < 10; ++press) {
        d.plugin.KeyDown(14);  // 10000 units per second: the whole travel in 2 s
    }
    int knocks = 0;
    int32_t lowest = 0;
    int32_t highest = 0;
    for (int frame = 0; frame < 201; ++frame) {
        d.Frame();
        lowest = std::min(lowest, d.panel[97]);
        highest = std::max(highest, d.panel[97]);
        knocks += d.HostSound(111) == 1;
        if (frame == 99) {
            EXPECT_EQ(d.panel[97], -10000) << "down the whole travel in 2 s";
        }
    }
    EXPECT_EQ(lowest, -10000);
    EXPECT_EQ(highest, 10000);
    EXPECT_EQ(knocks, 0) << "10000 is below 1.5 times the amplitude";
    for (int press = 0; press < 10; ++press) {
        d.plugin.KeyDown(14);
    }
    for (int frame = 0; frame < 100; ++frame) {
        d.Frame();
        knocks += d.HostSound(111) == 1;
    }
    EXPECT_EQ(knocks, 2) << "20000: a reversal every second";
}

TEST(Panel, TestModeForcesANeedleAndShowsTheDigits) {
    Drive d;
    d.state.Speed = 20.0f;
    d.Frame();
    EXPECT_EQ(d.panel[22], 2050);
    EXPECT_EQ(d.panel[220], 10) << "blank without the test mode";
    d.plugin.config.panelTest.PanelModifyEnabled = true;
    sim::PanelState& p = d.plugin.sim.panel;
    p.panelTestSelection = 5;
    p.panelTestValue = 900;
    d.Frame();
    EXPECT_EQ(d.panel[22], 900);
    EXPECT_EQ((std::array{d.panel[220], d.panel[221], d.panel[222], d.panel[223]}),
              (std::array{0, 0, 0, 9}));
    p.panelTestSelection = 2;
    p.panelTestValue = 345;
    d.Frame();
    EXPECT_EQ(d.panel[131], 345);
    EXPECT_EQ((std::array{d.panel[220], d.panel[221], d.panel[222], d.panel[223]}),
              (std::array{0, 3, 4, 5}));
    p.panelTestValue = -20;
    d.Frame();
    EXPECT_EQ(d.panel[131], -20) << "forced once as it is";
    EXPECT_EQ(p.panelTestValue, 0);
    d.Frame();
    EXPECT_EQ(d.panel[131], 0);
}

TEST(Panel, LineVoltageSagsWithCurrentOnlyAtAWanderStepAndIsClamped) {
    Drive d;
    sim::PanelState& p = d.plugin.sim.panel;
    d.Frame();
    p.voltageTimerMs = 0;
    p.lineVoltageBase = 1500.0f;
    d.state.Current = 500.0f;
    const float before = p.lineVoltage;
    d.Run(500);  // 500 ms accumulated: the step is due on the next frame
    EXPECT_EQ(p.lineVoltage, before);
    d.Frame();
    EXPECT_EQ(p.lineVoltage, p.lineVoltageBase - 100.0f);
    EXPECT_EQ(d.panel[232], static_cast<int32_t>(config::InterpolateCurve(
                                p.lineVoltage, d.plugin.config.needleTables.voltageNeedleTable)));
    d.state.Current = 1500.0f;
    d.Run(520);
    EXPECT_EQ(p.lineVoltage, 1310.0f);
    EXPECT_GE(p.lineVoltageBase, 1380.0f);
    EXPECT_LE(p.lineVoltageBase, 1620.0f);
}

TEST(Panel, BlinkLampFollowsPanel3) {
    Drive d;
    d.Frame();
    d.panel[3] = 1;
    std::string phases;
    for (int frame = 0; frame < 100; ++frame) {
        d.Frame();
        phases += static_cast<char>('0' + d.panel[68]);
    }
    // 20 ms frames: 1 while the timer is at most 500 ms, 2 up to 999 ms, then round again.
    const std::string second = std::string(26, '1') + std::string(24, '2') + "2";
    EXPECT_EQ(phases.substr(0, 51), second);
    EXPECT_EQ(phases.substr(51, 26), std::string(26, '1'));
    d.panel[3] = 2;
    d.Frame();
    EXPECT_EQ(d.panel[68], 2);
    d.panel[3] = 0;
    d.Frame();
    EXPECT_EQ(d.panel[68], 0);
    EXPECT_EQ(d.plugin.sim.panel.blinkTimerMs, 0);
}

TEST(NotchPressure, HoldingNotch5Of11At200LearnsItAndRefillsBothSides) {
    Drive d({.brakeNotches = 11});
    d.plugin.SetBrake(5);
    d.state.SapPressure = 200.0f;
    d.Run(500);  // 480 ms steady after the first frame: not yet
    const auto& e = d.plugin.sim.notchPressure.entries;
    EXPECT_FALSE(e[5].learned);
    d.Run(60);
    ASSERT_TRUE(e[5].learned);
    EXPECT_EQ(e[5].pressureKpa, 200.0f);
    for (int j = 6; j <= 10; ++j) {
        EXPECT_NEAR(e[j].pressureKpa, 200.0f + (j - 5) * 220.0f / 6.0f, 1e-3f) << j;
        EXPECT_FALSE(e[j].learned);
    }
    for (int j = 2; j <= 4; ++j) {
        EXPECT_NEAR(e[j].pressureKpa, (j - 1) * 50.0f, 1e-3f) << j;
    }
    EXPECT_EQ(d.plugin.sim.notchPressure.learnedCount, 2u);

    d.state.SapPressure = 230.0f;  // a learned notch keeps its pressure
    d.Run(1000);
    EXPECT_EQ(e[5].pressureKpa, 200.0f);
    d.plugin.SetBrake(3);
    d.state.SapPressure = 0.0f;  // notch 2 or more is never learned at exactly 0 kPa
    d.Run(1000);
    EXPECT_FALSE(e[3].learned);
    d.plugin.KeyDown(9);  // nor while the override is on
    d.state.SapPressure = 120.0f;
    d.Run(1000);
    EXPECT_FALSE(e[3].learned);
}

// Braking at 45 km/h with the cylinder at `bcKpa`, then full regeneration with the straight
// air pipe above 100 kPa.
void RegenerateFrom(Drive& d, float bcKpa) {
    d.plugin.DoorClose();
    d.plugin.SetReverser(1);
    d.state.Speed = 45.0f;
    d.state.BcPressure = bcKpa;
    d.Run(400);
    d.plugin.SetBrake(3);
    d.Frame();
    d.state.Current = -150.0f;
    d.state.SapPressure = 140.0f;
}

TEST(BrakeDisplays, FullRegenerationHoldsTheCylinderAt100AndSinksToItAt01KpaPerMs) {
    Drive d;
    RegenerateFrom(d, 0.0f);
    sim::BrakeDisplayState& b = d.plugin.sim.brakeDisplays;
    for (float bc : {40.0f, 80.0f, 120.0f, 200.0f}) {
        d.state.BcPressure = bc;
        EXPECT_EQ(d.Frame().Power, -7);
        EXPECT_EQ(b.bcDisplay, std::min(bc, 100.0f)) << bc;
        EXPECT_EQ(d.panel[130], static_cast<int32_t>(std::min(bc, 100.0f)));
    }

    Drive high;
    RegenerateFrom(high, 300.0f);
    for (int frame = 1; frame <= 50; ++frame) {
        high.state.BcPressure = frame % 2 ? 300.0f : 280.0f;  // whatever the host does above 100
        high.Frame();
        const float expected = std::max(100.0f, 300.0f - 2.0f * frame);
        EXPECT_NEAR(high.plugin.sim.brakeDisplays.bcDisplay, expected, 1e-3f) << frame;
    }
}

TEST(BrakeDisplays, ExhaustRisesAt1Per240MsAndStopsWithTheRelease) {
    Drive d;
    d.state.BcPressure = 300.0f;
    d.Run(200);
    const sim::BrakeDisplayState& b = d.plugin.sim.brakeDisplays;
    platform::SourceVoice* loop = d.Sounds().bcSound.voice.get();
    ASSERT_NE(loop, nullptr);
    float volume = -1.0f;
    for (int frame = 1; frame <= 14; ++frame) {
        d.state.BcPressure -= 20.0f;  // 1 kPa per ms
        d.Frame();
        // Rising by 20/240 a frame, up to the release rate (2 here); applied at most 1.
        EXPECT_NEAR(b.bcVolume, frame * 20.0f / 240.0f, 1e-5f) << frame;
        loop->GetVolume(volume);
        EXPECT_NEAR(volume, std::min(1.0f, b.bcVolume), 1e-5f);
    }
    d.Frame();  // the release stops
    EXPECT_EQ(b.bcVolume, 0.0f);
    loop->GetVolume(volume);
    EXPECT_EQ(volume, 0.0f);
}

TEST(BrakeDisplays, StraightAirExhaustStartsOnAFallUnlessAtEmergency) {
    for (int32_t notch : {3, 9}) {
        Drive d;
        d.plugin.SetBrake(notch);
        d.state.SapPressure = 300.0f;
        d.state.BcPressure = 300.0f;
        d.Run(200);
        d.plugin.SetBrake(notch);  // not a raise
        d.state.SapPressure = 250.0f;
        d.state.BcPressure = 250.0f;
        d.Frame();
        EXPECT_EQ(d.Sounds().sapSound.IsPlaying(), notch != 9) << notch;
        float volume = -1.0f;
        d.Sounds().bcSound.voice->GetVolume(volume);
        EXPECT_EQ(volume > 0.0f, notch != 9) << notch;
    }
}

TEST(MotorSounds, CurveSetSwitchesAtExactlyZeroAmperesAndIsSilentAtStandstill) {
    Drive d;
    d.state.MrPressure = 600.0f;  // the reservoir pipe stays quiet
    d.Run(1000);
    const size_t standstill = hostaudio::CapturedFrames();
    d.Run(200);
    EXPECT_EQ(hostaudio::CapturedRms(standstill, hostaudio::CapturedFrames()), 0.0);

    config::MotorSoundConfig& m = d.plugin.config.motorSoundConfig;
    // The sample's three frequency tables are alike: lower two of them, so that each set
    // gives its own pitch (below the voice's limit, which Load set).
    for (auto [curves, factor] :
         {std::pair{&m.BrakeFrequencyCurves, 0.5f}, std::pair{&m.NeutralFrequencyCurves, 0.75f}}) {
        for (config::CurvePoint& point : (*curves)[1]) {
            point.y *= factor;
        }
    }
    platform::SourceVoice* motor1 = d.Sounds().motorSounds[1].voice.get();
    ASSERT_NE(motor1, nullptr);
    d.state.Speed = 30.0f;
    float ratio = 0.0f;
    float volume = 0.0f;
    const struct {
        float currentA;
        const std::vector<config::Curve>& frequency;
        const std::vector<config::Curve>& volume;
    } sets[] = {{0.0f, m.NeutralFrequencyCurves, m.NeutralVolumeCurves},
                {0.1f, m.PowerFrequencyCurves, m.PowerVolumeCurves},
                {-0.1f, m.BrakeFrequencyCurves, m.BrakeVolumeCurves}};
    for (const auto& set : sets) {
        d.state.Current = set.currentA;
        d.Frame();
        motor1->GetFrequencyRatio(ratio);
        motor1->GetVolume(volume);
        EXPECT_EQ(ratio, config::InterpolateCurve(30.0f, set.frequency[1])) << set.currentA;
        EXPECT_EQ(volume, config::InterpolateCurve(30.0f, set.volume[1])) << set.currentA;
    }

    // Under power the motors are heard, once the camshaft's own sounds have ended.
    d.state.Current = 300.0f;
    d.Run(1500);
    const size_t powering = hostaudio::CapturedFrames();
    d.Run(200);
    EXPECT_GT(hostaudio::CapturedRms(powering, hostaudio::CapturedFrames()), 0.05);
}

TEST(AirSounds, PipeFadesWithTheReservoirAndTheBrakePipeLoopsWhileCharging) {
    Drive d;
    d.state.MrPressure = 600.0f;
    d.Run(100);
    const sim::AirSoundState& air = d.plugin.sim.air;
    EXPECT_EQ(air.pipeVolume, 0.0f);
    d.state.MrPressure += 1.0f;  // 0.05 kPa per ms
    d.Frame();
    EXPECT_NEAR(air.pipeVolume, 0.1f, 1e-6f);
    d.Frame();
    EXPECT_NEAR(air.pipeVolume, 0.2f, 1e-6f);
    d.Run(1800);  // held near full (dipping by 1/170 per ms and climbing back) for 2 s
    EXPECT_GT(air.pipeVolume, 0.85f);
    d.Run(360);  // then gone within 170 ms
    EXPECT_EQ(air.pipeVolume, 0.0f);

    d.state.BpPressure = 480.0f;
    d.Frame();
    EXPECT_EQ(d.HostSound(239), 0);
    d.Frame();
    EXPECT_EQ(d.HostSound(239), -10000);
}

}  // namespace
}  // namespace camcab::test
