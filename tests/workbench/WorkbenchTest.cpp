// The train model drives the sample vehicle through the built plug-in, loaded by camcab-run
// as the host loads it; the per-frame trace shows what the camshaft met.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "sim/CabIndices.h"
#include "support/TempFolder.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> SplitCsv(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream cells(line);
    for (std::string cell; std::getline(cells, cell, ',');) {
        fields.push_back(cell);
    }
    return fields;
}

struct Trace {
    std::map<std::string, size_t> columns;
    std::vector<std::vector<std::string>> rows;

    double At(size_t row, const std::string& name) const {
        const auto found = columns.find(name);
        if (found == columns.end()) {
            ADD_FAILURE() << "no column " << name;
            return NAN;
        }
        return std::stod(rows.at(row).at(found->second));
    }
};

Trace ReadTrace(const fs::path& path) {
    Trace trace;
    std::istringstream lines(camcab::test::ReadFileBytes(path));
    std::string line;
    std::getline(lines, line);
    const std::vector<std::string> header = SplitCsv(line);
    for (size_t i = 0; i < header.size(); ++i) {
        trace.columns[header[i]] = i;
    }
    while (std::getline(lines, line)) {
        std::vector<std::string> row = SplitCsv(line);
        row.resize(header.size());
        trace.rows.push_back(row);
    }
    return trace;
}

// A copy of the sample vehicle with the built plug-in and the pass-through module, driven by
// camcab-run through `scenario`; the trace and the printed output are kept.
struct Drive {
    Trace trace;
    std::string output;
};

Drive RunDrive(const std::string& name, const fs::path& scenario) {
    const fs::path work = fs::path(CAMCAB_WORK_DIR) / name;
    const fs::path vehicle = work / "vehicle";
    fs::remove_all(work);
    fs::create_directories(vehicle);
    fs::copy(fs::path(CAMCAB_SOURCE_DIR) / "examples/vehicle", vehicle,
             fs::copy_options::recursive);
    fs::copy_file(CAMCAB_PLUGIN_FILE, vehicle / "libcamcab.so");
    fs::copy_file(CAMCAB_PASSTHROUGH_FILE, vehicle / "camcab-passthrough.so");
    const fs::path tracePath = work / "trace.csv";
    const fs::path outputPath = work / "output.txt";
    const std::string command = std::string("'") + CAMCAB_RUN_FILE + "' --trace '" +
                                tracePath.string() + "' '" + (vehicle / "libcamcab.so").string() +
                                "' '" + scenario.string() + "' > '" + outputPath.string() + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return Drive{ReadTrace(tracePath), camcab::test::ReadFileBytes(outputPath)};
}

class ModelDrive : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        drive = new Drive(
            RunDrive("drive", fs::path(CAMCAB_SOURCE_DIR) / "examples/scenarios/drive.txt"));
    }
    static void TearDownTestSuite() { delete drive; }

    static Drive* drive;
};

Drive* ModelDrive::drive = nullptr;

TEST_F(ModelDrive, NotchTwoIsReturnedAsThreeOnceTheCurrentMeetsCurve1) {
    const Trace& t = drive->trace;
    ASSERT_GT(t.rows.size(), 4000u);
    size_t raised = 0;
    for (size_t r = 1; r < t.rows.size() && raised == 0; ++r) {
        if (t.At(r, "driver_power") == 2 && t.At(r, "power") == 3) {
            raised = r;
        }
    }
    ASSERT_NE(raised, 0u) << "notch 2 is never returned as 3";
    EXPECT_LT(std::fabs(t.At(raised, "current_a") - t.At(raised, "c1_a")), 2.0);
    for (size_t r = 0; r < raised; ++r) {
        EXPECT_LE(t.At(r, "power"), 2) << "row " << r;
    }
}

TEST_F(ModelDrive, EveryStageLightsTheCamshaftLamp) {
    const Trace& t = drive->trace;
    for (const char* curve : {"c1_a", "c2_a", "c4_a", "c7_a", "c10_a"}) {
        bool met = false;
        bool lit = false;
        for (size_t r = 0; r < t.rows.size(); ++r) {
            const double current = t.At(r, "current_a");
            if (current > 0 && std::fabs(current - t.At(r, curve)) < 0.5) {
                met = true;
                lit = lit || t.At(r, "panel_41") == 1;
            }
        }
        EXPECT_TRUE(met) << "the current never meets " << curve;
        // The transition (curve 2) is no lit stage of its own.
        if (std::string(curve) != "c2_a") {
            EXPECT_TRUE(lit) << "the lamp stays dark on " << curve;
        }
    }
}

