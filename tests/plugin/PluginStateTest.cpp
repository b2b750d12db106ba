// The plug-in frame's own state changes, on a fresh Plugin instance.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <iterator>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "plugin/Plugin.h"
#include "support/TempFolder.h"

namespace camcab {
namespace {

TEST(SetVehicleSpec, EightNotchesGiveALinearPressureTable) {
    Plugin plugin(L"");
    plugin.SetVehicleSpec(VehicleSpec{8, 5, 9, 6, 4});
    EXPECT_EQ(plugin.sim.handles.BrakeNotchCount(), 8);
    EXPECT_EQ(plugin.sim.handles.EmergencyNotch(), 9);
    const auto& table = plugin.sim.notchPressure.Table();
    ASSERT_EQ(table.entries.size(), 9u);
    const float expectedKpa[] = {0, 0, 60, 120, 180, 240, 300, 360, 420};
    for (size_t i = 0; i < 9; ++i) {
        EXPECT_NEAR(table.entries[i].pressureKpa, expectedKpa[i], 1e-4f) << i;
        EXPECT_EQ(table.entries[i].learned, i == 0) << i;
    }
    EXPECT_EQ(table.learnedCount, 1u);
}

TEST(SetVehicleSpec, OneNotchAndFewerGiveTwoEntries) {
    for (int32_t notches : {1, 0, -3, INT32_MIN}) {
        Plugin plugin(L"");
        plugin.SetVehicleSpec(VehicleSpec{notches, 0, 0, 0, 0});
        EXPECT_EQ(plugin.sim.handles.BrakeNotchCount(), 1) << notches;
        EXPECT_EQ(plugin.sim.handles.EmergencyNotch(), 2) << notches;
        const auto& entries = plugin.sim.notchPressure.Table().entries;
        ASSERT_EQ(entries.size(), 2u);
        EXPECT_TRUE(entries[0].learned);
        EXPECT_EQ(entries[0].pressureKpa, 0.0f);
        EXPECT_FALSE(entries[1].learned);
        EXPECT_EQ(entries[1].pressureKpa, 420.0f);
    }
}

TEST(SetVehicleSpec, HugeNotchCountsKeepTheirNumbersWithABoundedTable) {
    Plugin plugin(L"");
    plugin.SetVehicleSpec(VehicleSpec{5000, 0, 0, 0, 0});
    EXPECT_EQ(plugin.sim.handles.BrakeNotchCount(), 5000);
    EXPECT_EQ(plugin.sim.handles.EmergencyNotch(), 5001);
    EXPECT_EQ(plugin.sim.notchPressure.Table().entries.size(),
              static_cast<size_t>(sim::kMaxBrakeNotches) + 1);
    plugin.SetVehicleSpec(VehicleSpec{INT32_MAX, 0, 0, 0, 0});
    EXPECT_EQ(plugin.sim.handles.EmergencyNotch(), INT32_MAX);
}

TEST(Initialize, ResetsTheRunFlagsAndKeepsTheRest) {
    Plugin plugin(L"");
    plugin.SetPower(3);
    plugin.SetBrake(2);
    plugin.SetReverser(1);
    plugin.DoorClose();
    plugin.KeyDown(6);
    VehicleState state{};
    state.Current = 250.0f;
    state.SapPressure = 120.0f;
    std::array<int32_t, 256> panel{};
    std::array<int32_t, 256> sound{};
    panel[3] = 1;  // the blink lamp runs
    for (int frame = 1; frame <= 20; ++frame) {
        state.Time = frame * 20;
        plugin.Elapse(state, panel.data(), sound.data());
    }
    const sim::Simulation& s = plugin.sim;
    ASSERT_EQ(s.frame.PrevCurrentA(), 250.0f);
    ASSERT_EQ(s.panel.BlinkTimerMs(), 400);
    ASSERT_TRUE(s.handles.BrakeRaised());
    ASSERT_FALSE(s.camshaft.Start1Armed());

    for (int32_t handlePosition : {1, -7}) {
        plugin.Initialize(handlePosition);
        EXPECT_EQ(s.frame.PrevCurrentA(), 0.0f);
        EXPECT_EQ(s.frame.PrevSapKpa(), 0.0f);
        EXPECT_EQ(s.panel.BlinkTimerMs(), 0);
        EXPECT_FALSE(s.camshaft.AtStart());
        EXPECT_FALSE(s.handles.BrakeRaised());
        EXPECT_TRUE(s.camshaft.Start1Armed());
        EXPECT_EQ(s.handles.PowerNotch(), 3);
        EXPECT_EQ(s.handles.BrakeNotch(), 2);
        EXPECT_EQ(s.handles.ReverserPosition(), 1);
        EXPECT_TRUE(s.handles.Key6On());
        EXPECT_TRUE(s.DoorsClosed());
    }
}

TEST(Doors, OpenAndCloseInOneFrameRequestBothChimes) {
    Plugin plugin(L"");
    plugin.DoorOpen();
    plugin.DoorClose();
    EXPECT_TRUE(plugin.sim.DoorsClosed());
    EXPECT_TRUE(plugin.sim.hostSounds[sim::kHostSoundDoorOpen].play);
    EXPECT_TRUE(plugin.sim.hostSounds[sim::kHostSoundDoorClose].play);
    plugin.sim.hostSounds[sim::kHostSoundDoorOpen].stop = true;
    plugin.DoorOpen();
    EXPECT_FALSE(plugin.sim.DoorsClosed());
    EXPECT_FALSE(plugin.sim.hostSounds[sim::kHostSoundDoorOpen].stop);
}

TEST(Load, InEmptyFolderDrawsAWholeLineVoltageAndDisposesWithoutAnEngine) {
    test::TempFolder folder;
    Plugin plugin(folder.Directory());
    for (int cycle = 0; cycle < 20; ++cycle) {
        plugin.Load();
        const float voltage = plugin.sim.panel.LineVoltageBaseV();
        EXPECT_GE(voltage, 1400.0f);
        EXPECT_LE(voltage, 1599.0f);
        EXPECT_EQ(voltage, std::floor(voltage));
        EXPECT_EQ(plugin.GetPluginVersion(), kInterfaceVersion);
        EXPECT_FALSE(plugin.config.panelTest.PanelModifyEnabled);
        EXPECT_EQ(plugin.sim.camshaft.FullRegenerationNotch(), -10);
        EXPECT_EQ(plugin.sim.camshaft.BreakerDelayMs(), 0);
        plugin.Dispose();
    }
}

TEST(Load, ResetsTheKeySwitches5To8AndRegenerationLatchButNot9And12) {
    test::TempFolder folder;
    Plugin plugin(folder.Directory());
    for (int32_t key : {5, 6, 8, 9, 12}) {
        plugin.KeyDown(key);
    }
    // A frame without brake curves and without regenerating current releases regeneration.
    plugin.Elapse(VehicleState{}, nullptr, nullptr);
    ASSERT_TRUE(plugin.sim.camshaft.RegenerationReleased());
    plugin.Load();
    const sim::HandleInput& h = plugin.sim.handles;
    EXPECT_FALSE(h.Key5On() || h.Key6On() || h.Key8On());
    EXPECT_TRUE(h.Key9On() && h.Key12On());
    EXPECT_FALSE(plugin.sim.camshaft.RegenerationReleased());
    plugin.Dispose();
}

TEST(Load, EndsWithFilesThatAreNoRegularFilesOrTooLargeAndReadsTheLaterTables) {
    test::TempFolder folder;
    folder.MakeFolder(L"NeedleTable");
#ifdef _WIN32
    const std::string device = "CON";
#else
    const std::string device = "/dev/zero";
    ASSERT_EQ(::mkfifo(folder.File(L"NeedleTable\\Speed.csv").c_str(), 0600), 0);
    // A FIFO where the start-up log goes, and one named as a chained module.
    ASSERT_EQ(::mkfifo(folder.File(L"XAudio2初期化ログ.txt").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(folder.File(L"module.so").c_str(), 0600), 0);
    folder.Write(L"detailmodulesx64.txt", "module.so\n");
#endif
    folder.Write(L"notch\\notch.txt", "[Power]\nParams = " + device + "\nCurrent = " + device +
                                          "\n[Brake]\nParams = bp.csv\nCurrent = bc.csv\n");
    // 65,536 brake curves, and rows that would add a point to each.
    std::string params;
    for (int i = 0; i < 32768; ++i) {
        params += "RequiredNotch_Up,0\n";
    }
    folder.Write(L"notch\\bp.csv", params);
    std::string rows = "speed\n";
    for (int i = 0; i < 10000; ++i) {
        rows += "0,0\n";
    }
    folder.Write(L"notch\\bc.csv", rows);
    folder.Write(L"NeedleTable\\Voltage.csv", "V, needle\n0, 0\n1500, 150\n");

    Plugin plugin(folder.Directory());
    plugin.Load();
    EXPECT_EQ(plugin.config.notchTable.BrakeCurrentCurves.size(), 65536u);
    EXPECT_EQ(plugin.config.needleTables.voltageNeedleTable.size(), 2u);
    EXPECT_TRUE(plugin.config.needleTables.speedNeedleTable.empty());
    EXPECT_EQ(plugin.sim.camshaft.FullRegenerationNotch(), 0);
    EXPECT_TRUE(plugin.chain.modules().empty());
#ifndef _WIN32
    EXPECT_EQ(plugin.sound.audioEngine, nullptr) << "no log, no engine";
#endif
    plugin.Dispose();
}

TEST(Load, WithoutItsFolderReadsAndWritesNoFile) {
    // The host's current folder holds a whole vehicle; none of it may be taken.
    test::TempFolder folder;
    folder.Write(L"notch\\notch.txt", "[Brake]\nParams = bp.csv\n");
    folder.Write(L"notch\\bp.csv", "RequiredNotch_Up, 4, 4\nBreakerDelay_On, 0.5\n");
    folder.Write(L"NeedleTable\\Speed.csv", "x,y\n0,1\n");
    folder.Write(L"PanelModify.txt", "");
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(folder.Path());
    Plugin plugin(L"");
    plugin.Load();
    std::filesystem::current_path(before);
    EXPECT_EQ(plugin.sim.camshaft.FullRegenerationNotch(), -10);
    EXPECT_EQ(plugin.sim.camshaft.BreakerDelayMs(), 0);
    EXPECT_TRUE(plugin.config.needleTables.speedNeedleTable.empty());
    EXPECT_FALSE(plugin.config.panelTest.PanelModifyEnabled);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()),
                            std::filesystem::directory_iterator()),
              3);  // no start-up log
    plugin.Dispose();
}

}  // namespace
}  // namespace camcab
