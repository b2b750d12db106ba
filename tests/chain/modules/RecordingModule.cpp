// A chained plug-in for tests. It reports every call it receives, with its arguments, to the
// sink a test attaches, and answers Elapse with a configured record.
//
// Variants, chosen at build time:
//   RECORDER_FEW_EXPORTS   only Load, Dispose, SetPower, SetBrake and KeyDown
//   RECORDER_NO_EXPORTS    none of the sixteen names
//   RECORDER_VERSION=v     GetPluginVersion answers v
//   RECORDER_ALTERS        changes every record it is given and writes the reported panel
//                          and sound elements
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#ifdef _WIN32
#include <windows.h>
#endif

#include "chain/modules/RecordingModuleApi.h"

#ifdef _WIN32
#define MODULE_EXPORT extern "C" __declspec(dllexport)
#else
#define MODULE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

#ifndef RECORDER_VERSION
#define RECORDER_VERSION 0x20000
#endif

using camcab::BeaconData;
using camcab::Handles;
using camcab::VehicleSpec;
using camcab::VehicleState;

namespace {

RecordSink sink = nullptr;
void* sinkContext = nullptr;
char tag[64] = "?";

std::string failingEntries;  // " Load Elapse " or " * "
int failure = kFailWithCppException;

bool answerSet = false;
Handles answer{};
[[maybe_unused]] int32_t lastPower = 0;
[[maybe_unused]] int32_t lastBrake = 0;
[[maybe_unused]] int32_t lastReverser = 0;

#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
void Report(const char* format, ...) {
    if (sink == nullptr) {
        return;
    }
    char line[512];
    int length = std::snprintf(line, sizeof line, "%s ", tag);
    if (length < 0 || length >= static_cast<int>(sizeof line)) {
        return;
    }
    va_list args;
    va_start(args, format);
    std::vsnprintf(line + length, sizeof line - static_cast<size_t>(length), format, args);
    va_end(args);
    sink(sinkContext, line);
}

// After the call is reported: fails when asked to for this export.
[[maybe_unused]] void FailIfAsked(const char* entry) {
    if (failingEntries.find(" * ") == std::string::npos &&
        failingEntries.find(std::string(" ") + entry + " ") == std::string::npos) {
        return;
    }
    switch (failure) {
        case kFailWithUnknownType:
            throw 42;
#ifdef _WIN32
        case kFailWithMsvcException:
            RaiseException(0xE06D7363, EXCEPTION_NONCONTINUABLE, 0, nullptr);
            return;
#endif
        default:
            throw std::runtime_error(std::string(entry) + " failed");
    }
}

// Reports the library's release: its static objects die when the last reference goes.
struct UnloadReporter {
    ~UnloadReporter() { Report("unloaded"); }
} unloadReporter;

}  // namespace

MODULE_EXPORT void RecorderAttach(RecordSink newSink, void* context, const char* newTag) {
    sink = newSink;
    sinkContext = context;
    std::snprintf(tag, sizeof tag, "%s", newTag != nullptr ? newTag : "?");
}

MODULE_EXPORT void RecorderFail(const char* entries, int newFailure) {
    failingEntries = std::string(" ") + (entries != nullptr ? entries : "") + " ";
    failure = newFailure;
}

MODULE_EXPORT void RecorderAnswer(const Handles* newAnswer) {
    answerSet = newAnswer != nullptr;
    if (newAnswer != nullptr) {
        answer = *newAnswer;
    }
}

#if !defined(RECORDER_NO_EXPORTS)

MODULE_EXPORT void Load() {
    Report("Load");
    FailIfAsked("Load");
}

MODULE_EXPORT void Dispose() {
    Report("Dispose");
    FailIfAsked("Dispose");
}

MODULE_EXPORT void SetPower(int32_t notch) {
    lastPower = notch;
    Report("SetPower %d", notch);
    FailIfAsked("SetPower");
}

MODULE_EXPORT void SetBrake(int32_t notch) {
    lastBrake = notch;
    Report("SetBrake %d", notch);
    FailIfAsked("SetBrake");
}

MODULE_EXPORT void KeyDown(int32_t key) {
    Report("KeyDown %d", key);
    FailIfAsked("KeyDown");
}

#endif

#if !defined(RECORDER_NO_EXPORTS) && !defined(RECORDER_FEW_EXPORTS)

MODULE_EXPORT int32_t GetPluginVersion() {
    Report("GetPluginVersion");
    FailIfAsked("GetPluginVersion");
    return RECORDER_VERSION;
}

MODULE_EXPORT void SetVehicleSpec(VehicleSpec spec) {
    Report("SetVehicleSpec %d %d %d %d %d", spec.BrakeNotches, spec.PowerNotches, spec.AtsNotch,
           spec.B67Notch, spec.Cars);
#if defined(RECORDER_ALTERS)
    std::memset(&spec, 0xFF, sizeof spec);
#endif
    FailIfAsked("SetVehicleSpec");
}

MODULE_EXPORT void Initialize(int32_t handlePosition) {
    Report("Initialize %d", handlePosition);
    FailIfAsked("Initialize");
}

MODULE_EXPORT Handles Elapse(VehicleState state, int32_t* panel, int32_t* sound) {
    Report("Elapse %.17g %.9g %d %.9g %.9g %.9g %.9g %.9g %.9g panel=%d sound=%d", state.Location,
           static_cast<double>(state.Speed), state.Time, static_cast<double>(state.BcPressure),
           static_cast<double>(state.MrPressure), static_cast<double>(state.ErPressure),
           static_cast<double>(state.BpPressure), static_cast<double>(state.SapPressure),
           static_cast<double>(state.Current), panel != nullptr ? panel[kReportedPanelIndex] : -1,
           sound != nullptr ? sound[kReportedSoundIndex] : -1);
#if defined(RECORDER_ALTERS)
    std::memset(&state, 0xFF, sizeof state);
    if (panel != nullptr) {
        panel[kReportedPanelIndex] = 3003;
    }
    if (sound != nullptr) {
        sound[kReportedSoundIndex] = camcab::kSoundPlayOnce;
    }
#endif
    FailIfAsked("Elapse");
    if (answerSet) {
        return answer;
    }
    return Handles{lastBrake, lastPower, lastReverser, 0};
}

MODULE_EXPORT void SetReverser(int32_t position) {
    lastReverser = position;
    Report("SetReverser %d", position);
    FailIfAsked("SetReverser");
}

MODULE_EXPORT void KeyUp(int32_t key) {
    Report("KeyUp %d", key);
    FailIfAsked("KeyUp");
}

MODULE_EXPORT void HornBlow(int32_t hornType) {
    Report("HornBlow %d", hornType);
    FailIfAsked("HornBlow");
}

MODULE_EXPORT void DoorOpen() {
    Report("DoorOpen");
    FailIfAsked("DoorOpen");
}

MODULE_EXPORT void DoorClose() {
    Report("DoorClose");
    FailIfAsked("DoorClose");
}

MODULE_EXPORT void SetSignal(int32_t aspect) {
    Report("SetSignal %d", aspect);
    FailIfAsked("SetSignal");
}

MODULE_EXPORT void SetBeaconData(BeaconData beacon) {
    Report("SetBeaconData %d %d %.9g %d", beacon.Type, beacon.Signal,
           static_cast<double>(beacon.Distance), beacon.Optional);
#if defined(RECORDER_ALTERS)
    std::memset(&beacon, 0xFF, sizeof beacon);
#endif
    FailIfAsked("SetBeaconData");
}

#endif