TEST_F(ModelDrive, NotchOffIsHeardThenRegenerationReturnsMinusTopNotchAndTheTrainStops) {
    // Notch-off after stage C (curve 7) starts a sound over the motors within a few frames.
    const Trace& t = drive->trace;
    size_t stageC = 0;
    size_t notchOff = 0;
    for (size_t r = 1; r < t.rows.size() && notchOff == 0; ++r) {
        if (stageC == 0 && t.At(r, "current_a") > 0 &&
            std::fabs(t.At(r, "current_a") - t.At(r, "c7_a")) < 2 && t.At(r, "panel_41") == 1) {
            stageC = r;
        }
        if (stageC != 0 && t.At(r - 1, "current_a") > 0 && t.At(r, "current_a") == 0) {
            notchOff = r;
        }
    }
    ASSERT_NE(notchOff, 0u) << "no notch-off after stage C";
    EXPECT_EQ(t.At(notchOff, "driver_power"), 0);
    bool heard = false;
    for (size_t r = notchOff; r < notchOff + 5; ++r) {
        heard = heard || t.At(r, "audio_onset") == 1;
    }
    EXPECT_TRUE(heard) << "notch-off is not heard at " << t.At(notchOff, "time_ms") << " ms";

    size_t brakeApplied = 0;
    size_t regenerating = 0;
    for (size_t r = 0; r < t.rows.size(); ++r) {
        if (brakeApplied == 0 && t.At(r, "speed_kmh") > 30 && t.At(r, "brake") > 0) {
            brakeApplied = r;
        }
        if (brakeApplied != 0 && regenerating == 0 && t.At(r, "power") == -7) {
            regenerating = r;
            EXPECT_LT(t.At(r, "current_a"), 0);
        }
    }
    ASSERT_NE(regenerating, 0u) << "no regeneration at -7 (the sample's top brake notch)";
    // The breaker delay (0.25 s) passes with no current before the motors regenerate.
    EXPECT_GE(t.At(regenerating, "time_ms") - t.At(brakeApplied, "time_ms"), 250);
    EXPECT_EQ(t.At(t.rows.size() - 1, "speed_kmh"), 0);
    EXPECT_EQ(t.At(t.rows.size() - 1, "current_a"), 0);
}

// The plug-in tells camcab-run's event channel each stage in the frame its curve is met, each
// of its sounds by file, and regeneration where the returned power turns negative.
TEST_F(ModelDrive, TheEventChannelNamesEachStageInTheFrameItsCurveIsMet) {
    const Trace& t = drive->trace;
    const size_t events = t.columns.at("events");
    const auto firstRowWith = [&](const std::string& event) {
        for (size_t r = 0; r < t.rows.size(); ++r) {
            if (t.rows[r][events].find(event) != std::string::npos) {
                return r;
            }
        }
        ADD_FAILURE() << "never told: " << event;
        return size_t{0};
    };
    for (const auto& [stage, curve, withinA] :
         {std::tuple{"stage A", "c1_a", 2.0}, std::tuple{"stage B", "c4_a", 2.0},
          std::tuple{"stage C", "c7_a", 2.0}, std::tuple{"stage D", "c10_a", 2.0}}) {
        const size_t r = firstRowWith(stage);
        EXPECT_LT(std::fabs(t.At(r, "current_a") - t.At(r, curve)), withinA) << stage;
        EXPECT_EQ(t.At(r, "panel_41"), 1) << stage;
    }
    const size_t notchOff = firstRowWith("notch-off");
    EXPECT_NE(t.rows[notchOff][events].find("sound kamujiku\\notchoff.wav start"),
              std::string::npos);
    EXPECT_EQ(t.At(notchOff, "driver_power"), 0);
    const size_t regeneration = firstRowWith("regeneration start");
    EXPECT_LT(t.At(regeneration, "power"), 0);
    EXPECT_GE(t.At(regeneration - 1, "power"), 0);
    EXPECT_NE(drive->output.find(" events sound kamujiku\\start1.wav start"), std::string::npos);
}

// Every panel and host sound entry the drive wrote is one camcab names (the pass-through
// module writes none), so the report labels each.
TEST_F(ModelDrive, EveryEntryWrittenHasItsName) {
    using camcab::sim::CabIndex;
    const auto named = [](const auto& table, int entry) {
        return std::any_of(std::begin(table), std::end(table),
                           [entry](const CabIndex& known) { return known.index == entry; });
    };
    for (const auto& [column, index] : drive->trace.columns) {
        if (column.rfind("panel_", 0) == 0) {
            EXPECT_TRUE(named(camcab::sim::kPanelNames, std::stoi(column.substr(6)))) << column;
        } else if (column.rfind("sound_", 0) == 0) {
            EXPECT_TRUE(named(camcab::sim::kHostSoundNames, std::stoi(column.substr(6)))) << column;
        }
    }
}

