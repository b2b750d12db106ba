// The built plug-in, loaded the way the host loads it, from a vehicle folder of its own.
#include <gtest/gtest.h>

#include <array>

#include "HostPlugin.h"
#include "platform/Module.h"
#include "platform/WideText.h"
#include "support/TempFolder.h"

namespace camcab {
namespace {

const std::filesystem::path& BuiltPlugin() {
    static const std::filesystem::path path = test::BuiltFile(CAMCAB_PLUGIN_FILE);
    return path;
}

// A vehicle folder holding a copy of the plug-in.
class VehicleFolder {
  public:
    explicit VehicleFolder(const std::wstring& name = L"camcab-vehicle") : folder_(name) {
        folder_.Copy(BuiltPlugin(), PluginName());
    }
    static std::wstring PluginName() { return test::WideFromPath(BuiltPlugin().filename()); }
    const test::TempFolder& Folder() const { return folder_; }
    std::wstring PluginPath() const { return folder_.FileString(PluginName()); }

  private:
    test::TempFolder folder_;
};

class LoadedPlugin {
  public:
    explicit LoadedPlugin(const std::wstring& path) {
        std::string error;
        loaded_ = host::LoadHostPlugin(path, plugin_, error);
        EXPECT_TRUE(loaded_) << error;
    }
    ~LoadedPlugin() { host::UnloadHostPlugin(plugin_); }
    bool Loaded() const { return loaded_; }
    host::HostPlugin& operator*() { return plugin_; }
    host::HostPlugin* operator->() { return &plugin_; }

