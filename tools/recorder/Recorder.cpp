// camcab-recorder: a detail module that records a drive in the simulator as a scenario for
// camcab-run. Listed first in "detailmodulesx64.txt", it sees every host event as the plug-in
// forwards it, the handles the plug-in hands on inside each frame, and each frame's train state;
// it writes them, in that order, into a new file beside itself and answers the handles it was
// given, so the chain behaves as without it.
#include <array>
#include <cstdio>
#include <string>

#include "Recording.h"
#include "ScenarioWriter.h"
#include "host/HostRecords.h"
#include "platform/FileSystem.h"
#include "platform/Keyboard.h"
#include "platform/LocalTime.h"
#include "platform/Module.h"
#include "platform/WideText.h"

namespace camcab::recorder {
namespace {

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

// Keys of the real keyboard that went down or up since the last look: the plug-in reads them
// (the pause key, Shift, the keys held while the brake moves), and the replay holds them alike.
void WriteKeyboardChanges() {
    RecorderState& state = State();
    std::array<uint8_t, 256> keys{};
    platform::KeyboardState(keys);
    for (int key = 0; key < 256; ++key) {
        const bool down = (keys[key] & 0x80u) != 0;
        if (down != ((state.keys[key] & 0x80u) != 0)) {
            Write(scenario::KeyboardLine(key, down));
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
namespace scenario = camcab::scenario;

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
        Write((State().framesSeen ? "# after the first frame, not replayed: " : "") +
              scenario::VehicleLine(spec));
    });
}

void Initialize(int32_t position) {
    Guarded([position] { Write(scenario::ValueLine(scenario::EventKind::Initialize, position)); });
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
        Write(scenario::ElapseLine(v));
    });
    const RecorderState& state = State();
    return Handles{state.brake, state.power, state.reverser, 0};
}

void SetPower(int32_t notch) {
    Guarded([notch] {
        State().power = notch;
        Write(scenario::ValueLine(scenario::EventKind::SetPower, notch));
    });
}

void SetBrake(int32_t notch) {
    Guarded([notch] {
        State().brake = notch;
        Write(scenario::ValueLine(scenario::EventKind::SetBrake, notch));
    });
}

void SetReverser(int32_t position) {
    Guarded([position] {
        State().reverser = position;
        Write(scenario::ValueLine(scenario::EventKind::SetReverser, position));
    });
}

void KeyDown(int32_t key) {
    Guarded([key] {
        WriteKeyboardChanges();
        Write(scenario::ValueLine(scenario::EventKind::KeyDown, key));
    });
}

void KeyUp(int32_t key) {
    Guarded([key] {
        WriteKeyboardChanges();
        Write(scenario::ValueLine(scenario::EventKind::KeyUp, key));
    });
}

void HornBlow(int32_t horn) {
    Guarded([horn] { Write(scenario::ValueLine(scenario::EventKind::HornBlow, horn)); });
}

void DoorOpen() {
    Guarded([] { Write(scenario::DoorLine(true)); });
}

void DoorClose() {
    Guarded([] { Write(scenario::DoorLine(false)); });
}

void SetSignal(int32_t aspect) {
    Guarded([aspect] { Write(scenario::ValueLine(scenario::EventKind::SetSignal, aspect)); });
}

void SetBeaconData(BeaconData beacon) {
    Guarded([beacon] { Write(scenario::BeaconLine(beacon)); });
}

}  // extern "C"
