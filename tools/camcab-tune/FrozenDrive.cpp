#include "FrozenDrive.h"

namespace camcab::tune {

using scenario::Event;
using scenario::EventKind;

scenario::Scenario FreezeDrive(const scenario::Scenario& scenario, const run::DriveTrace& trace) {
    scenario::Scenario frozen = scenario;
    frozen.events.clear();
    const std::vector<run::TraceFrame>& frames = trace.Frames();
    size_t next = 0;  // the trace's next frame
    const auto elapse = [&](const Event& from) {
        if (next < frames.size()) {
            Event frame{};
            frame.kind = EventKind::Elapse;
            frame.line = from.line;
            frame.state = frames[next++].state;
            frozen.events.push_back(frame);
        }
    };
    for (const Event& event : scenario.events) {
        switch (event.kind) {
            case EventKind::Frames:
                for (int32_t k = 0; k < event.value; ++k) {
                    elapse(event);
                }
                break;
            case EventKind::Elapse:
                elapse(event);
                break;
            case EventKind::SetState:  // each frame's state is given whole
            case EventKind::Model:
            case EventKind::ModelStepInterval:
                break;
            default:
                frozen.events.push_back(event);
        }
    }
    return frozen;
}

}  // namespace camcab::tune
