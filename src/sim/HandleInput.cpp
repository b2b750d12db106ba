#include "sim/HandleInput.h"

#include "platform/Keyboard.h"

namespace camcab::sim {
namespace {

KeySet KeysDown(const std::array<uint8_t, 256>& buffer) {
    KeySet keys;
    for (size_t i = 0; i < buffer.size(); ++i) {
        keys[i] = (buffer[i] & 0x80u) != 0;
    }
    return keys;
}

// Toggles a switch once per press; true when the press toggled it.
bool Toggle(KeySwitch& keySwitch) {
    if (keySwitch.held) {
        return false;
    }
    keySwitch.held = true;
    keySwitch.on = !keySwitch.on;
    return true;
}

}  // namespace

void HandleInput::OnVehicleSpec(int32_t brakeNotches) {
    brakeNotchCount_ = brakeNotches;
    emergencyNotch_ = brakeNotches == INT32_MAX ? INT32_MAX : brakeNotches + 1;
}

void HandleInput::OnLoad() {
    key5Switch_.on = false;
    key6Switch_.on = false;
    key8Switch_.on = false;
}

void HandleInput::OnBrake(int32_t notch, bool drumTurnsToBraking, HostSoundTriggers& hostSounds) {
    const int32_t prev = brakeNotch_;

    // With many notches, remember which keys were down when the notch last rose and fell.
    if (brakeNotchCount_ > kUnfilteredBrakeNotches) {
        if (platform::KeyboardState(brakeKeyBuffer_)) {
            const KeySet keys = KeysDown(brakeKeyBuffer_);
            if (notch > prev) {
                keysAtBrakeUp_ = keys;
            }
            if (notch < prev) {
                keysAtBrakeDown_ = keys;
            }
        } else {
            keysAtBrakeUp_.reset();
            keysAtBrakeDown_.reset();
        }
    }
    brakeRaised_ = notch > prev;

    if (notch == 0) {
        if (prev > brakeNotchCount_) {
            hostSounds[kHostSoundEmergencyRelease].RequestPlay();
        }
        if (prev > 1) {
            hostSounds[kHostSoundBrakeStep].RequestPlay();
        }
        hostSounds[kHostSoundBrakeRelease].RequestPlay();
    } else if (drumTurnsToBraking) {
        brakeNotch_ = notch;
        return;
    } else if (notch == 1) {
        hostSounds[kHostSoundBrakeStep].RequestPlay();
        brakeNotch_ = notch;
        return;
    }

    if (prev == emergencyNotch_ && notch == brakeNotchCount_) {
        hostSounds[kHostSoundEmergencyRelease].RequestPlay();
    }
    if (prev != emergencyNotch_ && notch == brakeNotchCount_) {
        hostSounds[kHostSoundBrakeStep].RequestPlay();
    }
    brakeNotch_ = notch;
}

void HandleInput::OnKeyDown(int32_t key, bool shiftDown, HostSoundTriggers& hostSounds) {
    switch (key) {
        case 5:
        case 6: {
            if (shiftDown) {
                break;
            }
            const bool raise = key == 5;
            KeySwitch& keySwitch = raise ? key5Switch_ : key6Switch_;
            if (Toggle(keySwitch)) {
                const int onSound = raise ? kHostSoundSwitchOn : kHostSoundKey6On;
                const int offSound = raise ? kHostSoundSwitchOff : kHostSoundKey6Off;
                hostSounds[keySwitch.on ? onSound : offSound].RequestPlay();
            }
            break;
        }
        case 8:
        case 12: {
            KeySwitch& keySwitch = key == 8 ? key8Switch_ : key12Switch_;
            if (Toggle(keySwitch)) {
                hostSounds[keySwitch.on ? kHostSoundSwitchOn : kHostSoundSwitchOff].RequestPlay();
            }
            break;
        }
        case 9:
            if (Toggle(key9Switch_)) {
                if (key9Switch_.on) {
                    hostSounds[kHostSoundOverrideOff].RequestStop();
                    hostSounds[kHostSoundOverrideOn].RequestPlay();
                    hostSounds[kHostSoundKey9On].RequestPlay();
                } else {
                    hostSounds[kHostSoundOverrideOn].RequestStop();
                    hostSounds[kHostSoundOverrideOff].RequestPlay();
                    hostSounds[kHostSoundKey9Off].RequestPlay();
                }
            }
            break;
        default:
            break;
    }
}

void HandleInput::OnKeyUp(int32_t key) {
    switch (key) {
        case 5:
            key5Switch_.held = false;
            break;
        case 6:
            key6Switch_.held = false;
            break;
        case 8:
            key8Switch_.held = false;
            break;
        case 9:
            key9Switch_.held = false;
            break;
        case 12:
            key12Switch_.held = false;
            break;
        default:
            break;
    }
}

bool HandleInput::FilterBrakeNotch() {
    const int32_t notch = brakeNotch_;
    if (brakeNotchCount_ <= kUnfilteredBrakeNotches || !platform::KeyboardState(frameKeyBuffer_)) {
        acceptedBrakeNotch_ = notch;
        return true;
    }
    const KeySet keys = KeysDown(frameKeyBuffer_);
    bool passBrake = true;
    bool stepAllowed = true;
    // A single-notch step made while a key is still down that was down when the notch last
    // moved this way (and not when it last moved the other way) waits for that key.
    const int64_t change = static_cast<int64_t>(notch) - acceptedBrakeNotch_;
    KeySet blocking;
    if (change == 1) {
        blocking = keys & keysAtBrakeUp_ & ~keysAtBrakeDown_;
    } else if (change == -1) {
        blocking = keys & keysAtBrakeDown_ & ~keysAtBrakeUp_;
    }
    if (blocking.any()) {
        passBrake = false;
        stepAllowed = false;
    }
    if (notch == emergencyNotch_ || notch == brakeNotchCount_ || notch == 0) {
        passBrake = true;
        acceptedBrakeNotch_ = notch;
    } else if (stepAllowed) {
        acceptedBrakeNotch_ = notch;
    }
    return passBrake;
}

void HandleInput::RaiseStartingNotch() {
    if (powerNotch_ == 1 || powerNotch_ == 2) {
        powerNotch_ = 3;
    }
}

}  // namespace camcab::sim
