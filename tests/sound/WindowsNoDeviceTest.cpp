// A machine with no audio output device (the test runs Wine's ALSA driver with no PCM device
// at all): the plug-in loads the sample vehicle, logs the mastering voice's failure with the
// device look-up's code, runs silent and disposes.
#include <gtest/gtest.h>

#include <filesystem>

#include "SoundTestSupport.h"
#include "host/HostRecords.h"
#include "platform/Module.h"
#include "sound/SoundSystem.h"
#include "support/TempFolder.h"

namespace camcab::test {
namespace {

TEST(NoOutputDevice, TheSampleVehicleLoadsLogsTheMissingDeviceAndRunsSilent) {
    TempFolder folder(L"camcab-no-device");
    std::filesystem::copy(BuiltFile(CAMCAB_SAMPLE_VEHICLE), folder.Path(),
                          std::filesystem::copy_options::recursive);
    folder.Copy(BuiltFile(CAMCAB_PLUGIN_FILE), L"camcab.dll");
    platform::ModuleHandle module = platform::LoadModule(folder.FileString(L"camcab.dll"));
    ASSERT_NE(module, nullptr) << platform::LastModuleError();
    auto load = reinterpret_cast<LoadFn>(platform::FindExport(module, "Load"));
    auto dispose = reinterpret_cast<DisposeFn>(platform::FindExport(module, "Dispose"));
    auto elapse = reinterpret_cast<ElapseFn>(platform::FindExport(module, "Elapse"));
    auto setPower = reinterpret_cast<SetPowerFn>(platform::FindExport(module, "SetPower"));
    auto setReverser = reinterpret_cast<SetReverserFn>(platform::FindExport(module, "SetReverser"));
    ASSERT_TRUE(load && dispose && elapse && setPower && setReverser);

    // A second Load meets the same machine and takes the same path.
    for (int cycle = 0; cycle < 2; ++cycle) {
        load();
        // No motor-count line and no sound lines: nothing was loaded, so nothing can sound.
        EXPECT_EQ(MaskTimes(ReadFileBytes(folder.File(sound::kStartUpLogName))),
                  "<time>\r\nXAudio2初期化開始\r\nXAudio2作成成功\r\n"
                  "マスターボイスの作成失敗\r\nエラー:0X80070490\r\n");
        // Forward, full power: the frames that would start the camshaft's and motor's sounds.
        setReverser(1);
        setPower(5);
        std::vector<int32_t> panel(256), sound(256);
        VehicleState state{};
        for (int frame = 0; frame < 50; ++frame) {
            state.Time = frame * 20;
            state.Speed = static_cast<float>(frame) * 0.5f;
            state.Current = 300.0f;
            elapse(state, panel.data(), sound.data());
        }
        dispose();
    }
    platform::UnloadModule(module);
}

}  // namespace
}  // namespace camcab::test
