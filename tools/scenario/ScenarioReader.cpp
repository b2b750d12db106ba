#include "Scenario.h"

#include <cctype>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <sstream>

namespace camcab::scenario {
namespace {

bool ParseInt(const std::string& word, int32_t& value) {
    const char* first = word.data();
    const char* last = first + word.size();
    if (first != last && *first == '+') {
        ++first;
    }
    const auto result = std::from_chars(first, last, value);
    return result.ec == std::errc() && result.ptr == last;
}

// A NaN written with its bit pattern, "nan(0x7fc00001)", as the scenario writer keeps one
// that is not the plain quiet NaN.
template <typename Real, typename Bits>
bool ParseNanBits(const char* first, const char* last, Real& value) {
    constexpr size_t kPrefix = 6;  // "nan(0x"
    if (last - first < static_cast<std::ptrdiff_t>(kPrefix) + 2 ||
        std::string(first, kPrefix) != "nan(0x" || *(last - 1) != ')') {
        return false;
    }
    Bits bits = 0;
    const auto result = std::from_chars(first + kPrefix, last - 1, bits, 16);
    if (result.ec != std::errc() || result.ptr != last - 1) {
        return false;
    }
    std::memcpy(&value, &bits, sizeof value);
    return std::isnan(value);
}

// Any double, infinities and NaN included ("inf", "-inf", "nan", "-nan").
bool ParseReal(const std::string& word, double& value) {
    const char* first = word.data();
    const char* last = first + word.size();
    if (first != last && *first == '+') {
        ++first;
    }
    if (ParseNanBits<double, uint64_t>(first, last, value)) {
        return true;
    }
    const auto result = std::from_chars(first, last, value);
    return result.ec == std::errc() && result.ptr == last;
}

// A number for a float field of the train state: any float, infinities and NaN included. A
// finite number is read as a double and narrowed, as it always was; one just past the float's
// range that rounds to its largest value (FLT_MAX written with nine digits) is that value.
bool ParseFloat(const std::string& word, float& value) {
    const char* first = word.data();
    const char* last = first + word.size();
    if (first != last && *first == '+') {
        ++first;
    }
    if (ParseNanBits<float, uint32_t>(first, last, value)) {
        return true;
    }
    double number = 0.0;
    if (!ParseReal(word, number)) {
        return false;
    }
    if (!std::isfinite(number) || std::fabs(number) <= FLT_MAX) {
        value = static_cast<float>(number);
        return true;
    }
    float narrow = 0.0f;
    const auto result = std::from_chars(first, last, narrow);
    if (result.ec != std::errc() || result.ptr != last || !std::isfinite(narrow)) {
        return false;
    }
    value = narrow;
    return true;
}

// elapse TIME LOCATION SPEED BC MR ER BP SAP CURRENT
bool ParseFrameState(const std::vector<std::string>& word, VehicleState& state) {
    float* const floats[] = {&state.Speed,      &state.BcPressure, &state.MrPressure,
                             &state.ErPressure, &state.BpPressure, &state.SapPressure,
                             &state.Current};
    if (word.size() != 10 || !ParseInt(word[1], state.Time) ||
        !ParseReal(word[2], state.Location)) {
        return false;
    }
    for (size_t i = 0; i < 7; ++i) {
        if (!ParseFloat(word[i + 3], *floats[i])) {
            return false;
        }
    }
    return true;
}

// A frame of a scenario lasts at most a minute.
constexpr int32_t kMaxStepMs = 60000;

bool IsStateField(const std::string& field) {
    static const char* const fields[] = {"location", "speed", "time", "bc",     "mr",
                                         "er",       "bp",    "sap",  "current"};
    for (const char* known : fields) {
        if (field == known) {
            return true;
        }
    }
    return false;
}

std::string Lowercase(std::string word) {
    for (char& c : word) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return word;
}

// Names of the keys a scenario most often holds; letters, digits and function keys follow
// their own pattern.
int32_t NamedVirtualKey(const std::string& name) {
    static const std::map<std::string, int32_t> named = {
        {"backspace", 0x08}, {"tab", 0x09}, {"return", 0x0D}, {"shift", 0x10},
        {"ctrl", 0x11},      {"alt", 0x12}, {"escape", 0x1B}, {"space", 0x20},
        {"left", 0x25},      {"up", 0x26},  {"right", 0x27},  {"down", 0x28},
    };
    const std::string word = Lowercase(name);
    if (word.size() == 1 && word[0] >= 'a' && word[0] <= 'z') {
        return 'A' + (word[0] - 'a');
    }
    if (word.size() == 2 && word[0] == 'd' && word[1] >= '0' && word[1] <= '9') {
        return '0' + (word[1] - '0');
    }
    int32_t number = 0;
    if (word.size() >= 2 && word[0] == 'f' && std::isdigit(static_cast<unsigned char>(word[1])) &&
        ParseInt(word.substr(1), number) && number >= 1 && number <= 12) {
        return 0x70 + number - 1;
    }
    const auto found = named.find(word);
    return found != named.end() ? found->second : -1;
}

}  // namespace

bool ParseVirtualKey(const std::string& word, int32_t& virtualKey) {
    int32_t code = -1;
    const char* last = word.data() + word.size();
    if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) {
        const auto result = std::from_chars(word.data() + 2, last, code, 16);
        if (result.ec != std::errc() || result.ptr != last) {
            return false;
        }
    } else if (!word.empty() && std::isdigit(static_cast<unsigned char>(word[0]))) {
        const auto result = std::from_chars(word.data(), last, code);
        if (result.ec != std::errc() || result.ptr != last) {
            return false;
        }
    } else {
        code = NamedVirtualKey(word);
    }
    if (code < 0 || code > 255) {
        return false;
    }
    virtualKey = code;
    return true;
}

