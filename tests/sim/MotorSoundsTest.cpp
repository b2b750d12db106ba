// The motor sounds' pitch and volume along the curve set the current chooses.
#include <gtest/gtest.h>

#include <cmath>

#include "Cab.h"
#include "config/Curve.h"
#include "config/MotorSoundConfig.h"

namespace camcab::test {
namespace {

TEST(MotorSounds, CurveSetSwitchesAtExactlyZeroAmperes) {
    Cab c;
    config::MotorSoundConfig& m = c.config.motorSoundConfig;
    config::LoadMotorSoundConfig(m, WideFromPath(BuiltFile(CAMCAB_SAMPLE_VEHICLE)) + L"/");
    ASSERT_EQ(m.MotorSoundCount, 6u);
    // The sample's three frequency tables are alike: lower two of them, so that each set
    // gives its own pitch.
    for (auto [curves, factor] :
         {std::pair{&m.BrakeFrequencyCurves, 0.5f}, std::pair{&m.NeutralFrequencyCurves, 0.75f}}) {
        for (config::CurvePoint& point : (*curves)[1]) {
            point.y *= factor;
        }
    }
    c.sim.Configure(c.config);
    c.sounds.SetMotorSoundCount(6);
    c.state.Speed = 30.0f;
    const struct {
        float currentA;
        const std::vector<config::Curve>& frequency;
        const std::vector<config::Curve>& volume;
    } sets[] = {{0.0f, m.NeutralFrequencyCurves, m.NeutralVolumeCurves},
                {0.1f, m.PowerFrequencyCurves, m.PowerVolumeCurves},
                {-0.1f, m.BrakeFrequencyCurves, m.BrakeVolumeCurves}};
    for (const auto& set : sets) {
        c.state.Current = set.currentA;
        c.Frame();
        EXPECT_EQ(c.sounds.MotorRatio(1), config::InterpolateCurve(30.0f, set.frequency[1]))
            << set.currentA;
        EXPECT_EQ(c.sounds.MotorVolume(1), config::InterpolateCurve(30.0f, set.volume[1]))
            << set.currentA;
    }

    // A current that is not a number leaves every sound as it was; so does a ratio that is not
    // finite, while the volume still follows.
    c.state.Current = NAN;
    c.state.Speed = 60.0f;
    c.Frame();
    EXPECT_EQ(c.sounds.MotorRatio(1), config::InterpolateCurve(30.0f, m.BrakeFrequencyCurves[1]));
    const float ratioBefore = c.sounds.MotorRatio(2);
    m.PowerFrequencyCurves[2] = {{0.0f, INFINITY}, {200.0f, INFINITY}};
    c.state.Current = 100.0f;
    c.Frame();
    EXPECT_EQ(c.sounds.MotorRatio(2), ratioBefore) << "never sent";
    EXPECT_EQ(c.sounds.MotorVolume(2), config::InterpolateCurve(60.0f, m.PowerVolumeCurves[2]));
}

}  // namespace
}  // namespace camcab::test
