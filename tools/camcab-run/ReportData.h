// The drive as the report page's data: per-frame columns, step-plot rows and the sound
// commands, which the page's script plots.
#pragma once

#include <cstdint>
#include <string>

#include "DriveTrace.h"

namespace camcab::run {

// One script statement that sets window.driveData to an object of numbers. `audioStartTimeMs`
// is the scenario time at the rendered sound's first sample, `soundSeconds` its length.
std::string DriveData(const DriveTrace& trace, int32_t audioStartTimeMs, double soundSeconds);

}  // namespace camcab::run
