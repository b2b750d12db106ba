// camcab-passthrough: a detail module that hands the driver's handles on unchanged. The
// plug-in returns the chain's brake notch, so a vehicle without a braking module of its own
// chains this one; every other call does nothing.
#include "host/HostRecords.h"

namespace {

int32_t power = 0;
int32_t brake = 0;
int32_t reverser = 0;

}  // namespace

using camcab::BeaconData;
using camcab::Handles;
using camcab::VehicleSpec;
using camcab::VehicleState;

// The .def file (Windows) and the version script (Linux) export exactly these names.
extern "C" {

void Load() {}
void Dispose() {}
int32_t GetPluginVersion() {
    return camcab::kInterfaceVersion;
}
void SetVehicleSpec(VehicleSpec) {}
void Initialize(int32_t) {}
Handles Elapse(VehicleState, int32_t*, int32_t*) {
    return Handles{brake, power, reverser, 0};
}
void SetPower(int32_t notch) {
    power = notch;
}
void SetBrake(int32_t notch) {
    brake = notch;
}
void SetReverser(int32_t position) {
    reverser = position;
}
void KeyDown(int32_t) {}
void KeyUp(int32_t) {}
void HornBlow(int32_t) {}
void DoorOpen() {}
void DoorClose() {}
void SetSignal(int32_t) {}
void SetBeaconData(BeaconData) {}

}  // extern "C"
