// The camshaft controller's characteristic, read from "notch\notch.txt" and the files it names.
#pragma once

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
};

// Reads the index file at `indexPath` and the data files it names into `table`, reporting to
// `diagnostics`, when given, every line and file that is not used as written.
void LoadNotchTable(NotchTable& table, const std::wstring& indexPath,
                    Diagnostics* diagnostics = nullptr);

}  // namespace camcab::config
