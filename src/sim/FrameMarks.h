// What the host's event channel is told of a frame: the changes of these from one frame to
// the next.
#pragma once

#include <array>

namespace camcab::sim {

struct FrameMarks {
    std::array<bool, 5> stages{};  // A, the transition, B, C, D reached
    bool regenerating = false;     // the power notch returned is negative
    bool regenerationReleased = false;
    bool breakerDelayRunning = false;
    bool breakerDelayDone = false;
    bool brakeOverride = false;
    bool brakeCurrentNear = false;  // the regenerative current at the first brake curve
    bool camshaftHeld = false;
};

}  // namespace camcab::sim
