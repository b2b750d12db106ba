// The driver's handles and the cab's key switches, as the host reports them between frames,
// and the keyboard filter that may hold a brake step back while a key stays down.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>

#include "sim/HostSoundTrigger.h"

namespace camcab::sim {

// A switch that a host key toggles once per press.
struct KeySwitch {
    bool on = false;
    bool held = false;
};

// Keys down, by Windows virtual-key code.
using KeySet = std::bitset<256>;

// Vehicles with more brake notches than this have their single-notch steps filtered.
inline constexpr int32_t kUnfilteredBrakeNotches = 11;

class HandleInput {
  public:
    // The vehicle's service notches (at least 1); the emergency notch is the next.
    void OnVehicleSpec(int32_t brakeNotches);
    // Every Load starts with the key 5, 6 and 8 switches off.
    void OnLoad();
    void OnInitialize() { brakeRaised_ = false; }
    void OnPower(int32_t notch) { powerNotch_ = notch; }
    // `drumTurnsToBraking`: the camshaft took the brake as the turn of its reverser drum to
    // braking, which sounds no brake step.
    void OnBrake(int32_t notch, bool drumTurnsToBraking, HostSoundTriggers& hostSounds);
    void OnReverser(int32_t position) { reverserPosition_ = position; }
    // `shiftDown` is sampled for keys 5 and 6 only.
    void OnKeyDown(int32_t key, bool shiftDown, HostSoundTriggers& hostSounds);
    void OnKeyUp(int32_t key);

    // Once per frame: whether a changed brake notch may be handed to the chained modules now.
    bool FilterBrakeNotch();
    // Curve 1 reached while powering: notch 1 or 2 becomes 3.
    void RaiseStartingNotch();

    int32_t PowerNotch() const { return powerNotch_; }
    int32_t BrakeNotch() const { return brakeNotch_; }
    // The brake notch the keyboard filter last let through.
    int32_t AcceptedBrakeNotch() const { return acceptedBrakeNotch_; }
    int32_t ReverserPosition() const { return reverserPosition_; }
    int32_t BrakeNotchCount() const { return brakeNotchCount_; }
    int32_t EmergencyNotch() const { return emergencyNotch_; }
    // The last brake change raised the notch.
    bool BrakeRaised() const { return brakeRaised_; }
    bool Key5On() const { return key5Switch_.on; }
    bool Key6On() const { return key6Switch_.on; }
    bool Key8On() const { return key8Switch_.on; }
    bool Key9On() const { return key9Switch_.on; }
    bool Key12On() const { return key12Switch_.on; }

  private:
    int32_t brakeNotchCount_ = 0;
    int32_t emergencyNotch_ = 0;
    int32_t powerNotch_ = 0;
    int32_t brakeNotch_ = 0;
    int32_t acceptedBrakeNotch_ = 0;
    int32_t reverserPosition_ = 0;
    bool brakeRaised_ = false;

    KeySwitch key5Switch_;
    KeySwitch key6Switch_;
    KeySwitch key8Switch_;
    KeySwitch key9Switch_;
    KeySwitch key12Switch_;

    std::array<uint8_t, 256> brakeKeyBuffer_{};
    KeySet keysAtBrakeUp_;
    KeySet keysAtBrakeDown_;
    std::array<uint8_t, 256> frameKeyBuffer_{};
};

}  // namespace camcab::sim
