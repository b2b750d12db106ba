// Records that cross the boundary to the host and to chained plug-ins. The host and every
// chained module use exactly these layouts: little-endian, fields packed in this order.
#pragma once

#include <cstddef>
#include <cstdint>

namespace camcab {

// Interface version of the host's ATS plug-in interface 2.0.
inline constexpr int32_t kInterfaceVersion = 0x20000;

struct VehicleSpec {
    int32_t BrakeNotches;  // service brake notches; emergency is BrakeNotches + 1
    int32_t PowerNotches;
    int32_t AtsNotch;
    int32_t B67Notch;
    int32_t Cars;
};

struct VehicleState {
    double Location;    // m
    float Speed;        // km/h, negative when running backwards
    int32_t Time;       // ms, time of day
    float BcPressure;   // kPa, brake cylinder
    float MrPressure;   // kPa, main reservoir
    float ErPressure;   // kPa, equalising reservoir
    float BpPressure;   // kPa, brake pipe
    float SapPressure;  // kPa, straight air pipe
    float Current;      // A, negative while braking electrically
};

struct Handles {
    int32_t Brake;
    int32_t Power;
    int32_t Reverser;
    int32_t ConstantSpeed;
};

struct BeaconData {
    int32_t Type;
    int32_t Signal;
    float Distance;  // m
    int32_t Optional;
};

// Commands for the host's sound array.
inline constexpr int32_t kSoundStop = -10000;
inline constexpr int32_t kSoundPlayLooping = 0;
inline constexpr int32_t kSoundPlayOnce = 1;
inline constexpr int32_t kSoundContinue = 2;

// Every panel and sound index the library writes lies below this.
inline constexpr int kHostArrayIndexLimit = 256;

static_assert(sizeof(VehicleSpec) == 20);
static_assert(offsetof(VehicleSpec, BrakeNotches) == 0);
static_assert(offsetof(VehicleSpec, PowerNotches) == 4);
static_assert(offsetof(VehicleSpec, AtsNotch) == 8);
static_assert(offsetof(VehicleSpec, B67Notch) == 12);
static_assert(offsetof(VehicleSpec, Cars) == 16);

static_assert(sizeof(VehicleState) == 40);
static_assert(offsetof(VehicleState, Location) == 0);
static_assert(offsetof(VehicleState, Speed) == 8);
static_assert(offsetof(VehicleState, Time) == 12);
static_assert(offsetof(VehicleState, BcPressure) == 16);
static_assert(offsetof(VehicleState, MrPressure) == 20);
static_assert(offsetof(VehicleState, ErPressure) == 24);
static_assert(offsetof(VehicleState, BpPressure) == 28);
static_assert(offsetof(VehicleState, SapPressure) == 32);
static_assert(offsetof(VehicleState, Current) == 36);

static_assert(sizeof(Handles) == 16);
static_assert(offsetof(Handles, Brake) == 0);
static_assert(offsetof(Handles, Power) == 4);
static_assert(offsetof(Handles, Reverser) == 8);
static_assert(offsetof(Handles, ConstantSpeed) == 12);

static_assert(sizeof(BeaconData) == 16);
static_assert(offsetof(BeaconData, Type) == 0);
static_assert(offsetof(BeaconData, Signal) == 4);
static_assert(offsetof(BeaconData, Distance) == 8);
static_assert(offsetof(BeaconData, Optional) == 12);

// Entry points of the sixteen exports, shared by the library, chained modules and hosts.
extern "C" {
using LoadFn = void (*)();
using DisposeFn = void (*)();
using GetPluginVersionFn = int32_t (*)();
using SetVehicleSpecFn = void (*)(VehicleSpec);
using InitializeFn = void (*)(int32_t);
using ElapseFn = Handles (*)(VehicleState, int32_t*, int32_t*);
using SetPowerFn = void (*)(int32_t);
using SetBrakeFn = void (*)(int32_t);
using SetReverserFn = void (*)(int32_t);
using KeyDownFn = void (*)(int32_t);
using KeyUpFn = void (*)(int32_t);
using HornBlowFn = void (*)(int32_t);
using DoorOpenFn = void (*)();
using DoorCloseFn = void (*)();
using SetSignalFn = void (*)(int32_t);
using SetBeaconDataFn = void (*)(BeaconData);
}

// The sixteen export names, in the order chained modules are searched for them.
inline constexpr const char* kExportNames[16] = {
    "Load",     "Dispose",   "GetPluginVersion", "SetVehicleSpec", "Initialize", "Elapse",
    "SetPower", "SetBrake",  "SetReverser",      "KeyDown",        "KeyUp",      "HornBlow",
    "DoorOpen", "DoorClose", "SetSignal",        "SetBeaconData"};

}  // namespace camcab
