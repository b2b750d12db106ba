// The camshaft controller, read back each frame from the motor current: its stages, hold,
// sounds and the power notch the host receives.
#pragma once

#include <array>
#include <cstdint>

#include "config/NotchTable.h"
#include "host/HostRecords.h"
#include "sim/FrameState.h"
#include "sim/HandleInput.h"
#include "sound/CabSounds.h"

namespace camcab::sim {

// How close the current must come to a curve: a stage's (curves 1, 4, 5, 7, 8, 10), the
// transition's (curve 2), and the brake curves' (the hold and the brake lamp).
inline constexpr float kStageNearA = 2.0f;
inline constexpr float kTransitionNearA = 0.5f;
inline constexpr float kBrakeCurveNearA = 10.0f;

// The power notch of full regenerative braking, -brakeTopNotch; the lowest int saturates.
inline int32_t NegatedNotch(int32_t notch) {
    return notch == INT32_MIN ? INT32_MAX : -notch;
}

// The breaker delay in whole milliseconds, truncated in double precision (0.29 s is 289 ms).
// A delay beyond the int range saturates; one that is not a number counts as none.
int32_t DelayMsFromSeconds(float seconds);

class Camshaft {
  public:
    // The vehicle's notch table, kept by reference until the next Configure.
    void Configure(const config::NotchTable& notchTable);
    void OnInitialize();

    // The driver's handles, before the handle input takes the new position.
    void OnPower(int32_t notch, const HandleInput& handles, sound::CabSounds& sounds);
    // True when the brake turns the reverser drum to braking.
    bool OnBrake(int32_t notch, const HandleInput& handles);
    void OnReverser(int32_t position, const HandleInput& handles, sound::CabSounds& sounds);

    // The frame steps, called by the frame driver in this order with its own steps between.
    // True when curve 1 is reached while powering: a starting notch becomes 3.
    bool DetectStages(const FrameState& frame);
    void EvaluateHold(const FrameState& frame, const HandleInput& handles, const Handles& result,
                      sound::CabSounds& sounds);
    void PlaySounds(const FrameState& frame, const HandleInput& handles, const Handles& result,
                    sound::CabSounds& sounds);
    void ClearStartPosition(const FrameState& frame);
    void DecidePower(const FrameState& frame, const HandleInput& handles, bool doorsClosed,
                     sound::CabSounds& sounds, Handles& result);
    void EndOfFrame(const FrameState& frame);

    // The stage lamp: a stage reached, the brake curve met, or the camshaft held.
    bool IsWorking() const {
        return stageA_ || stageB_ || stageC_ || stageD_ || brakeCurrentNear_ || camHold_;
    }
    // The power notch returned while regenerating.
    int32_t FullRegenerationNotch() const { return NegatedNotch(brakeTopNotch_); }
    bool RegenerationReleased() const { return regenReleased_; }

    // The stages reached since the power was last taken (this frame's included): A, the
    // transition, B, C and D, for the host's event channel.
    std::array<bool, 5> StagesReached() const {
        return {stageALatched_ || stageA_, stageTransitionLatched_ || stageTransition_,
                stageBLatched_ || stageB_, stageCLatched_ || stageC_, stageDLatched_ || stageD_};
    }

    // What a test or the workbench may look at.
    bool StageTransition() const { return stageTransition_; }
    bool StageD() const { return stageD_; }
    bool StageBLatched() const { return stageBLatched_; }
    bool StageCLatched() const { return stageCLatched_; }
    bool AtStart() const { return camAtStart_; }
    bool BrakeCurrentNear() const { return brakeCurrentNear_; }
    bool Held() const { return camHold_; }
    bool Reverser2LoopPlaying() const { return reverser2LoopPlaying_; }
    uint32_t Reverser2StartFrame() const { return reverser2StartFrame_; }
    int32_t BreakerDelayElapsedMs() const { return breakerDelayElapsedMs_; }
    int32_t BreakerDelayMs() const { return breakerDelayMs_; }
    bool Start1Armed() const { return start1Armed_; }

  private:
    // Turning the camshaft back from its hold position: the reset sound follows.
    void ReleaseHold();
    // A reverser position selected on the handle: forward (1) or backward (-1).
    void SelectDirection(bool& selected, bool& otherSelected, bool& set, bool& otherSet,
                         const HandleInput& handles, const sound::CabSounds& sounds);
    // The second reverser sound from `startFrame` to its end; a start beyond the end plays it
    // whole.
    static void PlaySecondReverser(sound::CabSounds& sounds, uint32_t startFrame);

    const config::NotchTable* notchTable_ = nullptr;

    float brakeCurrentFirstA_ = 0.0f;
    float brakeCurrentLastA_ = 0.0f;

    bool stageA_ = false;
    bool stageTransition_ = false;
    bool stageB_ = false;
    bool stageC_ = false;
    bool stageD_ = false;
    bool stageALatched_ = false;
    bool stageTransitionLatched_ = false;
    bool stageBLatched_ = false;
    bool stageCLatched_ = false;
    bool stageDLatched_ = false;
    bool brakeCurrentNear_ = false;
    bool camHold_ = false;
    bool camAtStart_ = false;
    bool regenReleased_ = false;
    bool reverser2LoopPlaying_ = false;
    bool stepSoundToggle_ = false;

    bool start1Armed_ = false;
    bool start2Armed_ = false;
    bool start1Pending_ = false;
    bool start2Pending_ = false;
    bool resetPending_ = false;
    bool reverser1Pending_ = false;
    bool reverser2Pending_ = false;
    bool reverser3Pending_ = false;
    bool notchOffPending_ = false;
    bool forwardSelected_ = false;
    bool backwardSelected_ = false;
    bool forwardSet_ = false;
    bool backwardSet_ = false;

    uint32_t reverser2StartFrame_ = 0;  // sample frame the second reverser sound starts from
    int32_t breakerDelayElapsedMs_ = 0;

    int32_t breakerDelayMs_ = 0;
    float currentLimitEmptyA_ = 0.0f;
    int32_t brakeTopNotch_ = 100;
};

}  // namespace camcab::sim
