// The cab panel's own state: line voltage, blinking lamp, swing indicator and panel test mode.
#pragma once

#include <cstdint>

namespace camcab::sim {

struct PanelState {
    float lineVoltageBase = 0.0f;  // V, drawn by Load
    float lineVoltage = 0.0f;      // V
    int32_t voltageTimerMs = 0;
    uint32_t lastRandom = 0;
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

}  // namespace camcab::sim
