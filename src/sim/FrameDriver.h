// One frame of the simulation, the host's Elapse: the steps in their fixed order.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>

#include "chain/DetailModuleChain.h"
#include "host/HostRecords.h"
#include "sim/Simulation.h"
#include "sound/CabSounds.h"
#include "sound/SoundSystem.h"

namespace camcab::sim {

class FrameDriver {
  public:
    // `engine` pauses, resumes and commits the frame's voice changes; `sounds` plays them.
    FrameDriver(Simulation& sim, chain::DetailModuleChain& chain, sound::SoundSystem& engine,
                sound::CabSounds& sounds);

    // Runs one frame and returns the handles the train obeys. `panel` and `soundArray` are
    // the host's arrays of at least 256 entries each, or null.
    Handles Elapse(const VehicleState& state, int32_t* panel, int32_t* soundArray);

  private:
    void RunChain(const VehicleState& state, int32_t* panel, int32_t* soundArray, bool passBrake);
    void AssembleReverser();
    void DetectStages();
    void SwingSound(int32_t* soundArray);
    void SpeedSounds(int32_t* soundArray);
    void PanelOutputs(const VehicleState& state, int32_t* panel);
    void StorePreviousFrame(const VehicleState& state);
    void Emit(std::initializer_list<int> hostSounds, int32_t* soundArray);

    // The frame's marks, and their changes since the last frame told to the event channel.
    FrameMarks TakeMarks() const;
    void TellChanges(const FrameMarks& before, const FrameMarks& after) const;

    Simulation& sim_;
    chain::DetailModuleChain& chain_;
    sound::SoundSystem& engine_;
    sound::CabSounds& sounds_;
    Handles result_{};
};

}  // namespace camcab::sim
