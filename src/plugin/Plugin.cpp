#include "plugin/Plugin.h"

#include <algorithm>
#include <chrono>
#include <random>

#include "config/VehicleFolder.h"
#include "platform/FileSystem.h"
#include "platform/Module.h"

namespace camcab {
namespace {

// One unsigned 32-bit value from the non-deterministic random device. A platform without a
// usable device falls back to the clock rather than failing Load.
uint32_t DrawRandom() {
    try {
        std::random_device device;
        return device();
    } catch (...) {
        return static_cast<uint32_t>(std::random_device::result_type(
            std::chrono::steady_clock::now().time_since_epoch().count()));
    }
}

}  // namespace

std::wstring PluginDirectoryOf(const std::wstring& libraryPath) {
    return platform::FolderOf(libraryPath);
}

Plugin::Plugin(std::wstring directory) : pluginDirectory(std::move(directory)) {}

void Plugin::Load() {
    // The host's event channel, where the host process offers one (the workbench): attached
    // first, so that a module failing in its Load is told. Each Load tells its cycle afresh.
    sim.events.Attach(
        reinterpret_cast<CamcabHostEventFn>(platform::FindHostFunction(kHostEventName)));
    chain.TellFailuresTo(sim.events);
    sim.toldMarks = sim::FrameMarks{};
    narratedSounds_.Forget();

    // 1-5. The detail modules, the notch table group, the audio start-up (which reads the
    // motor sound configuration and loads every sound), the panel test switch and the needle
    // tables. Every file is named relative to the library's folder. Without it, the names
    // would be taken relative to the host's current folder: then no module is loaded and no
    // file is read or written, and the tables keep their defaults.
    if (pluginDirectory.empty()) {
        config = config::Configuration{};
    } else {
        config::VehicleSteps steps;
        steps.detailModules = [this] { chain.LoadModules(pluginDirectory); };
        steps.audioStartUp = [this](config::MotorSoundConfig& motorSoundConfig) {
            sound.StartUp(pluginDirectory, motorSoundConfig);
        };
        config::ReadVehicle(config, pluginDirectory, nullptr, steps);
    }

    // 6. The initial line voltage: 1400.0 to 1599.0 V. It then wanders on numbers seeded
    // from the same device.
    const float lineVoltageBaseV = 1400.0f + static_cast<float>(DrawRandom() % 200u);
    sim.panel.OnLoad(lineVoltageBaseV, DrawRandom());

    // 7, 8. The second reverser sound's length and its second voice.
    sound.PrepareSecondReverserVoice();

    // 9. The simulation takes the configuration it reads every frame.
    sim.Configure(config);
}

void Plugin::Dispose() {
    chain.UnloadModules();
    sound.ShutDown();
}

int32_t Plugin::GetPluginVersion() {
    chain.CheckVersions();
    return kInterfaceVersion;
}

void Plugin::SetVehicleSpec(const VehicleSpec& spec) {
    chain.ForwardSetVehicleSpec(spec);
    sim.OnVehicleSpec(spec.BrakeNotches);
}

void Plugin::Initialize(int32_t handlePosition) {
    chain.ForwardInitialize(handlePosition);
    sim.OnInitialize();
}

sound::CabSounds& Plugin::Sounds() {
    return sim.events.On() ? static_cast<sound::CabSounds&>(narratedSounds_) : sound.registry;
}

Handles Plugin::Elapse(const VehicleState& state, int32_t* panel, int32_t* soundArray) {
    if (sim.events.On()) {
        narratedSounds_.TellEnded();
    }
    return sim::FrameDriver(sim, chain, sound, Sounds()).Elapse(state, panel, soundArray);
}

void Plugin::SetPower(int32_t notch) {
    sim.OnPower(notch, Sounds());
}

void Plugin::SetBrake(int32_t notch) {
    sim.OnBrake(notch);
}

void Plugin::SetReverser(int32_t position) {
    sim.OnReverser(position, Sounds());
}

void Plugin::KeyDown(int32_t key) {
    chain.ForwardKeyDown(key);
    sim.OnKeyDown(key);
}

void Plugin::KeyUp(int32_t key) {
    chain.ForwardKeyUp(key);
    sim.OnKeyUp(key);
}

void Plugin::HornBlow(int32_t hornType) {
    chain.ForwardHornBlow(hornType);
}

void Plugin::DoorOpen() {
    chain.ForwardDoorOpen();
    sim.OnDoorOpen();
}

void Plugin::DoorClose() {
    chain.ForwardDoorClose();
    sim.OnDoorClose();
}

void Plugin::SetSignal(int32_t aspect) {
    chain.ForwardSetSignal(aspect);
}

void Plugin::SetBeaconData(const BeaconData& beacon) {
    chain.ForwardSetBeaconData(beacon);
}

}  // namespace camcab
