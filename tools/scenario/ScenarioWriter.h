// Scenario lines as camcab-run reads them back: what camcab-recorder writes for each host
// call. Numbers are written so that they read back exactly.
#pragma once

#include <cstdint>
#include <string>

#include "Scenario.h"
#include "host/HostRecords.h"

namespace camcab::scenario {

std::string VehicleLine(const VehicleSpec& vehicle);
// A command of one integer: `kind` is one of kValueCommands.
std::string ValueLine(EventKind kind, int32_t value);
std::string DoorLine(bool open);
std::string KeyboardLine(int32_t virtualKey, bool down);

// A value that is not finite cannot be read back: it is written as 0 (NaN) or the largest
// finite value of its field's type, and `notes` says so ("speed +inf written as 3.4e+38").
std::string ElapseLine(const VehicleState& state, std::string& notes);
std::string BeaconLine(const BeaconData& beacon, std::string& notes);

}  // namespace camcab::scenario
