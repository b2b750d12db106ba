// The cab panel: lamps, the blinking lamp, the wandering line voltage, the swing indicator,
// the needles and the four-digit display with its panel test mode.
#pragma once

#include <cstdint>
#include <random>

#include "config/NeedleTables.h"
#include "host/HostRecords.h"
#include "sim/BrakeDisplays.h"
#include "sim/FrameState.h"
#include "sim/HandleInput.h"

namespace camcab::sim {

struct CamshaftState;

struct PanelState {
    float lineVoltageBase = 0.0f;  // V, drawn by Load
    float lineVoltage = 0.0f;      // V
    int32_t voltageTimerMs = 0;
    uint32_t lastRandom = 0;
    std::mt19937 random;  // the wander's random numbers, seeded by Load
    int32_t blinkTimerMs = 0;

    float swingRate = 0.0f;  // units per second, set by host keys 13 and 14
    float swingAmplitude = 10000.0f;
    float swingPosition = 10000.0f;
    bool swingRising = false;
    float swingInnerKnot = 0.1f;
    float swingOuterKnot = 0.7f;
    float swingInnerLevel = 0.025f;
    float swingOuterLevel = 0.975f;
    float swingOutput = 10000.0f;

    int32_t panelTestSelection = 0;  // 0 none, 1..7 the needle output under test
    int32_t panelTestValue = 0;      // raw panel value put on the selected output
};

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

// The swing indicator's shaped output at its position: odd, continuous, through the two knots.
float SwingOutput(const PanelState& panel);

// What the panel reads besides its own state.
struct PanelContext {
    PanelState& panel;
    const FrameState& frame;
    const HandleState& handles;
    const CamshaftState& cam;
    const config::NeedleTables& needles;
    bool panelModifyEnabled;
    BrakeDisplayContext brakeDisplays;
};

// One frame's panel, in its order; the brake displays and exhaust sounds run inside it,
// after the swing indicator and before the needles. A null panel array is not written.
void writePanel(PanelContext& c, const VehicleState& state, const Handles& result,
                int32_t* panelArray);

}  // namespace camcab::sim
