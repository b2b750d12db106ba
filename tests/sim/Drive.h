// A drive of a fresh plug-in instance as the host makes it: the sample vehicle's files in a
// folder of their own, a chained module that hands the driver's handles on, and the real
// engine rendered frame by frame by this program, which also plays the keyboard.
#pragma once

#include <array>
#include <cstdint>

#include "HostKeyboard.h"
#include "chain/modules/RecordingModuleApi.h"
#include "plugin/Plugin.h"
#include "support/TempFolder.h"

namespace camcab::test {

// The keyboard this program offers the plug-in, by virtual-key code.
using host::PressKey;
using host::ReleaseAllKeys;
using host::ReleaseKey;

struct DriveOptions {
    int32_t brakeNotches = 8;
    bool chainModule = true;
    bool sounds = true;  // false: the start-up log cannot be opened, so there is no engine
};

class Drive {
  public:
    explicit Drive(DriveOptions options = {});
    ~Drive();

    // One frame of `ms` milliseconds; renders its audio.
    Handles Frame(int32_t ms = 20);
    // Frames until `ms` milliseconds have passed; returns the last frame's handles.
    Handles Run(int32_t ms);
    // Makes the chained module answer `answer` from now on.
    void ChainAnswers(const Handles& answer);

    int32_t HostSound(int index) const { return sound[static_cast<size_t>(index)]; }
    sound::SoundRegistry& Sounds() { return plugin.sound.registry; }
    const sim::Camshaft& Cam() const { return plugin.sim.camshaft; }

    TempFolder folder{L"camcab-drive"};
    Plugin plugin;
    VehicleState state{};
    std::array<int32_t, 256> panel{};
    std::array<int32_t, 256> sound{};

  private:
    RecorderAnswerFn answer_ = nullptr;
};

}  // namespace camcab::test
