#include "sim/HandleInput.h"

#include "platform/Keyboard.h"
#include "sim/Camshaft.h"
#include "sim/Panel.h"
#include "sound/SoundSystem.h"

namespace camcab::sim {
namespace {

KeySet KeysDown(const std::array<uint8_t, 256>& buffer) {
    KeySet keys;
    for (size_t i = 0; i < buffer.size(); ++i) {
        keys[i] = (buffer[i] & 0x80u) != 0;
    }
    return keys;
}

bool ShiftDown() {
    return platform::IsKeyDown(platform::kVirtualKeyShift);
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

// Turning the camshaft back from its hold position: the reset sound follows.
void ReleaseHold(CamshaftState& cam) {
    if (cam.camHold) {
        cam.camAtStart = true;
        cam.camHold = false;
        cam.resetPending = true;
    }
}

// The panel test value steps by whole numbers; a host repeating a key for ever saturates it.
void StepPanelTestValue(PanelState& panel, int32_t step) {
    panel.panelTestValue = SaturateInt32(static_cast<int64_t>(panel.panelTestValue) + step);
}

// A reverser position: forward (1) or backward (-1) selected on the handle.
void SelectDirection(HandleContext& c, bool& selected, bool& otherSelected, bool& set,
                     bool& otherSet) {
    CamshaftState& cam = c.cam;
    const HandleState& h = c.handles;
    sound::SoundRegistry& sounds = c.sound.registry;
    if (!selected) {
        if (cam.reverser2StartFrame == 0 && !cam.camAtStart) {
            cam.reverser1Pending = true;
        }
        selected = true;
        otherSelected = false;
    }
    if (((!set && h.brakeNotch != 0 && h.brakeNotch != h.emergencyNotch) ||
         cam.reverser2StartFrame != 0) &&
        cam.brakeCurrentLast == 0.0f && !cam.reverser2Pending &&
        !sounds.reverser2Sound.IsPlaying() && !sounds.reverser3Sound.IsPlaying()) {
        set = true;
        otherSet = false;
        cam.reverser2Pending = true;
    }
}

}  // namespace

void SetPower(HandleContext& c, int32_t notch) {
    HandleState& h = c.handles;
    CamshaftState& cam = c.cam;
    ReleaseHold(cam);
    if (notch >= 1 && h.powerNotch == 0 && cam.start1Armed) {
        cam.start1Pending = true;
        cam.start1Armed = false;
    }
    if (notch >= 2) {
        if (h.powerNotch < 2 && cam.start2Armed) {
            cam.start2Pending = true;
            cam.start2Armed = false;
        }
        h.powerNotch = notch;
        return;
    }
    if (notch == 0) {
        sound::SoundRegistry& sounds = c.sound.registry;
        cam.start1Pending = false;
        if (sounds.start1Sound.IsPlaying()) {
            sounds.start1Sound.Stop(c.sound.operationSet);
        }
        cam.start2Pending = false;
        if (sounds.start2Sound.IsPlaying()) {
            sounds.start2Sound.Stop(c.sound.operationSet);
        }
        if (h.brakeNotch == 0) {
            cam.breakerDelayElapsedMs = 0;
        }
    }
    h.powerNotch = notch;
}

void SetBrake(HandleContext& c, int32_t notch) {
    HandleState& h = c.handles;
    CamshaftState& cam = c.cam;
    const int32_t prev = h.brakeNotch;

    // With many notches, remember which keys were down when the notch last rose and fell.
    if (h.brakeNotchCount > kUnfilteredBrakeNotches) {
        if (platform::KeyboardState(h.brakeKeyBuffer)) {
            h.brakeKeySet = KeysDown(h.brakeKeyBuffer);
            if (notch > prev) {
                h.keysAtBrakeUp = h.brakeKeySet;
            }
            if (notch < prev) {
                h.keysAtBrakeDown = h.brakeKeySet;
            }
        } else {
            h.keysAtBrakeUp.reset();
            h.keysAtBrakeDown.reset();
        }
    }
    h.brakeRaised = notch > prev;

    if (notch == 0) {
        if (prev > h.brakeNotchCount) {
            c.hostSounds[kHostSoundEmergencyRelease].RequestPlay();
        }
        if (prev > 1) {
            c.hostSounds[kHostSoundBrakeStep].RequestPlay();
        }
        c.hostSounds[kHostSoundBrakeRelease].RequestPlay();
        ReleaseHold(cam);
        cam.reverser2Pending = false;
        if (h.powerNotch >= 0) {
            cam.breakerDelayElapsedMs = 0;
        }
    } else if (notch != h.emergencyNotch && h.reverserPosition != 0 &&
               cam.brakeCurrentLast == 0.0f && !cam.reverser2Pending) {
        // Brake applied with the reverser set and no electric brake: the reverser drum
        // turns from its start position to braking.
        if (h.reverserPosition == 1 && cam.camAtStart) {
            cam.reverser2Pending = true;
            cam.camAtStart = false;
            cam.forwardSet = true;
            cam.backwardSet = false;
        }
        if (h.reverserPosition == -1 && cam.camAtStart) {
            cam.reverser2Pending = true;
            cam.camAtStart = false;
            cam.backwardSet = true;
            cam.forwardSet = false;
        }
        h.brakeNotch = notch;
        return;
    } else if (notch == 1) {
        c.hostSounds[kHostSoundBrakeStep].RequestPlay();
        h.brakeNotch = notch;
        return;
    }

    if (prev == h.emergencyNotch && notch == h.brakeNotchCount) {
        c.hostSounds[kHostSoundEmergencyRelease].RequestPlay();
    }
    if (prev != h.emergencyNotch && notch == h.brakeNotchCount) {
        c.hostSounds[kHostSoundBrakeStep].RequestPlay();
    }
    h.brakeNotch = notch;
}

void SetReverser(HandleContext& c, int32_t position) {
    CamshaftState& cam = c.cam;
    if (position == 1) {
        SelectDirection(c, cam.forwardSelected, cam.backwardSelected, cam.forwardSet,
                        cam.backwardSet);
    } else if (position == -1) {
        SelectDirection(c, cam.backwardSelected, cam.forwardSelected, cam.backwardSet,
                        cam.forwardSet);
    } else if (position == 0) {
        sound::SoundRegistry& sounds = c.sound.registry;
        cam.camHold = false;
        cam.breakerDelayElapsedMs = 0;
        // The drum stops where it is; a later turn to braking starts the sound from there.
        if (sounds.reverser2Sound.IsPlaying()) {
            cam.reverser2StartFrame = ReverserPosition(sounds, sounds.reverser2Sound);
            sounds.reverser2Sound.Stop(platform::kCommitNow);
        } else {
            cam.reverser2StartFrame = 0;
        }
        cam.reverser2Pending = false;
        cam.reverser3Pending = false;
        sounds.reverser3Sound.Stop(platform::kCommitNow);
    }
    c.handles.reverserPosition = position;
}

void KeyDown(HandleContext& c, int32_t key) {
    HandleState& h = c.handles;
    PanelState& panel = c.panel;
    HostSoundTriggers& hostSounds = c.hostSounds;
    switch (key) {
        case 0:
            if (c.panelModifyEnabled) {
                panel.panelTestValue = 0;
                panel.panelTestSelection =
                    panel.panelTestSelection >= 7 ? 0 : panel.panelTestSelection + 1;
            }
            break;
        case 5:
        case 6: {
            if (ShiftDown()) {
                break;
            }
            const bool raise = key == 5;
            KeySwitch& keySwitch = raise ? h.key5Switch : h.key6Switch;
            if (Toggle(keySwitch)) {
                const int onSound = raise ? kHostSoundSwitchOn : kHostSoundKey6On;
                const int offSound = raise ? kHostSoundSwitchOff : kHostSoundKey6Off;
                hostSounds[keySwitch.on ? onSound : offSound].RequestPlay();
            }
            if (c.panelModifyEnabled && panel.panelTestSelection != 0) {
                const int32_t step = panel.panelTestSelection == 5 ? 100 : 10;
                StepPanelTestValue(panel, raise ? step : -step);
            }
            break;
        }
        case 8:
        case 12: {
            KeySwitch& keySwitch = key == 8 ? h.key8Switch : h.key12Switch;
            if (Toggle(keySwitch)) {
                hostSounds[keySwitch.on ? kHostSoundSwitchOn : kHostSoundSwitchOff].RequestPlay();
            }
            break;
        }
        case 9:
            if (Toggle(h.key9Switch)) {
                if (h.key9Switch.on) {
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
        case 13:
            panel.swingRate -= kSwingRateStep;
            if (panel.swingRate < 0.0f) {
                panel.swingRate = 0.0f;
            }
            break;
        case 14:
            panel.swingRate += kSwingRateStep;
            if (panel.swingRate > kMaxSwingRate) {
                panel.swingRate = kMaxSwingRate;
            }
            break;
        default:
            break;
    }
}

void KeyUp(HandleContext& c, int32_t key) {
    HandleState& h = c.handles;
    switch (key) {
        case 5:
            h.key5Switch.held = false;
            break;
        case 6:
            h.key6Switch.held = false;
            break;
        case 8:
            h.key8Switch.held = false;
            break;
        case 9:
            h.key9Switch.held = false;
            break;
        case 12:
            h.key12Switch.held = false;
            break;
        default:
            break;
    }
}

bool filterBrakeNotch(HandleState& h) {
    const int32_t notch = h.brakeNotch;
    if (h.brakeNotchCount <= kUnfilteredBrakeNotches ||
        !platform::KeyboardState(h.frameKeyBuffer)) {
        h.acceptedBrakeNotch = notch;
        return true;
    }
    h.frameKeySet = KeysDown(h.frameKeyBuffer);
    bool passBrake = true;
    bool stepAllowed = true;
    // A single-notch step made while a key is still down that was down when the notch last
    // moved this way (and not when it last moved the other way) waits for that key.
    const int64_t change = static_cast<int64_t>(notch) - h.acceptedBrakeNotch;
    KeySet blocking;
    if (change == 1) {
        blocking = h.frameKeySet & h.keysAtBrakeUp & ~h.keysAtBrakeDown;
    } else if (change == -1) {
        blocking = h.frameKeySet & h.keysAtBrakeDown & ~h.keysAtBrakeUp;
    }
    if (blocking.any()) {
        passBrake = false;
        stepAllowed = false;
    }
    if (notch == h.emergencyNotch || notch == h.brakeNotchCount || notch == 0) {
        passBrake = true;
        h.acceptedBrakeNotch = notch;
    } else if (stepAllowed) {
        h.acceptedBrakeNotch = notch;
    }
    return passBrake;
}

}  // namespace camcab::sim
