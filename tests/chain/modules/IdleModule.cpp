// A chained plug-in that does nothing: the cost floor of a module call.
#include "host/HostRecords.h"

#ifdef _WIN32
#define MODULE_EXPORT extern "C" __declspec(dllexport)
#else
#define MODULE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

using namespace camcab;

MODULE_EXPORT void Load() {}
MODULE_EXPORT void Dispose() {}
MODULE_EXPORT int32_t GetPluginVersion() {
    return kInterfaceVersion;
}
MODULE_EXPORT void SetVehicleSpec(VehicleSpec) {}
MODULE_EXPORT void Initialize(int32_t) {}
MODULE_EXPORT Handles Elapse(VehicleState, int32_t*, int32_t*) {
    return Handles{};
}
MODULE_EXPORT void SetPower(int32_t) {}
MODULE_EXPORT void SetBrake(int32_t) {}
MODULE_EXPORT void SetReverser(int32_t) {}
MODULE_EXPORT void KeyDown(int32_t) {}
MODULE_EXPORT void KeyUp(int32_t) {}
MODULE_EXPORT void HornBlow(int32_t) {}
MODULE_EXPORT void DoorOpen() {}
MODULE_EXPORT void DoorClose() {}
MODULE_EXPORT void SetSignal(int32_t) {}
MODULE_EXPORT void SetBeaconData(BeaconData) {}
