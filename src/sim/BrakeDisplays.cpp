#include "sim/BrakeDisplays.h"

#include <cmath>

#include "sound/SoundSlot.h"

namespace camcab::sim {
namespace {

using sound::Commit;
using sound::Sound;

constexpr float kNearTargetKpa = 10.0f;
constexpr float kSteerKpaPerMs = 0.4f;
constexpr float kRegenHoldKpa = 100.0f;
constexpr float kRegenSinkKpaPerMs = 0.1f;
constexpr float kRegenCreepKpaPerMs = 0.001f;
constexpr float kRelaxKpaPerMs = 0.2f;
constexpr int32_t kExhaustStopAfterMs = 125;
constexpr float kExhaustQuietBelowKpa = 6.0f;
constexpr float kExhaustRiseMs = 240.0f;

void Relax(float& bcOffset, float d) {
    if (bcOffset < 0.0f) {
        bcOffset += kRelaxKpaPerMs * d;
    } else if (bcOffset > 0.0f) {
        bcOffset = 0.0f;
    }
}

}  // namespace

void BrakeDisplays::Configure(const config::NotchTable& notchTable) {
    noLoadCurrentA_ = notchTable.NoLoadCurrent;
    sapExhaustPlaying_ = false;
}

void BrakeDisplays::Update(const Inputs& in, const VehicleState& state, const Handles& result,
                           sound::CabSounds& sounds) {
    const float d = static_cast<float>(in.frame.DeltaMs());
    UpdateSapDisplay(in, state, d);
    UpdateBcDisplay(in, state, result, d);
    sapNotFallingMs_ =
        state.SapPressure < in.frame.PrevSapKpa() ? 0 : AddMs(sapNotFallingMs_, in.frame.DeltaMs());
    PlayExhaustSounds(in, state, result, d, sounds);
}

void BrakeDisplays::UpdateSapDisplay(const Inputs& in, const VehicleState& state, float d) {
    float& offset = sapOffsetKpa_;
    const float target =
        in.notchPressure.TargetKpa(in.handles.BrakeNotch(), in.handles.BrakeNotchCount());
    const float sapKpa = state.SapPressure;
    const float shown = sapKpa + offset;
    const float change = sapKpa - in.frame.PrevSapKpa();
    bool steer = false;
    if (in.handles.Key9On() || offset < 0.0f) {
        if (std::fabs(shown - target) < kNearTargetKpa) {
            offset -= change;  // the display holds still
        } else {
            steer = true;
        }
    } else if (offset > 0.0f) {
        offset = 0.0f;
    }
    if (steer) {
        if (shown > target) {
            offset -= change + kSteerKpaPerMs * d;
        } else {
            offset += kSteerKpaPerMs * d - change;
        }
    }
    if (sapKpa + offset < 0.0f) {
        offset = -sapKpa;
    }
    // A pressure that is not a number must not stay in the offset for the rest of the run.
    if (!std::isfinite(offset)) {
        offset = 0.0f;
    }
    sapDisplayKpa_ = sapKpa + offset;
}

void BrakeDisplays::UpdateBcDisplay(const Inputs& in, const VehicleState& state,
                                    const Handles& result, float d) {
    float& offset = bcOffsetKpa_;
    const float bcKpa = state.BcPressure;
    const float prevBcKpa = in.frame.PrevBcKpa();
    const float change = bcKpa - prevBcKpa;
    const float current = state.Current;
    const bool overrideOn = in.handles.Key9On();
    if (overrideOn) {
        // The offset keeps its value.
    } else if (in.handles.PowerNotch() != 0) {
        Relax(offset, d);
    } else if (result.Power == in.camshaft.FullRegenerationNotch() &&
               !in.camshaft.RegenerationReleased() && current < -noLoadCurrentA_) {
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
    } else if (current < -noLoadCurrentA_) {
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
    bcDisplayKpa_ = shown > kMaxBcDisplayKpa ? kMaxBcDisplayKpa : shown;  // not a number stays so
}

void BrakeDisplays::PlayExhaustSounds(const Inputs& in, const VehicleState& state,
                                      const Handles& result, float d, sound::CabSounds& sounds) {
    const bool falling = sapDisplayKpa_ < prevSapDisplayKpa_;
    const bool silenced =
        in.brakeOverride.IsWatching() || result.Brake == in.handles.EmergencyNotch();

    if (sounds.HasVoice(Sound::Sap)) {
        if (falling && !sapExhaustPlaying_ && !silenced && !in.handles.BrakeRaised()) {
            sounds.PlayRange(Sound::Sap, 0, 0);
            sapExhaustPlaying_ = true;
        }
        bool quiet = false;
        if (!falling) {
            if (sapExhaustPlaying_ && sapNotFallingMs_ >= kExhaustStopAfterMs) {
                sounds.Stop(Sound::Sap, Commit::WithFrame);
                sapExhaustPlaying_ = false;
            }
            if (state.BcPressure < kExhaustQuietBelowKpa) {
                bcVolume_ = 0.0f;
                quiet = true;
            }
        }
        // The loop rises by at most 1/240 per ms and follows the release rate down at once.
        // A frame without elapsed time has no rate: the volume stays.
        if (!quiet && d != 0.0f) {
            const float rate = (prevBcDisplayKpa_ - bcDisplayKpa_) * 2.0f / d;
            float rise = d / kExhaustRiseMs + bcVolume_;
            if (rise < 0.0f) {
                rise = 0.0f;
            }
            bcVolume_ = rise <= rate ? rise : rate;
            if (std::isnan(bcVolume_)) {
                bcVolume_ = 0.0f;
            }
        }
        sounds.SetVolume(Sound::Bc, sound::UnitVolume(bcVolume_), Commit::WithFrame);
    } else {
        // The folder's own loop stands in: its volume is this frame's drop in kPa.
        const bool quiet = !falling && state.BcPressure < kExhaustQuietBelowKpa;
        sounds.SetVolume(Sound::Bc,
                         quiet ? 0.0f : sound::UnitVolume(prevBcDisplayKpa_ - bcDisplayKpa_),
                         Commit::WithFrame);
    }
    if (silenced) {
        sounds.SetVolume(Sound::Bc, 0.0f, Commit::WithFrame);
    }
}

}  // namespace camcab::sim
