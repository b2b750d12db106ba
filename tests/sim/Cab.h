// The simulation driven frame by frame as the plug-in drives it, without the audio engine: the
// sample vehicle's tables read by the library's own readers, a real chained module that hands
// the driver's handles on (or answers what the test says), and the library's sounds on a clock
// driven by their lengths. Runs on Linux and under Wine.
#pragma once

#include <array>
#include <cstdint>

#include "FakeSounds.h"
#include "chain/DetailModuleChain.h"
#include "chain/modules/RecordingModuleApi.h"
#include "config/Configuration.h"
#include "sim/Simulation.h"
#include "sound/SoundSystem.h"
#include "support/TempFolder.h"

namespace camcab::test {

class Cab {
  public:
    explicit Cab(int32_t brakeNotches = 8);
    ~Cab();

    // One frame of `ms` milliseconds; then the sounds' clock moves on by as much.
    Handles Frame(int32_t ms = 20);
    // Frames until `ms` milliseconds have passed; returns the last frame's handles.
    Handles Run(int32_t ms);
    // Doors closed, reverser forward, and time for the reverser's sound to end.
    void Ready();
    // Makes the chained module answer `answer` from now on.
    void ChainAnswers(const Handles& answer);

    void Power(int32_t notch) { sim.OnPower(notch, sounds); }
    void Brake(int32_t notch) { sim.OnBrake(notch); }
    void Reverser(int32_t position) { sim.OnReverser(position, sounds); }
    int32_t HostSound(int index) const { return sound[static_cast<size_t>(index)]; }

    TempFolder folder{L"camcab-cab"};
    config::Configuration config;
    chain::DetailModuleChain chain;
    sound::SoundSystem engine;  // no engine is started: it only counts the frames' changes
    FakeSounds sounds;
    sim::Simulation sim;
    VehicleState state{};
    std::array<int32_t, 256> panel{};
    std::array<int32_t, 256> sound{};

  private:
    RecorderAnswerFn answer_ = nullptr;
};

}  // namespace camcab::test