bool ParseScenario(const std::string& text, Scenario& scenario, std::string& error) {
    static const std::map<std::string, EventKind> singleValue = [] {
        std::map<std::string, EventKind> names;
        for (const ValueCommand& command : kValueCommands) {
            names.emplace(command.name, command.kind);
        }
        return names;
    }();
    std::istringstream lines(text);
    std::string line;
    int lineNumber = 0;
    bool framesSeen = false;
    bool initialSeen = false;  // the Initialize that follows SetVehicleSpec
    const auto fail = [&](const std::string& what) {
        error = "line " + std::to_string(lineNumber) + ": " + what;
        return false;
    };
    while (std::getline(lines, line)) {
        ++lineNumber;
        const size_t comment = line.find('#');
        if (comment != std::string::npos) {
            line.resize(comment);
        }
        std::istringstream words(line);
        std::vector<std::string> word;
        for (std::string w; words >> w;) {
            word.push_back(w);
        }
        if (word.empty()) {
            continue;
        }
        const std::string& command = word[0];
        const size_t arguments = word.size() - 1;
        Event event{};
        event.line = lineNumber;
        if (command == "vehicle") {
            int32_t values[5];
            if (arguments != 5) {
                return fail(
                    "vehicle needs 5 numbers: brake-notches power-notches ats-notch b67-notch "
                    "cars");
            }
            for (int i = 0; i < 5; ++i) {
                if (!ParseInt(word[i + 1], values[i])) {
                    return fail("not an integer: " + word[i + 1]);
                }
            }
            if (framesSeen) {
                return fail("vehicle must come before the first frame");
            }
            scenario.vehicle = VehicleSpec{values[0], values[1], values[2], values[3], values[4]};
        } else if (command == "step") {
            if (arguments != 1 || !ParseInt(word[1], scenario.stepMs) || scenario.stepMs < 0 ||
                scenario.stepMs > kMaxStepMs) {
                return fail("step needs a number of milliseconds from 0 to " +
                            std::to_string(kMaxStepMs));
            }
        } else if (command == "frames") {
            if (arguments != 1 || !ParseInt(word[1], event.value) || event.value < 0) {
                return fail("frames needs one non-negative count");
            }
            event.kind = EventKind::Frames;
            framesSeen = true;
            scenario.events.push_back(event);
        } else if (command == "elapse") {
            if (!ParseFrameState(word, event.state)) {
                return fail("elapse needs: time-ms location speed bc mr er bp sap current");
            }
            event.kind = EventKind::Elapse;
            framesSeen = true;
            scenario.events.push_back(event);
        } else if (command == "set") {
            if (arguments == 0 || arguments % 2 != 0) {
                return fail("set needs field value pairs");
            }
            for (size_t i = 1; i < word.size(); i += 2) {
                StateChange change{word[i], 0.0};
                if (!IsStateField(change.field)) {
                    return fail("unknown state field: " + change.field);
                }
                if (!ParseReal(word[i + 1], change.value) || !std::isfinite(change.value)) {
                    return fail("not a number: " + word[i + 1]);
                }
                // Each field must fit its record field: whole milliseconds in 32 bits for the
                // time, the single-precision range for the others (location is a double).
                if (change.field == "time"
                        ? change.value != std::trunc(change.value) || change.value < INT32_MIN ||
                              change.value > INT32_MAX
                        : change.field != "location" && std::fabs(change.value) > FLT_MAX) {
                    return fail("out of range for " + change.field + ": " + word[i + 1]);
                }
                event.changes.push_back(change);
            }
            if (!framesSeen) {
                for (const StateChange& change : event.changes) {
                    ApplyStateChange(scenario.initialState, change);
                }
            } else {
                event.kind = EventKind::SetState;
                scenario.events.push_back(event);
            }
        } else if (command == "door-open" || command == "door-close") {
            if (arguments != 0) {
                return fail(command + " takes no value");
            }
            event.kind = command == "door-open" ? EventKind::DoorOpen : EventKind::DoorClose;
            scenario.events.push_back(event);
        } else if (command == "beacon") {
            if (arguments != 4 || !ParseInt(word[1], event.beacon.Type) ||
                !ParseInt(word[2], event.beacon.Signal) ||
                !ParseFloat(word[3], event.beacon.Distance) ||
                !ParseInt(word[4], event.beacon.Optional)) {
                return fail("beacon needs: type signal distance optional");
            }
            event.kind = EventKind::SetBeaconData;
            scenario.events.push_back(event);
        } else if (command == "keyboard-down" || command == "keyboard-up") {
            if (arguments != 1 || !ParseVirtualKey(word[1], event.value)) {
                return fail(command +
                            " needs one key: a virtual-key code from 0 to 255 or a key name");
            }
            event.kind =
                command == "keyboard-down" ? EventKind::KeyboardDown : EventKind::KeyboardUp;
            scenario.events.push_back(event);
        } else if (command == "model") {
            if (arguments == 1 && (word[1] == "on" || word[1] == "off")) {
                event.kind = EventKind::Model;
                event.value = word[1] == "on" ? 1 : 0;
            } else if (arguments == 2 && word[1] == "step-interval" &&
                       ParseInt(word[2], event.value) && event.value > 0) {
                event.kind = EventKind::ModelStepInterval;
            } else {
                return fail("model needs on, off, or step-interval and a positive number of ms");
            }
            scenario.events.push_back(event);
        } else if (auto found = singleValue.find(command); found != singleValue.end()) {
            if (arguments != 1 || !ParseInt(word[1], event.value)) {
                return fail(command + " needs one integer");
            }
            event.kind = found->second;
            // Only the first: a host that calls Initialize again before the first frame is
            // replayed calling it again, between the same calls as it did.
            if (event.kind == EventKind::Initialize && !framesSeen && !initialSeen) {
                scenario.initialHandlePosition = event.value;
                initialSeen = true;
            } else {
                scenario.events.push_back(event);
            }
        } else {
            return fail("unknown command: " + command);
        }
    }
    return true;
}

