// One frame of the simulation, the host's Elapse: the steps in their fixed order.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "chain/DetailModuleChain.h"
#include "config/Configuration.h"
#include "host/HostRecords.h"
#include "sim/Simulation.h"
#include "sound/SoundSystem.h"

namespace camcab::sim {

class FrameDriver {
  public:
    FrameDriver(Simulation& sim, chain::DetailModuleChain& chain, sound::SoundSystem& sound,
                const config::Configuration& config);

    // Runs one frame and returns the handles the train obeys. `panel` and `soundArray` are
    // the host's arrays of at least 256 entries each, or null.
    Handles Elapse(const VehicleState& state, int32_t* panel, int32_t* soundArray);

  private:
    void ResumeAudioAndSamplePause();
    void TakeSpeedAndCurrent(const VehicleState& state);
    void RunChain(const VehicleState& state, int32_t* panel, int32_t* soundArray, bool passBrake);
    void AssembleReverser();
    void ApplyBrakeOverride();
    void WatchBrakeOverride(const VehicleState& state);
    void EmitOverrideSounds(int32_t* soundArray);
    void AdvanceClock(const VehicleState& state);
    void LearnNotchPressure(const VehicleState& state);
    void ComputeAcceleration();
    void EmitSwitchSounds(int32_t* soundArray);
    void SwingSound(int32_t* soundArray);
    void EmitBrakeHandleSounds(int32_t* soundArray);
    void BrakePipeSound(const VehicleState& state, int32_t* soundArray);
    void EmitDoorSounds(int32_t* soundArray);
    void SpeedSounds(int32_t* soundArray);
    void PipeSoundVolume(const VehicleState& state);
    void PanelOutputs(const VehicleState& state, int32_t* panel);
    void StorePreviousFrame(const VehicleState& state);
    void MotorSounds();
    void CommitAudio();
    void Emit(std::initializer_list<int> hostSounds, int32_t* soundArray);
    CamshaftContext Camshaft();

    Simulation& sim_;
    chain::DetailModuleChain& chain_;
    sound::SoundSystem& sound_;
    const config::Configuration& config_;
    Handles result_{};
};

}  // namespace camcab::sim
