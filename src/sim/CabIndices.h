// Every panel and host sound index the library writes, with what it shows or plays there: the
// one table the simulation writes by and the workbench names the entries from.
#pragma once

#include <cstdint>

namespace camcab::sim {

// The panel.
inline constexpr int kPanelBlinkInput = 3;  // read: written by a chained module
inline constexpr int kPanelSpeed = 22;
inline constexpr int kPanelCurrent = 26;
inline constexpr int kPanelCamLamp = 41;
inline constexpr int kPanelLamp42 = 42;
inline constexpr int kPanelLamp43 = 43;
inline constexpr int kPanelBlinkLamp = 68;
inline constexpr int kPanelSwing = 97;
inline constexpr int kPanelBc = 130;
inline constexpr int kPanelSap = 131;
inline constexpr int kPanelBp = 132;
inline constexpr int kPanelMr = 133;
inline constexpr int kPanelKey5Lamp = 135;
inline constexpr int kPanelKey6Lamp = 136;
inline constexpr int kPanelDigits = 220;  // 220 to 223, most significant first
inline constexpr int kPanelLineVoltage = 232;
inline constexpr int kPanelKey12 = 252;

// Host sound indices the library drives as one-shots.
inline constexpr int kHostSoundDoorClose = 95;
inline constexpr int kHostSoundDoorOpen = 96;
inline constexpr int kHostSoundBelow5Kmh = 97;
inline constexpr int kHostSoundReached5Kmh = 98;
inline constexpr int kHostSoundSwitchOn = 107;   // key 5, 8 or 12 switch turned on
inline constexpr int kHostSoundSwitchOff = 108;  // key 5, 8 or 12 switch turned off
inline constexpr int kHostSoundKey6Off = 109;
inline constexpr int kHostSoundKey6On = 110;
inline constexpr int kHostSoundSwing = 111;
inline constexpr int kHostSoundEmergencyRelease = 220;
inline constexpr int kHostSoundKey9On = 223;
inline constexpr int kHostSoundKey9Off = 224;
inline constexpr int kHostSoundOverrideOn = 227;   // plays while the override is on
inline constexpr int kHostSoundOverrideOff = 228;  // plays after it is switched off
inline constexpr int kHostSoundOverrideBcRise = 229;
inline constexpr int kHostSoundBrakeRelease = 243;
inline constexpr int kHostSoundBrakeStep = 244;
// The looping host sound of the charging brake pipe.
inline constexpr int kHostSoundBrakePipe = 239;

struct CabIndex {
    int index;
    const char* name;
    const char* group;  // entries of like values, drawn on one axis
};

inline constexpr CabIndex kPanelNames[] = {
    {kPanelSpeed, "speed needle", "speed (km/h x 100)"},
    {kPanelCurrent, "current needle", "current"},
    {kPanelCamLamp, "camshaft stage lamp", "lamps"},
    {kPanelLamp42, "lamp 42 (always lit)", "lamps"},
    {kPanelLamp43, "lamp 43 (always lit)", "lamps"},
    {kPanelBlinkLamp, "blinking lamp (panel 3)", "lamps"},
    {kPanelSwing, "swing indicator", "swing indicator"},
    {kPanelBc, "brake cylinder needle", "pressures"},
    {kPanelSap, "straight air pipe needle", "pressures"},
    {kPanelBp, "brake pipe needle", "pressures"},
    {kPanelMr, "main reservoir needle", "pressures"},
    {kPanelKey5Lamp, "key 5 lamp", "lamps"},
    {kPanelKey6Lamp, "key 6 lamp", "lamps"},
    {kPanelDigits, "digit 1 (thousands)", "digits"},
    {kPanelDigits + 1, "digit 2 (hundreds)", "digits"},
    {kPanelDigits + 2, "digit 3 (tens)", "digits"},
    {kPanelDigits + 3, "digit 4 (units)", "digits"},
    {kPanelLineVoltage, "line voltage needle", "line voltage"},
    {kPanelKey12, "key 12 lamp", "lamps"},
};

inline constexpr CabIndex kHostSoundNames[] = {
    {kHostSoundDoorClose, "doors closed", "host sounds"},
    {kHostSoundDoorOpen, "doors opened", "host sounds"},
    {kHostSoundBelow5Kmh, "below 5 km/h", "host sounds"},
    {kHostSoundReached5Kmh, "reached 5 km/h", "host sounds"},
    {kHostSoundSwitchOn, "switch on (key 5, 8 or 12)", "host sounds"},
    {kHostSoundSwitchOff, "switch off (key 5, 8 or 12)", "host sounds"},
    {kHostSoundKey6Off, "key 6 off", "host sounds"},
    {kHostSoundKey6On, "key 6 on", "host sounds"},
    {kHostSoundSwing, "swing knock", "host sounds"},
    {kHostSoundEmergencyRelease, "emergency release", "host sounds"},
    {kHostSoundKey9On, "key 9 on", "host sounds"},
    {kHostSoundKey9Off, "key 9 off", "host sounds"},
    {kHostSoundOverrideOn, "brake override on", "host sounds"},
    {kHostSoundOverrideOff, "brake override off", "host sounds"},
    {kHostSoundOverrideBcRise, "override: brake cylinder rising", "host sounds"},
    {kHostSoundBrakePipe, "brake pipe charging", "host sounds"},
    {kHostSoundBrakeRelease, "brake release", "host sounds"},
    {kHostSoundBrakeStep, "brake step", "host sounds"},
};

}  // namespace camcab::sim