  private:
    host::HostPlugin plugin_;
    bool loaded_ = false;
};

VehicleState StateAt(float speedKmh, float currentA) {
    VehicleState state{};
    state.Speed = speedKmh;
    state.Current = currentA;
    state.MrPressure = 780.0f;
    state.BpPressure = 490.0f;
    return state;
}

void DriveFrames(host::HostPlugin& plugin, int frames) {
    std::array<int32_t, 256> panel{};
    std::array<int32_t, 256> sound{};
    for (int i = 0; i < frames; ++i) {
        const Handles handles =
            plugin.Elapse(StateAt(static_cast<float>(i), 100.0f), panel.data(), sound.data());
        EXPECT_EQ(handles.Brake, 0);
        EXPECT_EQ(handles.Power, 0);
        EXPECT_EQ(handles.Reverser, 0);
        EXPECT_EQ(handles.ConstantSpeed, 0);
    }
}

TEST(BuiltPlugin, AnswersTheInterfaceVersionWithoutAnyConfiguration) {
    VehicleFolder vehicle;
    LoadedPlugin plugin(vehicle.PluginPath());
    ASSERT_TRUE(plugin.Loaded());
    plugin->Load();
    EXPECT_EQ(plugin->GetPluginVersion(), 0x20000);
    plugin->Dispose();
}

TEST(BuiltPlugin, RunsFramesInAnEmptyFolderAndWithNeedleTables) {
    for (bool withTables : {false, true}) {
        VehicleFolder vehicle;
        if (withTables) {
            const char* table = "x,y\n0,0\n100,50\n";
            for (const wchar_t* name :
                 {L"Speed", L"Current", L"PressureL", L"PressureR", L"Voltage"}) {
                vehicle.Folder().Write(std::wstring(L"NeedleTable\\") + name + L".csv", table);
            }
        }
        LoadedPlugin plugin(vehicle.PluginPath());
        ASSERT_TRUE(plugin.Loaded());
        plugin->Load();
        plugin->SetVehicleSpec(VehicleSpec{8, 5, 9, 6, 4});
        plugin->Initialize(0);
        DriveFrames(*plugin, 20);
        plugin->Dispose();
    }
}

TEST(BuiltPlugin, SurvivesHostileValuesAndCallsOutOfOrder) {
    VehicleFolder vehicle;
    LoadedPlugin plugin(vehicle.PluginPath());
    ASSERT_TRUE(plugin.Loaded());
    std::array<int32_t, 256> panel{};
    std::array<int32_t, 256> sound{};
    // Frames and events before Load and before SetVehicleSpec, and null arrays.
    plugin->Elapse(StateAt(0.0f, 0.0f), panel.data(), sound.data());
    plugin->Elapse(StateAt(0.0f, 0.0f), nullptr, nullptr);
    plugin->DoorOpen();
    plugin->Load();
    for (int32_t notches : {0, -5, 1, INT32_MAX, INT32_MIN}) {
        plugin->SetVehicleSpec(VehicleSpec{notches, notches, notches, notches, notches});
    }
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (float value : {nan, inf, -inf, 3.0e38f, -3.0e38f}) {
        VehicleState state{};
        state.Speed = value;
        state.Current = value;
        state.BcPressure = state.SapPressure = state.BpPressure = state.MrPressure = value;
        state.Time = INT32_MIN;
        plugin->SetPower(INT32_MAX);
        plugin->SetBrake(INT32_MIN);
        plugin->SetReverser(7);
        plugin->KeyDown(INT32_MAX);
        plugin->KeyUp(-1);
        plugin->Elapse(state, panel.data(), sound.data());
    }
    plugin->Dispose();
    plugin->Dispose();
}

TEST(BuiltPlugin, LoadDisposeCyclesLeaveNothingBehind) {
    VehicleFolder vehicle;
    LoadedPlugin plugin(vehicle.PluginPath());
    ASSERT_TRUE(plugin.Loaded());
    for (int cycle = 0; cycle < 100; ++cycle) {
        plugin->Load();
        ASSERT_EQ(plugin->GetPluginVersion(), 0x20000);
        plugin->SetVehicleSpec(VehicleSpec{8, 5, 9, 6, 4});
        plugin->Initialize(0);
        DriveFrames(*plugin, 2);
        plugin->Dispose();
    }
}

TEST(BuiltPlugin, FindsItsFolderWhenTheNameHoldsBlanksAndJapaneseCharacters) {
    VehicleFolder vehicle(L"車両 フォルダ with blanks");
    LoadedPlugin plugin(vehicle.PluginPath());
    ASSERT_TRUE(plugin.Loaded());
    plugin->Load();
    plugin->Dispose();
    // The start-up log is written beside the plug-in, so it lands in that folder.
    EXPECT_TRUE(std::filesystem::exists(vehicle.Folder().File(L"XAudio2初期化ログ.txt")));
}

TEST(ProcessAttach, RecordsAFolderWithBlanksAndJapaneseCharacters) {
    test::TempFolder folder(L"車両 フォルダ with blanks");
    const std::filesystem::path probe = test::BuiltFile(CAMCAB_ATTACH_PROBE_FILE);
    const std::wstring probeName = test::WideFromPath(probe.filename());
    folder.Copy(probe, L"プラグイン\\" + probeName);
    const std::wstring path = folder.FileString(L"プラグイン\\" + probeName);

    platform::ModuleHandle module = platform::LoadModule(path);
    ASSERT_NE(module, nullptr) << platform::LastModuleError();
    using ProbeFn = int (*)(char*, int);
    auto probeDirectory =
        reinterpret_cast<ProbeFn>(platform::FindExport(module, "CamcabProbeDirectory"));
    ASSERT_NE(probeDirectory, nullptr);
    std::array<char, 4096> buffer{};
    ASSERT_GT(probeDirectory(buffer.data(), static_cast<int>(buffer.size())), 0);
    platform::UnloadModule(module);

    const std::wstring expected = folder.FileString(L"プラグイン\\");
    EXPECT_EQ(platform::DecodeUtf8(buffer.data()), expected);
}

TEST(HostStandIn, ReportsAPluginThatLacksExports) {
    test::TempFolder folder;
    const std::filesystem::path partial = test::BuiltFile(CAMCAB_PARTIAL_PLUGIN_FILE);
    host::HostPlugin plugin;
    std::string error;
    EXPECT_FALSE(host::LoadHostPlugin(test::WideFromPath(partial), plugin, error));
    EXPECT_NE(error.find("lacks exports"), std::string::npos) << error;
    EXPECT_NE(error.find("Dispose"), std::string::npos) << error;
    EXPECT_EQ(error.find("Elapse"), std::string::npos) << error;

    folder.Write(L"not-a-plugin.dll", "MZ but not really a library");
    EXPECT_FALSE(host::LoadHostPlugin(folder.FileString(L"not-a-plugin.dll"), plugin, error));
    EXPECT_NE(error.find("cannot be loaded"), std::string::npos) << error;
    EXPECT_FALSE(host::LoadHostPlugin(folder.FileString(L"missing.dll"), plugin, error));
    EXPECT_NE(error.find("not found"), std::string::npos) << error;
}

}  // namespace
}  // namespace camcab
