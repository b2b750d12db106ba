#include "ScenarioWriter.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace camcab::scenario {
namespace {

// A number that reads back bit for bit: nine significant digits give back every float,
// seventeen every double, and "%g" writes -0 as "-0". Infinities are "inf" and "-inf"; the
// quiet NaN is "nan" or "-nan", any other NaN "nan(0x...)" with its bit pattern in hex.
template <typename Real, typename Bits>
std::string Number(Real value) {
    if (std::isnan(value)) {
        Bits bits;
        std::memcpy(&bits, &value, sizeof bits);
        Bits quiet;
        const Real quietNan = std::numeric_limits<Real>::quiet_NaN();
        std::memcpy(&quiet, &quietNan, sizeof quiet);
        const Bits sign = Bits{1} << (sizeof(Bits) * 8 - 1);
        if (bits == quiet || bits == (quiet | sign)) {
            return bits == quiet ? "nan" : "-nan";
        }
        std::string written = "nan(0x";
        for (int shift = static_cast<int>(sizeof(Bits) * 8) - 4; shift >= 0; shift -= 4) {
            written += "0123456789abcdef"[(bits >> shift) & 0xFu];
        }
        return written + ")";
    }
    if (std::isinf(value)) {
        return value > 0 ? "inf" : "-inf";
    }
    char text[40];
    std::snprintf(text, sizeof text, sizeof(Real) == sizeof(float) ? "%.9g" : "%.17g",
                  static_cast<double>(value));
    return text;
}

std::string Number(float value) {
    return Number<float, uint32_t>(value);
}
std::string Number(double value) {
    return Number<double, uint64_t>(value);
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

std::string ElapseLine(const VehicleState& state) {
    std::string line = "elapse " + std::to_string(state.Time);
    line += " " + Number(state.Location);
    line += " " + Number(state.Speed);
    line += " " + Number(state.BcPressure);
    line += " " + Number(state.MrPressure);
    line += " " + Number(state.ErPressure);
    line += " " + Number(state.BpPressure);
    line += " " + Number(state.SapPressure);
    line += " " + Number(state.Current);
    return line;
}

std::string BeaconLine(const BeaconData& beacon) {
    std::string line =
        "beacon " + std::to_string(beacon.Type) + " " + std::to_string(beacon.Signal) + " ";
    line += Number(beacon.Distance);
    line += " " + std::to_string(beacon.Optional);
    return line;
}

}  // namespace camcab::scenario
