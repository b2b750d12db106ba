// The five needle tables that translate physical values into the panel's needle values.
#pragma once

#include <string>

#include "config/Curve.h"

namespace camcab::config {

struct NeedleTables {
    Curve speedNeedleTable;
    Curve currentNeedleTable;
    Curve pressureLNeedleTable;
    Curve pressureRNeedleTable;
    Curve voltageNeedleTable;
};

// Reads the five tables of the "NeedleTable" folder in `pluginDirectory`, in the order
// PressureL, PressureR, Speed, Current, Voltage; reporting to `diagnostics`, when given.
void ReadNeedleTables(NeedleTables& tables, const std::wstring& pluginDirectory,
                      Diagnostics* diagnostics = nullptr);

}  // namespace camcab::config
