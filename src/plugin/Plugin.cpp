#include "plugin/Plugin.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <random>

#include "platform/FileSystem.h"

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

std::wstring Plugin::FileInPluginDirectory(const std::wstring& name) const {
    return platform::AppendPath(pluginDirectory, platform::NativeSeparators(name));
}

void Plugin::Load() {
    // 1. Detail modules; each module's own Load runs before anything else is read.
    chain.LoadModules(pluginDirectory);

    // 2. The notch table group. Each Load reads into a fresh record, so a second Load in
    // the same process gives the same tables as the first.
    config.notchTable = config::NotchTable{};
    config::LoadNotchTable(config.notchTable, FileInPluginDirectory(L"notch\\notch.txt"));

    // 3. Audio start-up, which reads the motor sound configuration and loads every sound.
    config.motorSoundConfig = config::MotorSoundConfig{};
    sound.StartUp(pluginDirectory, config.motorSoundConfig);

    // 4. The panel test mode switch.
    config.panelTest.PanelModifyEnabled = false;
    config.panelTest.PanelModifyEnabled = config::TestPanelModify(pluginDirectory);

    // 5. The needle tables.
    config::ReadNeedleTables(config.needleTables, pluginDirectory);

    // 6. The initial line voltage: 1400.0 to 1599.0 V.
    sim.panel.lineVoltageBase = 1400.0f + static_cast<float>(DrawRandom() % 200u);

    // 7, 8. The second reverser sound's length and its second voice.
    sound.PrepareSecondReverserVoice();

    // 9. Configuration values the simulation reads every frame.
    const config::NotchTable& notch = config.notchTable;
    sim.camshaft.regenReleased = false;
    sim.camshaft.currentLimitEmpty = notch.CurrentLimitEmpty;
    const float breakerDelayMs = notch.BreakerDelayOn * 1000.0f;
    // Out-of-range delays saturate instead of overflowing the conversion.
    sim.camshaft.breakerDelayMs = !(breakerDelayMs > -2147483648.0f) ? INT32_MIN
                                  : !(breakerDelayMs < 2147483648.0f)
                                      ? INT32_MAX
                                      : static_cast<int32_t>(breakerDelayMs);
    sim.camshaft.noLoadCurrent = notch.NoLoadCurrent;
    sim.camshaft.brakeTopNotch = static_cast<int32_t>(static_cast<uint32_t>(notch.BrakeTopNotch));
    sim.handles.key5Switch = false;
    sim.handles.key6Switch = false;
    sim.handles.key8Switch = false;
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
    // A vehicle with fewer than one service notch is treated as having one, so that the
    // emergency notch stays above the service notches and the pressure table has two entries.
    // A count beyond any real vehicle is bounded, so that the table stays small.
    const int32_t brakeNotches = std::clamp(spec.BrakeNotches, 1, sim::kMaxBrakeNotches);
    sim.handles.brakeNotchCount = brakeNotches;
    sim.handles.emergencyNotch = brakeNotches + 1;
    sim::BuildNotchPressureTable(sim.notchPressure, brakeNotches, sim::kFullServicePressureKpa);
}

void Plugin::Initialize(int32_t handlePosition) {
    chain.ForwardInitialize(handlePosition);
    sim.frame = sim::FrameState{};
    sim.panel.blinkTimerMs = 0;
    sim::CamshaftState& cam = sim.camshaft;
    cam.camAtStart = false;
    cam.reverser1Pending = false;
    cam.reverser2Pending = false;
    cam.forwardSelected = false;
    cam.backwardSelected = false;
    cam.forwardSet = false;
    cam.backwardSet = false;
    cam.brakeRaised = false;
    cam.start1Armed = true;
    cam.start2Armed = true;
}

Handles Plugin::Elapse(const VehicleState& state, int32_t* panel, int32_t* sound) {
    this->sound.FrameBegin();
    chain::ChainInputs inputs;
    inputs.powerNotch = sim.handles.powerNotch;
    inputs.brakeNotch = sim.handles.brakeNotch;
    inputs.reverserPosition = sim.handles.reverserPosition;
    inputs.passBrake = true;
    const Handles handles = chain.Run(state, panel, sound, inputs);
    this->sound.FrameEnd();
    return handles;
}

void Plugin::SetPower(int32_t notch) {
    sim.handles.powerNotch = notch;
}

void Plugin::SetBrake(int32_t notch) {
    sim.handles.brakeNotch = notch;
}

void Plugin::SetReverser(int32_t position) {
    sim.handles.reverserPosition = position;
}

void Plugin::KeyDown(int32_t key) {
    chain.ForwardKeyDown(key);
}

void Plugin::KeyUp(int32_t key) {
    chain.ForwardKeyUp(key);
}

void Plugin::HornBlow(int32_t hornType) {
    chain.ForwardHornBlow(hornType);
}

void Plugin::DoorOpen() {
    chain.ForwardDoorOpen();
    sim.doorsClosed = false;
    sim.hostSoundTriggers[sim::kHostSoundDoorOpen].RequestPlay();
}

void Plugin::DoorClose() {
    chain.ForwardDoorClose();
    sim.doorsClosed = true;
    sim.hostSoundTriggers[sim::kHostSoundDoorClose].RequestPlay();
}

void Plugin::SetSignal(int32_t aspect) {
    chain.ForwardSetSignal(aspect);
}

void Plugin::SetBeaconData(const BeaconData& beacon) {
    chain.ForwardSetBeaconData(beacon);
}

}  // namespace camcab
