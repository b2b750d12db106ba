// The straight air pipe pressure of each brake notch: a linear guess when the vehicle is
// announced, then learned notch by notch by watching the pressure settle while a notch is held.
#pragma once

#include <cstdint>
#include <vector>

#include "host/HostRecords.h"
#include "sim/BrakeOverride.h"
#include "sim/FrameState.h"
#include "sim/HandleInput.h"

namespace camcab::sim {

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

// Rebuilds the table for `brakeNotchCount` service notches (at least 1): linear from 0 kPa at
// notch 1 to `fullPressureKpa` at the highest service notch, only notch 0 learned.
void BuildNotchPressureTable(NotchPressureTable& table, int32_t brakeNotchCount,
                             float fullPressureKpa);

// Records `pressureKpa` for `notch` and refills the unlearned notches around it.
void Learn(NotchPressureTable& table, int32_t notch, float pressureKpa);

class NotchPressureLearning {
  public:
    // A vehicle with more notches than the table holds keeps its notch numbers; notches
    // beyond the table read its highest entry and are not learned.
    void OnVehicleSpec(int32_t brakeNotches);
    // One frame: learns the returned brake notch's pressure once it has been steady long
    // enough. The step runs on every frame; the brake override keeps it from learning, not
    // from timing.
    void LearnFrame(const VehicleState& state, const Handles& result, const HandleInput& handles,
                    const BrakeOverride& brakeOverride, const FrameState& frame);
    // The learned pressure of `brakeNotch`; a notch outside the table reads its nearest
    // entry, and an empty table (no vehicle announced yet) reads 0.
    float TargetKpa(int32_t brakeNotch, int32_t brakeNotchCount) const;
    const NotchPressureTable& Table() const { return table_; }

  private:
    NotchPressureTable table_;
    int32_t sapSteadyMs_ = 0;  // how long the straight air pipe pressure has not changed
};

}  // namespace camcab::sim
