#include "sim/Simulation.h"

#include <algorithm>

#include "platform/Keyboard.h"

namespace camcab::sim {

void Simulation::Configure(const config::Configuration& config) {
    camshaft.Configure(config.notchTable);
    brakeDisplays.Configure(config.notchTable);
    motorSounds.Configure(config.motorSoundConfig);
    panel.Configure(config.needleTables, config.panelTest.PanelModifyEnabled);
    handles.OnLoad();
}

void Simulation::OnVehicleSpec(int32_t brakeNotches) {
    // A vehicle with fewer than one service notch is treated as having one, so that the
    // emergency notch stays above the service notches and the pressure table has two entries.
    const int32_t notches = std::max(brakeNotches, 1);
    handles.OnVehicleSpec(notches);
    notchPressure.OnVehicleSpec(notches);
}

void Simulation::OnInitialize() {
    frame.OnInitialize();
    panel.OnInitialize();
    camshaft.OnInitialize();
    handles.OnInitialize();
}

void Simulation::OnPower(int32_t notch, sound::CabSounds& sounds) {
    camshaft.OnPower(notch, handles, sounds);
    handles.OnPower(notch);
}

void Simulation::OnBrake(int32_t notch) {
    const bool drumTurnsToBraking = camshaft.OnBrake(notch, handles);
    handles.OnBrake(notch, drumTurnsToBraking, hostSounds);
}

void Simulation::OnReverser(int32_t position, sound::CabSounds& sounds) {
    camshaft.OnReverser(position, handles, sounds);
    handles.OnReverser(position);
}

void Simulation::OnKeyDown(int32_t key) {
    const bool shiftDown =
        (key == 5 || key == 6) && platform::IsKeyDown(platform::kVirtualKeyShift);
    handles.OnKeyDown(key, shiftDown, hostSounds);
    panel.OnKeyDown(key, shiftDown);
}

void Simulation::OnKeyUp(int32_t key) {
    handles.OnKeyUp(key);
}

void Simulation::OnDoorOpen() {
    doorsClosed_ = false;
    hostSounds[kHostSoundDoorOpen].RequestPlay();
}

void Simulation::OnDoorClose() {
    doorsClosed_ = true;
    hostSounds[kHostSoundDoorClose].RequestPlay();
}

}  // namespace camcab::sim
