// A simple train that stands in for the host's physics: the handles the plug-in returns drive
// it, and it answers with speed, motor current and pressures, so that a vehicle's camshaft
// meets every stage its notch table defines without the simulator. It need not be exact. Its
// rules are told to users by camcab-run --help (the model section) and the README; the
// figures are the constants of TrainModel.cpp.
#pragma once

#include <cstdint>

#include "VehicleTables.h"
#include "host/HostRecords.h"

namespace camcab::run {

class TrainModel {
  public:
    static constexpr int32_t kDefaultStepIntervalMs = 150;

    TrainModel(const VehicleTables& tables, const VehicleSpec& vehicle);

    void SetStepIntervalMs(int32_t intervalMs) { stepIntervalMs_ = intervalMs; }
    void SetDoorsOpen(bool open) { doorsOpen_ = open; }

    // Moves the train on by `frameMs`, obeying the handles the plug-in returned on the frame
    // before: changes the speed, current and pressures of `state` (time and location are the
    // caller's).
    void Advance(VehicleState& state, const Handles& returned, int32_t frameMs);

  private:
    // Advances a camshaft's step once per step interval, as far as `notch` allows.
    void Notch(const CamshaftSteps& steps, int32_t notch, int32_t frameMs, int& step,
               int32_t& elapsedMs) const;
    void MoveAir(VehicleState& state, int32_t brakeNotch, double seconds);

    const VehicleTables& tables_;
    int32_t brakeNotches_;
    int32_t regenDelayMs_;
    int32_t stepIntervalMs_ = kDefaultStepIntervalMs;
    bool doorsOpen_ = false;
    bool compressorOn_ = false;
    int direction_ = 1;  // +1 forward, -1 backward: the reverser when the train set off
    int powerStep_ = 0;
    int32_t powerElapsedMs_ = 0;
    int brakeStep_ = 0;
    int32_t brakeElapsedMs_ = 0;  // since the brake camshaft may start, or since its last step
    int32_t brakeAppliedMs_ = 0;  // since regeneration became possible
};

}  // namespace camcab::run
