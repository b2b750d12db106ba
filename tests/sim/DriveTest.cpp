#include "Drive.h"

#include <filesystem>

#include "HostAudio.h"
#include "platform/Module.h"

namespace camcab::test {

Drive::Drive(DriveOptions options) : plugin(folder.Directory()) {
    hostaudio::UseSilentDevice();
    ReleaseAllKeys();
    std::filesystem::copy(BuiltFile(CAMCAB_SAMPLE_VEHICLE), folder.Path(),
                          std::filesystem::copy_options::recursive);
    if (!options.sounds) {
        folder.MakeFolder(L"XAudio2初期化ログ.txt");
    }
    if (options.chainModule) {
        folder.Copy(BuiltFile(CAMCAB_RECORDER_FILE), L"module.so");
        folder.Write(L"detailmodulesx64.txt", "module.so\n");
    }
    plugin.Load();
    if (options.chainModule && !plugin.chain.modules().empty()) {
        answer_ = reinterpret_cast<RecorderAnswerFn>(
            platform::FindExport(plugin.chain.modules()[0].module, kRecorderAnswerName));
    }
    plugin.SetVehicleSpec(VehicleSpec{options.brakeNotches, 5, 1, 6, 4});
    plugin.Initialize(0);
    state.Time = 36000000;
}

Drive::~Drive() {
    plugin.Dispose();
    ReleaseAllKeys();
}

Handles Drive::Frame(int32_t ms) {
    state.Time += ms;
    const Handles handles = plugin.Elapse(state, panel.data(), sound.data());
    hostaudio::Advance(ms);
    return handles;
}

Handles Drive::Run(int32_t ms) {
    Handles handles{};
    for (int32_t t = 0; t < ms; t += 20) {
        handles = Frame();
    }
    return handles;
}

void Drive::ChainAnswers(const Handles& answer) {
    if (answer_ != nullptr) {
        answer_(&answer);
    }
}

}  // namespace camcab::test
