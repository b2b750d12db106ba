#include "sim/NotchPressureLearning.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace camcab::sim {

void BuildNotchPressureTable(NotchPressureTable& table, int32_t brakeNotchCount,
                             float fullPressureKpa) {
    const int32_t count = brakeNotchCount < 1 ? 1 : brakeNotchCount;
    table.entries.assign(static_cast<std::size_t>(count) + 1, NotchPressureEntry{});
    table.entries[0] = {true, 0.0f};
    table.entries[1] = {false, 0.0f};
    table.entries[count] = {false, fullPressureKpa};
    const float stepKpa = fullPressureKpa / (static_cast<float>(count) - 1.0f);
    for (int32_t i = 2; i < count; ++i) {
        table.entries[i] = {false, static_cast<float>(i) * stepKpa - stepKpa};
    }
    table.learnedCount = 1;
}

void Learn(NotchPressureTable& table, int32_t notch, float pressureKpa) {
    std::vector<NotchPressureEntry>& e = table.entries;
    const int32_t size = static_cast<int32_t>(e.size());
    if (notch < 0 || notch >= size || (notch >= 2 && pressureKpa == 0.0f)) {
        return;
    }
    const int32_t a = notch;
    e[a] = {true, pressureKpa};
    ++table.learnedCount;
    if (table.learnedCount >= e.size()) {
        return;
    }
    const float va = e[a].pressureKpa;

    // Upward: on the line to the next learned notch above, or to the highest notch.
    int32_t r = size - 1;
    for (int32_t j = a + 1; j < size; ++j) {
        if (e[j].learned) {
            r = j;
            break;
        }
    }
    if (r - a >= 2) {
        const float slope = (e[r].pressureKpa - va) / static_cast<float>(r - a);
        for (int32_t j = a + 1; j < r; ++j) {
            e[j].pressureKpa = static_cast<float>(j) * slope + (va - slope * static_cast<float>(a));
        }
    }

    // Downward: on the line from the nearest learned notch below, notch 1 standing in for
    // notch 0 or none.
    int32_t k = 1;
    for (int32_t j = a - 1; j >= 1; --j) {
        if (e[j].learned) {
            k = j;
            break;
        }
    }
    if (a - k >= 2) {
        const float slope = (e[k].pressureKpa - va) / static_cast<float>(a - k);
        for (int32_t j = k + 1; j < a; ++j) {
            e[j].pressureKpa = va + static_cast<float>(a - j) * slope;
        }
    }
}

void NotchPressureLearning::OnVehicleSpec(int32_t brakeNotches) {
    BuildNotchPressureTable(table_, std::min(brakeNotches, kMaxBrakeNotches),
                            kFullServicePressureKpa);
}

void NotchPressureLearning::LearnFrame(const VehicleState& state, const Handles& result,
                                       const HandleInput& handles,
                                       const BrakeOverride& brakeOverride,
                                       const FrameState& frame) {
    const float sapKpa = state.SapPressure;
    sapSteadyMs_ = sapKpa == frame.PrevSapKpa() ? AddMs(sapSteadyMs_, frame.DeltaMs()) : 0;
    if (result.Brake != handles.AcceptedBrakeNotch()) {
        sapSteadyMs_ = 0;
    }
    const uint64_t size = table_.entries.size();
    // Only a real pressure is learned: an infinite one would spoil the fills around it.
    if (!handles.Key9On() && !brakeOverride.IsWatching() && std::isfinite(sapKpa) &&
        !brakeOverride.IsWaitingForFall() && sapSteadyMs_ > kSteadyBeforeLearningMs &&
        result.Brake >= 0 && static_cast<uint64_t>(result.Brake) < size &&
        table_.learnedCount < size && !table_.entries[static_cast<size_t>(result.Brake)].learned) {
        Learn(table_, result.Brake, sapKpa);
    }
}

float NotchPressureLearning::TargetKpa(int32_t brakeNotch, int32_t brakeNotchCount) const {
    if (table_.entries.empty()) {
        return 0.0f;
    }
    int64_t notch = brakeNotch < brakeNotchCount ? brakeNotch : brakeNotchCount;
    const int64_t last = static_cast<int64_t>(table_.entries.size()) - 1;
    notch = notch < 0 ? 0 : notch > last ? last : notch;
    return table_.entries[static_cast<size_t>(notch)].pressureKpa;
}

}  // namespace camcab::sim
