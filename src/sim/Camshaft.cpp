#include "sim/Camshaft.h"

#include <array>
#include <cmath>

namespace camcab::sim {
namespace {

using sound::Commit;
using sound::Sound;

// Before the first Load the camshaft compares the current with no curves.
const config::NotchTable kNoNotchTable{};

bool Near(float value, float target, float tolerance) {
    return std::fabs(value - target) < tolerance;
}

}  // namespace

int32_t DelayMsFromSeconds(float seconds) {
    const double ms = static_cast<double>(seconds) * 1000.0;
    if (std::isnan(ms)) {
        return 0;
    }
    return ms <= -2147483648.0  ? INT32_MIN
           : ms >= 2147483647.0 ? INT32_MAX
                                : static_cast<int32_t>(ms);
}

void Camshaft::Configure(const config::NotchTable& notchTable) {
    notchTable_ = &notchTable;
    regenReleased_ = false;
    currentLimitEmptyA_ = notchTable.CurrentLimitEmpty;
    breakerDelayMs_ = DelayMsFromSeconds(notchTable.BreakerDelayOn);
    brakeTopNotch_ = static_cast<int32_t>(static_cast<uint32_t>(notchTable.BrakeTopNotch));
}

void Camshaft::OnInitialize() {
    camAtStart_ = false;
    reverser1Pending_ = false;
    reverser2Pending_ = false;
    forwardSelected_ = false;
    backwardSelected_ = false;
    forwardSet_ = false;
    backwardSet_ = false;
    start1Armed_ = true;
    start2Armed_ = true;
}

void Camshaft::ReleaseHold() {
    if (camHold_) {
        camAtStart_ = true;
        camHold_ = false;
        resetPending_ = true;
    }
}

void Camshaft::PlaySecondReverser(sound::CabSounds& sounds, uint32_t startFrame) {
    const uint32_t lengthFrames = sounds.LengthFrames(Sound::Reverser2);
    if (startFrame >= lengthFrames) {
        startFrame = 0;
    }
    sounds.PlayRange(Sound::Reverser2, startFrame, lengthFrames - startFrame);
}

void Camshaft::OnPower(int32_t notch, const HandleInput& handles, sound::CabSounds& sounds) {
    ReleaseHold();
    if (notch >= 1 && handles.PowerNotch() == 0 && start1Armed_) {
        start1Pending_ = true;
        start1Armed_ = false;
    }
    if (notch >= 2) {
        if (handles.PowerNotch() < 2 && start2Armed_) {
            start2Pending_ = true;
            start2Armed_ = false;
        }
        return;
    }
    if (notch == 0) {
        start1Pending_ = false;
        if (sounds.IsPlaying(Sound::Start1)) {
            sounds.Stop(Sound::Start1, Commit::WithFrame);
        }
        start2Pending_ = false;
        if (sounds.IsPlaying(Sound::Start2)) {
            sounds.Stop(Sound::Start2, Commit::WithFrame);
        }
        if (handles.BrakeNotch() == 0) {
            breakerDelayElapsedMs_ = 0;
        }
    }
}

bool Camshaft::OnBrake(int32_t notch, const HandleInput& handles) {
    if (notch == 0) {
        ReleaseHold();
        reverser2Pending_ = false;
        if (handles.PowerNotch() >= 0) {
            breakerDelayElapsedMs_ = 0;
        }
        return false;
    }
    if (notch == handles.EmergencyNotch() || handles.ReverserPosition() == 0 ||
        brakeCurrentLastA_ != 0.0f || reverser2Pending_) {
        return false;
    }
    // Brake applied with the reverser set and no electric brake: the reverser drum turns from
    // its start position to braking.
    if (handles.ReverserPosition() == 1 && camAtStart_) {
        reverser2Pending_ = true;
        camAtStart_ = false;
        forwardSet_ = true;
        backwardSet_ = false;
    }
    if (handles.ReverserPosition() == -1 && camAtStart_) {
        reverser2Pending_ = true;
        camAtStart_ = false;
        backwardSet_ = true;
        forwardSet_ = false;
    }
    return true;
}

void Camshaft::SelectDirection(bool& selected, bool& otherSelected, bool& set, bool& otherSet,
                               const HandleInput& handles, const sound::CabSounds& sounds) {
    if (!selected) {
        if (reverser2StartFrame_ == 0 && !camAtStart_) {
            reverser1Pending_ = true;
        }
        selected = true;
        otherSelected = false;
    }
    const int32_t brake = handles.BrakeNotch();
    if (((!set && brake != 0 && brake != handles.EmergencyNotch()) || reverser2StartFrame_ != 0) &&
        brakeCurrentLastA_ == 0.0f && !reverser2Pending_ && !sounds.IsPlaying(Sound::Reverser2) &&
        !sounds.IsPlaying(Sound::Reverser3)) {
        set = true;
        otherSet = false;
        reverser2Pending_ = true;
    }
}

void Camshaft::OnReverser(int32_t position, const HandleInput& handles, sound::CabSounds& sounds) {
    if (position == 1) {
        SelectDirection(forwardSelected_, backwardSelected_, forwardSet_, backwardSet_, handles,
                        sounds);
    } else if (position == -1) {
        SelectDirection(backwardSelected_, forwardSelected_, backwardSet_, forwardSet_, handles,
                        sounds);
    } else if (position == 0) {
        camHold_ = false;
        breakerDelayElapsedMs_ = 0;
        // The drum stops where it is; a later turn to braking starts the sound from there.
        if (sounds.IsPlaying(Sound::Reverser2)) {
            reverser2StartFrame_ = sounds.PositionFrames(Sound::Reverser2);
            sounds.Stop(Sound::Reverser2, Commit::Now);
        } else {
            reverser2StartFrame_ = 0;
        }
        reverser2Pending_ = false;
        reverser3Pending_ = false;
        sounds.Stop(Sound::Reverser3, Commit::Now);
    }
}

bool Camshaft::DetectStages(const FrameState& f) {
    const config::NotchTable& table = notchTable_ != nullptr ? *notchTable_ : kNoNotchTable;
    const std::array<float, config::kPowerCurrentValues> curve =
        config::PowerCurrentsAt(table, f.AbsSpeedKmh());
    const float i = f.AbsCurrentA();
    const bool powering = f.CurrentA() > 0.0f;

    bool curve1Reached = false;
    if (i > curve[0] + 0.1f && Near(i, curve[1], kStageNearA) && powering && !stageTransition_) {
        stageA_ = true;
        curve1Reached = true;
    }
    bool transition;
    if (Near(i, curve[2], kTransitionNearA) && powering) {
        transition = stageALatched_ || f.PrevAbsCurrentA() == 0.0f;
    } else {
        transition = stageALatched_ && !stageTransition_ && f.CurrentA() > f.PrevCurrentA() + 1.0f;
    }
    if (transition) {
        stageA_ = false;
        stageTransition_ = true;
    }
    if (i - curve[3] > 0.1f && Near(i, curve[4], kStageNearA) && powering) {
        stageB_ = true;
    }
    if (Near(i, curve[5], kStageNearA) && powering) {
        stageB_ = false;
    }
    if (i - curve[6] > 0.1f && Near(i, curve[7], kStageNearA) && powering) {
        stageC_ = true;
    }
    if (Near(i, curve[8], kStageNearA) && powering) {
        stageC_ = false;
    }
    if (Near(i, curve[10], kStageNearA) && powering) {
        stageD_ = true;
    }
    return curve1Reached;
}

void Camshaft::EvaluateHold(const FrameState& f, const HandleInput& h, const Handles& result,
                            sound::CabSounds& s) {
    const config::NotchTable& table = notchTable_ != nullptr ? *notchTable_ : kNoNotchTable;
    const config::BrakeCurrents brakeCurves = config::BrakeCurrentsAt(table, f.AbsSpeedKmh());
    brakeCurrentFirstA_ = brakeCurves.firstA;
    brakeCurrentLastA_ = brakeCurves.lastA;
    const bool braking = f.CurrentA() < 0.0f;

    brakeCurrentNear_ = Near(f.AbsCurrentA(), brakeCurrentFirstA_, kBrakeCurveNearA) && braking &&
                        brakeCurrentFirstA_ > 11.0f &&
                        (s.IsPlaying(Sound::Shindan1) || s.IsPlaying(Sound::Shindan2) ||
                         s.IsPlaying(Sound::Reverser2Loop));

    // Held at the last brake curve, or coasting with the brake applied and the drum at rest.
    if (Near(f.AbsCurrentA(), brakeCurrentLastA_, kBrakeCurveNearA) && braking) {
        camHold_ = true;
    } else if (result.Brake != 0 && result.Brake != h.EmergencyNotch() &&
               brakeCurrentLastA_ == 0.0f && result.Power == 0 && result.Reverser != 0 &&
               !reverser1Pending_ && !s.IsPlaying(Sound::Reverser1) && !reverser2Pending_ &&
               !s.IsPlaying(Sound::Reverser2) && !s.IsPlaying(Sound::Reverser3) &&
               !reverser2LoopPlaying_ && !camAtStart_) {
        camHold_ = true;
    } else if (f.CurrentA() != 0.0f) {
        camHold_ = false;
    }

    // Brake released (or at emergency) while the drum turns to braking: it turns back.
    if ((s.IsPlaying(Sound::Reverser2) || s.IsPlaying(Sound::Reverser2Loop)) &&
        h.ReverserPosition() != 0 && (result.Brake == 0 || result.Brake == h.EmergencyNotch())) {
        reverser3Pending_ = true;
    }
    if (f.CurrentA() == 0.0f) {
        stageA_ = false;
        stageB_ = false;
        stageC_ = false;
        stageD_ = false;
        brakeCurrentNear_ = false;
    }

    // Power off: the sound depends on the furthest stage reached.
    if (f.PrevCurrentA() > 0.0f && f.CurrentA() <= 0.0f && !s.IsPlaying(Sound::Reverser2) &&
        !s.IsPlaying(Sound::Reverser3)) {
        if (stageC_ || stageCLatched_) {
            notchOffPending_ = true;
        } else if (stageB_ || stageBLatched_) {
            reverser3Pending_ = true;
        } else {
            reverser1Pending_ = true;
            if (!stageTransition_) {
                camAtStart_ = true;
            }
        }
    }

    // End of regeneration: the drum turns back from a point that depends on the speed.
    if (f.CurrentA() >= 0.0f) {
        regenReleased_ = false;
    }
    if (f.PrevCurrentA() < 0.0f && f.CurrentA() >= 0.0f && !camHold_ && f.SpeedKmh() > 0.0f) {
        const float remainingKmh = 80.0f - f.AbsSpeedKmh();
        const float fraction = (remainingKmh > 0.0f ? remainingKmh : 0.0f) / 90.0f;
        reverser2StartFrame_ =
            static_cast<uint32_t>(fraction * static_cast<float>(s.LengthFrames(Sound::Reverser2)));
        PlaySecondReverser(s, reverser2StartFrame_);
    }
}

void Camshaft::PlaySounds(const FrameState& f, const HandleInput& h, const Handles& result,
                          sound::CabSounds& s) {
    if (resetPending_ && !reverser1Pending_ && !s.IsPlaying(Sound::Reverser1) &&
        !s.IsPlaying(Sound::Reverser2) && !s.IsPlaying(Sound::Reverser3) &&
        !s.IsPlaying(Sound::Reverser2Loop) && !reverser2Pending_) {
        s.Play(Sound::Reset);
        resetPending_ = false;
        camAtStart_ = true;
        reverser2StartFrame_ = 0;
    }
    if (start1Pending_ && !s.IsPlaying(Sound::Reset) && h.PowerNotch() > 0 &&
        result.Reverser != 0 && !camHold_ && !s.IsPlaying(Sound::Reverser1) &&
        !s.IsPlaying(Sound::Reverser2) && !s.IsPlaying(Sound::Reverser3) && !reverser1Pending_ &&
        !reverser2Pending_ && !reverser3Pending_) {
        s.Play(Sound::Start1);
        start1Pending_ = false;
    }
    if (start2Pending_ && !start1Pending_ && !s.IsPlaying(Sound::Start1) && h.PowerNotch() > 0 &&
        result.Reverser != 0) {
        s.Play(Sound::Start2);
        start2Pending_ = false;
        stepSoundToggle_ = true;
    }

    // A stage newly reached.
    if (stageA_) {
        if (!stageALatched_) {
            s.Play(Sound::Shindan2);
            stepSoundToggle_ = false;
        }
    } else if (stageTransition_ && !stageTransitionLatched_) {
        s.Play(Sound::Watari);
        stepSoundToggle_ = false;
    }
    const bool stages[] = {stageB_, stageC_, stageD_};
    const bool latched[] = {stageBLatched_, stageCLatched_, stageDLatched_};
    for (int k = 0; k < 3; ++k) {
        if (stages[k] && !latched[k]) {
            s.Play(Sound::Shindan1);
            stepSoundToggle_ = true;
        }
    }

    // A step while the current rises between stages: the two step sounds alternate.
    if (f.AbsCurrentA() > f.PrevAbsCurrentA() + 0.05f && !s.IsPlaying(Sound::Start2) &&
        !reverser2LoopPlaying_ && !start2Armed_ && !stageA_ && !stageB_ && !stageC_ && !stageD_ &&
        (!(f.CurrentA() < 0.0f) || !(f.AccelerationKmhPerS() > 0.0f))) {
        s.Play(stepSoundToggle_ ? Sound::Shindan2 : Sound::Shindan1);
        stepSoundToggle_ = !stepSoundToggle_;
    }
    if (f.PrevCurrentA() > 0.0f && f.AbsCurrentA() == 0.0f && !stageBLatched_) {
        s.Play(Sound::BreakerOff);
    }

    if (reverser1Pending_ && !s.IsPlaying(Sound::Reverser1) && !s.IsPlaying(Sound::Reverser2) &&
        !s.IsPlaying(Sound::Reverser3)) {
        s.Play(Sound::Reverser1);
        reverser1Pending_ = false;
    }
    if (reverser2Pending_ && !s.IsPlaying(Sound::Reverser1) && !s.IsPlaying(Sound::Reverser3)) {
        PlaySecondReverser(s, reverser2StartFrame_);
        reverser2Pending_ = false;
        camAtStart_ = false;
    }
    if (reverser3Pending_ && !s.IsPlaying(Sound::Reverser1) && !s.IsPlaying(Sound::Reverser2)) {
        s.Play(Sound::Reverser3);
        reverser3Pending_ = false;
    }
    if (notchOffPending_) {
        s.Play(Sound::NotchOff);
        notchOffPending_ = false;
    }
}

void Camshaft::ClearStartPosition(const FrameState& f) {
    if (f.AbsCurrentA() != 0.0f) {
        camAtStart_ = false;
    }
}

void Camshaft::DecidePower(const FrameState& f, const HandleInput& h, bool doorsClosed,
                           sound::CabSounds& s, Handles& result) {
    result.Power = h.PowerNotch();
    if (!doorsClosed || s.IsPlaying(Sound::Reset)) {
        result.Reverser = 0;
    }
    // No power while the camshaft or the drum is turning.
    if (s.IsPlaying(Sound::Reverser1) || s.IsPlaying(Sound::Reverser2) ||
        s.IsPlaying(Sound::Reverser3) || s.IsPlaying(Sound::NotchOff) ||
        s.IsPlaying(Sound::Start1)) {
        result.Power = 0;
        if (h.BrakeNotch() > 0) {
            result.Reverser = 0;
        }
    }
    if (f.PrevCurrentA() < 0.0f && result.Power > 0) {
        result.Power = 0;
    }

    // Braking with the drum at rest: after the breaker delay, the drum turns to braking.
    if (!camHold_ && f.AbsSpeedKmh() > 0.0f && !reverser2LoopPlaying_ &&
        ((result.Brake > 0 && result.Brake != h.EmergencyNotch()) || result.Power < 0) &&
        result.Reverser != 0 && !s.IsPlaying(Sound::Reverser1) && !s.IsPlaying(Sound::Reverser2) &&
        !s.IsPlaying(Sound::Reverser3) && !s.IsPlaying(Sound::NotchOff) &&
        !s.IsPlaying(Sound::Start1) && !s.IsPlaying(Sound::Reset) &&
        !s.IsPlaying(Sound::Reverser2Loop)) {
        if (breakerDelayElapsedMs_ < breakerDelayMs_) {
            breakerDelayElapsedMs_ = AddMs(breakerDelayElapsedMs_, f.DeltaMs());
            camHold_ = false;
        } else if (f.CurrentA() == 0.0f && !reverser2LoopPlaying_) {
            s.PlayRange(Sound::Reverser2Loop, 0, 0);
            reverser2LoopPlaying_ = true;
            camHold_ = false;
        }
    }

    // Regeneration released: the drum sound stops, and turns back from where it was.
    if ((h.PowerNotch() < 0 || (h.PowerNotch() == 0 && f.CurrentA() < -currentLimitEmptyA_)) ||
        (result.Brake == 0 && result.Power >= 0 && brakeCurrentLastA_ > 0.0f)) {
        regenReleased_ = true;
        if (reverser2LoopPlaying_) {
            s.Stop(Sound::Reverser2Loop, Commit::WithFrame);
            reverser2LoopPlaying_ = false;
            if (result.Brake == 0 && result.Power >= 0) {
                reverser2StartFrame_ = s.PositionFrames(Sound::Reverser2Loop);
                PlaySecondReverser(s, reverser2StartFrame_);
            }
        }
    }
    if (brakeCurrentLastA_ == 0.0f && f.CurrentA() >= 0.0f) {
        reverser2LoopPlaying_ = false;
        regenReleased_ = true;
    }
    if (f.CurrentA() < 0.0f && !regenReleased_ && h.PowerNotch() >= 0) {
        result.Power = NegatedNotch(brakeTopNotch_);
    }
    if (f.CurrentA() > 0.0f) {
        reverser2LoopPlaying_ = false;
    }
}

void Camshaft::EndOfFrame(const FrameState& f) {
    if (f.PrevAbsSpeedKmh() != 0.0f && f.AbsSpeedKmh() == 0.0f) {
        start1Armed_ = true;
        start2Armed_ = true;
    }
    stageALatched_ = stageALatched_ || stageA_;
    stageTransitionLatched_ = stageTransitionLatched_ || stageTransition_;
    stageBLatched_ = stageBLatched_ || stageB_;
    stageCLatched_ = stageCLatched_ || stageC_;
    stageDLatched_ = stageDLatched_ || stageD_;
    if (f.AbsCurrentA() == 0.0f) {
        stageALatched_ = false;
        stageTransition_ = false;
        stageTransitionLatched_ = false;
        stageBLatched_ = false;
        stageCLatched_ = false;
        stageDLatched_ = false;
        stepSoundToggle_ = true;
    }
    if (f.CurrentA() > 0.0f) {
        forwardSelected_ = false;
        backwardSelected_ = false;
    }
    if (f.CurrentA() < 0.0f) {
        forwardSet_ = false;
        backwardSet_ = false;
    }
}

}  // namespace camcab::sim
