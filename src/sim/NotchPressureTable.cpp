#include "sim/NotchPressureTable.h"

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

}  // namespace camcab::sim
