// The quantities of one frame that every per-frame step reads, and the values kept from the
// previous frame.
#pragma once

#include <cstdint>

namespace camcab::sim {

struct FrameState {
    float speed = 0.0f;       // km/h, signed, this frame's vehicle state
    float current = 0.0f;     // A, signed, this frame's vehicle state
    float absSpeed = 0.0f;    // km/h
    float absCurrent = 0.0f;  // A
    int32_t frameDeltaMs = 0;
    int32_t prevTimeMs = 0;
    float acceleration = 0.0f;  // km/h per second

    float prevAbsSpeed = 0.0f;
    float prevAbsCurrent = 0.0f;
    float prevCurrent = 0.0f;
    float prevBcPressure = 0.0f;   // kPa
    float prevBpPressure = 0.0f;   // kPa
    float prevSapPressure = 0.0f;  // kPa

    bool swingRisingSeen = false;  // the swing indicator's direction at the last swing sound step
};

// The brake override's watch after host key 9 switches it off: it waits for the brake
// cylinder pressure to fall, then times how long it holds and rises.
struct BrakeOverrideState {
    bool overrideBcWatch = false;
    bool overrideBcWaitFall = false;
    int32_t overrideBcHoldMs = 0;
    int32_t overrideBcRiseMs = 0;
};

// A sum held at the int range instead of overflowing: hostile clocks may jump by anything, and
// notches and key presses from the host or a chained module may be any number.
inline int32_t SaturateInt32(int64_t value) {
    return value > INT32_MAX   ? INT32_MAX
           : value < INT32_MIN ? INT32_MIN
                               : static_cast<int32_t>(value);
}
inline int32_t AddMs(int32_t a, int32_t b) {
    return SaturateInt32(static_cast<int64_t>(a) + b);
}
inline int32_t SubtractMs(int32_t a, int32_t b) {
    return SaturateInt32(static_cast<int64_t>(a) - b);
}

}  // namespace camcab::sim
