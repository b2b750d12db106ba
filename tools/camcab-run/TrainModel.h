// A simple train that stands in for the host's physics: the handles the plug-in returns drive
// it, and it answers with speed, motor current and pressures, so that a vehicle's camshaft
// meets every stage its notch table defines without the simulator. It need not be exact.
//
// Powering: while the returned power notch is above 0, the reverser is not neutral, the brake
// is released and the doors are closed, the camshaft advances one step per step interval
// (150 ms unless the scenario says otherwise): to step 1, then from step s to s + 1 while the
// power notch is at least the power parameter file's RequiredNotch_Up value of step s. The
// motor current is the power current file's column of that step at the current speed.
// Otherwise the camshaft returns to step 0 at once and the current is 0 (coasting).
// Braking: brake notch n drives the straight air pipe and the brake cylinder toward
// n / BrakeNotches x 420 kPa at 300 kPa/s (notches beyond the emergency notch as the emergency
// notch), and toward 0 on release. With a service notch, the
// reverser set, no power and the train moving, the brake camshaft starts once the breaker
// delay (BreakerDelay_On) and 250 ms more have passed, and advances like the power camshaft
// on the brake parameter file's RequiredNotch_Up row; the current is minus the brake current
// file's column of that step, in full above 15 km/h and fading to 0 at 5 km/h.
// A curve value below 0 gives no current. The current is the one at the speed the frame shows.
// Motion: each car weighs 35 t and its motors pull 80 N per ampere (300 A gives 2.5 km/h/s);
// running resistance is 20 N/t + 0.006 N/t per (km/h)^2; 420 kPa in the brake cylinder
// decelerates 4 km/h/s. Regenerative current is taken as part of that brake force. Resistance
// and brakes never move a standing train; it sets off the way the reverser points.
// On the first frame, before the plug-in has answered, the driver's handles stand in.
// Air: the brake pipe and the equalizing reservoir stay at 490 kPa (recharging at 100 kPa/s)
// and fall to 0 at 500 kPa/s on the emergency notch. The main reservoir gives 0.1 kPa per kPa
// the brake cylinder rises and 0.2 kPa per kPa the brake pipe recharges; the compressor
// starts below 690 kPa and charges at 8 kPa/s until 780 kPa.
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

    int powerStep() const { return powerStep_; }
    int brakeStep() const { return brakeStep_; }

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