void ApplyStateChange(VehicleState& state, const StateChange& change) {
    const float value = static_cast<float>(change.value);
    if (change.field == "location") {
        state.Location = change.value;
    } else if (change.field == "speed") {
        state.Speed = value;
    } else if (change.field == "time") {
        state.Time = static_cast<int32_t>(change.value);
    } else if (change.field == "bc") {
        state.BcPressure = value;
    } else if (change.field == "mr") {
        state.MrPressure = value;
    } else if (change.field == "er") {
        state.ErPressure = value;
    } else if (change.field == "bp") {
        state.BpPressure = value;
    } else if (change.field == "sap") {
        state.SapPressure = value;
    } else if (change.field == "current") {
        state.Current = value;
    }
}

const char* ScenarioFormatHelp() {
    return R"(Scenario file: one command per line; '#' starts a comment.
  vehicle B P A S C      SetVehicleSpec: brake notches, power notches, ATS notch,
                         B67 notch, cars (default 8 5 9 6 4); before the first frame
  initialize N           Initialize's handle position code (the first before the first
                         frame: the call after SetVehicleSpec; any other: another
                         Initialize, in its place among the calls)
  step MS                frame time step in milliseconds, 0 to 60000 (default 20)
  set FIELD VALUE ...    train state for the following frames; fields: location (m),
                         speed (km/h), time (ms of day), bc, mr, er, bp, sap (kPa),
                         current (A)
  frames N               run N frames (Elapse); time advances by the step and the
                         location by the speed
  elapse TIME LOCATION SPEED BC MR ER BP SAP CURRENT
                         run one frame with exactly this train state (units as for
                         set; TIME in ms of day), which the following frames keep; the
                         audio clock advances by the time since the previous frame
                         (0 to 1000 ms; the step on the first frame). camcab-recorder
                         writes one per recorded frame
  power N | brake N | reverser N        SetPower, SetBrake, SetReverser
  key-down K | key-up K                 KeyDown, KeyUp with the host key code
  keyboard-down KEY | keyboard-up KEY   hold a key of the real keyboard down, or let it go,
                         as GetKeyState and GetKeyboardState show it to the plug-in
                         (no host call); KEY is a virtual-key code, decimal or 0x hex
                         (0 to 255), or a name: A-Z, D0-D9 (the digit keys), F1-F12,
                         shift, ctrl, alt, space, return, escape, tab, backspace, left,
                         up, right, down (any case)
  horn N | signal N                     HornBlow, SetSignal
  door-open | door-close                DoorOpen, DoorClose
  beacon TYPE SIGNAL DISTANCE OPTIONAL  SetBeaconData
  model on | model off   the train model drives the train (see below), or the
                         scripted state does (the default)
  model step-interval MS the model's camshaft step interval (default 150)
)";
}

}  // namespace camcab::scenario
