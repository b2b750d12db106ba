#include "Scenario.h"

#include <gtest/gtest.h>

namespace camcab::scenario {
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

TEST(Scenario, OnlyTheFirstInitializeBeforeTheFirstFrameIsTheInitialPosition) {
    // A host that initializes again before the first frame is replayed doing so, in order.
    Scenario scenario;
    std::string error;
    ASSERT_TRUE(ParseScenario("initialize 0\npower 3\ninitialize 1\nframes 1\n", scenario, error))
        << error;
    EXPECT_EQ(scenario.initialHandlePosition, 0);
    ASSERT_EQ(scenario.events.size(), 3u);
    EXPECT_EQ(scenario.events[0].kind, EventKind::SetPower);
    EXPECT_EQ(scenario.events[1].kind, EventKind::Initialize);
    EXPECT_EQ(scenario.events[1].value, 1);
}

TEST(Scenario, NamesTheLineOfABadCommandAndWhy) {
    const struct {
        const char* text;
        const char* error;
    } bad[] = {
        {"frames -1", "line 2: frames needs one non-negative count"},
        {"power", "line 2: power needs one integer"},
        {"power x", "line 2: power needs one integer"},
        {"set speed", "line 2: set needs field value pairs"},
        {"set altitude 3", "line 2: unknown state field: altitude"},
        {"set speed nan", "line 2: not a number: nan"},
        {"fly 3", "line 2: unknown command: fly"},
        {"vehicle 1 2 3", "line 2: vehicle needs 5 numbers"},
        {"frames 1\nvehicle 8 5 9 6 4", "line 3: vehicle must come before the first frame"},
        {"door-open 1", "line 2: door-open takes no value"},
        {"step 99999999999", "line 2: step needs a number of milliseconds from 0 to 60000"},
        {"step 60001", "line 2: step needs a number of milliseconds from 0 to 60000"},
        {"set time 1e20", "line 2: out of range for time: 1e20"},
        {"set time 1.5", "line 2: out of range for time: 1.5"},
        {"set speed 1e300", "line 2: out of range for speed: 1e300"},
        {"beacon 1 2 1e39 0", "line 2: beacon needs: type signal distance optional"},
    };
    for (const auto& [text, expected] : bad) {
        Scenario scenario;
        std::string error;
        EXPECT_FALSE(ParseScenario(std::string("\n") + text, scenario, error)) << text;
        EXPECT_EQ(error.rfind(expected, 0), 0u) << error;
    }
}

TEST(Scenario, KeyboardKeysAreCodesOrNames) {
    Scenario scenario;
    std::string error;
    ASSERT_TRUE(
        ParseScenario("keyboard-down P\nkeyboard-up 0x50\nkeyboard-down 80\n"
                      "keyboard-down shift\nkeyboard-up Ctrl\nkeyboard-down d7\n"
                      "keyboard-down F12\nkeyboard-up 255\nkeyboard-down 0X0d\n"
                      "keyboard-down 0\nkey-down 9\n",
                      scenario, error))
        << error;
    const std::pair<EventKind, int32_t> expected[] = {
        {EventKind::KeyboardDown, 0x50}, {EventKind::KeyboardUp, 0x50},
        {EventKind::KeyboardDown, 0x50}, {EventKind::KeyboardDown, 0x10},
        {EventKind::KeyboardUp, 0x11},   {EventKind::KeyboardDown, 0x37},
        {EventKind::KeyboardDown, 0x7B}, {EventKind::KeyboardUp, 0xFF},
        {EventKind::KeyboardDown, 0x0D}, {EventKind::KeyboardDown, 0},
        {EventKind::KeyDown, 9}};
    ASSERT_EQ(scenario.events.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(scenario.events[i].kind, expected[i].first) << i;
        EXPECT_EQ(scenario.events[i].value, expected[i].second) << i;
        EXPECT_EQ(scenario.events[i].line, static_cast<int>(i) + 1);
    }
    int32_t key = 0;
    for (char letter = 'a'; letter <= 'z'; ++letter) {
        ASSERT_TRUE(ParseVirtualKey(std::string(1, letter), key));
        EXPECT_EQ(key, 'A' + (letter - 'a'));
    }
}

TEST(Scenario, NamesTheLineOfABadKeyboardKey) {
    const char* bad[] = {"keyboard-down",      "keyboard-up P Q",     "keyboard-down 256",
                         "keyboard-down -1",   "keyboard-down 0x100", "keyboard-down 0x",
                         "keyboard-down 0x-5", "keyboard-down 12abc", "keyboard-down pp",
                         "keyboard-down F13",  "keyboard-down F0",    "keyboard-down d10",
                         "keyboard-down 5x",   "keyboard-up ~"};
    for (const char* text : bad) {
        Scenario scenario;
        std::string error;
        EXPECT_FALSE(ParseScenario(std::string("frames 1\n") + text, scenario, error)) << text;
        EXPECT_EQ(error.rfind("line 2: keyboard-", 0), 0u) << error;
    }
}

}  // namespace
}  // namespace camcab::scenario
