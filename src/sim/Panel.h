// The cab panel: lamps, the blinking lamp, the wandering line voltage, the swing indicator,
// the needles and the four-digit display with its panel test mode.
#pragma once

#include <cstdint>
#include <random>

#include "config/NeedleTables.h"
#include "host/HostRecords.h"
#include "sim/BrakeDisplays.h"
#include "sim/Camshaft.h"
#include "sim/FrameState.h"
#include "sim/HandleInput.h"

namespace camcab::sim {

// The swing indicator's rate bounds and key step, in units per second.
inline constexpr float kSwingRateStep = 1000.0f;
inline constexpr float kMaxSwingRate = 50000.0f;

// A panel value from a float: truncated toward zero, saturated at the int range, and 0 for a
// value that is not a number.
inline int32_t PanelValue(float value) {
    if (!(value == value)) {
        return 0;
    }
    if (value >= 2147483648.0f) {
        return INT32_MAX;
    }
    if (value <= -2147483648.0f) {
        return INT32_MIN;
    }
    return static_cast<int32_t>(value);
}

// The swing indicator's shape: its amplitude and the two knots of its odd, continuous curve.
struct SwingShape {
    float amplitude = 10000.0f;
    float innerKnot = 0.1f;
    float outerKnot = 0.7f;
    float innerLevel = 0.025f;
    float outerLevel = 0.975f;
};

// The swing indicator's shaped output at `position`.
float SwingOutput(const SwingShape& shape, float position);

class Panel {
  public:
    // The needle tables and the panel test switch, kept by reference until the next Configure.
    void Configure(const config::NeedleTables& needles, bool panelModifyEnabled);
    // Load draws the initial line voltage and seeds its wander.
    void OnLoad(float lineVoltageBaseV, uint32_t randomSeed);
    void OnInitialize() { blinkTimerMs_ = 0; }
    // Key 0 selects the needle under test, 5 and 6 step its value (not with shift down), 13
    // and 14 slow and speed the swing.
    void OnKeyDown(int32_t key, bool shiftDown);

    // One frame's panel, in its order; the brake displays and exhaust sounds run between the
    // two halves. A null panel array is not written.
    void WriteLampsAndSwing(const FrameState& frame, const HandleInput& handles,
                            const Camshaft& camshaft, const VehicleState& state,
                            int32_t* panelArray);
    void WriteNeedlesAndDigits(const FrameState& frame, const HandleInput& handles,
                               const BrakeDisplays& brakes, const VehicleState& state,
                               int32_t* panelArray);

    // The swing indicator reversed at a high rate since the last look: it knocks.
    bool TakeSwingKnock();

    float LineVoltageBaseV() const { return lineVoltageBaseV_; }
    float SwingRate() const { return swingRate_; }
    int32_t BlinkTimerMs() const { return blinkTimerMs_; }

  private:
    const config::NeedleTables* needles_ = nullptr;
    bool panelModifyEnabled_ = false;

    float lineVoltageBaseV_ = 0.0f;
    float lineVoltageV_ = 0.0f;
    int32_t voltageTimerMs_ = 0;
    std::mt19937 random_;  // the wander's random numbers
    int32_t blinkTimerMs_ = 0;

    float swingRate_ = 0.0f;  // units per second
    SwingShape swing_;
    float swingPosition_ = 10000.0f;
    bool swingRising_ = false;
    bool swingRisingSeen_ = false;  // the direction at the last look for a knock

    int32_t panelTestSelection_ = 0;  // 0 none, 1..7 the needle output under test
    int32_t panelTestValue_ = 0;      // raw panel value put on the selected output
};

}  // namespace camcab::sim
