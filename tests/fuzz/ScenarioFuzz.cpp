// The host stand-in's scenario format, as camcab-run reads a scenario file or a drive recorded
// by camcab-recorder: any text either parses, with every state change applicable to the train
// state, or is refused with the line that is wrong.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "Scenario.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace camcab;
    const std::string text(reinterpret_cast<const char*>(data), size);
    scenario::Scenario scenario;
    std::string error;
    if (!scenario::ParseScenario(text, scenario, error)) {
        if (error.rfind("line ", 0) != 0) {
            std::abort();
        }
        return 0;
    }
    // One event per line at most.
    if (scenario.events.size() > size) {
        std::abort();
    }
    VehicleState state = scenario.initialState;
    for (const scenario::Event& event : scenario.events) {
        for (const scenario::StateChange& change : event.changes) {
            scenario::ApplyStateChange(state, change);
        }
    }
    return 0;
}
