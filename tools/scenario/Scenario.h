// A scenario for the host stand-in: the vehicle, the frame time step and the host events
// between frames, one command per line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/HostRecords.h"

namespace camcab::scenario {

enum class EventKind {
    SetPower,
    SetBrake,
    SetReverser,
    KeyDown,
    KeyUp,
    HornBlow,
    DoorOpen,
    DoorClose,
    SetSignal,
    SetBeaconData,
    Initialize,
    SetState,           // changes the train state fed to the following frames
    Frames,             // runs `count` frames
    KeyboardDown,       // holds a key of the real keyboard down (a virtual-key code)
    KeyboardUp,         // lets it go again
    Model,              // the train model on (value 1) or off (0)
    ModelStepInterval,  // the model's camshaft step interval in ms
    Elapse,             // runs one frame with exactly `state`, which later frames keep
};

// The commands that carry one integer, by the name a scenario gives them.
struct ValueCommand {
    const char* name;
    EventKind kind;
};
inline constexpr ValueCommand kValueCommands[] = {
    {"power", EventKind::SetPower},       {"brake", EventKind::SetBrake},
    {"reverser", EventKind::SetReverser}, {"key-down", EventKind::KeyDown},
    {"key-up", EventKind::KeyUp},         {"horn", EventKind::HornBlow},
    {"signal", EventKind::SetSignal},     {"initialize", EventKind::Initialize},
};

// A field of the train state that a scenario sets.
struct StateChange {
    std::string field;  // location, speed, time, bc, mr, er, bp, sap, current
    double value = 0.0;
};

struct Event {
    EventKind kind;
    int line = 0;
    int32_t value = 0;  // notch, position, key, virtual key, horn, aspect, handle code, or
                        // frame count
    BeaconData beacon{};
    std::vector<StateChange> changes;
    VehicleState state{};
};

struct Scenario {
    VehicleSpec vehicle{8, 5, 9, 6, 4};
    int32_t initialHandlePosition = 0;
    int32_t stepMs = 20;
    VehicleState initialState{};
    std::vector<Event> events;
};

// Parses a scenario text. On a bad line, returns false and describes it in `error`
// ("line N: ...").
bool ParseScenario(const std::string& text, Scenario& scenario, std::string& error);

// Reads a key of the real keyboard: a virtual-key code (decimal or 0x hex, 0 to 255) or a
// name (ScenarioFormatHelp lists them). False when it is neither.
bool ParseVirtualKey(const std::string& word, int32_t& virtualKey);

// Writes one field of the train state.
void ApplyStateChange(VehicleState& state, const StateChange& change);

// The text of --help's scenario section.
const char* ScenarioFormatHelp();

}  // namespace camcab::scenario
