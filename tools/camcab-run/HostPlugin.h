// A plug-in loaded the way the host loads it: by full path, its sixteen exports looked up
// by name.
#pragma once

#include <string>

#include "platform/Module.h"
#include "plugin/HostRecords.h"

namespace camcab::run {

struct HostPlugin {
    platform::ModuleHandle module = nullptr;
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
};

// Loads the plug-in and every export. On failure returns false with a message naming the
// path and what is wrong (missing file, not loadable, missing exports); nothing stays loaded.
bool LoadHostPlugin(const std::wstring& path, HostPlugin& plugin, std::string& error);

void UnloadHostPlugin(HostPlugin& plugin);

}  // namespace camcab::run
