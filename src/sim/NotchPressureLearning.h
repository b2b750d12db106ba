// The straight air pipe pressure of each brake notch: a linear guess when the vehicle is
// announced, then learned notch by notch by watching the pressure settle while a notch is held.
#pragma once

#include <cstdint>
#include <vector>

#include "host/HostRecords.h"

namespace camcab::sim {

struct HandleState;
struct BrakeOverrideState;

inline constexpr float kFullServicePressureKpa = 420.0f;

// The most brake notches the pressure table holds; a vehicle with more keeps its notch
// numbers, and its higher notches share the table's last entry.
inline constexpr int32_t kMaxBrakeNotches = 1023;

// How long the pressure must stay exactly still before its notch is learned.
inline constexpr int32_t kSteadyBeforeLearningMs = 500;

struct NotchPressureEntry {
    bool learned = false;
    float pressureKpa = 0.0f;
};

struct NotchPressureTable {
    std::vector<NotchPressureEntry> entries;  // one per brake notch 0 .. brakeNotchCount
    uint64_t learnedCount = 0;
};

struct NotchLearningState {
    int32_t sapSteadyMs = 0;  // how long the straight air pipe pressure has not changed
};

// Rebuilds the table for `brakeNotchCount` service notches (at least 1): linear from 0 kPa at
// notch 1 to `fullPressureKpa` at the highest service notch, only notch 0 learned.
void BuildNotchPressureTable(NotchPressureTable& table, int32_t brakeNotchCount,
                             float fullPressureKpa);

// Records `pressureKpa` for `notch` and refills the unlearned notches around it.
void Learn(NotchPressureTable& table, int32_t notch, float pressureKpa);

// One frame: learns the returned brake notch's pressure once it has been steady long enough.
void learnNotchPressure(NotchPressureTable& table, NotchLearningState& learning,
                        const VehicleState& state, const Handles& result,
                        const HandleState& handles, const BrakeOverrideState& brakeOverride,
                        float prevSapPressure, int32_t frameDeltaMs);

}  // namespace camcab::sim
