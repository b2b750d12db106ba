// camcab-run's command line: its options, the usage text, and the scenario it names. Bad usage
// and a bad scenario end the program with status 2, told on standard error.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Scenario.h"

namespace camcab::run {

struct Options {
    std::wstring pluginPath;
    std::wstring scenarioPath;      // empty: no scenario (one frame at rest)
    std::wstring audioPath;         // where the rendered audio goes (Linux)
    std::wstring tracePath;         // the per-frame trace (CSV)
    std::wstring reportPath;        // the drive report (HTML)
    std::wstring compareFolder;     // drive B's vehicle folder: an A/B run
    std::wstring compareTracePath;  // drive B's trace (CSV)
    bool everyFrame = false;
};

// Reads the arguments and the scenario they name. Returns the exit status when the program
// ends here (0 after --help; 2 on bad usage or a bad scenario), or nothing to drive on.
std::optional<int> ReadCommandLine(const std::vector<std::wstring>& arguments, Options& options,
                                   scenario::Scenario& scenario);

}  // namespace camcab::run
