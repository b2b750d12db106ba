// camcab-recorder: a detail module that records a drive in the simulator as a scenario for
// camcab-run. Listed first in "detailmodulesx64.txt", it sees every host event as the plug-in
// forwards it, the handles the plug-in hands on inside each frame, and each frame's train state;
// it writes them, in that order, into a new file beside itself and answers the handles it was
// given, so the chain behaves as without it.
#include <array>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <string>

#include "Recording.h"
#include "host/HostRecords.h"
#include "platform/FileSystem.h"
#include "platform/Keyboard.h"
#include "platform/LocalTime.h"
#include "platform/Module.h"
#include "platform/WideText.h"

namespace camcab::recorder {
namespace {

// Written for infinities, which camcab-run does not read back: the largest values of the
// field's type, kept inside its range.
constexpr double kLargestFloat = 3.4e38;
constexpr double kLargestDouble = 1.7e308;

struct RecorderState {
    Recording recording;
    // The handles as the plug-in last handed them on; answered by every frame.
    int32_t power = 0;
    int32_t brake = 0;
    int32_t reverser = 0;
    bool framesSeen = false;
    uint64_t frameCount = 0;
    // Keys of the real keyboard as the last frame saw them (bit 7: down).
    std::array<uint8_t, 256> keys{};
};

RecorderState& State() {
    static RecorderState state;
    return state;
}

// A number that camcab-run reads back exactly: nine significant digits give back every float,
// seventeen every double. A value that is not finite is written as 0 (NaN) or the type's
// largest finite value, and noted in `notes`.
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

// The file name is in the platform's own bytes on POSIX; control characters would break the
// comment line that names it.
std::string Printable(const std::wstring& path) {
    std::string text = platform::EncodeUtf8(path);
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            c = '?';
        }
    }
    return text;
}

void Write(const std::string& line) {
    State().recording.WriteLine(line);
}

void WriteWithNotes(const std::string& line, const std::string& notes) {
    if (!notes.empty()) {
        Write("# not finite: " + notes + "; the replay differs here");
    }
    Write(line);
}

// Keys of the real keyboard that went down or up since the last look: the plug-in reads them
// (the pause key, Shift, the keys held while the brake moves), and the replay holds them alike.
void WriteKeyboardChanges() {
    RecorderState& state = State();
    std::array<uint8_t, 256> keys{};
    platform::KeyboardState(keys);
    for (int key = 0; key < 256; ++key) {
        const bool down = (keys[key] & 0x80u) != 0;
        if (down != ((state.keys[key] & 0x80u) != 0)) {
            char line[32];
            std::snprintf(line, sizeof line, "%s 0x%02X", down ? "keyboard-down" : "keyboard-up",
                          static_cast<unsigned>(key));
            Write(line);
        }
    }
    state.keys = keys;
}

void Start() {
    RecorderState& state = State();
    state.recording.Finish();
    // The plug-in's record of what it sent this module starts at 0 with every Load.
    state.power = 0;
    state.brake = 0;
    state.reverser = 0;
    state.framesSeen = false;
    state.frameCount = 0;
    state.keys.fill(0);
    const std::wstring self = platform::ModuleFileName(platform::OwnModule());
    if (self.empty()) {
        return;
    }
    const platform::LocalTime now = platform::ReadLocalTime();
    if (!state.recording.Start(platform::FolderOf(self), now)) {
        return;
    }
    char when[64];
    std::snprintf(when, sizeof when, "%04d-%02d-%02d %02d:%02d:%02d", now.year, now.month, now.day,
                  now.hour, now.minute, now.second);
    Write("# camcab-recorder: a drive recorded in the simulator, as a scenario for camcab-run.");
    Write(std::string("# Recorded on ") + when + " (local time) by " + Printable(self));
    Write("# Replay: camcab-run PLUGIN THIS-FILE, with this module no longer listed.");
}

