// The library's whole state and the work of each export. The exports act on one process-wide
// instance; tests build fresh ones.
#pragma once

#include <cstdint>
#include <string>

#include "chain/DetailModuleChain.h"
#include "config/Configuration.h"
#include "host/HostRecords.h"
#include "sim/FrameDriver.h"
#include "sim/NarratedSounds.h"
#include "sim/Simulation.h"
#include "sound/SoundSystem.h"

namespace camcab {

class Plugin {
  public:
    // `pluginDirectory` is the folder that holds the library file, with a trailing separator.
    explicit Plugin(std::wstring pluginDirectory);

    void Load();
    void Dispose();
    int32_t GetPluginVersion();
    void SetVehicleSpec(const VehicleSpec& spec);
    void Initialize(int32_t handlePosition);
    Handles Elapse(const VehicleState& state, int32_t* panel, int32_t* soundArray);
    void SetPower(int32_t notch);
    void SetBrake(int32_t notch);
    void SetReverser(int32_t position);
    void KeyDown(int32_t key);
    void KeyUp(int32_t key);
    void HornBlow(int32_t hornType);
    void DoorOpen();
    void DoorClose();
    void SetSignal(int32_t aspect);
    void SetBeaconData(const BeaconData& beacon);

    const std::wstring pluginDirectory;
    chain::DetailModuleChain chain;
    config::Configuration config;
    sound::SoundSystem sound;
    sim::Simulation sim;

  private:
    // The sounds as the simulation plays them: told on the host's event channel when the
    // host offers one.
    sound::CabSounds& Sounds();

    sim::NarratedSounds narratedSounds_{sound.registry, sim.events};
};

// The folder part of the library's own file name, as process attach records it.
std::wstring PluginDirectoryOf(const std::wstring& libraryPath);

}  // namespace camcab
