#include "Scenario.h"

#include <gtest/gtest.h>

namespace camcab::run {
namespace {

TEST(Scenario, ReadsVehicleStateAndEventsInOrder) {
    Scenario scenario;
    std::string error;
    ASSERT_TRUE(ParseScenario(
        "# a run\nvehicle 7 4 8 5 3\ninitialize 1\nstep 16\nset speed 0 mr 780\n"
        "power 2\nframes 3\nset speed 12.5 current -80\nkey-down 9\nbeacon 1 2 30.5 4\n"
        "door-open   # chime\nframes 1\n",
        scenario, error))
        << error;
    EXPECT_EQ(scenario.vehicle.BrakeNotches, 7);
    EXPECT_EQ(scenario.vehicle.Cars, 3);
    EXPECT_EQ(scenario.initialHandlePosition, 1);
    EXPECT_EQ(scenario.stepMs, 16);
    EXPECT_FLOAT_EQ(scenario.initialState.MrPressure, 780.0f);
    ASSERT_EQ(scenario.events.size(), 7u);
    EXPECT_EQ(scenario.events[0].kind, EventKind::SetPower);
    EXPECT_EQ(scenario.events[1].kind, EventKind::Frames);
    EXPECT_EQ(scenario.events[1].value, 3);
    EXPECT_EQ(scenario.events[2].kind, EventKind::SetState);
    ASSERT_EQ(scenario.events[2].changes.size(), 2u);
    EXPECT_EQ(scenario.events[3].kind, EventKind::KeyDown);
    EXPECT_EQ(scenario.events[4].beacon.Optional, 4);
    EXPECT_FLOAT_EQ(scenario.events[4].beacon.Distance, 30.5f);
    EXPECT_EQ(scenario.events[5].kind, EventKind::DoorOpen);
}

TEST(Scenario, NamesTheLineOfABadCommand) {
    const char* bad[] = {"frames -1",   "power",           "power x",
                         "set speed",   "set altitude 3",  "set speed nan",
                         "fly 3",       "vehicle 1 2 3",   "frames 1\nvehicle 8 5 9 6 4",
                         "door-open 1", "step 99999999999"};
    for (const char* text : bad) {
        Scenario scenario;
        std::string error;
        EXPECT_FALSE(ParseScenario(std::string("\n") + text, scenario, error)) << text;
        EXPECT_EQ(error.rfind("line ", 0), 0u) << error;
    }
}

}  // namespace
}  // namespace camcab::run
