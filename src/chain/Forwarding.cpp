// Host calls handed to every module in list order, before the library's own work. Records
// are passed by value, so each module gets a fresh copy and cannot change the next one's. A
// module that fails in a call misses only that call: the next one still gets it.
#include "chain/DetailModuleChain.h"
#include "platform/ContainedCall.h"
#include "platform/Module.h"
#include "platform/WideText.h"

namespace camcab::chain {
namespace {}  // namespace

// Indexing (not iterators) keeps the loop safe should a module call back into the list.
template <typename EntryPoint, typename... Args>
void DetailModuleChain::ForwardToAll(EntryPoint DetailModule::*entry, const char* name,
                                     const Args&... args) {
    for (std::size_t i = 0; i < detailModules.size(); ++i) {
        const EntryPoint entryPoint = detailModules[i].*entry;
        const platform::ModuleHandle module = detailModules[i].module;
        if (entryPoint != nullptr && !platform::Contained([&] { entryPoint(args...); })) {
            TellFailure(module, name);
        }
    }
}

void DetailModuleChain::TellFailure(platform::ModuleHandle module,
                                    const char* entry) const noexcept {
    if (events_ != nullptr) {
        events_->Tell([module, entry] {
            return "module " + platform::EncodeUtf8(platform::ModuleFileName(module)) +
                   " failed in " + entry;
        });
    }
}

void DetailModuleChain::ForwardSetVehicleSpec(const VehicleSpec& spec) {
    ForwardToAll(&DetailModule::SetVehicleSpec, "SetVehicleSpec", spec);
}

void DetailModuleChain::ForwardInitialize(int32_t handlePosition) {
    ForwardToAll(&DetailModule::Initialize, "Initialize", handlePosition);
}

void DetailModuleChain::ForwardKeyDown(int32_t key) {
    ForwardToAll(&DetailModule::KeyDown, "KeyDown", key);
}

void DetailModuleChain::ForwardKeyUp(int32_t key) {
    ForwardToAll(&DetailModule::KeyUp, "KeyUp", key);
}

void DetailModuleChain::ForwardHornBlow(int32_t hornType) {
    ForwardToAll(&DetailModule::HornBlow, "HornBlow", hornType);
}

void DetailModuleChain::ForwardDoorOpen() {
    ForwardToAll(&DetailModule::DoorOpen, "DoorOpen");
}

void DetailModuleChain::ForwardDoorClose() {
    ForwardToAll(&DetailModule::DoorClose, "DoorClose");
}

void DetailModuleChain::ForwardSetSignal(int32_t aspect) {
    ForwardToAll(&DetailModule::SetSignal, "SetSignal", aspect);
}

void DetailModuleChain::ForwardSetBeaconData(const BeaconData& beacon) {
    ForwardToAll(&DetailModule::SetBeaconData, "SetBeaconData", beacon);
}

}  // namespace camcab::chain
