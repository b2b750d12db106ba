// The vehicle's camshaft characteristic as the workbench needs it, read from the plug-in's
// folder with the plug-in's own readers: the notch table exactly as Load reads it (the curves
// the camshaft compares the current with), and every step's current and required notch for
// the train model.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "DriveTrace.h"
#include "config/Curve.h"
#include "config/NotchTable.h"

namespace camcab::run {

// One camshaft (power or brake), step by step.
struct CamshaftSteps {
    // The notch the handle must be at for the camshaft to notch up from step s + 1 to the
    // next step ("RequiredNotch_Up", column s + 1). A value that does not read never allows it.
    std::vector<int32_t> requiredNotch;
    // The motor current of step s + 1 against the speed (column s + 1 of the current file).
    std::vector<config::Curve> currentA;
};

struct VehicleTables {
    config::NotchTable notchTable;
    CamshaftSteps power;
    CamshaftSteps brake;
    // The configuration files that exist in the folder, in the order Load reads them (the
    // motor sound tables at its audio start-up; "PanelModify.txt" is only looked for), as
    // the readers name them.
    std::vector<std::wstring> filesRead;
};

// Reads the tables of the vehicle whose plug-in lives in `pluginFolder` (trailing separator)
// the way Load reads them.
VehicleTables ReadVehicleTables(const std::wstring& pluginFolder);

// Fills the frame's curve values (c0..c8, c10, first and last brake curve) at its speed, as
// the camshaft evaluates them.
void EvaluateCurves(const config::NotchTable& notchTable, TraceFrame& frame);

}  // namespace camcab::run
