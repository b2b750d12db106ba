// Further plug-ins of the same host interface, listed in "detailmodulesx64.txt": loaded by
// Load, version-checked by GetPluginVersion, handed every host call, chained inside Elapse
// and released by Dispose.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "chain/DetailModule.h"
#include "config/VehicleFolder.h"
#include "host/EventChannel.h"
#include "host/HostRecords.h"

namespace camcab::chain {

// The name of the list file in the plug-in's folder.
inline constexpr const wchar_t* kModuleListFileName = config::kModuleListFile;

// The handle values the library hands to the first module of the chain.
struct ChainInputs {
    int32_t powerNotch = 0;
    int32_t brakeNotch = 0;
    int32_t reverserPosition = 0;
    bool passBrake = true;  // whether a changed brake notch may be handed on this frame
};

class DetailModuleChain {
  public:
    // Reads the list file in `pluginDirectory` and appends every loadable module, running
    // each module's Load before it joins the list. An entry naming this library, or a library
    // still inside its own Load (a copy of the plug-in that loads this one), is skipped. An
    // empty `pluginDirectory` (the folder is unknown) loads nothing.
    void LoadModules(const std::wstring& pluginDirectory);
    // Asks each module its interface version, in list order. Throws std::runtime_error
    // carrying VersionMismatchMessage at the first module of another version.
    void CheckVersions() const;
    // Disposes and releases each module in list order; each record leaves the list before
    // its module's Dispose runs.
    void UnloadModules();

    void ForwardSetVehicleSpec(const VehicleSpec& spec);
    void ForwardInitialize(int32_t handlePosition);
    void ForwardKeyDown(int32_t key);
    void ForwardKeyUp(int32_t key);
    void ForwardHornBlow(int32_t hornType);
    void ForwardDoorOpen();
    void ForwardDoorClose();
    void ForwardSetSignal(int32_t aspect);
    void ForwardSetBeaconData(const BeaconData& beacon);

    // Runs the chain for one frame and returns mergedHandles.
    Handles Run(const VehicleState& state, int32_t* panel, int32_t* sound,
                const ChainInputs& inputs);

    const std::vector<DetailModule>& modules() const { return detailModules; }

    // Where a module's failure is told ("module PATH failed in Elapse"); by default nowhere.
    void TellFailuresTo(const EventChannel& events) { events_ = &events; }

    // The answer of the last module Elapse called; carried across frames and Dispose.
    Handles mergedHandles{};
    // Until the first frame that finds a module, every handle value is sent unconditionally.
    bool primeModules = true;

  private:
    using SetterFn = void (*)(int32_t);
    // Hands `value` to module i's setter (when it differs from the last one sent, or always)
    // and records it as sent; calls module i's Elapse into mergedHandles. False when module
    // i is no longer in the list.
    bool Send(std::size_t i, SetterFn DetailModule::*setter, int32_t DetailModule::*lastSent,
              int32_t value, bool always);
    bool CallElapse(std::size_t i, const VehicleState& state, int32_t* panel, int32_t* sound);
    template <typename EntryPoint, typename... Args>
    void ForwardToAll(EntryPoint DetailModule::*entry, const char* name, const Args&... args);
    // Tells the event channel that `module` failed in `entry`.
    void TellFailure(platform::ModuleHandle module, const char* entry) const noexcept;

    std::vector<DetailModule> detailModules;
    const EventChannel* events_ = nullptr;
};

// The module's path in the C library's current multibyte encoding (cut to whole characters
// within 235 bytes, empty when a character cannot be converted) followed by
// "のバージョンが不正です。" in code page 932.
std::string VersionMismatchMessage(const std::wstring& modulePath);

}  // namespace camcab::chain
