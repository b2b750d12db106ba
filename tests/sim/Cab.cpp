#include "Cab.h"

#include "config/NeedleTables.h"
#include "config/NotchTable.h"
#include "platform/Module.h"
#include "sim/FrameDriver.h"

namespace camcab::test {

Cab::Cab(int32_t brakeNotches) {
    const std::wstring vehicle = WideFromPath(BuiltFile(CAMCAB_SAMPLE_VEHICLE)) + L"/";
    config::LoadNotchTable(config.notchTable, vehicle + L"notch/notch.txt");
    config::ReadNeedleTables(config.needleTables, vehicle);
    folder.Copy(BuiltFile(CAMCAB_RECORDER_FILE), L"module" CAMCAB_LIBRARY_SUFFIX);
    folder.Write(chain::kModuleListFileName, "module" CAMCAB_LIBRARY_SUFFIX "\n");
    chain.LoadModules(folder.Directory());
    if (!chain.modules().empty()) {
        answer_ = reinterpret_cast<RecorderAnswerFn>(
            platform::FindExport(chain.modules()[0].module, kRecorderAnswerName));
    }
    sim.panel.OnLoad(1500.0f, 1);
    sim.Configure(config);
    sim.OnVehicleSpec(brakeNotches);
    sim.OnInitialize();
    state.Time = 36000000;
}

Cab::~Cab() {
    chain.UnloadModules();
}

Handles Cab::Frame(int32_t ms) {
    state.Time += ms;
    const Handles handles =
        sim::FrameDriver(sim, chain, engine, sounds).Elapse(state, panel.data(), sound.data());
    sounds.Advance(static_cast<uint32_t>(ms));
    return handles;
}

Handles Cab::Run(int32_t ms) {
    Handles handles{};
    for (int32_t t = 0; t < ms; t += 20) {
        handles = Frame();
    }
    return handles;
}

void Cab::Ready() {
    sim.OnDoorClose();
    Reverser(1);
    Run(600);
}

void Cab::ChainAnswers(const Handles& answer) {
    if (answer_ != nullptr) {
        answer_(&answer);
    }
}

}  // namespace camcab::test
