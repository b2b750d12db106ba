// A fresh plug-in loading the sample vehicle, an empty folder and repeated Load cycles.
#include <gtest/gtest.h>

#include <climits>
#include <utility>

#include "config/MotorSoundConfig.h"
#include "config/PanelTest.h"
#include "config/VehicleFolder.h"
#include "plugin/Plugin.h"
#include "support/TempFolder.h"

namespace camcab {
namespace {

using Columns = std::vector<uint64_t>;

// A copy of the sample vehicle: Load writes its start-up log beside the plug-in, and the
// source tree stays untouched.
std::wstring SampleVehicle() {
    static const test::TempFolder copy(L"camcab-sample-vehicle");
    static const bool copied = [] {
        std::filesystem::copy(test::BuiltFile(CAMCAB_SAMPLE_VEHICLE), copy.Path(),
                              std::filesystem::copy_options::recursive);
        return true;
    }();
    (void)copied;
    return copy.Directory();
}

TEST(SampleVehicle, LoadReadsTheNotchTableGroup) {
    Plugin plugin(SampleVehicle());
    plugin.Load();
    const config::NotchTable& notch = plugin.config.notchTable;
    EXPECT_EQ(notch.PowerCurveColumns, (Columns{4, 5, 6, 7, 8, 9, 10, 11, 12, 11, 12}));
    ASSERT_EQ(notch.PowerCurrentCurves.size(), 11u);
    for (const config::Curve& curve : notch.PowerCurrentCurves) {
        EXPECT_EQ(curve.size(), 13u);
    }
    // Step 4 at 0 km/h: 120 + 18 * 4; the curves rise with speed.
    EXPECT_EQ(config::InterpolateCurve(0.0f, notch.PowerCurrentCurves[0]), 192.0f);
    EXPECT_GT(config::InterpolateCurve(60.0f, notch.PowerCurrentCurves[0]), 192.0f);
    EXPECT_EQ(notch.BrakeCurveColumns, (Columns{7, 8, 9, 10}));
    EXPECT_EQ(notch.BrakeCurrentCurves.size(), 4u);
    EXPECT_EQ(config::InterpolateCurve(5.0f, notch.BrakeCurrentCurves.back()), 0.0f);
    EXPECT_GT(config::InterpolateCurve(60.0f, notch.BrakeCurrentCurves.back()), 0.0f);
    EXPECT_EQ(notch.BrakeTopNotch, 7u);
    EXPECT_EQ(notch.BreakerDelayOn, 0.25f);
    EXPECT_EQ(notch.CurrentLimitEmpty, 280.0f);
    EXPECT_EQ(notch.NoLoadCurrent, 25.0f);

    EXPECT_EQ(plugin.sim.camshaft.BreakerDelayMs(), 250);
    EXPECT_EQ(plugin.sim.camshaft.FullRegenerationNotch(), -7);
    EXPECT_FALSE(plugin.config.panelTest.PanelModifyEnabled);
    plugin.Dispose();
}

TEST(SampleVehicle, LoadReadsTheNeedleTables) {
    Plugin plugin(SampleVehicle());
    plugin.Load();
    const config::NeedleTables& needles = plugin.config.needleTables;
    EXPECT_EQ(needles.speedNeedleTable.size(), 8u);
    EXPECT_EQ(needles.currentNeedleTable.size(), 5u);
    EXPECT_EQ(needles.pressureLNeedleTable.size(), 4u);
    EXPECT_EQ(needles.pressureRNeedleTable.size(), 4u);
    EXPECT_EQ(needles.voltageNeedleTable.size(), 4u);
    EXPECT_EQ(config::InterpolateCurve(500.0f, needles.pressureLNeedleTable), 500.0f);
    EXPECT_EQ(config::InterpolateCurve(1500.0f, needles.voltageNeedleTable), 1500.0f);
    plugin.Dispose();
}

TEST(SampleVehicle, MotorSoundConfigHasSixSounds) {
    config::MotorSoundConfig motor;
    config::LoadMotorSoundConfig(motor, SampleVehicle());
    ASSERT_EQ(motor.MotorSoundCount, 6u);
    for (size_t k = 0; k < 6; ++k) {
        EXPECT_EQ(motor.MotorSoundFiles[k],
                  SampleVehicle() + L"motor" +
                      static_cast<wchar_t>(std::filesystem::path::preferred_separator) + L"motor" +
                      std::to_wstring(k) + L".wav");
        for (const auto* list : {&motor.PowerVolumeCurves, &motor.BrakeVolumeCurves,
                                 &motor.NeutralVolumeCurves, &motor.PowerFrequencyCurves,
                                 &motor.BrakeFrequencyCurves, &motor.NeutralFrequencyCurves}) {
            ASSERT_EQ(list->size(), 6u);
            EXPECT_EQ((*list)[k].size(), 15u);
        }
        // Each recording is loudest at its own reference speed and runs there at ratio 1.
        const float reference = 10.0f + 20.0f * static_cast<float>(k);
        EXPECT_EQ(config::InterpolateCurve(reference, motor.PowerVolumeCurves[k]), 1.0f);
        EXPECT_FLOAT_EQ(config::InterpolateCurve(reference, motor.PowerFrequencyCurves[k]), 1.0f);
        EXPECT_NEAR(config::InterpolateCurve(0.0f, motor.PowerVolumeCurves[k]), 0.0f, 1e-6f);
    }
}

TEST(EmptyVehicle, LoadLeavesTheDefaults) {
    test::TempFolder folder;
    Plugin plugin(folder.Directory());
    plugin.Load();
    EXPECT_EQ(plugin.config.notchTable.BrakeTopNotch, 10u);
    EXPECT_TRUE(plugin.config.notchTable.PowerCurveColumns.empty());
    EXPECT_TRUE(plugin.config.notchTable.BrakeCurrentCurves.empty());
    EXPECT_EQ(plugin.sim.camshaft.FullRegenerationNotch(), -10);
    EXPECT_EQ(plugin.sim.camshaft.BreakerDelayMs(), 0);
    EXPECT_TRUE(plugin.config.needleTables.speedNeedleTable.empty());
    EXPECT_FALSE(plugin.config.panelTest.PanelModifyEnabled);
    EXPECT_EQ(plugin.config.motorSoundConfig.MotorSoundCount, 0u);
    plugin.Dispose();
}

TEST(SampleVehicle, LoadDisposeLoadGivesIdenticalTables) {
    Plugin plugin(SampleVehicle());
    plugin.Load();
    const config::NotchTable first = plugin.config.notchTable;
    const config::NeedleTables needles = plugin.config.needleTables;
    plugin.Dispose();
    plugin.Load();
    const config::NotchTable& second = plugin.config.notchTable;
    EXPECT_EQ(second.PowerCurveColumns, first.PowerCurveColumns);
    EXPECT_EQ(second.PowerCurrentCurves, first.PowerCurrentCurves);
    EXPECT_EQ(second.BrakeCurveColumns, first.BrakeCurveColumns);
    EXPECT_EQ(second.BrakeCurrentCurves, first.BrakeCurrentCurves);
    EXPECT_EQ(second.BrakeTopNotch, first.BrakeTopNotch);
    EXPECT_EQ(second.NoLoadCurrent, first.NoLoadCurrent);
    EXPECT_EQ(plugin.config.needleTables.speedNeedleTable, needles.speedNeedleTable);
    EXPECT_EQ(plugin.config.needleTables.voltageNeedleTable, needles.voltageNeedleTable);
    EXPECT_EQ(plugin.sim.camshaft.BreakerDelayMs(), 250);
    plugin.Dispose();
}

TEST(NotchValuesInTheSimulation, BreakerDelayInWholeMillisecondsAndTopNotchLow32Bits) {
    const auto loadWith = [](std::string_view brakeParams) {
        test::TempFolder folder;
        folder.Write(L"notch\\notch.txt", "[Brake]\nParams = bp.csv\n");
        folder.Write(L"notch\\bp.csv", brakeParams);
        Plugin plugin(folder.Directory());
        plugin.Load();
        plugin.Dispose();
        return std::pair{plugin.sim.camshaft.BreakerDelayMs(),
                         sim::NegatedNotch(plugin.sim.camshaft.FullRegenerationNotch())};
    };
    EXPECT_EQ(loadWith("BreakerDelay_On, 0.0009\nRequiredNotch_Up, 4\n"), std::pair(0, 4));
    EXPECT_EQ(loadWith("BreakerDelay_On, 1.2345\n"), std::pair(1234, 10));
    // 0.29 s is 0.28999999 in single precision: truncated in double precision, 289 ms.
    EXPECT_EQ(loadWith("BreakerDelay_On, 0.29\n"), std::pair(289, 10));
    EXPECT_EQ(loadWith("BreakerDelay_On, nan\n"), std::pair(0, 10));
    EXPECT_EQ(loadWith("BreakerDelay_On, 3e38\nRequiredNotch_Up, 4294967298\n"),
              std::pair(INT32_MAX, 2));
    EXPECT_EQ(loadWith("BreakerDelay_On, -3e38\nRequiredNotch_Up, 18446744073709551615\n"),
              std::pair(INT32_MIN, -1));
}

// A tool given a plug-in by its bare file name reads the vehicle in the current folder
// (the plug-in itself, without its folder, reads nothing).
TEST(VehicleFolder, EmptyFolderNamesTheFilesInTheCurrentFolder) {
    test::TempFolder folder;
    folder.Write(L"notch\\notch.txt", "[Brake]\nParams = bp.csv\n");
    folder.Write(L"notch\\bp.csv", "RequiredNotch_Up, 3, 4\n");
    folder.Write(L"PanelModify.txt", "");
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(folder.Path());
    config::Configuration configuration;
    config::ReadVehicle(configuration, L"");
    std::filesystem::current_path(before);
    EXPECT_EQ(configuration.notchTable.BrakeTopNotch, 4u);
    EXPECT_TRUE(configuration.panelTest.PanelModifyEnabled);
}

TEST(PanelTestSwitch, FileOrFolderSwitchesItOn) {
    test::TempFolder folder;
    EXPECT_FALSE(config::TestPanelModify(folder.Directory()));
    folder.Write(L"PanelModify.txt", "");
    EXPECT_TRUE(config::TestPanelModify(folder.Directory()));
    {
        Plugin plugin(folder.Directory());
        plugin.Load();
        EXPECT_TRUE(plugin.config.panelTest.PanelModifyEnabled);
        plugin.Dispose();
    }
    test::TempFolder other;
    other.MakeFolder(L"PanelModify.txt");
    EXPECT_TRUE(config::TestPanelModify(other.Directory()));
    EXPECT_FALSE(
        config::TestPanelModify(other.Directory() + L"missing-folder" +
                                static_cast<wchar_t>(std::filesystem::path::preferred_separator)));
    EXPECT_FALSE(config::TestPanelModify(L""));
}

}  // namespace
}  // namespace camcab
