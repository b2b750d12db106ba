// The learned straight-air-pipe pressure of each brake notch.
#pragma once

#include <cstdint>
#include <vector>

namespace camcab::sim {

inline constexpr float kFullServicePressureKpa = 420.0f;

// The most service brake notches a vehicle may have; larger counts are taken as this.
inline constexpr int32_t kMaxBrakeNotches = 1023;

struct NotchPressureEntry {
    bool learned = false;
    float pressureKpa = 0.0f;
};

struct NotchPressureTable {
    std::vector<NotchPressureEntry> entries;  // one per brake notch 0 .. brakeNotchCount
    uint64_t learnedCount = 0;
};

// Rebuilds the table for `brakeNotchCount` service notches (at least 1): linear from 0 kPa at
// notch 1 to `fullPressureKpa` at the highest service notch, only notch 0 learned.
void BuildNotchPressureTable(NotchPressureTable& table, int32_t brakeNotchCount,
                             float fullPressureKpa);

}  // namespace camcab::sim
