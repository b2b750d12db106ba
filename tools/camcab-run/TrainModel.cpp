#include "TrainModel.h"

#include <algorithm>
#include <cmath>

namespace camcab::run {
namespace {

constexpr double kFullServiceKpa = 420.0;
constexpr double kBrakeRateKpaPerS = 300.0;
constexpr double kChargedPipeKpa = 490.0;
constexpr double kPipeRechargeKpaPerS = 100.0;
constexpr double kEmergencyVentKpaPerS = 500.0;
constexpr double kCompressorOnBelowKpa = 690.0;
constexpr double kCompressorOffAtKpa = 780.0;
constexpr double kCompressorKpaPerS = 8.0;
constexpr double kReservoirPerCylinderKpa = 0.1;
constexpr double kReservoirPerPipeKpa = 0.2;
constexpr double kCarMassT = 35.0;
constexpr double kTractionNPerAPerCar = 80.0;
constexpr double kResistanceNPerT = 20.0;
constexpr double kResistanceNPerTPerKmh2 = 0.006;
constexpr double kFullServiceDecelerationKmhPerS = 4.0;
constexpr int32_t kRegenAfterBreakerMs = 250;
constexpr double kRegenFullAboveKmh = 15.0;
constexpr double kRegenNoneBelowKmh = 5.0;

double Toward(double value, double target, double maxChange) {
    return value < target ? std::min(target, value + maxChange)
                          : std::max(target, value - maxChange);
}

double StepCurrentA(const CamshaftSteps& steps, int step, double absSpeedKmh) {
    if (step <= 0 || static_cast<size_t>(step) > steps.currentA.size()) {
        return 0.0;
    }
    const float value =
        config::InterpolateCurve(static_cast<float>(absSpeedKmh), steps.currentA[step - 1]);
    return std::isfinite(value) ? std::max(0.0f, value) : 0.0;
}

}  // namespace

TrainModel::TrainModel(const VehicleTables& tables, const VehicleSpec& vehicle)
    : tables_(tables), brakeNotches_(std::max(1, vehicle.BrakeNotches)) {
    const double delayMs = static_cast<double>(tables.notchTable.BreakerDelayOn) * 1000.0;
    regenDelayMs_ = static_cast<int32_t>(std::clamp(delayMs, 0.0, 60000.0)) + kRegenAfterBreakerMs;
}

void TrainModel::Notch(const CamshaftSteps& steps, int32_t notch, int32_t frameMs, int& step,
                       int32_t& elapsedMs) const {
    const int lastStep = static_cast<int>(steps.requiredNotch.size());
    elapsedMs += frameMs;
    const int32_t intervalMs = std::max(1, stepIntervalMs_);
    while (elapsedMs >= intervalMs) {
        elapsedMs -= intervalMs;
        if (step == 0 && lastStep > 0) {
            step = 1;
        } else if (step > 0 && step < lastStep && notch >= steps.requiredNotch[step - 1]) {
            ++step;
        } else {
            elapsedMs = 0;  // resting on its step; the next step waits a whole interval
            break;
        }
    }
}

void TrainModel::Advance(VehicleState& state, const Handles& returned, int32_t frameMs) {
    frameMs = std::max(0, frameMs);
    const double seconds = frameMs / 1000.0;
    const double absSpeed = std::fabs(static_cast<double>(state.Speed));
    const bool emergency = returned.Brake > brakeNotches_;
    const bool powering =
        returned.Power > 0 && returned.Reverser != 0 && returned.Brake == 0 && !doorsOpen_;
    const bool regenerating = !powering && returned.Brake > 0 && !emergency &&
                              returned.Power <= 0 && returned.Reverser != 0 && absSpeed > 0.0;

    if (powering) {
        if (absSpeed == 0.0) {
            direction_ = returned.Reverser > 0 ? 1 : -1;
        }
        Notch(tables_.power, returned.Power, frameMs, powerStep_, powerElapsedMs_);
    } else {
        powerStep_ = 0;
        powerElapsedMs_ = 0;
    }
    bool regenerativeCurrent = false;
    if (regenerating) {
        brakeAppliedMs_ = std::min(brakeAppliedMs_ + frameMs, regenDelayMs_);
        regenerativeCurrent = brakeAppliedMs_ >= regenDelayMs_;
        if (regenerativeCurrent) {
            Notch(tables_.brake, returned.Brake, frameMs, brakeStep_, brakeElapsedMs_);
        }
    } else {
        brakeAppliedMs_ = 0;
        brakeStep_ = 0;
        brakeElapsedMs_ = 0;
    }
    // The motor current of the camshaft's step at a speed.
    const auto motorCurrentA = [&](double speedKmh) {
        if (powering) {
            return StepCurrentA(tables_.power, powerStep_, speedKmh);
        }
        if (!regenerativeCurrent) {
            return 0.0;
        }
        const double fade = std::clamp(
            (speedKmh - kRegenNoneBelowKmh) / (kRegenFullAboveKmh - kRegenNoneBelowKmh), 0.0, 1.0);
        const double currentA = -StepCurrentA(tables_.brake, brakeStep_, speedKmh) * fade;
        return currentA < 0.0 ? currentA : 0.0;  // no negative zero in the state
    };
    const double currentA = motorCurrentA(absSpeed);

    MoveAir(state, returned.Brake, seconds);

    const double tractionKmhPerS =
        currentA > 0.0 ? currentA * kTractionNPerAPerCar / (kCarMassT * 1000.0) * 3.6 : 0.0;
    const double resistanceKmhPerS =
        (kResistanceNPerT + kResistanceNPerTPerKmh2 * absSpeed * absSpeed) / 1000.0 * 3.6;
    const double brakeKmhPerS = std::max(0.0, static_cast<double>(state.BcPressure)) /
                                kFullServiceKpa * kFullServiceDecelerationKmhPerS;
    double newAbsSpeed = absSpeed + (tractionKmhPerS - resistanceKmhPerS - brakeKmhPerS) * seconds;
    newAbsSpeed = std::max(0.0, newAbsSpeed);
    if (absSpeed == 0.0 && tractionKmhPerS == 0.0) {
        newAbsSpeed = 0.0;  // resistance and brakes hold a standing train; they never move it
    }
    if (absSpeed > 0.0) {
        direction_ = state.Speed < 0.0f ? -1 : 1;
    }
    state.Speed = static_cast<float>(direction_ * newAbsSpeed);
    // The current the camshaft compares with its curves is the one at the speed it is shown with.
    state.Current = static_cast<float>(motorCurrentA(newAbsSpeed));
}

void TrainModel::MoveAir(VehicleState& state, int32_t brakeNotch, double seconds) {
    // The emergency notch is the last that applies more; notches beyond it (the brake
    // override's) apply as much as it does.
    const int64_t applied = std::min<int64_t>(brakeNotch, int64_t{brakeNotches_} + 1);
    const double targetKpa =
        applied > 0 ? static_cast<double>(applied) / brakeNotches_ * kFullServiceKpa : 0.0;
    const double bc = state.BcPressure;
    const double newBc = Toward(bc, targetKpa, kBrakeRateKpaPerS * seconds);
    state.BcPressure = static_cast<float>(newBc);
    state.SapPressure =
        static_cast<float>(Toward(state.SapPressure, targetKpa, kBrakeRateKpaPerS * seconds));

    const double bp = state.BpPressure;
    const bool emergency = brakeNotch > brakeNotches_;
    const double newBp = emergency ? Toward(bp, 0.0, kEmergencyVentKpaPerS * seconds)
                                   : Toward(bp, kChargedPipeKpa, kPipeRechargeKpaPerS * seconds);
    state.BpPressure = static_cast<float>(newBp);
    state.ErPressure = static_cast<float>(newBp);

    double mr = state.MrPressure;
    mr -= std::max(0.0, newBc - bc) * kReservoirPerCylinderKpa;
    mr -= std::max(0.0, newBp - bp) * kReservoirPerPipeKpa;
    if (mr < kCompressorOnBelowKpa) {
        compressorOn_ = true;
    }
    if (compressorOn_) {
        mr += kCompressorKpaPerS * seconds;
        if (mr >= kCompressorOffAtKpa) {
            mr = kCompressorOffAtKpa;
            compressorOn_ = false;
        }
    }
    state.MrPressure = static_cast<float>(std::max(0.0, mr));
}

}  // namespace camcab::run
