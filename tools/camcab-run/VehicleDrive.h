// A drive of a scenario through a vehicle's plug-in, as the host stand-in plays it: on a plug-in
// already loaded, or loaded from its folder, driven with its trace kept, and unloaded.
#pragma once

#include <string>

#include "DriveTrace.h"
#include "HostPlugin.h"
#include "Scenario.h"
#include "VehicleTables.h"

namespace camcab::run {

struct DriveOutcome {
    int status = 0;  // the process exit status: 1 where the plug-in raised an error
    double driveMs = 0.0;
    double runSeconds = 0.0;
};

struct PlayOptions {
    const char* program = "camcab-run";  // names the tool in its messages
    bool everyFrame = false;
    bool narrate = true;  // each call and answer printed on standard output
};

// Plays the scenario on the loaded plug-in. A plug-in that raises an error ends the drive with
// status 1, the error told on standard error as the host would be told it.
DriveOutcome PlayScenario(host::HostPlugin& plugin, const PlayOptions& options,
                          const scenario::Scenario& scenario, const std::wstring& logPath,
                          const VehicleTables* tables, DriveTrace* trace);

struct TracedDrive {
    int status = 1;
    double runSeconds = 0.0;
    DriveTrace trace;
};

// Loads the plug-in at `pluginPath`, plays the scenario on it with its trace kept (and the
// vehicle's tables read from its folder), and unloads it.
TracedDrive DriveTraced(const std::wstring& pluginPath, const PlayOptions& options,
                        const scenario::Scenario& scenario);

}  // namespace camcab::run
