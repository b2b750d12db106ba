#include "sim/Camshaft.h"

#include <cmath>

#include "config/Curve.h"

namespace camcab::sim {
namespace {

// Curve k of a list at x; 0 when the list has fewer curves.
float CurveValue(const std::vector<config::Curve>& curves, size_t k, float x) {
    return k < curves.size() ? config::InterpolateCurve(x, curves[k]) : 0.0f;
}

bool Near(float value, float target, float tolerance) {
    return std::fabs(value - target) < tolerance;
}

}  // namespace

uint32_t ReverserPosition(const sound::SoundRegistry& sounds, sound::SoundSlot& slot) {
    const uint32_t channels = sounds.reverser2Format.nChannels;
    const uint32_t lengthFrames = sounds.reverser2LengthFrames;
    if (slot.voice == nullptr || channels == 0 || lengthFrames == 0) {
        return 0;
    }
    platform::VoiceState state{};
    slot.voice->GetState(state, 0);
    const uint32_t samplesPlayed = static_cast<uint32_t>(state.SamplesPlayed);
    return samplesPlayed / channels % lengthFrames;
}

void PlayReverserFrom(sound::SoundSlot& slot, uint32_t startFrame, uint32_t playLength,
                      uint32_t operationSet) {
    if (slot.voice == nullptr || slot.buffer == nullptr) {
        return;
    }
    slot.voice->FlushSourceBuffers();
    slot.buffer->PlayBegin = startFrame;
    slot.buffer->PlayLength = playLength;
    slot.buffer->LoopBegin = 0;
    slot.buffer->LoopLength = 0;
    slot.buffer->LoopCount = 0;
    slot.Play(operationSet);
}

namespace {

// The second reverser sound from `startFrame` to its end; a start beyond the end plays it whole.
void PlaySecondReverser(sound::SoundSystem& sound, uint32_t startFrame) {
    const uint32_t lengthFrames = sound.registry.reverser2LengthFrames;
    if (startFrame >= lengthFrames) {
        startFrame = 0;
    }
    PlayReverserFrom(sound.registry.reverser2Sound, startFrame, lengthFrames - startFrame,
                     sound.operationSet);
}

}  // namespace

void detectStages(CamshaftContext& c) {
    CamshaftState& cam = c.cam;
    const FrameState& f = c.frame;
    const std::vector<config::Curve>& curves = c.notchTable.PowerCurrentCurves;
    float curve[kPowerCurveValues];  // A
    for (size_t k = 0; k < kPowerCurveValues; ++k) {
        curve[k] = k == 9 ? 0.0f : CurveValue(curves, k, f.absSpeed);
    }
    const float i = f.absCurrent;
    const bool powering = f.current > 0.0f;

    // Curve 1 reached while powering: notch 1 or 2 becomes 3.
    if (i > curve[0] + 0.1f && Near(i, curve[1], kStageNearA) && powering && !cam.stageTransition) {
        cam.stageA = true;
        if (c.handles.powerNotch == 1 || c.handles.powerNotch == 2) {
            c.handles.powerNotch = 3;
        }
    }
    bool transition;
    if (Near(i, curve[2], kTransitionNearA) && powering) {
        transition = cam.stageALatched || f.prevAbsCurrent == 0.0f;
    } else {
        transition = cam.stageALatched && !cam.stageTransition && f.current > f.prevCurrent + 1.0f;
    }
    if (transition) {
        cam.stageA = false;
        cam.stageTransition = true;
    }
    if (i - curve[3] > 0.1f && Near(i, curve[4], kStageNearA) && powering) {
        cam.stageB = true;
    }
    if (Near(i, curve[5], kStageNearA) && powering) {
        cam.stageB = false;
    }
    if (i - curve[6] > 0.1f && Near(i, curve[7], kStageNearA) && powering) {
        cam.stageC = true;
    }
    if (Near(i, curve[8], kStageNearA) && powering) {
        cam.stageC = false;
    }
    if (Near(i, curve[10], kStageNearA) && powering) {
        cam.stageD = true;
    }
}

void evaluateHold(CamshaftContext& c, const Handles& result) {
    CamshaftState& cam = c.cam;
    const FrameState& f = c.frame;
    const HandleState& h = c.handles;
    sound::SoundRegistry& s = c.sound.registry;
    const std::vector<config::Curve>& brakeCurves = c.notchTable.BrakeCurrentCurves;
    cam.brakeCurrentFirst =
        brakeCurves.empty() ? 0.0f : config::InterpolateCurve(f.absSpeed, brakeCurves.front());
    cam.brakeCurrentLast =
        brakeCurves.empty() ? 0.0f : config::InterpolateCurve(f.absSpeed, brakeCurves.back());
    const bool braking = f.current < 0.0f;

    cam.brakeCurrentNear = Near(f.absCurrent, cam.brakeCurrentFirst, kBrakeCurveNearA) && braking &&
                           cam.brakeCurrentFirst > 11.0f &&
                           (s.shindan1Sound.IsPlaying() || s.shindan2Sound.IsPlaying() ||
                            s.reverser2LoopSound.IsPlaying());

    // Held at the last brake curve, or coasting with the brake applied and the drum at rest.
    if (Near(f.absCurrent, cam.brakeCurrentLast, kBrakeCurveNearA) && braking) {
        cam.camHold = true;
    } else if (result.Brake != 0 && result.Brake != h.emergencyNotch &&
               cam.brakeCurrentLast == 0.0f && result.Power == 0 && result.Reverser != 0 &&
               !cam.reverser1Pending && !s.reverser1Sound.IsPlaying() && !cam.reverser2Pending &&
               !s.reverser2Sound.IsPlaying() && !s.reverser3Sound.IsPlaying() &&
               !cam.reverser2LoopPlaying && !cam.camAtStart) {
        cam.camHold = true;
    } else if (f.current != 0.0f) {
        cam.camHold = false;
    }

    // Brake released (or at emergency) while the drum turns to braking: it turns back.
    if ((s.reverser2Sound.IsPlaying() || s.reverser2LoopSound.IsPlaying()) &&
        h.reverserPosition != 0 && (result.Brake == 0 || result.Brake == h.emergencyNotch)) {
        cam.reverser3Pending = true;
    }
    if (f.current == 0.0f) {
        cam.stageA = false;
        cam.stageB = false;
        cam.stageC = false;
        cam.stageD = false;
        cam.brakeCurrentNear = false;
    }

    // Power off: the sound depends on the furthest stage reached.
    if (f.prevCurrent > 0.0f && f.current <= 0.0f && !s.reverser2Sound.IsPlaying() &&
        !s.reverser3Sound.IsPlaying()) {
        if (cam.stageC || cam.stageCLatched) {
            cam.notchOffPending = true;
        } else if (cam.stageB || cam.stageBLatched) {
            cam.reverser3Pending = true;
        } else {
            cam.reverser1Pending = true;
            if (!cam.stageTransition) {
                cam.camAtStart = true;
            }
        }
    }

    // End of regeneration: the drum turns back from a point that depends on the speed.
    if (f.current >= 0.0f) {
        cam.regenReleased = false;
    }
    if (f.prevCurrent < 0.0f && f.current >= 0.0f && !cam.camHold && f.speed > 0.0f) {
        const float remainingKmh = 80.0f - f.absSpeed;
        const float fraction = (remainingKmh > 0.0f ? remainingKmh : 0.0f) / 90.0f;
        cam.reverser2StartFrame =
            static_cast<uint32_t>(fraction * static_cast<float>(s.reverser2LengthFrames));
        PlaySecondReverser(c.sound, cam.reverser2StartFrame);
    }
}

void playCamshaftSounds(CamshaftContext& c, const Handles& result) {
    CamshaftState& cam = c.cam;
    const FrameState& f = c.frame;
    const HandleState& h = c.handles;
    sound::SoundRegistry& s = c.sound.registry;
    const uint32_t set = c.sound.operationSet;

    if (cam.resetPending && !cam.reverser1Pending && !s.reverser1Sound.IsPlaying() &&
        !s.reverser2Sound.IsPlaying() && !s.reverser3Sound.IsPlaying() &&
        !s.reverser2LoopSound.IsPlaying() && !cam.reverser2Pending) {
        s.resetSound.Play(set);
        cam.resetPending = false;
        cam.camAtStart = true;
        cam.reverser2StartFrame = 0;
    }
    if (cam.start1Pending && !s.resetSound.IsPlaying() && h.powerNotch > 0 &&
        result.Reverser != 0 && !cam.camHold && !s.reverser1Sound.IsPlaying() &&
        !s.reverser2Sound.IsPlaying() && !s.reverser3Sound.IsPlaying() && !cam.reverser1Pending &&
        !cam.reverser2Pending && !cam.reverser3Pending) {
        s.start1Sound.Play(set);
        cam.start1Pending = false;
    }
    if (cam.start2Pending && !cam.start1Pending && !s.start1Sound.IsPlaying() && h.powerNotch > 0 &&
        result.Reverser != 0) {
        s.start2Sound.Play(set);
        cam.start2Pending = false;
        cam.stepSoundToggle = true;
    }

    // A stage newly reached.
    if (cam.stageA) {
        if (!cam.stageALatched) {
            s.shindan2Sound.Play(set);
            cam.stepSoundToggle = false;
        }
    } else if (cam.stageTransition && !cam.stageTransitionLatched) {
        s.watariSound.Play(set);
        cam.stepSoundToggle = false;
    }
    const bool stages[] = {cam.stageB, cam.stageC, cam.stageD};
    const bool latched[] = {cam.stageBLatched, cam.stageCLatched, cam.stageDLatched};
    for (int k = 0; k < 3; ++k) {
        if (stages[k] && !latched[k]) {
            s.shindan1Sound.Play(set);
            cam.stepSoundToggle = true;
        }
    }

    // A step while the current rises between stages: the two step sounds alternate.
    if (f.absCurrent > f.prevAbsCurrent + 0.05f && !s.start2Sound.IsPlaying() &&
        !cam.reverser2LoopPlaying && !cam.start2Armed && !cam.stageA && !cam.stageB &&
        !cam.stageC && !cam.stageD && (!(f.current < 0.0f) || !(f.acceleration > 0.0f))) {
        (cam.stepSoundToggle ? s.shindan2Sound : s.shindan1Sound).Play(set);
        cam.stepSoundToggle = !cam.stepSoundToggle;
    }
    if (f.prevCurrent > 0.0f && f.absCurrent == 0.0f && !cam.stageBLatched) {
        s.breakerOffSound.Play(set);
    }

    if (cam.reverser1Pending && !s.reverser1Sound.IsPlaying() && !s.reverser2Sound.IsPlaying() &&
        !s.reverser3Sound.IsPlaying()) {
        s.reverser1Sound.Play(set);
        cam.reverser1Pending = false;
    }
    if (cam.reverser2Pending && !s.reverser1Sound.IsPlaying() && !s.reverser3Sound.IsPlaying()) {
        PlaySecondReverser(c.sound, cam.reverser2StartFrame);
        cam.reverser2Pending = false;
        cam.camAtStart = false;
    }
    if (cam.reverser3Pending && !s.reverser1Sound.IsPlaying() && !s.reverser2Sound.IsPlaying()) {
        s.reverser3Sound.Play(set);
        cam.reverser3Pending = false;
    }
    if (cam.notchOffPending) {
        s.notchOffSound.Play(set);
        cam.notchOffPending = false;
    }
}

void clearStartPosition(CamshaftContext& c) {
    if (c.frame.absCurrent != 0.0f) {
        c.cam.camAtStart = false;
    }
}

void decidePower(CamshaftContext& c, Handles& result) {
    CamshaftState& cam = c.cam;
    const FrameState& f = c.frame;
    const HandleState& h = c.handles;
    sound::SoundRegistry& s = c.sound.registry;
    const uint32_t set = c.sound.operationSet;

    result.Power = h.powerNotch;
    if (!c.doorsClosed || s.resetSound.IsPlaying()) {
        result.Reverser = 0;
    }
    // No power while the camshaft or the drum is turning.
    if (s.reverser1Sound.IsPlaying() || s.reverser2Sound.IsPlaying() ||
        s.reverser3Sound.IsPlaying() || s.notchOffSound.IsPlaying() || s.start1Sound.IsPlaying()) {
        result.Power = 0;
        if (h.brakeNotch > 0) {
            result.Reverser = 0;
        }
    }
    if (f.prevCurrent < 0.0f && result.Power > 0) {
        result.Power = 0;
    }

    // Braking with the drum at rest: after the breaker delay, the drum turns to braking.
    if (!cam.camHold && f.absSpeed > 0.0f && !cam.reverser2LoopPlaying &&
        ((result.Brake > 0 && result.Brake != h.emergencyNotch) || result.Power < 0) &&
        result.Reverser != 0 && !s.reverser1Sound.IsPlaying() && !s.reverser2Sound.IsPlaying() &&
        !s.reverser3Sound.IsPlaying() && !s.notchOffSound.IsPlaying() &&
        !s.start1Sound.IsPlaying() && !s.resetSound.IsPlaying() &&
        !s.reverser2LoopSound.IsPlaying()) {
        if (cam.breakerDelayElapsedMs < cam.breakerDelayMs) {
            cam.breakerDelayElapsedMs = AddMs(cam.breakerDelayElapsedMs, f.frameDeltaMs);
            cam.camHold = false;
        } else if (f.current == 0.0f && !cam.reverser2LoopPlaying) {
            PlayReverserFrom(s.reverser2LoopSound, 0, 0, set);
            cam.reverser2LoopPlaying = true;
            cam.camHold = false;
        }
    }

    // Regeneration released: the drum sound stops, and turns back from where it was.
    if ((h.powerNotch < 0 || (h.powerNotch == 0 && f.current < -cam.currentLimitEmpty)) ||
        (result.Brake == 0 && result.Power >= 0 && cam.brakeCurrentLast > 0.0f)) {
        cam.regenReleased = true;
        if (cam.reverser2LoopPlaying) {
            s.reverser2LoopSound.Stop(set);
            cam.reverser2LoopPlaying = false;
            if (result.Brake == 0 && result.Power >= 0) {
                cam.reverser2StartFrame = ReverserPosition(s, s.reverser2LoopSound);
                PlaySecondReverser(c.sound, cam.reverser2StartFrame);
            }
        }
    }
    if (cam.brakeCurrentLast == 0.0f && f.current >= 0.0f) {
        cam.reverser2LoopPlaying = false;
        cam.regenReleased = true;
    }
    if (f.current < 0.0f && !cam.regenReleased && h.powerNotch >= 0) {
        result.Power = NegatedNotch(cam.brakeTopNotch);
    }
    if (f.current > 0.0f) {
        cam.reverser2LoopPlaying = false;
    }
}

void endOfFrame(CamshaftContext& c) {
    CamshaftState& cam = c.cam;
    const FrameState& f = c.frame;
    if (f.prevAbsSpeed != 0.0f && f.absSpeed == 0.0f) {
        cam.start1Armed = true;
        cam.start2Armed = true;
    }
    cam.stageALatched = cam.stageALatched || cam.stageA;
    cam.stageTransitionLatched = cam.stageTransitionLatched || cam.stageTransition;
    cam.stageBLatched = cam.stageBLatched || cam.stageB;
    cam.stageCLatched = cam.stageCLatched || cam.stageC;
    cam.stageDLatched = cam.stageDLatched || cam.stageD;
    if (f.absCurrent == 0.0f) {
        cam.stageALatched = false;
        cam.stageTransition = false;
        cam.stageTransitionLatched = false;
        cam.stageBLatched = false;
        cam.stageCLatched = false;
        cam.stageDLatched = false;
        cam.stepSoundToggle = true;
    }
    if (f.current > 0.0f) {
        cam.forwardSelected = false;
        cam.backwardSelected = false;
    }
    if (f.current < 0.0f) {
        cam.forwardSet = false;
        cam.backwardSet = false;
    }
}

}  // namespace camcab::sim