template <typename Action>
void Guarded(Action action) noexcept {
    try {
        action();
    } catch (...) {
        // A recording that cannot go on must not disturb the drive.
    }
}

}  // namespace
}  // namespace camcab::recorder

using camcab::BeaconData;
using camcab::Handles;
using camcab::VehicleSpec;
using camcab::VehicleState;
using namespace camcab::recorder;

// The .def file (Windows) and the version script (Linux) export exactly these names.
extern "C" {

void Load() {
    Guarded([] { Start(); });
}

void Dispose() {
    Guarded([] {
        RecorderState& state = State();
        if (state.recording.IsRecording()) {
            Write("# Dispose: the end of the drive, " + std::to_string(state.frameCount) +
                  " frames");
        }
        state.recording.Finish();
    });
}

int32_t GetPluginVersion() {
    return camcab::kInterfaceVersion;
}

void SetVehicleSpec(VehicleSpec spec) {
    Guarded([spec] {
        char line[128];
        std::snprintf(line, sizeof line, "%svehicle %d %d %d %d %d",
                      State().framesSeen ? "# after the first frame, not replayed: " : "",
                      spec.BrakeNotches, spec.PowerNotches, spec.AtsNotch, spec.B67Notch,
                      spec.Cars);
        Write(line);
    });
}

void Initialize(int32_t position) {
    Guarded([position] { Write("initialize " + std::to_string(position)); });
}

Handles Elapse(VehicleState v, int32_t*, int32_t*) {
    Guarded([v] {
        RecorderState& state = State();
        state.framesSeen = true;
        ++state.frameCount;
        if (!state.recording.IsRecording()) {
            return;
        }
        WriteKeyboardChanges();
        std::string notes;
        std::string line = "elapse " + std::to_string(v.Time);
        line += " " + Number(v.Location, false, "location", notes);
        line += " " + Number(v.Speed, true, "speed", notes);
        line += " " + Number(v.BcPressure, true, "bc", notes);
        line += " " + Number(v.MrPressure, true, "mr", notes);
        line += " " + Number(v.ErPressure, true, "er", notes);
        line += " " + Number(v.BpPressure, true, "bp", notes);
        line += " " + Number(v.SapPressure, true, "sap", notes);
        line += " " + Number(v.Current, true, "current", notes);
        WriteWithNotes(line, notes);
    });
    const RecorderState& state = State();
    return Handles{state.brake, state.power, state.reverser, 0};
}

void SetPower(int32_t notch) {
    Guarded([notch] {
        State().power = notch;
        Write("power " + std::to_string(notch));
    });
}

void SetBrake(int32_t notch) {
    Guarded([notch] {
        State().brake = notch;
        Write("brake " + std::to_string(notch));
    });
}

void SetReverser(int32_t position) {
    Guarded([position] {
        State().reverser = position;
        Write("reverser " + std::to_string(position));
    });
}

void KeyDown(int32_t key) {
    Guarded([key] {
        WriteKeyboardChanges();
        Write("key-down " + std::to_string(key));
    });
}

void KeyUp(int32_t key) {
    Guarded([key] {
        WriteKeyboardChanges();
        Write("key-up " + std::to_string(key));
    });
}

void HornBlow(int32_t horn) {
    Guarded([horn] { Write("horn " + std::to_string(horn)); });
}

void DoorOpen() {
    Guarded([] { Write("door-open"); });
}

void DoorClose() {
    Guarded([] { Write("door-close"); });
}

void SetSignal(int32_t aspect) {
    Guarded([aspect] { Write("signal " + std::to_string(aspect)); });
}

void SetBeaconData(BeaconData beacon) {
    Guarded([beacon] {
        std::string notes;
        std::string line =
            "beacon " + std::to_string(beacon.Type) + " " + std::to_string(beacon.Signal) + " ";
        line += Number(beacon.Distance, true, "distance", notes);
        line += " " + std::to_string(beacon.Optional);
        WriteWithNotes(line, notes);
    });
}

}  // extern "C"
