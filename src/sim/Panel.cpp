#include "sim/Panel.h"

#include "config/Curve.h"
#include "sim/CabIndices.h"

namespace camcab::sim {
namespace {

constexpr int32_t kBlankDigit = 10;

constexpr int32_t kWanderStepMs = 500;
constexpr float kWanderStepV = 10.0f;
constexpr float kMaxBaseV = 1620.0f;
constexpr float kMinBaseV = 1380.0f;
constexpr float kSagVPerA = 0.2f;
constexpr float kMaxLineV = 1700.0f;
constexpr float kMinLineV = 1310.0f;

class PanelWriter {
  public:
    explicit PanelWriter(int32_t* panel) : panel_(panel) {}
    void Set(int index, int32_t value) {
        if (panel_ != nullptr) {
            panel_[index] = value;
        }
    }
    int32_t Get(int index) const { return panel_ != nullptr ? panel_[index] : 0; }

  private:
    int32_t* panel_;
};

constexpr float kSwingReversalRateFactor = 1.5f;

// In test mode the selected needle shows the test value, and the digits show it too.
void PanelTestAndDigits(int32_t selection, int32_t& testValue, bool enabled, PanelWriter& out) {
    if (!enabled || selection == 0) {
        for (int i = 0; i < 4; ++i) {
            out.Set(kPanelDigits + i, kBlankDigit);
        }
        if (!enabled) {
            return;
        }
    }
    static constexpr int kTestedNeedle[8] = {
        0, kPanelBc, kPanelSap, kPanelBp, kPanelMr, kPanelSpeed, kPanelCurrent, kPanelLineVoltage};
    if (selection >= 1 && selection <= 7) {
        out.Set(kTestedNeedle[selection], testValue);
    }
    if (testValue < 0) {
        testValue = 0;
    }
    if (selection == 0) {
        return;
    }
    // The speed needle's value is in hundredths: its digits show whole units.
    const int32_t v = selection == 5 ? testValue / 100 : testValue;
    out.Set(kPanelDigits + 0, v / 1000 % 10);
    out.Set(kPanelDigits + 1, v / 100 % 10);
    out.Set(kPanelDigits + 2, v / 10 % 10);
    out.Set(kPanelDigits + 3, v % 10);
}

// Before the first Load the needles read empty tables.
const config::NeedleTables kNoNeedleTables{};

}  // namespace

float SwingOutput(const SwingShape& shape, float position) {
    const float a = shape.amplitude;
    const float p = position;
    const float k1 = shape.innerKnot;
    const float k2 = shape.outerKnot;
    const float y1 = shape.innerLevel;
    const float y2 = shape.outerLevel;
    if (p > k2 * a) {
        return (1.0f - y2) / (1.0f - k2) * (p - k2 * a) + y2 * a;
    }
    if (p > k1 * a) {
        return (y2 - y1) / (k2 - k1) * (p - k1 * a) + y1 * a;
    }
    if (p > -k1 * a) {
        return y1 / k1 * p;
    }
    if (p > -k2 * a) {
        return (y2 - y1) / (k2 - k1) * (k1 * a + p) - y1 * a;
    }
    return (1.0f - y2) / (1.0f - k2) * (k2 * a + p) - y2 * a;
}

void Panel::Configure(const config::NeedleTables& needles, bool panelModifyEnabled) {
    needles_ = &needles;
    panelModifyEnabled_ = panelModifyEnabled;
}

void Panel::OnLoad(float lineVoltageBaseV, uint32_t randomSeed) {
    lineVoltageBaseV_ = lineVoltageBaseV;
    random_.seed(randomSeed);
}

void Panel::OnKeyDown(int32_t key, bool shiftDown) {
    switch (key) {
        case 0:
            if (panelModifyEnabled_) {
                panelTestValue_ = 0;
                panelTestSelection_ = panelTestSelection_ >= 7 ? 0 : panelTestSelection_ + 1;
            }
            break;
        case 5:
        case 6:
            // The test value steps by whole numbers; a host repeating a key for ever
            // saturates it.
            if (!shiftDown && panelModifyEnabled_ && panelTestSelection_ != 0) {
                const int32_t step = panelTestSelection_ == 5 ? 100 : 10;
                panelTestValue_ = SaturateInt32(static_cast<int64_t>(panelTestValue_) +
                                                (key == 5 ? step : -step));
            }
            break;
        case 13:
            swingRate_ -= kSwingRateStep;
            if (swingRate_ < 0.0f) {
                swingRate_ = 0.0f;
            }
            break;
        case 14:
            swingRate_ += kSwingRateStep;
            if (swingRate_ > kMaxSwingRate) {
                swingRate_ = kMaxSwingRate;
            }
            break;
        default:
            break;
    }
}

void Panel::WriteLampsAndSwing(const FrameState& frame, const HandleInput& handles,
                               const Camshaft& camshaft, const VehicleState& state,
                               int32_t* panelArray) {
    PanelWriter out(panelArray);
    const int32_t deltaMs = frame.DeltaMs();

    // 1. The stage lamp.
    out.Set(kPanelLamp42, 1);
    out.Set(kPanelCamLamp, camshaft.IsWorking() ? 1 : 0);
    out.Set(kPanelLamp43, 1);

    // 2. Every 500 ms of frame time the supply wanders by 10 V at random; the motors draw it
    // down.
    if (voltageTimerMs_ < kWanderStepMs) {
        voltageTimerMs_ = AddMs(voltageTimerMs_ > 0 ? voltageTimerMs_ : 0, deltaMs);
    } else {
        const uint32_t r = static_cast<uint32_t>(random_());
        if (r % 100 > 84) {
            lineVoltageBaseV_ += kWanderStepV;
        } else if (r % 100 < 15) {
            lineVoltageBaseV_ -= kWanderStepV;
        }
        if (lineVoltageBaseV_ > kMaxBaseV) {
            lineVoltageBaseV_ = kMaxBaseV;
        } else if (lineVoltageBaseV_ < kMinBaseV) {
            lineVoltageBaseV_ = kMinBaseV;
        }
        const float currentA = state.Current;
        lineVoltageV_ = lineVoltageBaseV_ - kSagVPerA * (currentA > 0.0f ? currentA : 0.0f);
        if (lineVoltageV_ > kMaxLineV) {
            lineVoltageV_ = kMaxLineV;
        } else if (lineVoltageV_ < kMinLineV) {
            lineVoltageV_ = kMinLineV;
        }
        voltageTimerMs_ = AddMs(voltageTimerMs_ % kWanderStepMs, deltaMs);
    }

    // 3. Panel 3 (written by a chained module, if any) makes lamp 68 blink once a second.
    const int32_t blinkInput = out.Get(kPanelBlinkInput);
    if (blinkInput == 0) {
        out.Set(kPanelBlinkLamp, 0);
        blinkTimerMs_ = 0;
    } else if (blinkInput == 1 && blinkTimerMs_ < 1000) {
        out.Set(kPanelBlinkLamp, blinkTimerMs_ <= 500 ? 1 : 2);
        blinkTimerMs_ = AddMs(blinkTimerMs_, deltaMs);
    } else {
        out.Set(kPanelBlinkLamp, 2);
        blinkTimerMs_ %= 1000;
    }

    // 4. The key 5 and 6 lamps.
    const bool key5 = handles.Key5On();
    const bool key6 = handles.Key6On();
    out.Set(kPanelKey5Lamp, key5 && !key6 ? 1 : 0);
    out.Set(kPanelKey6Lamp, key5 && key6 ? 1 : 0);

    // 5. The swing indicator runs between its amplitudes at the keys' rate.
    const float step = swingRate_ / 1000.0f * static_cast<float>(deltaMs);
    swingPosition_ += swingRising_ ? step : -step;
    if (swingPosition_ > swing_.amplitude) {
        swingPosition_ = swing_.amplitude;
        swingRising_ = false;
    } else if (swingPosition_ < -swing_.amplitude) {
        swingPosition_ = -swing_.amplitude;
        swingRising_ = true;
    }
    out.Set(kPanelSwing, PanelValue(SwingOutput(swing_, swingPosition_)));
}

void Panel::WriteNeedlesAndDigits(const FrameState& frame, const HandleInput& handles,
                                  const BrakeDisplays& brakes, const VehicleState& state,
                                  int32_t* panelArray) {
    PanelWriter out(panelArray);
    const config::NeedleTables& n = needles_ != nullptr ? *needles_ : kNoNeedleTables;
    using config::InterpolateCurve;

    // 7. The needles.
    out.Set(kPanelSpeed,
            PanelValue(InterpolateCurve(frame.AbsSpeedKmh(), n.speedNeedleTable) * 100.0f));
    out.Set(kPanelCurrent, PanelValue(InterpolateCurve(frame.AbsCurrentA(), n.currentNeedleTable)));
    out.Set(kPanelBc, PanelValue(InterpolateCurve(brakes.BcDisplayKpa(), n.pressureLNeedleTable)));
    out.Set(kPanelSap,
            PanelValue(InterpolateCurve(brakes.SapDisplayKpa(), n.pressureLNeedleTable)));
    out.Set(kPanelBp, PanelValue(InterpolateCurve(state.BpPressure, n.pressureRNeedleTable)));
    out.Set(kPanelMr, PanelValue(InterpolateCurve(state.MrPressure, n.pressureRNeedleTable)));
    out.Set(kPanelLineVoltage, PanelValue(InterpolateCurve(lineVoltageV_, n.voltageNeedleTable)));

    // 8. The key 12 lamp.
    out.Set(kPanelKey12, handles.Key12On() ? 1 : 0);

    // 9. The panel test mode and the digits.
    PanelTestAndDigits(panelTestSelection_, panelTestValue_, panelModifyEnabled_, out);
}

bool Panel::TakeSwingKnock() {
    const bool knock = swingRising_ != swingRisingSeen_ &&
                       swingRate_ >= kSwingReversalRateFactor * swing_.amplitude;
    swingRisingSeen_ = swingRising_;
    return knock;
}

}  // namespace camcab::sim
