// One chained plug-in: its library handle, its sixteen entry points and the handle values
// last handed to it.
#pragma once

#include <cstdint>

#include "host/HostRecords.h"
#include "platform/Module.h"

namespace camcab::chain {

struct DetailModule {
    platform::ModuleHandle module = nullptr;  // never null for a module in the list

    // The module's exports of these names; null where it does not export one.
    LoadFn Load = nullptr;
    DisposeFn Dispose = nullptr;
    GetPluginVersionFn GetPluginVersion = nullptr;
    SetVehicleSpecFn SetVehicleSpec = nullptr;
    InitializeFn Initialize = nullptr;
    ElapseFn Elapse = nullptr;
    SetPowerFn SetPower = nullptr;
    SetBrakeFn SetBrake = nullptr;
    SetReverserFn SetReverser = nullptr;
    KeyDownFn KeyDown = nullptr;
    KeyUpFn KeyUp = nullptr;
    HornBlowFn HornBlow = nullptr;
    DoorOpenFn DoorOpen = nullptr;
    DoorCloseFn DoorClose = nullptr;
    SetSignalFn SetSignal = nullptr;
    SetBeaconDataFn SetBeaconData = nullptr;

    int32_t lastSentBrake = 0;
    int32_t lastSentPower = 0;
    int32_t lastSentReverser = 0;
};

// Looks up the sixteen entry points of a loaded library; the last-sent values start at 0.
DetailModule BindDetailModule(platform::ModuleHandle module);

}  // namespace camcab::chain
