// A Windows without XAudio2 2.8 and Media Foundation (the test runs with both disabled in
// Wine): the plug-in still loads, logs the engine's failure and runs silent.
#include <gtest/gtest.h>

#include "SoundTestSupport.h"
#include "host/HostRecords.h"
#include "platform/AudioDecoder.h"
#include "platform/Module.h"
#include "sound/SoundSystem.h"
#include "support/TempFolder.h"

namespace camcab::test {
namespace {

TEST(MissingAudio, DecodingFailsWithTheCodeOfTheMissingLibrary) {
    TempFolder folder(L"camcab-no-mf");
    folder.Write(L"a.wav", ToneWave(480));
    EXPECT_EQ(static_cast<uint32_t>(platform::StartMediaFoundation()), 0x8007007Eu);
    std::unique_ptr<platform::AudioFileReader> reader;
    EXPECT_EQ(static_cast<uint32_t>(platform::OpenAudioFile(folder.FileString(L"a.wav"), reader)),
              0x8007007Eu);
    EXPECT_EQ(reader, nullptr);
}

TEST(MissingAudio, ThePluginLoadsLogsTheFailureAndRunsSilent) {
    TempFolder folder(L"camcab-no-xaudio2");
    folder.Copy(BuiltFile(CAMCAB_PLUGIN_FILE), L"camcab.dll");
    folder.Write(L"air\\sap.wav", ToneWave(2400));
    platform::ModuleHandle module = platform::LoadModule(folder.FileString(L"camcab.dll"));
    ASSERT_NE(module, nullptr) << platform::LastModuleError();
    auto load = reinterpret_cast<LoadFn>(platform::FindExport(module, "Load"));
    auto dispose = reinterpret_cast<DisposeFn>(platform::FindExport(module, "Dispose"));
    auto elapse = reinterpret_cast<ElapseFn>(platform::FindExport(module, "Elapse"));
    load();
    EXPECT_EQ(MaskTimes(ReadFileBytes(folder.File(sound::kStartUpLogName))),
              "<time>\r\nXAudio2初期化開始\r\nXAudio2作成失敗\r\nエラー:0x8007007e\r\n");
    std::vector<int32_t> panel(256), sound(256);
    elapse(VehicleState{}, panel.data(), sound.data());
    dispose();
    platform::UnloadModule(module);
}

}  // namespace
}  // namespace camcab::test
