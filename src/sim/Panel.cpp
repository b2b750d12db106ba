#include "sim/Panel.h"

#include "config/Curve.h"
#include "sim/Camshaft.h"

namespace camcab::sim {
namespace {

constexpr int kPanelBlinkInput = 3;
constexpr int kPanelSpeed = 22;
constexpr int kPanelCurrent = 26;
constexpr int kPanelCamLamp = 41;
constexpr int kPanelLamp42 = 42;
constexpr int kPanelLamp43 = 43;
constexpr int kPanelBlinkLamp = 68;
constexpr int kPanelSwing = 97;
constexpr int kPanelBc = 130;
constexpr int kPanelSap = 131;
constexpr int kPanelBp = 132;
constexpr int kPanelMr = 133;
constexpr int kPanelKey5Lamp = 135;
constexpr int kPanelKey6Lamp = 136;
constexpr int kPanelDigits = 220;  // 220 to 223, most significant first
constexpr int kPanelLineVoltage = 232;
constexpr int kPanelKey12 = 252;
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

// 1.
void Lamps(const CamshaftState& cam, PanelWriter& out) {
    out.Set(kPanelLamp42, 1);
    const bool camshaftWorking =
        cam.stageA || cam.stageB || cam.stageC || cam.stageD || cam.brakeCurrentNear || cam.camHold;
    out.Set(kPanelCamLamp, camshaftWorking ? 1 : 0);
    out.Set(kPanelLamp43, 1);
}

// 2. Every 500 ms of frame time the supply wanders by 10 V at random; the motors draw it down.
void WanderLineVoltage(PanelState& p, int32_t deltaMs, float currentA) {
    if (p.voltageTimerMs < kWanderStepMs) {
        p.voltageTimerMs = AddMs(p.voltageTimerMs > 0 ? p.voltageTimerMs : 0, deltaMs);
        return;
    }
    const uint32_t r = static_cast<uint32_t>(p.random());
    p.lastRandom = r;
    if (r % 100 > 84) {
        p.lineVoltageBase += kWanderStepV;
    } else if (r % 100 < 15) {
        p.lineVoltageBase -= kWanderStepV;
    }
    if (p.lineVoltageBase > kMaxBaseV) {
        p.lineVoltageBase = kMaxBaseV;
    } else if (p.lineVoltageBase < kMinBaseV) {
        p.lineVoltageBase = kMinBaseV;
    }
    p.lineVoltage = p.lineVoltageBase - kSagVPerA * (currentA > 0.0f ? currentA : 0.0f);
    if (p.lineVoltage > kMaxLineV) {
        p.lineVoltage = kMaxLineV;
    } else if (p.lineVoltage < kMinLineV) {
        p.lineVoltage = kMinLineV;
    }
    p.voltageTimerMs = AddMs(p.voltageTimerMs % kWanderStepMs, deltaMs);
}

// 3. Panel 3 (written by a chained module, if any) makes lamp 68 blink once a second.
void BlinkLamp(PanelState& p, int32_t deltaMs, PanelWriter& out) {
    const int32_t input = out.Get(kPanelBlinkInput);
    if (input == 0) {
        out.Set(kPanelBlinkLamp, 0);
        p.blinkTimerMs = 0;
    } else if (input == 1 && p.blinkTimerMs < 1000) {
        out.Set(kPanelBlinkLamp, p.blinkTimerMs <= 500 ? 1 : 2);
        p.blinkTimerMs = AddMs(p.blinkTimerMs, deltaMs);
    } else {
        out.Set(kPanelBlinkLamp, 2);
        p.blinkTimerMs %= 1000;
    }
}

// 4.
void Key5And6Lamps(const HandleState& h, PanelWriter& out) {
    const bool key5 = h.key5Switch.on;
    const bool key6 = h.key6Switch.on;
    out.Set(kPanelKey5Lamp, key5 && !key6 ? 1 : 0);
    out.Set(kPanelKey6Lamp, key5 && key6 ? 1 : 0);
}

// 5.
void SwingIndicator(PanelState& p, int32_t deltaMs, PanelWriter& out) {
    const float step = p.swingRate / 1000.0f * static_cast<float>(deltaMs);
    p.swingPosition += p.swingRising ? step : -step;
    if (p.swingPosition > p.swingAmplitude) {
        p.swingPosition = p.swingAmplitude;
        p.swingRising = false;
    } else if (p.swingPosition < -p.swingAmplitude) {
        p.swingPosition = -p.swingAmplitude;
        p.swingRising = true;
    }
    p.swingOutput = SwingOutput(p);
    out.Set(kPanelSwing, PanelValue(p.swingOutput));
}

// 7.
void Needles(const PanelContext& c, const VehicleState& state, PanelWriter& out) {
    const config::NeedleTables& n = c.needles;
    const BrakeDisplayState& brakes = c.brakeDisplays.display;
    using config::InterpolateCurve;
    out.Set(kPanelSpeed,
            PanelValue(InterpolateCurve(c.frame.absSpeed, n.speedNeedleTable) * 100.0f));
    out.Set(kPanelCurrent, PanelValue(InterpolateCurve(c.frame.absCurrent, n.currentNeedleTable)));
    out.Set(kPanelBc, PanelValue(InterpolateCurve(brakes.bcDisplay, n.pressureLNeedleTable)));
    out.Set(kPanelSap, PanelValue(InterpolateCurve(brakes.sapDisplay, n.pressureLNeedleTable)));
    out.Set(kPanelBp, PanelValue(InterpolateCurve(state.BpPressure, n.pressureRNeedleTable)));
    out.Set(kPanelMr, PanelValue(InterpolateCurve(state.MrPressure, n.pressureRNeedleTable)));
    out.Set(kPanelLineVoltage,
            PanelValue(InterpolateCurve(c.panel.lineVoltage, n.voltageNeedleTable)));
}

// 9. In test mode the selected needle shows the test value, and the digits show it too.
void PanelTestAndDigits(PanelState& p, bool enabled, PanelWriter& out) {
    const int32_t selection = p.panelTestSelection;
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
        out.Set(kTestedNeedle[selection], p.panelTestValue);
    }
    if (p.panelTestValue < 0) {
        p.panelTestValue = 0;
    }
    if (selection == 0) {
        return;
    }
    // The speed needle's value is in hundredths: its digits show whole units.
    const int32_t v = selection == 5 ? p.panelTestValue / 100 : p.panelTestValue;
    out.Set(kPanelDigits + 0, v / 1000 % 10);
    out.Set(kPanelDigits + 1, v / 100 % 10);
    out.Set(kPanelDigits + 2, v / 10 % 10);
    out.Set(kPanelDigits + 3, v % 10);
}

}  // namespace

float SwingOutput(const PanelState& panel) {
    const float a = panel.swingAmplitude;
    const float p = panel.swingPosition;
    const float k1 = panel.swingInnerKnot;
    const float k2 = panel.swingOuterKnot;
    const float y1 = panel.swingInnerLevel;
    const float y2 = panel.swingOuterLevel;
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

void writePanel(PanelContext& c, const VehicleState& state, const Handles& result,
                int32_t* panelArray) {
    PanelWriter out(panelArray);
    PanelState& p = c.panel;
    const int32_t deltaMs = c.frame.frameDeltaMs;
    Lamps(c.cam, out);                                       // 1
    WanderLineVoltage(p, deltaMs, state.Current);            // 2
    BlinkLamp(p, deltaMs, out);                              // 3
    Key5And6Lamps(c.handles, out);                           // 4
    SwingIndicator(p, deltaMs, out);                         // 5
    updateBrakeDisplays(c.brakeDisplays, state, result);     // 6
    Needles(c, state, out);                                  // 7
    out.Set(kPanelKey12, c.handles.key12Switch.on ? 1 : 0);  // 8
    PanelTestAndDigits(p, c.panelModifyEnabled, out);        // 9
}

}  // namespace camcab::sim
