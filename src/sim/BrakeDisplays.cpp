#include "sim/BrakeDisplays.h"

#include <cmath>

#include "sim/Camshaft.h"

namespace camcab::sim {
namespace {

constexpr float kNearTargetKpa = 10.0f;
constexpr float kSteerKpaPerMs = 0.4f;
constexpr float kRegenHoldKpa = 100.0f;
constexpr float kRegenSinkKpaPerMs = 0.1f;
constexpr float kRegenCreepKpaPerMs = 0.001f;
constexpr float kRelaxKpaPerMs = 0.2f;
constexpr int32_t kExhaustStopAfterMs = 125;
constexpr float kExhaustQuietBelowKpa = 6.0f;
constexpr float kExhaustRiseMs = 240.0f;

// The learned pressure of the brake notch; a notch outside the table reads its nearest entry,
// and an empty table (no vehicle announced yet) reads 0.
float TargetKpa(const NotchPressureTable& table, const HandleState& h) {
    if (table.entries.empty()) {
        return 0.0f;
    }
    int64_t notch = h.brakeNotch < h.brakeNotchCount ? h.brakeNotch : h.brakeNotchCount;
    const int64_t last = static_cast<int64_t>(table.entries.size()) - 1;
    notch = notch < 0 ? 0 : notch > last ? last : notch;
    return table.entries[static_cast<size_t>(notch)].pressureKpa;
}

void UpdateSapDisplay(BrakeDisplayContext& c, const VehicleState& state, float d) {
    BrakeDisplayState& s = c.display;
    const float target = TargetKpa(c.notchPressure, c.handles);
    const float sapKpa = state.SapPressure;
    const float shown = sapKpa + s.sapOffset;
    const float change = sapKpa - c.frame.prevSapPressure;
    bool steer = false;
    if (c.handles.key9Switch.on || s.sapOffset < 0.0f) {
        if (std::fabs(shown - target) < kNearTargetKpa) {
            s.sapOffset -= change;  // the display holds still
        } else {
            steer = true;
        }
    } else if (s.sapOffset > 0.0f) {
        s.sapOffset = 0.0f;
    }
    if (steer) {
        if (shown > target) {
            s.sapOffset -= change + kSteerKpaPerMs * d;
        } else {
            s.sapOffset += kSteerKpaPerMs * d - change;
        }
    }
    if (sapKpa + s.sapOffset < 0.0f) {
        s.sapOffset = -sapKpa;
    }
    // A pressure that is not a number must not stay in the offset for the rest of the run.
    if (!std::isfinite(s.sapOffset)) {
        s.sapOffset = 0.0f;
    }
    s.sapDisplay = sapKpa + s.sapOffset;
}

void Relax(float& bcOffset, float d) {
    if (bcOffset < 0.0f) {
        bcOffset += kRelaxKpaPerMs * d;
    } else if (bcOffset > 0.0f) {
        bcOffset = 0.0f;
    }
}

void UpdateBcDisplay(BrakeDisplayContext& c, const VehicleState& state, const Handles& result,
                     float d) {
    BrakeDisplayState& s = c.display;
    float& offset = s.bcOffset;
    const float bcKpa = state.BcPressure;
    const float prevBcKpa = c.frame.prevBcPressure;
    const float change = bcKpa - prevBcKpa;
    const float current = state.Current;
    const bool overrideOn = c.handles.key9Switch.on;
    if (overrideOn) {
        // The offset keeps its value.
    } else if (c.handles.powerNotch != 0) {
        Relax(offset, d);
    } else if (result.Power == NegatedNotch(c.cam.brakeTopNotch) && !c.cam.regenReleased &&
               current < -s.noLoadCurrent) {
        // Full regenerative braking: the gauge holds at 100 kPa, sinking to it from above.
        if (state.SapPressure > kRegenHoldKpa) {
            if (offset + bcKpa > kRegenHoldKpa) {
                offset -= kRegenSinkKpaPerMs * d;
            }
            if (bcKpa != prevBcKpa) {
                offset -= change;
            }
            if (offset + bcKpa < kRegenHoldKpa) {
                offset = kRegenHoldKpa - bcKpa;
            }
        } else if (offset < 0.0f) {
            offset += kSteerKpaPerMs * d;
        } else if (offset > 0.0f) {
            offset = 0.0f;
        }
        if (offset + bcKpa <= kRegenHoldKpa && bcKpa <= kRegenHoldKpa) {
            offset = 0.0f;
        }
    } else if (current < -s.noLoadCurrent) {
        if (offset < 0.0f) {
            if (bcKpa < prevBcKpa && offset + bcKpa > kRegenHoldKpa) {
                offset -= kRegenSinkKpaPerMs * d + change;
                if (offset + bcKpa < kRegenHoldKpa) {
                    offset = kRegenHoldKpa - bcKpa;
                }
            } else if (bcKpa != prevBcKpa) {
                offset -= change;
            }
            offset += kRegenCreepKpaPerMs * d;
            if (offset + bcKpa <= kRegenHoldKpa && bcKpa <= kRegenHoldKpa) {
                offset = 0.0f;
            } else if (offset > 0.0f) {
                offset = 0.0f;
            }
        } else if (offset > 0.0f) {
            offset = 0.0f;
        }
    } else {
        Relax(offset, d);
    }
    if (!overrideOn && -offset > bcKpa) {
        offset = -bcKpa;
    }
    if (!std::isfinite(offset)) {
        offset = 0.0f;
    }
    const float shown = bcKpa + offset;
    s.bcDisplay = shown > kMaxBcDisplayKpa ? kMaxBcDisplayKpa : shown;  // not a number stays so
}

void PlayExhaustSounds(BrakeDisplayContext& c, const VehicleState& state, const Handles& result,
                       float d) {
    BrakeDisplayState& s = c.display;
    sound::SoundRegistry& sounds = c.sound.registry;
    const uint32_t set = c.sound.operationSet;
    const bool falling = s.sapDisplay < s.prevSapDisplay;
    const bool silenced =
        c.brakeOverride.overrideBcWatch || result.Brake == c.handles.emergencyNotch;
    sound::SoundSlot& sap = sounds.sapSound;
    platform::SourceVoice* bcVoice = sounds.bcSound.voice.get();

    if (sap.voice != nullptr) {
        if (falling && !sap.userFlag && !silenced && !c.handles.brakeRaised) {
            if (sap.buffer != nullptr) {
                sap.voice->FlushSourceBuffers();
                sap.buffer->PlayBegin = 0;
                sap.buffer->PlayLength = 0;
                sap.buffer->LoopBegin = 0;
                sap.buffer->LoopLength = 0;
                sap.buffer->LoopCount = 0;
            }
            sap.Play(set);
            sap.userFlag = true;
        }
        bool quiet = false;
        if (!falling) {
            if (sap.userFlag && s.sapNotFallingMs >= kExhaustStopAfterMs) {
                sap.Stop(set);
                sap.userFlag = false;
            }
            if (state.BcPressure < kExhaustQuietBelowKpa) {
                s.bcVolume = 0.0f;
                quiet = true;
            }
        }
        // The loop rises by at most 1/240 per ms and follows the release rate down at once.
        // A frame without elapsed time has no rate: the volume stays.
        if (!quiet && d != 0.0f) {
            const float rate = (s.prevBcDisplay - s.bcDisplay) * 2.0f / d;
            float rise = d / kExhaustRiseMs + s.bcVolume;
            if (rise < 0.0f) {
                rise = 0.0f;
            }
            s.bcVolume = rise <= rate ? rise : rate;
            if (std::isnan(s.bcVolume)) {
                s.bcVolume = 0.0f;
            }
        }
        if (bcVoice != nullptr) {
            bcVoice->SetVolume(sound::UnitVolume(s.bcVolume), set);
        }
    } else if (bcVoice != nullptr) {
        // The folder's own loop stands in: its volume is this frame's drop in kPa.
        const bool quiet = !falling && state.BcPressure < kExhaustQuietBelowKpa;
        bcVoice->SetVolume(quiet ? 0.0f : sound::UnitVolume(s.prevBcDisplay - s.bcDisplay), set);
    }
    if (silenced && bcVoice != nullptr) {
        bcVoice->SetVolume(0.0f, set);
    }
}

}  // namespace

void updateBrakeDisplays(BrakeDisplayContext& c, const VehicleState& state, const Handles& result) {
    const float d = static_cast<float>(c.frame.frameDeltaMs);
    UpdateSapDisplay(c, state, d);
    UpdateBcDisplay(c, state, result, d);
    BrakeDisplayState& s = c.display;
    s.sapNotFallingMs = state.SapPressure < c.frame.prevSapPressure
                            ? 0
                            : AddMs(s.sapNotFallingMs, c.frame.frameDeltaMs);
    PlayExhaustSounds(c, state, result, d);
}

}  // namespace camcab::sim
