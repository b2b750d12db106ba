#include "sim/FrameDriver.h"

#include <cmath>

#include "sim/MotorSounds.h"

namespace camcab::sim {
namespace {

// Notches from chained modules may be anything; sums saturate instead of overflowing.
int32_t AddNotches(int32_t a, int32_t b) {
    return SaturateInt32(static_cast<int64_t>(a) + b);
}

constexpr int32_t kOverrideWatchMs = 100;
constexpr float kSpeedSoundKmh = 5.0f;
constexpr float kSwingReversalRateFactor = 1.5f;

}  // namespace

FrameDriver::FrameDriver(Simulation& sim, chain::DetailModuleChain& chain,
                         sound::SoundSystem& sound, const config::Configuration& config)
    : sim_(sim), chain_(chain), sound_(sound), config_(config) {}

CamshaftContext FrameDriver::Camshaft() {
    return CamshaftContext{sim_.camshaft,      sim_.handles, sim_.frame,
                           config_.notchTable, sound_,       sim_.doorsClosed};
}

Handles FrameDriver::Elapse(const VehicleState& state, int32_t* panel, int32_t* soundArray) {
    CamshaftContext camshaft = Camshaft();
    ResumeAudioAndSamplePause();                            // 1
    TakeSpeedAndCurrent(state);                             // 2
    const bool passBrake = filterBrakeNotch(sim_.handles);  // 3
    RunChain(state, panel, soundArray, passBrake);          // 4
    AssembleReverser();                                     // 5
    ApplyBrakeOverride();                                   // 6
    WatchBrakeOverride(state);                              // 7
    EmitOverrideSounds(soundArray);                         // 8
    AdvanceClock(state);                                    // 9
    LearnNotchPressure(state);                              // 10
    detectStages(camshaft);                                 // 11
    evaluateHold(camshaft, result_);                        // 12
    ComputeAcceleration();                                  // 13
    EmitSwitchSounds(soundArray);                           // 14
    playCamshaftSounds(camshaft, result_);                  // 15
    SwingSound(soundArray);                                 // 16
    EmitBrakeHandleSounds(soundArray);                      // 17
    BrakePipeSound(state, soundArray);                      // 18
    EmitDoorSounds(soundArray);                             // 19
    SpeedSounds(soundArray);                                // 20
    PipeSoundVolume(state);                                 // 21
    clearStartPosition(camshaft);                           // 22
    decidePower(camshaft, result_);                         // 23
    PanelOutputs(state, panel);                             // 24
    endOfFrame(camshaft);                                   // 25
    StorePreviousFrame(state);                              // 26
    MotorSounds();                                          // 27
    CommitAudio();                                          // 28
    return result_;
}

// 1. The engine paused by the previous frame plays again; the pause key is sampled.
void FrameDriver::ResumeAudioAndSamplePause() {
    sound_.FrameBegin();
}

// 2.
void FrameDriver::TakeSpeedAndCurrent(const VehicleState& state) {
    FrameState& f = sim_.frame;
    f.speed = state.Speed;
    f.current = state.Current;
    f.absSpeed = std::fabs(state.Speed);
    f.absCurrent = std::fabs(state.Current);
}

// 4. The chained modules get the changed handles; their answer is where the result starts.
void FrameDriver::RunChain(const VehicleState& state, int32_t* panel, int32_t* soundArray,
                           bool passBrake) {
    chain::ChainInputs inputs;
    inputs.powerNotch = sim_.handles.powerNotch;
    inputs.brakeNotch = sim_.handles.brakeNotch;
    inputs.reverserPosition = sim_.handles.reverserPosition;
    inputs.passBrake = passBrake;
    result_ = chain_.Run(state, panel, soundArray, inputs);
}

// 5. The reverser is the driver's; key 8 puts it in neutral while braking without power.
void FrameDriver::AssembleReverser() {
    result_.Reverser = sim_.handles.reverserPosition;
    if (sim_.handles.key8Switch.on && result_.Power == 0 && result_.Brake > 0) {
        result_.Reverser = 0;
    }
}

// 6. Brake override, key 9 switch on.
void FrameDriver::ApplyBrakeOverride() {
    if (!sim_.handles.key9Switch.on) {
        return;
    }
    const int32_t emergency = sim_.handles.emergencyNotch;
    if (result_.Brake == 0 && result_.Power == 0) {
        result_.Reverser = 0;
    }
    if (sim_.frame.current < 0.0f && result_.Power >= 0) {
        result_.Brake = AddNotches(result_.Brake, AddNotches(emergency, 1));
    } else if (result_.Brake != emergency) {
        result_.Brake = AddNotches(emergency, 1);
    }
    BrakeOverrideState& o = sim_.brakeOverride;
    o.overrideBcWatch = true;
    o.overrideBcWaitFall = true;
    o.overrideBcHoldMs = 0;
    o.overrideBcRiseMs = 0;
}

// 7. After the override is switched off: once the brake cylinder has fallen, time how long it
// holds or rises. This frame's delta is not known yet; the previous frame's is used.
void FrameDriver::WatchBrakeOverride(const VehicleState& state) {
    BrakeOverrideState& o = sim_.brakeOverride;
    if (sim_.handles.key9Switch.on || !o.overrideBcWatch) {
        return;
    }
    const float bcKpa = state.BcPressure;
    const float prevBcKpa = sim_.frame.prevBcPressure;
    const int32_t deltaMs = sim_.frame.frameDeltaMs;
    if (bcKpa >= prevBcKpa && !o.overrideBcWaitFall) {
        o.overrideBcHoldMs = AddMs(o.overrideBcHoldMs, deltaMs);
    }
    if (bcKpa > prevBcKpa && !o.overrideBcWaitFall) {
        o.overrideBcRiseMs = AddMs(o.overrideBcRiseMs, deltaMs);
    }
    if (bcKpa < prevBcKpa) {
        o.overrideBcWaitFall = false;
    }
    if (o.overrideBcHoldMs > kOverrideWatchMs) {
        sim_.hostSoundTriggers[kHostSoundOverrideOff].RequestStop();
    }
    if (o.overrideBcRiseMs > kOverrideWatchMs) {
        o.overrideBcWatch = false;
        sim_.hostSoundTriggers[kHostSoundOverrideBcRise].RequestPlay();
    }
}

// 8. The override switch's own sounds.
void FrameDriver::EmitOverrideSounds(int32_t* soundArray) {
    Emit({kHostSoundOverrideOn, kHostSoundOverrideOff, kHostSoundOverrideBcRise, kHostSoundKey9On,
          kHostSoundKey9Off},
         soundArray);
}

// 9. The host's clock: the time since the previous frame.
void FrameDriver::AdvanceClock(const VehicleState& state) {
    result_.ConstantSpeed = 0;
    FrameState& f = sim_.frame;
    f.frameDeltaMs = SubtractMs(state.Time, f.prevTimeMs);
    f.prevTimeMs = state.Time;
}

// 10. The straight air pipe pressure of the held notch is learned once it is steady. The
// step runs on every frame; the brake override keeps it from learning, not from timing.
void FrameDriver::LearnNotchPressure(const VehicleState& state) {
    learnNotchPressure(sim_.notchPressure, sim_.notchLearning, state, result_, sim_.handles,
                       sim_.brakeOverride, sim_.frame.prevSapPressure, sim_.frame.frameDeltaMs);
}

// 13. In single precision; a frame without elapsed time gives a non-finite value.
void FrameDriver::ComputeAcceleration() {
    FrameState& f = sim_.frame;
    f.acceleration = (f.absSpeed - f.prevAbsSpeed) / static_cast<float>(f.frameDeltaMs) * 1000.0f;
}

// 14. The key 5, 6, 8 and 12 switches.
void FrameDriver::EmitSwitchSounds(int32_t* soundArray) {
    Emit({kHostSoundSwitchOn, kHostSoundSwitchOff, kHostSoundKey6Off, kHostSoundKey6On},
         soundArray);
}

// 16. The swing indicator reversing at a high rate knocks.
void FrameDriver::SwingSound(int32_t* soundArray) {
    const PanelState& panel = sim_.panel;
    FrameState& f = sim_.frame;
    if (panel.swingRising != f.swingRisingSeen &&
        panel.swingRate >= kSwingReversalRateFactor * panel.swingAmplitude) {
        sim_.hostSoundTriggers[kHostSoundSwing].RequestPlay();
    }
    f.swingRisingSeen = panel.swingRising;
    Emit({kHostSoundSwing}, soundArray);
}

// 17. The brake handle's release and steps.
void FrameDriver::EmitBrakeHandleSounds(int32_t* soundArray) {
    Emit({kHostSoundBrakeRelease, kHostSoundBrakeStep, kHostSoundEmergencyRelease}, soundArray);
}

// 18. The brake pipe's host sound.
void FrameDriver::BrakePipeSound(const VehicleState& state, int32_t* soundArray) {
    updateBrakePipeSound(sim_.air, state, sim_.frame.prevBpPressure, soundArray);
}

// 19. The door chimes.
void FrameDriver::EmitDoorSounds(int32_t* soundArray) {
    Emit({kHostSoundDoorClose, kHostSoundDoorOpen}, soundArray);
}

// 20. Passing 5 km/h either way.
void FrameDriver::SpeedSounds(int32_t* soundArray) {
    const FrameState& f = sim_.frame;
    if (f.prevAbsSpeed < kSpeedSoundKmh && f.absSpeed >= kSpeedSoundKmh) {
        sim_.hostSoundTriggers[kHostSoundReached5Kmh].RequestPlay();
    }
    if (f.prevAbsSpeed >= kSpeedSoundKmh && f.absSpeed < kSpeedSoundKmh) {
        sim_.hostSoundTriggers[kHostSoundBelow5Kmh].RequestPlay();
    }
    Emit({kHostSoundBelow5Kmh, kHostSoundReached5Kmh}, soundArray);
}

// 21. The main reservoir pipe sound's volume.
void FrameDriver::PipeSoundVolume(const VehicleState& state) {
    updatePipeSound(sim_.air, state, sim_.frame.frameDeltaMs, sound_.registry);
}

// 24. The panel, with the brake cylinder and straight air pipe displays and sounds.
void FrameDriver::PanelOutputs(const VehicleState& state, int32_t* panel) {
    PanelContext c{
        sim_.panel,
        sim_.frame,
        sim_.handles,
        sim_.camshaft,
        config_.needleTables,
        config_.panelTest.PanelModifyEnabled,
        BrakeDisplayContext{sim_.brakeDisplays, sim_.handles, sim_.frame, sim_.brakeOverride,
                            sim_.camshaft, sim_.notchPressure, sound_}};
    writePanel(c, state, result_, panel);
}

// 26. This frame's values, kept for the next. Open doors put the reverser in neutral.
void FrameDriver::StorePreviousFrame(const VehicleState& state) {
    FrameState& f = sim_.frame;
    f.prevBcPressure = state.BcPressure;
    f.prevBpPressure = state.BpPressure;
    f.prevSapPressure = state.SapPressure;
    f.prevAbsCurrent = f.absCurrent;
    f.prevCurrent = f.current;
    f.prevAbsSpeed = f.absSpeed;
    sim_.brakeDisplays.prevSapDisplay = sim_.brakeDisplays.sapDisplay;
    sim_.brakeDisplays.prevBcDisplay = sim_.brakeDisplays.bcDisplay;
    if (!sim_.doorsClosed) {
        result_.Reverser = 0;
    }
}

// 27. The motor sounds' pitch and volume.
void FrameDriver::MotorSounds() {
    updateMotorSounds(sound_.registry, config_.motorSoundConfig, sim_.frame.absSpeed,
                      sim_.frame.current, sound_.operationSet);
}

// 28. The engine pauses while P is down; the frame's voice changes take effect together.
void FrameDriver::CommitAudio() {
    sound_.FrameEnd();
}

void FrameDriver::Emit(std::initializer_list<int> hostSounds, int32_t* soundArray) {
    for (int index : hostSounds) {
        sim_.hostSoundTriggers.Emit(index, soundArray);
    }
}

}  // namespace camcab::sim
