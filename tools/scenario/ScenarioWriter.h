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

// Every value of a state or beacon field reads back with the same bits, infinities and NaN
// included.
std::string ElapseLine(const VehicleState& state);
std::string BeaconLine(const BeaconData& beacon);

}  // namespace camcab::scenario
