// The built plug-in, loaded the way the host loads it, with its sounds beside it. This
// program is the host: it renders the plug-in's audio frame by frame.
#include <gtest/gtest.h>

#include "HostAudio.h"
#include "SoundTestSupport.h"
#include "host/HostRecords.h"
#include "platform/Module.h"
#include "platform/WideText.h"
#include "support/TempFolder.h"

namespace camcab::test {
namespace {

struct LoadedPlugin {
    explicit LoadedPlugin(const std::filesystem::path& file)
        : module(platform::LoadModule(file.wstring())) {
        if (module == nullptr) {
            return;
        }
        load = reinterpret_cast<LoadFn>(platform::FindExport(module, "Load"));
        dispose = reinterpret_cast<DisposeFn>(platform::FindExport(module, "Dispose"));
        setVehicleSpec =
            reinterpret_cast<SetVehicleSpecFn>(platform::FindExport(module, "SetVehicleSpec"));
        initialize = reinterpret_cast<InitializeFn>(platform::FindExport(module, "Initialize"));
        elapse = reinterpret_cast<ElapseFn>(platform::FindExport(module, "Elapse"));
    }
    platform::ModuleHandle module;
    LoadFn load = nullptr;
    DisposeFn dispose = nullptr;
    SetVehicleSpecFn setVehicleSpec = nullptr;
    InitializeFn initialize = nullptr;
    ElapseFn elapse = nullptr;
};

// One copy of the plug-in in its own folder, loaded once for the program, as a host keeps it.
class PluginSoundTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        hostaudio::UseSilentDevice();
        folder = new TempFolder(L"camcab-plugin-sound");
        folder->Copy(BuiltFile(CAMCAB_PLUGIN_FILE), L"libcamcab.so");
        plugin = new LoadedPlugin(folder->File(L"libcamcab.so"));
    }
    // The library stays loaded to the end of the process, as in the host.
    static void TearDownTestSuite() { delete folder; }

    static std::filesystem::path LogPath() { return folder->Path() / "XAudio2初期化ログ.txt"; }

    static inline TempFolder* folder = nullptr;
    static inline LoadedPlugin* plugin = nullptr;
};

TEST_F(PluginSoundTest, LoadDisposeCyclesStartAndReleaseTheEngineEachTime) {
    for (const std::wstring& name : kNamedSoundFiles) {
        folder->Write(name, ToneWave(2400, 2));
    }
    ASSERT_NE(plugin->module, nullptr) << platform::LastModuleError();
    std::string firstLog;
    for (int cycle = 0; cycle < 3; ++cycle) {
        hostaudio::ClearCapture();
        plugin->load();
        ASSERT_TRUE(hostaudio::Attached()) << cycle;
        const std::string log = MaskTimes(ReadFileBytes(LogPath()));
        EXPECT_NE(log.find("XAudio2作成成功\r\nマスターボイスの作成成功\r\n"), std::string::npos);
        EXPECT_EQ(log.find("失敗"), std::string::npos) << log;
        if (cycle == 0) {
            firstLog = log;
        }
        EXPECT_EQ(log, firstLog);

        plugin->setVehicleSpec(VehicleSpec{8, 5, 1, 6, 4});
        plugin->initialize(0);
        std::vector<int32_t> panel(256), sound(256);
        VehicleState state{};
        for (int frame = 0; frame < 20; ++frame) {
            state.Time += 16;
            plugin->elapse(state, panel.data(), sound.data());
            hostaudio::Advance(16.0);
        }
        EXPECT_GE(hostaudio::CapturedFrames(),
                  20u * 16u * hostaudio::SampleRate() / 1000u - hostaudio::QuantumFrames());
        plugin->dispose();
        EXPECT_FALSE(hostaudio::Attached()) << cycle;
    }
}

TEST_F(PluginSoundTest, DisposeWithoutAnEngineTouchesNothing) {
    std::filesystem::remove(LogPath());
    std::filesystem::create_directory(LogPath());  // the log cannot be opened
    ASSERT_NE(plugin->module, nullptr);
    plugin->load();
    EXPECT_FALSE(hostaudio::Attached());
    std::vector<int32_t> panel(256), sound(256);
    plugin->elapse(VehicleState{}, panel.data(), sound.data());
    plugin->dispose();
    plugin->dispose();
}

// A host that unloads the plug-in without Dispose: the library's own teardown stops the
// engine's clock and frees the engine, its voices and the sounds.
TEST(PluginSoundUnload, UnloadingWithoutDisposeTakesTheEngineDown) {
    hostaudio::UseSilentDevice();
    TempFolder unloadFolder(L"camcab-plugin-unload");
    unloadFolder.Copy(BuiltFile(CAMCAB_PLUGIN_FILE), L"libcamcab.so");
    unloadFolder.Write(L"air\\pipe.wav", ToneWave(2400));
    unloadFolder.Write(L"kamujiku\\reverser2.wav", ToneWave(2400));
    platform::ModuleHandle module = platform::LoadModule(unloadFolder.FileString(L"libcamcab.so"));
    ASSERT_NE(module, nullptr) << platform::LastModuleError();
    reinterpret_cast<LoadFn>(platform::FindExport(module, "Load"))();
    ASSERT_TRUE(hostaudio::Attached());
    platform::UnloadModule(module);
    EXPECT_FALSE(hostaudio::Attached());
}

}  // namespace
}  // namespace camcab::test