// At a speed that is a row of the current files, the curve columns are those rows' cells: the
// power curves c0..c8 and c10 are columns 4..12 and 12 (the sample's RequiredNotch_Up), the
// brake curves columns 7 and 10.
TEST(TraceCurves, AreTheNotchTableColumnsAtTheSpeed) {
    const fs::path scenario = fs::path(CAMCAB_WORK_DIR) / "at-50.txt";
    fs::create_directories(CAMCAB_WORK_DIR);
    std::ofstream(scenario) << "set speed 50 current 0\nframes 2\nset speed -30\nframes 1\n";
    const Drive drive = RunDrive("curves", scenario);
    const fs::path notch = fs::path(CAMCAB_SOURCE_DIR) / "examples/vehicle/notch";
    const auto row = [](const fs::path& file, const std::string& speed) {
        std::istringstream lines(camcab::test::ReadFileBytes(file));
        for (std::string line; std::getline(lines, line);) {
            std::vector<std::string> cells = SplitCsv(line);
            if (!cells.empty() && cells[0] == speed) {
                return cells;
            }
        }
        return std::vector<std::string>{};
    };
    const int powerColumns[] = {4, 5, 6, 7, 8, 9, 10, 11, 12, 12};
    const char* powerCurves[] = {"c0_a", "c1_a", "c2_a", "c3_a", "c4_a",
                                 "c5_a", "c6_a", "c7_a", "c8_a", "c10_a"};
    for (const auto& [frame, speed] : {std::pair{size_t{1}, "50"}, std::pair{size_t{2}, "30"}}) {
        const std::vector<std::string> power = row(notch / "power_current.csv", speed);
        const std::vector<std::string> brake = row(notch / "brake_current.csv", speed);
        ASSERT_EQ(power.size(), 13u);
        ASSERT_EQ(brake.size(), 11u);
        for (size_t k = 0; k < 10; ++k) {
            EXPECT_EQ(drive.trace.At(frame, powerCurves[k]), std::stod(power[powerColumns[k]]))
                << powerCurves[k] << " at " << speed;
        }
        EXPECT_EQ(drive.trace.At(frame, "brake_first_a"), std::stod(brake[7])) << speed;
        EXPECT_EQ(drive.trace.At(frame, "brake_last_a"), std::stod(brake[10])) << speed;
    }
}

// The brake override is told as key 9 switches it, in the frame it first acts: the returned
// brake goes past the emergency notch (8 brake notches: emergency 9, the override 10).
TEST(EventChannel, TellsTheBrakeOverrideAsKey9SwitchesIt) {
    const fs::path scenario = fs::path(CAMCAB_WORK_DIR) / "override.txt";
    fs::create_directories(CAMCAB_WORK_DIR);
    std::ofstream(scenario) << "vehicle 8 5 9 6 4\ninitialize 0\nbrake 3\nframes 3\nkey-down 9\n"
                               "key-up 9\nframes 3\nkey-down 9\nkey-up 9\nframes 3\n";
    const Drive drive = RunDrive("override", scenario);
    const Trace& t = drive.trace;
    const size_t events = t.columns.at("events");
    std::vector<std::pair<size_t, std::string>> told;
    for (size_t r = 0; r < t.rows.size(); ++r) {
        for (const char* event : {"brake override on", "brake override off"}) {
            if (t.rows[r][events].find(event) != std::string::npos) {
                told.emplace_back(r, event);
            }
        }
    }
    ASSERT_EQ(told.size(), 2u) << drive.output;
    EXPECT_EQ(told[0].first, 3u);
    EXPECT_EQ(told[0].second, "brake override on");
    EXPECT_EQ(t.At(2, "brake"), 3);
    EXPECT_EQ(t.At(3, "brake"), 10);
    EXPECT_EQ(told[1].first, 6u);
    EXPECT_EQ(told[1].second, "brake override off");
    EXPECT_EQ(t.At(6, "brake"), 3);
}

// The camshaft hold is told in the frame the regenerative current comes within 10 A of the last
// brake curve, not again while it holds, and again once it has let go and holds anew.
TEST(EventChannel, TellsTheHoldAsItBegins) {
    const fs::path scenario = fs::path(CAMCAB_WORK_DIR) / "hold.txt";
    fs::create_directories(CAMCAB_WORK_DIR);
    // At 50 km/h the last brake curve is 320 A.
    std::ofstream(scenario) << "set speed 50 current -100\nframes 2\nset current -311\nframes 3\n"
                               "set current -250\nframes 1\nset current -329\nframes 1\n";
    const Drive drive = RunDrive("hold", scenario);
    const Trace& t = drive.trace;
    std::vector<size_t> told;
    for (size_t r = 0; r < t.rows.size(); ++r) {
        if (t.rows[r][t.columns.at("events")].find("camshaft hold") != std::string::npos) {
            told.push_back(r);
        }
    }
    EXPECT_EQ(told, (std::vector<size_t>{2, 6}));
}

}  // namespace
