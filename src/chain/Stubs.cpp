// Placeholder chain until detail-module loading is built: no module is ever loaded.
#include "chain/DetailModuleChain.h"

namespace camcab::chain {
void DetailModuleChain::LoadModules(const std::wstring&) {}
void DetailModuleChain::CheckVersions() const {}
void DetailModuleChain::UnloadModules() {}
void DetailModuleChain::ForwardSetVehicleSpec(const VehicleSpec&) {}
void DetailModuleChain::ForwardInitialize(int32_t) {}
void DetailModuleChain::ForwardKeyDown(int32_t) {}
void DetailModuleChain::ForwardKeyUp(int32_t) {}
void DetailModuleChain::ForwardHornBlow(int32_t) {}
void DetailModuleChain::ForwardDoorOpen() {}
void DetailModuleChain::ForwardDoorClose() {}
void DetailModuleChain::ForwardSetSignal(int32_t) {}
void DetailModuleChain::ForwardSetBeaconData(const BeaconData&) {}
Handles DetailModuleChain::Run(const VehicleState&, int32_t*, int32_t*, const ChainInputs&) {
    return mergedHandles;
}
}  // namespace camcab::chain
