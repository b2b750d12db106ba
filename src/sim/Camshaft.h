// The camshaft controller, read back each frame from the motor current: its stages, hold,
// sounds and the power notch the host receives.
#pragma once

#include <cstdint>

#include "config/NotchTable.h"
#include "host/HostRecords.h"
#include "sim/FrameState.h"
#include "sim/HandleInput.h"
#include "sound/SoundSystem.h"

namespace camcab::sim {

// How close the current must come to a curve: a stage's (curves 1, 4, 5, 7, 8, 10), the
// transition's (curve 2), and the brake curves' (the hold and the brake lamp).
inline constexpr float kStageNearA = 2.0f;
inline constexpr float kTransitionNearA = 0.5f;
inline constexpr float kBrakeCurveNearA = 10.0f;

// Power current curves 0 to 10 at this frame's speed (curve 9 is not used).
inline constexpr int kPowerCurveValues = 11;

struct CamshaftState {
    float brakeCurrentFirst = 0.0f;  // A
    float brakeCurrentLast = 0.0f;   // A

    bool stageA = false;
    bool stageTransition = false;
    bool stageB = false;
    bool stageC = false;
    bool stageD = false;
    bool stageALatched = false;
    bool stageTransitionLatched = false;
    bool stageBLatched = false;
    bool stageCLatched = false;
    bool stageDLatched = false;
    bool brakeCurrentNear = false;
    bool camHold = false;
    bool camAtStart = false;
    bool regenReleased = false;
    bool reverser2LoopPlaying = false;
    bool stepSoundToggle = false;

    bool start1Armed = false;
    bool start2Armed = false;
    bool start1Pending = false;
    bool start2Pending = false;
    bool resetPending = false;
    bool reverser1Pending = false;
    bool reverser2Pending = false;
    bool reverser3Pending = false;
    bool notchOffPending = false;
    bool forwardSelected = false;
    bool backwardSelected = false;
    bool forwardSet = false;
    bool backwardSet = false;

    uint32_t reverser2StartFrame = 0;  // sample frame the second reverser sound starts from
    int32_t breakerDelayElapsedMs = 0;

    // Copied from the notch table by Load.
    int32_t breakerDelayMs = 0;
    float currentLimitEmpty = 0.0f;  // A
    int32_t brakeTopNotch = 100;
};

// Everything the camshaft steps read or drive besides their own state.
struct CamshaftContext {
    CamshaftState& cam;
    HandleState& handles;
    const FrameState& frame;
    const config::NotchTable& notchTable;
    sound::SoundSystem& sound;
    const bool& doorsClosed;
};

// The power notch of full regenerative braking, -brakeTopNotch; the lowest int saturates.
inline int32_t NegatedNotch(int32_t notch) {
    return notch == INT32_MIN ? INT32_MAX : -notch;
}

// The frame steps, called by the frame driver in this order with its own steps between.
void detectStages(CamshaftContext& c);
void evaluateHold(CamshaftContext& c, const Handles& result);
void playCamshaftSounds(CamshaftContext& c, const Handles& result);
void clearStartPosition(CamshaftContext& c);
void decidePower(CamshaftContext& c, Handles& result);
void endOfFrame(CamshaftContext& c);

// The sample frame a voice of the second reverser sound has reached, within the sound's length.
uint32_t ReverserPosition(const sound::SoundRegistry& sounds, sound::SoundSlot& slot);
// Plays the second reverser sound (or its second voice) from `startFrame`; a `playLength`
// of 0 plays to the end.
void PlayReverserFrom(sound::SoundSlot& slot, uint32_t startFrame, uint32_t playLength,
                      uint32_t operationSet);

}  // namespace camcab::sim
