// Host calls handed to every module in list order, before the library's own work. Records
// are passed by value, so each module gets a fresh copy and cannot change the next one's. A
// module that fails in a call misses only that call: the next one still gets it.
#include "chain/DetailModuleChain.h"
#include "platform/ContainedCall.h"

namespace camcab::chain {
namespace {

// Indexing (not iterators) keeps the loop safe should a module call back into the list.
template <typename EntryPoint, typename... Args>
void ForwardToAll(const std::vector<DetailModule>& modules, EntryPoint DetailModule::*entry,
                  const Args&... args) {
    for (std::size_t i = 0; i < modules.size(); ++i) {
        const EntryPoint entryPoint = modules[i].*entry;
        if (entryPoint != nullptr) {
            platform::Contained([&] { entryPoint(args...); });
        }
    }
}

}  // namespace

void DetailModuleChain::ForwardSetVehicleSpec(const VehicleSpec& spec) {
    ForwardToAll(detailModules, &DetailModule::SetVehicleSpec, spec);
}

void DetailModuleChain::ForwardInitialize(int32_t handlePosition) {
    ForwardToAll(detailModules, &DetailModule::Initialize, handlePosition);
}

void DetailModuleChain::ForwardKeyDown(int32_t key) {
    ForwardToAll(detailModules, &DetailModule::KeyDown, key);
}

void DetailModuleChain::ForwardKeyUp(int32_t key) {
    ForwardToAll(detailModules, &DetailModule::KeyUp, key);
}

void DetailModuleChain::ForwardHornBlow(int32_t hornType) {
    ForwardToAll(detailModules, &DetailModule::HornBlow, hornType);
}

void DetailModuleChain::ForwardDoorOpen() {
    ForwardToAll(detailModules, &DetailModule::DoorOpen);
}

void DetailModuleChain::ForwardDoorClose() {
    ForwardToAll(detailModules, &DetailModule::DoorClose);
}

void DetailModuleChain::ForwardSetSignal(int32_t aspect) {
    ForwardToAll(detailModules, &DetailModule::SetSignal, aspect);
}

void DetailModuleChain::ForwardSetBeaconData(const BeaconData& beacon) {
    ForwardToAll(detailModules, &DetailModule::SetBeaconData, beacon);
}

}  // namespace camcab::chain
