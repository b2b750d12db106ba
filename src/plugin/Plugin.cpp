#include "plugin/Plugin.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <random>

#include "config/VehicleFolder.h"
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

// The breaker delay in whole milliseconds, truncated in double precision (0.29 s is 289 ms).
// A delay beyond the int range saturates; one that is not a number counts as none.
int32_t BreakerDelayMs(float seconds) {
    const double ms = static_cast<double>(seconds) * 1000.0;
    if (std::isnan(ms)) {
        return 0;
    }
    return ms <= -2147483648.0  ? INT32_MIN
           : ms >= 2147483647.0 ? INT32_MAX
                                : static_cast<int32_t>(ms);
}

}  // namespace

std::wstring PluginDirectoryOf(const std::wstring& libraryPath) {
    return platform::FolderOf(libraryPath);
}

Plugin::Plugin(std::wstring directory) : pluginDirectory(std::move(directory)) {}

void Plugin::Load() {
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

    // 6. The initial line voltage: 1400.0 to 1599.0 V.
    sim.panel.lineVoltageBase = 1400.0f + static_cast<float>(DrawRandom() % 200u);
    // The line voltage then wanders on numbers seeded from the same device.
    sim.panel.random.seed(DrawRandom());

    // 7, 8. The second reverser sound's length and its second voice.
    sound.PrepareSecondReverserVoice();

    // 9. Configuration values the simulation reads every frame.
    const config::NotchTable& notch = config.notchTable;
    sim.camshaft.regenReleased = false;
    sim.camshaft.currentLimitEmpty = notch.CurrentLimitEmpty;
    sim.camshaft.breakerDelayMs = BreakerDelayMs(notch.BreakerDelayOn);
    sim.brakeDisplays.noLoadCurrent = notch.NoLoadCurrent;
    sim.camshaft.brakeTopNotch = static_cast<int32_t>(static_cast<uint32_t>(notch.BrakeTopNotch));
    sim.handles.key5Switch.on = false;
    sim.handles.key6Switch.on = false;
    sim.handles.key8Switch.on = false;
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
    const int32_t brakeNotches = std::max(spec.BrakeNotches, 1);
    sim.handles.brakeNotchCount = brakeNotches;
    sim.handles.emergencyNotch = brakeNotches == INT32_MAX ? INT32_MAX : brakeNotches + 1;
    // A count beyond any real vehicle keeps its notch numbers, but its pressure table is
    // bounded: notches beyond the table read its highest entry and are not learned.
    sim::BuildNotchPressureTable(sim.notchPressure, std::min(brakeNotches, sim::kMaxBrakeNotches),
                                 sim::kFullServicePressureKpa);
}

void Plugin::Initialize(int32_t handlePosition) {
    chain.ForwardInitialize(handlePosition);
    sim::FrameState& frame = sim.frame;
    frame.prevBcPressure = 0.0f;
    frame.prevBpPressure = 0.0f;
    frame.prevSapPressure = 0.0f;
    frame.prevAbsCurrent = 0.0f;
    frame.prevCurrent = 0.0f;
    sim.panel.blinkTimerMs = 0;
    sim::CamshaftState& cam = sim.camshaft;
    cam.camAtStart = false;
    cam.reverser1Pending = false;
    cam.reverser2Pending = false;
    cam.forwardSelected = false;
    cam.backwardSelected = false;
    cam.forwardSet = false;
    cam.backwardSet = false;
    sim.handles.brakeRaised = false;
    cam.start1Armed = true;
    cam.start2Armed = true;
}

Handles Plugin::Elapse(const VehicleState& state, int32_t* panel, int32_t* soundArray) {
    return sim::FrameDriver(sim, chain, sound, config).Elapse(state, panel, soundArray);
}

sim::HandleContext Plugin::Handling() {
    return sim::HandleContext{sim.handles,
                              sim.camshaft,
                              sim.hostSoundTriggers,
                              sim.panel,
                              config.panelTest.PanelModifyEnabled,
                              sound};
}

void Plugin::SetPower(int32_t notch) {
    sim::HandleContext c = Handling();
    sim::SetPower(c, notch);
}

void Plugin::SetBrake(int32_t notch) {
    sim::HandleContext c = Handling();
    sim::SetBrake(c, notch);
}

void Plugin::SetReverser(int32_t position) {
    sim::HandleContext c = Handling();
    sim::SetReverser(c, position);
}

void Plugin::KeyDown(int32_t key) {
    chain.ForwardKeyDown(key);
    sim::HandleContext c = Handling();
    sim::KeyDown(c, key);
}

void Plugin::KeyUp(int32_t key) {
    chain.ForwardKeyUp(key);
    sim::HandleContext c = Handling();
    sim::KeyUp(c, key);
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
