// Further plug-ins of the same host interface, listed in "detailmodulesx64.txt": loaded by
// Load, version-checked by GetPluginVersion, handed every host call, chained inside Elapse
// and released by Dispose.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "plugin/HostRecords.h"

namespace camcab::chain {

// The handle values the library hands to the first module of the chain.
struct ChainInputs {
    int32_t powerNotch = 0;
    int32_t brakeNotch = 0;
    int32_t reverserPosition = 0;
    bool passBrake = true;  // whether a changed brake notch may be handed on this frame
};

class DetailModuleChain {
public:
    void LoadModules(const std::wstring& pluginDirectory);
    // Throws std::runtime_error carrying the version mismatch message.
    void CheckVersions() const;
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
    Handles Run(const VehicleState& state, int32_t* panel, int32_t* sound, const ChainInputs& inputs);

    Handles mergedHandles{};
    bool primeModules = true;
};

}  // namespace camcab::chain
