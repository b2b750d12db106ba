#include "ScenarioWriter.h"

#include <cmath>
#include <cstdio>

namespace camcab::scenario {
namespace {

// Written for infinities, which the reader refuses: the largest values of the field's type,
// kept inside its range.
constexpr double kLargestFloat = 3.4e38;
constexpr double kLargestDouble = 1.7e308;

// A number that reads back exactly: nine significant digits give back every float, seventeen
// every double.
std::string Number(double value, bool isFloat, const char* field, std::string& notes) {
    char text[40];
    if (!std::isfinite(value)) {
        const double largest = isFloat ? kLargestFloat : kLargestDouble;
        const double written = std::isnan(value) ? 0.0 : value > 0 ? largest : -largest;
        std::snprintf(text, sizeof text, "%g", written);
        notes += std::string(notes.empty() ? "" : ", ") + field + " " +
                 (std::isnan(value) ? "NaN"
                  : value > 0       ? "+inf"
                                    : "-inf") +
                 " written as " + text;
        return text;
    }
    std::snprintf(text, sizeof text, isFloat ? "%.9g" : "%.17g", value);
    return text;
}

}  // namespace

std::string VehicleLine(const VehicleSpec& vehicle) {
    char line[96];
    std::snprintf(line, sizeof line, "vehicle %d %d %d %d %d", vehicle.BrakeNotches,
                  vehicle.PowerNotches, vehicle.AtsNotch, vehicle.B67Notch, vehicle.Cars);
    return line;
}

std::string ValueLine(EventKind kind, int32_t value) {
    for (const ValueCommand& command : kValueCommands) {
        if (command.kind == kind) {
            return command.name + (" " + std::to_string(value));
        }
    }
    return {};
}

std::string DoorLine(bool open) {
    return open ? "door-open" : "door-close";
}

std::string KeyboardLine(int32_t virtualKey, bool down) {
    char line[32];
    std::snprintf(line, sizeof line, "%s 0x%02X", down ? "keyboard-down" : "keyboard-up",
                  static_cast<unsigned>(virtualKey));
    return line;
}

std::string ElapseLine(const VehicleState& state, std::string& notes) {
    std::string line = "elapse " + std::to_string(state.Time);
    line += " " + Number(state.Location, false, "location", notes);
    line += " " + Number(state.Speed, true, "speed", notes);
    line += " " + Number(state.BcPressure, true, "bc", notes);
    line += " " + Number(state.MrPressure, true, "mr", notes);
    line += " " + Number(state.ErPressure, true, "er", notes);
    line += " " + Number(state.BpPressure, true, "bp", notes);
    line += " " + Number(state.SapPressure, true, "sap", notes);
    line += " " + Number(state.Current, true, "current", notes);
    return line;
}

std::string BeaconLine(const BeaconData& beacon, std::string& notes) {
    std::string line =
        "beacon " + std::to_string(beacon.Type) + " " + std::to_string(beacon.Signal) + " ";
    line += Number(beacon.Distance, true, "distance", notes);
    line += " " + std::to_string(beacon.Optional);
    return line;
}

}  // namespace camcab::scenario
