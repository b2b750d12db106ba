// The quantities of one frame that every per-frame step reads, and the values kept from the
// previous frame.
#pragma once

#include <cmath>
#include <cstdint>

#include "host/HostRecords.h"

namespace camcab::sim {

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

class FrameState {
  public:
    // The frame's speed and current, signed and as magnitudes.
    void TakeSpeedAndCurrent(const VehicleState& state) {
        speedKmh_ = state.Speed;
        currentA_ = state.Current;
        absSpeedKmh_ = std::fabs(state.Speed);
        absCurrentA_ = std::fabs(state.Current);
    }
    // The host's clock: the time since the previous frame.
    void AdvanceClock(int32_t timeMs) {
        deltaMs_ = SubtractMs(timeMs, prevTimeMs_);
        prevTimeMs_ = timeMs;
    }
    // In single precision; a frame without elapsed time gives a non-finite value.
    void ComputeAcceleration() {
        accelerationKmhPerS_ =
            (absSpeedKmh_ - prevAbsSpeedKmh_) / static_cast<float>(deltaMs_) * 1000.0f;
    }
    // This frame's values, kept for the next.
    void StorePrevious(const VehicleState& state) {
        prevBcKpa_ = state.BcPressure;
        prevBpKpa_ = state.BpPressure;
        prevSapKpa_ = state.SapPressure;
        prevAbsCurrentA_ = absCurrentA_;
        prevCurrentA_ = currentA_;
        prevAbsSpeedKmh_ = absSpeedKmh_;
    }
    // A new run forgets the pressures and currents of the last frame; the clock and the
    // speed carry on.
    void OnInitialize() {
        prevBcKpa_ = 0.0f;
        prevBpKpa_ = 0.0f;
        prevSapKpa_ = 0.0f;
        prevAbsCurrentA_ = 0.0f;
        prevCurrentA_ = 0.0f;
    }

    float SpeedKmh() const { return speedKmh_; }
    float CurrentA() const { return currentA_; }
    float AbsSpeedKmh() const { return absSpeedKmh_; }
    float AbsCurrentA() const { return absCurrentA_; }
    int32_t DeltaMs() const { return deltaMs_; }
    float AccelerationKmhPerS() const { return accelerationKmhPerS_; }
    float PrevAbsSpeedKmh() const { return prevAbsSpeedKmh_; }
    float PrevAbsCurrentA() const { return prevAbsCurrentA_; }
    float PrevCurrentA() const { return prevCurrentA_; }
    float PrevBcKpa() const { return prevBcKpa_; }
    float PrevBpKpa() const { return prevBpKpa_; }
    float PrevSapKpa() const { return prevSapKpa_; }

  private:
    float speedKmh_ = 0.0f;  // signed
    float currentA_ = 0.0f;  // signed
    float absSpeedKmh_ = 0.0f;
    float absCurrentA_ = 0.0f;
    int32_t deltaMs_ = 0;
    int32_t prevTimeMs_ = 0;
    float accelerationKmhPerS_ = 0.0f;

    float prevAbsSpeedKmh_ = 0.0f;
    float prevAbsCurrentA_ = 0.0f;
    float prevCurrentA_ = 0.0f;
    float prevBcKpa_ = 0.0f;
    float prevBpKpa_ = 0.0f;
    float prevSapKpa_ = 0.0f;
};

}  // namespace camcab::sim
