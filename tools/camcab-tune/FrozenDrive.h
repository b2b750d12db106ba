// A drive frozen as it happened: the scenario's host calls in their places, and each frame an
// Elapse with exactly the train state it had. Driven again through another vehicle folder, the
// train does the same whatever camcab answers (as a recording from the simulator does), so that
// only camcab's own answers can differ.
#pragma once

#include "DriveTrace.h"
#include "Scenario.h"

namespace camcab::tune {

scenario::Scenario FreezeDrive(const scenario::Scenario& scenario, const run::DriveTrace& trace);

}  // namespace camcab::tune
