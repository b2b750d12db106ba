// The camshaft controller's characteristic, read from "notch\notch.txt" and the files it names.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "config/Curve.h"

namespace camcab::config {

// Every "RequiredNotch_Up" row of the brake parameter file adds columns; a row that would take
// the list beyond this many is skipped, so no file can make the table grow without bound.
inline constexpr size_t kMaxBrakeCurveColumns = 65536;

struct NotchTable {
    int32_t indexSection = 0;  // reader state: 0 none, 1 power, 2 brake
    std::wstring powerParamsFile;
    std::wstring powerCurrentFile;
    std::wstring brakeParamsFile;
    std::wstring brakeCurrentFile;
    std::wstring noLoadCurrentFile;
    std::vector<uint64_t> PowerCurveColumns;
    std::vector<Curve> PowerCurrentCurves;
    std::vector<uint64_t> BrakeCurveColumns;
    std::vector<Curve> BrakeCurrentCurves;
    float CurrentLimitEmpty = 0.0f;  // A
    float NoLoadCurrent = 0.0f;      // A
    float BreakerDelayOn = 0.0f;     // s
    uint64_t BrakeTopNotch = 10;
    // Every step's required notch (steps 1 to S) as the last "RequiredNotch_Up" row of the
    // power and of the brake parameter file gives it, for tools that model the camshaft step
    // by step. A value that does not read is kNeverAllowedNotch.
    std::vector<int32_t> PowerRequiredNotches;
    std::vector<int32_t> BrakeRequiredNotches;
};

// The required notch of a step whose value does not read: no handle reaches it.
inline constexpr int32_t kNeverAllowedNotch = INT32_MAX;

// Reads the index file at `indexPath` and the data files it names into `table`, reporting to
// `diagnostics`, when given, every line and file that is not used as written.
void LoadNotchTable(NotchTable& table, const std::wstring& indexPath,
                    Diagnostics* diagnostics = nullptr);

// The camshaft compares the motor current with eleven power curve values, c0 to c10.
inline constexpr size_t kPowerCurrentValues = 11;

// c0..c10 at the speed: power current curve k, 0 A where the table has fewer curves; c9 is
// always 0 A.
std::array<float, kPowerCurrentValues> PowerCurrentsAt(const NotchTable& table, float absSpeedKmh);

struct BrakeCurrents {
    float firstA = 0.0f;
    float lastA = 0.0f;
};

// The first and the last brake current curve at the speed; 0 A when there is none.
BrakeCurrents BrakeCurrentsAt(const NotchTable& table, float absSpeedKmh);

}  // namespace camcab::config
