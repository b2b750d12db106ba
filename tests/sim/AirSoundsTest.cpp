// The main reservoir pipe sound and the host's brake pipe loop.
#include <gtest/gtest.h>

#include "Cab.h"

namespace camcab::test {
namespace {

TEST(AirSounds, PipeFadesWithTheReservoirAndTheBrakePipeLoopsWhileCharging) {
    Cab c;
    c.state.MrPressure = 600.0f;
    c.Run(100);
    EXPECT_EQ(c.sounds.Volume(Sound::Pipe), 0.0f);
    c.state.MrPressure += 1.0f;  // 0.05 kPa per ms
    c.Frame();
    EXPECT_NEAR(c.sounds.Volume(Sound::Pipe), 0.1f, 1e-6f);
    c.Frame();
    EXPECT_NEAR(c.sounds.Volume(Sound::Pipe), 0.2f, 1e-6f);
    c.Run(1800);  // held near full (dipping by 1/170 per ms and climbing back) for 2 s
    EXPECT_GT(c.sounds.Volume(Sound::Pipe), 0.85f);
    c.Run(360);  // then gone within 170 ms
    EXPECT_EQ(c.sounds.Volume(Sound::Pipe), 0.0f);

    c.state.BpPressure = 480.0f;
    c.Frame();
    EXPECT_EQ(c.HostSound(239), 0);
    c.Frame();
    EXPECT_EQ(c.HostSound(239), -10000);
}

}  // namespace
}  // namespace camcab::test
