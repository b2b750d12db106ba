#include "sim/FrameDriver.h"

namespace camcab::sim {
namespace {

constexpr float kSpeedSoundKmh = 5.0f;

}  // namespace

FrameDriver::FrameDriver(Simulation& sim, chain::DetailModuleChain& chain,
                         sound::SoundSystem& engine, sound::CabSounds& sounds)
    : sim_(sim), chain_(chain), engine_(engine), sounds_(sounds) {}

Handles FrameDriver::Elapse(const VehicleState& state, int32_t* panel, int32_t* soundArray) {
    Simulation& s = sim_;
    const FrameState& frame = s.frame;
    // 1. The engine paused by the previous frame plays again; the pause key is sampled.
    engine_.FrameBegin();
    s.frame.TakeSpeedAndCurrent(state);                                           // 2
    const bool passBrake = s.handles.FilterBrakeNotch();                          // 3
    RunChain(state, panel, soundArray, passBrake);                                // 4
    AssembleReverser();                                                           // 5
    s.brakeOverride.Apply(s.handles, frame, result_);                             // 6
    s.brakeOverride.Watch(state.BcPressure, s.handles, frame, s.hostSounds);      // 7
    Emit({kHostSoundOverrideOn, kHostSoundOverrideOff, kHostSoundOverrideBcRise,  // 8
          kHostSoundKey9On, kHostSoundKey9Off},
         soundArray);
    result_.ConstantSpeed = 0;  // 9
    s.frame.AdvanceClock(state.Time);
    s.notchPressure.LearnFrame(state, result_, s.handles, s.brakeOverride, frame);  // 10
    DetectStages();                                                                 // 11
    s.camshaft.EvaluateHold(frame, s.handles, result_, sounds_);                    // 12
    s.frame.ComputeAcceleration();                                                  // 13
    Emit({kHostSoundSwitchOn, kHostSoundSwitchOff, kHostSoundKey6Off,               // 14
          kHostSoundKey6On},
         soundArray);
    s.camshaft.PlaySounds(frame, s.handles, result_, sounds_);                       // 15
    SwingSound(soundArray);                                                          // 16
    Emit({kHostSoundBrakeRelease, kHostSoundBrakeStep, kHostSoundEmergencyRelease},  // 17
         soundArray);
    s.air.UpdateBrakePipeSound(state, frame.PrevBpKpa(), soundArray);             // 18
    Emit({kHostSoundDoorClose, kHostSoundDoorOpen}, soundArray);                  // 19
    SpeedSounds(soundArray);                                                      // 20
    s.air.UpdatePipeSound(state, frame.DeltaMs(), sounds_);                       // 21
    s.camshaft.ClearStartPosition(frame);                                         // 22
    s.camshaft.DecidePower(frame, s.handles, s.DoorsClosed(), sounds_, result_);  // 23
    PanelOutputs(state, panel);                                                   // 24
    s.camshaft.EndOfFrame(frame);                                                 // 25
    StorePreviousFrame(state);                                                    // 26
    s.motorSounds.Update(frame.AbsSpeedKmh(), frame.CurrentA(), sounds_);         // 27
    // 28. The engine pauses while P is down; the frame's voice changes take effect together.
    engine_.FrameEnd();
    if (s.events.On()) {
        const FrameMarks marks = TakeMarks();
        TellChanges(s.toldMarks, marks);
        s.toldMarks = marks;
    }
    return result_;
}

FrameMarks FrameDriver::TakeMarks() const {
    const Camshaft& c = sim_.camshaft;
    FrameMarks marks;
    marks.stages = c.StagesReached();
    marks.regenerating = result_.Power < 0;
    marks.regenerationReleased = c.RegenerationReleased();
    marks.breakerDelayRunning =
        c.BreakerDelayElapsedMs() > 0 && c.BreakerDelayElapsedMs() < c.BreakerDelayMs();
    marks.breakerDelayDone =
        c.BreakerDelayMs() > 0 && c.BreakerDelayElapsedMs() >= c.BreakerDelayMs();
    marks.brakeOverride = sim_.handles.Key9On();
    marks.brakeCurrentNear = c.BrakeCurrentNear();
    marks.camshaftHeld = c.Held();
    return marks;
}

void FrameDriver::TellChanges(const FrameMarks& before, const FrameMarks& after) const {
    const EventChannel& events = sim_.events;
    static constexpr const char* kStages[] = {"stage A", "transition", "stage B", "stage C",
                                              "stage D"};
    for (size_t k = 0; k < after.stages.size(); ++k) {
        if (after.stages[k] && !before.stages[k]) {
            events.Send(kStages[k]);
        }
    }
    const auto tell = [&events](bool was, bool is, const char* on, const char* off) {
        if (is != was && (is ? on : off) != nullptr) {
            events.Send(is ? on : off);
        }
    };
    tell(before.breakerDelayRunning, after.breakerDelayRunning, "breaker delay start", nullptr);
    tell(before.breakerDelayDone, after.breakerDelayDone, "breaker delay end", nullptr);
    tell(before.regenerating, after.regenerating, "regeneration start", "regeneration end");
    tell(before.regenerationReleased, after.regenerationReleased, "regeneration released", nullptr);
    tell(before.brakeOverride, after.brakeOverride, "brake override on", "brake override off");
    tell(before.brakeCurrentNear, after.brakeCurrentNear, "brake current near", nullptr);
    tell(before.camshaftHeld, after.camshaftHeld, "camshaft hold", nullptr);
}

// 4. The chained modules get the changed handles; their answer is where the result starts.
void FrameDriver::RunChain(const VehicleState& state, int32_t* panel, int32_t* soundArray,
                           bool passBrake) {
    chain::ChainInputs inputs;
    inputs.powerNotch = sim_.handles.PowerNotch();
    inputs.brakeNotch = sim_.handles.BrakeNotch();
    inputs.reverserPosition = sim_.handles.ReverserPosition();
    inputs.passBrake = passBrake;
    result_ = chain_.Run(state, panel, soundArray, inputs);
}

// 5. The reverser is the driver's; key 8 puts it in neutral while braking without power.
void FrameDriver::AssembleReverser() {
    result_.Reverser = sim_.handles.ReverserPosition();
    if (sim_.handles.Key8On() && result_.Power == 0 && result_.Brake > 0) {
        result_.Reverser = 0;
    }
}

// 11. Curve 1 reached while powering raises a starting notch to 3.
void FrameDriver::DetectStages() {
    if (sim_.camshaft.DetectStages(sim_.frame)) {
        sim_.handles.RaiseStartingNotch();
    }
}

// 16. The swing indicator reversing at a high rate knocks.
void FrameDriver::SwingSound(int32_t* soundArray) {
    if (sim_.panel.TakeSwingKnock()) {
        sim_.hostSounds[kHostSoundSwing].RequestPlay();
    }
    Emit({kHostSoundSwing}, soundArray);
}

// 20. Passing 5 km/h either way.
void FrameDriver::SpeedSounds(int32_t* soundArray) {
    const FrameState& f = sim_.frame;
    if (f.PrevAbsSpeedKmh() < kSpeedSoundKmh && f.AbsSpeedKmh() >= kSpeedSoundKmh) {
        sim_.hostSounds[kHostSoundReached5Kmh].RequestPlay();
    }
    if (f.PrevAbsSpeedKmh() >= kSpeedSoundKmh && f.AbsSpeedKmh() < kSpeedSoundKmh) {
        sim_.hostSounds[kHostSoundBelow5Kmh].RequestPlay();
    }
    Emit({kHostSoundBelow5Kmh, kHostSoundReached5Kmh}, soundArray);
}

// 24. The panel, with the brake cylinder and straight air pipe displays and sounds between
// the swing indicator and the needles.
void FrameDriver::PanelOutputs(const VehicleState& state, int32_t* panel) {
    Simulation& s = sim_;
    s.panel.WriteLampsAndSwing(s.frame, s.handles, s.camshaft, state, panel);
    s.brakeDisplays.Update(
        BrakeDisplays::Inputs{s.handles, s.frame, s.brakeOverride, s.camshaft, s.notchPressure},
        state, result_, sounds_);
    s.panel.WriteNeedlesAndDigits(s.frame, s.handles, s.brakeDisplays, state, panel);
}

// 26. This frame's values, kept for the next. Open doors put the reverser in neutral.
void FrameDriver::StorePreviousFrame(const VehicleState& state) {
    sim_.frame.StorePrevious(state);
    sim_.brakeDisplays.StorePrevious();
    if (!sim_.DoorsClosed()) {
        result_.Reverser = 0;
    }
}

void FrameDriver::Emit(std::initializer_list<int> hostSounds, int32_t* soundArray) {
    for (int index : hostSounds) {
        sim_.hostSounds.Emit(index, soundArray);
    }
}

}  // namespace camcab::sim
