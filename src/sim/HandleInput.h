// The driver's handles and the cab's key switches, as the host reports them between frames,
// and the keyboard filter that may hold a brake step back while a key stays down.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>

#include "sim/HostSoundTrigger.h"

namespace camcab::sound {
class SoundSystem;
}

namespace camcab::sim {

struct CamshaftState;
struct PanelState;

// A switch that a host key toggles once per press.
struct KeySwitch {
    bool on = false;
    bool held = false;
};

// Keys down, by Windows virtual-key code.
using KeySet = std::bitset<256>;

struct HandleState {
    int32_t brakeNotchCount = 0;
    int32_t emergencyNotch = 0;
    int32_t powerNotch = 0;
    int32_t brakeNotch = 0;
    int32_t acceptedBrakeNotch = 0;  // the brake notch the keyboard filter last let through
    int32_t reverserPosition = 0;
    bool brakeRaised = false;  // the last brake change raised the notch

    KeySwitch key5Switch;
    KeySwitch key6Switch;
    KeySwitch key8Switch;
    KeySwitch key9Switch;
    KeySwitch key12Switch;

    std::array<uint8_t, 256> brakeKeyBuffer{};
    KeySet brakeKeySet;
    KeySet keysAtBrakeUp;
    KeySet keysAtBrakeDown;
    std::array<uint8_t, 256> frameKeyBuffer{};
    KeySet frameKeySet;
};

// Vehicles with more brake notches than this have their single-notch steps filtered.
inline constexpr int32_t kUnfilteredBrakeNotches = 11;

// The swing indicator's rate bounds and key step, in units per second.
inline constexpr float kSwingRateStep = 1000.0f;
inline constexpr float kMaxSwingRate = 50000.0f;

// What a handle or key call reads and changes besides the handle state.
struct HandleContext {
    HandleState& handles;
    CamshaftState& cam;
    HostSoundTriggers& hostSounds;
    PanelState& panel;
    bool panelModifyEnabled;
    sound::SoundSystem& sound;
};

void SetPower(HandleContext& c, int32_t notch);
void SetBrake(HandleContext& c, int32_t notch);
void SetReverser(HandleContext& c, int32_t position);
void KeyDown(HandleContext& c, int32_t key);
void KeyUp(HandleContext& c, int32_t key);

// Once per frame: whether a changed brake notch may be handed to the chained modules now.
bool filterBrakeNotch(HandleState& handles);

}  // namespace camcab::sim
