// The sixteen exports of the host's ATS plug-in interface. Each acts on the one process-wide
// Plugin. Nothing but the version-mismatch error of GetPluginVersion leaves an export.
#include <stdexcept>

#include "host/HostRecords.h"
#include "platform/ProcessAttach.h"
#include "plugin/Plugin.h"

namespace {

camcab::Plugin& Instance() {
    static camcab::Plugin plugin(
        camcab::PluginDirectoryOf(camcab::platform::AttachedLibraryPath()));
    return plugin;
}

// The handles of the last frame that completed; answered again if a frame fails.
camcab::Handles lastHandles{};

// How many exports are running. The host calls one at a time, so a call made while another
// runs comes from a chained module calling back into the plug-in.
constinit int exportDepth = 0;

struct ExportCall {
    ExportCall() { ++exportDepth; }
    ~ExportCall() { --exportDepth; }
    ExportCall(const ExportCall&) = delete;
    ExportCall& operator=(const ExportCall&) = delete;
};

// Any export called back by a chained module while one of ours runs does nothing: Load would
// load the chain again inside itself; Dispose would release the module that is calling, or
// those still in use up the stack; and a module that chains plug-ins itself and lists this one
// would hand every forwarded call back to us, and we to it, without end.
bool CalledBackByModule() {
    return exportDepth > 0;
}

template <typename Work>
void Guarded(Work&& work) noexcept {
    if (CalledBackByModule()) {
        return;
    }
    const ExportCall call;
    try {
        work(Instance());
    } catch (...) {
    }
}

}  // namespace

extern "C" {

void Load() {
    Guarded([](camcab::Plugin& p) { p.Load(); });
}

void Dispose() {
    Guarded([](camcab::Plugin& p) { p.Dispose(); });
}

int32_t GetPluginVersion() {
    if (CalledBackByModule()) {
        return camcab::kInterfaceVersion;
    }
    // The count is taken back before the error leaves, so that it does not depend on how the
    // host unwinds a foreign exception.
    ++exportDepth;
    try {
        const int32_t version = Instance().GetPluginVersion();
        --exportDepth;
        return version;
    } catch (const std::runtime_error&) {
        --exportDepth;
        throw;  // a chained module of another interface version: the host must see it
    } catch (...) {
        --exportDepth;
        return camcab::kInterfaceVersion;
    }
}

void SetVehicleSpec(camcab::VehicleSpec spec) {
    Guarded([&](camcab::Plugin& p) { p.SetVehicleSpec(spec); });
}

void Initialize(int32_t handlePosition) {
    Guarded([&](camcab::Plugin& p) { p.Initialize(handlePosition); });
}

camcab::Handles Elapse(camcab::VehicleState state, int32_t* panel, int32_t* sound) {
    Guarded([&](camcab::Plugin& p) { lastHandles = p.Elapse(state, panel, sound); });
    return lastHandles;
}

void SetPower(int32_t notch) {
    Guarded([&](camcab::Plugin& p) { p.SetPower(notch); });
}

void SetBrake(int32_t notch) {
    Guarded([&](camcab::Plugin& p) { p.SetBrake(notch); });
}

void SetReverser(int32_t position) {
    Guarded([&](camcab::Plugin& p) { p.SetReverser(position); });
}

void KeyDown(int32_t key) {
    Guarded([&](camcab::Plugin& p) { p.KeyDown(key); });
}

void KeyUp(int32_t key) {
    Guarded([&](camcab::Plugin& p) { p.KeyUp(key); });
}

void HornBlow(int32_t hornType) {
    Guarded([&](camcab::Plugin& p) { p.HornBlow(hornType); });
}

void DoorOpen() {
    Guarded([](camcab::Plugin& p) { p.DoorOpen(); });
}

void DoorClose() {
    Guarded([](camcab::Plugin& p) { p.DoorClose(); });
}

void SetSignal(int32_t aspect) {
    Guarded([&](camcab::Plugin& p) { p.SetSignal(aspect); });
}

void SetBeaconData(camcab::BeaconData beacon) {
    Guarded([&](camcab::Plugin& p) { p.SetBeaconData(beacon); });
}

}  // extern "C"
