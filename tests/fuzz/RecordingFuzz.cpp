// camcab-recorder's output as camcab-run's input: the input is a run of host calls with any
// values at all. Their lines, written to a recording file as the recorder writes them, must
// replay as exactly those calls, every number with its bits.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "FuzzBytes.h"
#include "FuzzFiles.h"
#include "Recording.h"
#include "Scenario.h"
#include "ScenarioWriter.h"
#include "platform/WideText.h"

namespace {

using namespace camcab;
using scenario::Event;
using scenario::EventKind;

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "%s\n", what.c_str());
    std::abort();
}

template <typename Record>
bool SameBits(const Record& a, const Record& b) {
    return std::memcmp(&a, &b, sizeof(Record)) == 0;
}

bool SameEvent(const Event& written, const Event& read) {
    if (written.kind != read.kind) {
        return false;
    }
    switch (written.kind) {
        case EventKind::Elapse:  // the records have no padding (HostRecords.h)
            return SameBits(written.state, read.state);
        case EventKind::SetBeaconData:
            return SameBits(written.beacon, read.beacon);
        case EventKind::DoorOpen:
        case EventKind::DoorClose:
            return true;
        default:
            return written.value == read.value;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::InputBytes input(data, size);
    const fuzz::ScratchFolder& scratch = fuzz::Scratch();
    recorder::Recording recording;
    const platform::LocalTime when{2026, 12, 8, 15, 30, 0, 0};
    if (!recording.Start(scratch.Directory(), when)) {
        Fail("no recording file could be made");
    }
    // The recorder's heading, naming the module by a path of any bytes.
    std::string self = input.TakeText(64);
    for (char& c : self) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            c = '?';
        }
    }
    recording.WriteLine("# camcab-recorder: a drive recorded in the simulator, as a scenario.");
    recording.WriteLine("# Recorded on 2026-12-08 15:30:00 (local time) by " + self);

    std::vector<Event> written;
    VehicleSpec vehicle{8, 5, 9, 6, 4};
    std::optional<int32_t> initialPosition;  // the Initialize after SetVehicleSpec
    bool framesSeen = false;
    while (!input.Empty()) {
        Event event{};
        const uint8_t call = input.Take<uint8_t>() % 8;
        if (call == 0) {
            const VehicleSpec spec = input.Take<VehicleSpec>();
            // After the first frame the recorder keeps the line as a comment only.
            recording.WriteLine((framesSeen ? "# after the first frame, not replayed: " : "") +
                                scenario::VehicleLine(spec));
            if (!framesSeen) {
                vehicle = spec;
            }
            continue;
        }
        if (call == 1) {
            event.kind = EventKind::Elapse;
            event.state = input.Take<VehicleState>();
            recording.WriteLine(scenario::ElapseLine(event.state));
            framesSeen = true;
        } else if (call == 2) {
            event.kind = EventKind::SetBeaconData;
            event.beacon = input.Take<BeaconData>();
            recording.WriteLine(scenario::BeaconLine(event.beacon));
        } else if (call == 3) {
            event.kind =
                input.Take<uint8_t>() % 2 == 0 ? EventKind::DoorOpen : EventKind::DoorClose;
            recording.WriteLine(scenario::DoorLine(event.kind == EventKind::DoorOpen));
        } else if (call == 4) {
            const bool down = input.Take<uint8_t>() % 2 == 0;
            event.kind = down ? EventKind::KeyboardDown : EventKind::KeyboardUp;
            event.value = input.Take<uint8_t>();
            recording.WriteLine(scenario::KeyboardLine(event.value, down));
        } else {
            const auto& command = scenario::kValueCommands[input.Take<uint8_t>() %
                                                           std::size(scenario::kValueCommands)];
            event.kind = command.kind;
            event.value = input.Take<int32_t>();
            recording.WriteLine(scenario::ValueLine(event.kind, event.value));
            if (event.kind == EventKind::Initialize && !framesSeen && !initialPosition) {
                initialPosition = event.value;
                continue;
            }
        }
        written.push_back(event);
    }
    recording.WriteLine("# Dispose: the end of the drive");
    recording.Finish();

    const std::filesystem::path path = platform::NativeNameFromWide(recording.Path());
    std::ifstream file(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(file)),
                           std::istreambuf_iterator<char>());
    file.close();
    std::filesystem::remove(path);
    scenario::Scenario replay;
    std::string error;
    if (!scenario::ParseScenario(text, replay, error)) {
        Fail("the recording does not replay: " + error);
    }
    if (!SameBits(replay.vehicle, vehicle) ||
        replay.initialHandlePosition != initialPosition.value_or(0)) {
        Fail("the vehicle or its first Initialize does not replay as recorded");
    }
    if (replay.events.size() != written.size()) {
        Fail("the recording replays as " + std::to_string(replay.events.size()) + " calls, not " +
             std::to_string(written.size()) + ":\n" + text);
    }
    for (size_t i = 0; i < written.size(); ++i) {
        if (!SameEvent(written[i], replay.events[i])) {
            Fail("call " + std::to_string(i) + " does not replay as recorded");
        }
    }
    return 0;
}
