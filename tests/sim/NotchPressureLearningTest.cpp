// The straight air pipe pressure of each brake notch, learned while a notch is held.
#include <gtest/gtest.h>

#include "Cab.h"

namespace camcab::test {
namespace {

TEST(NotchPressure, HoldingNotch5Of11At200LearnsItAndRefillsBothSides) {
    Cab c(11);
    c.Brake(5);
    c.state.SapPressure = 200.0f;
    c.Run(500);  // 480 ms steady after the first frame: not yet
    const auto& e = c.sim.notchPressure.Table().entries;
    EXPECT_FALSE(e[5].learned);
    c.Run(60);
    ASSERT_TRUE(e[5].learned);
    EXPECT_EQ(e[5].pressureKpa, 200.0f);
    for (int j = 6; j <= 10; ++j) {
        EXPECT_NEAR(e[j].pressureKpa, 200.0f + (j - 5) * 220.0f / 6.0f, 1e-3f) << j;
        EXPECT_FALSE(e[j].learned);
    }
    for (int j = 2; j <= 4; ++j) {
        EXPECT_NEAR(e[j].pressureKpa, (j - 1) * 50.0f, 1e-3f) << j;
    }
    EXPECT_EQ(c.sim.notchPressure.Table().learnedCount, 2u);

    c.state.SapPressure = 230.0f;  // a learned notch keeps its pressure
    c.Run(1000);
    EXPECT_EQ(e[5].pressureKpa, 200.0f);
    c.Brake(3);
    c.state.SapPressure = 0.0f;  // notch 2 or more is never learned at exactly 0 kPa
    c.Run(1000);
    EXPECT_FALSE(e[3].learned);
    c.sim.OnKeyDown(9);  // nor while the override is on
    c.state.SapPressure = 120.0f;
    c.Run(1000);
    EXPECT_FALSE(e[3].learned);
}

TEST(NotchPressure, AnnouncingTheVehicleAgainDiscardsWhatWasLearned) {
    Cab c(4);
    c.Brake(2);
    c.state.SapPressure = 99.0f;
    c.Run(600);
    ASSERT_TRUE(c.sim.notchPressure.Table().entries[2].learned);
    c.sim.OnVehicleSpec(4);
    const sim::NotchPressureTable& table = c.sim.notchPressure.Table();
    EXPECT_FALSE(table.entries[2].learned);
    EXPECT_NEAR(table.entries[2].pressureKpa, 140.0f, 1e-4f);
    EXPECT_EQ(table.learnedCount, 1u);
}

}  // namespace
}  // namespace camcab::test
