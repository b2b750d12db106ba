#include "VehicleDrive.h"

#include <chrono>
#include <cstdio>
#include <stdexcept>

#include "ScenarioPlayer.h"
#include "platform/FileSystem.h"
#include "platform/WideText.h"
#include "sound/SoundSystem.h"

namespace camcab::run {
namespace {

std::string Hex(const std::string& bytes) {
    std::string out;
    char digits[4];
    for (unsigned char byte : bytes) {
        std::snprintf(digits, sizeof digits, "%02X ", byte);
        out += digits;
    }
    if (!out.empty()) {
        out.pop_back();
    }
    return out;
}

}  // namespace

// Plays the scenario on the loaded plug-in. A plug-in that raises an error ends the drive with
// status 1, the error told as the host would be told it.
DriveOutcome PlayScenario(host::HostPlugin& plugin, const PlayOptions& options,
                          const scenario::Scenario& scenario, const std::wstring& logPath,
                          const VehicleTables* tables, DriveTrace* trace) {
    DriveOutcome drive;
    const auto started = std::chrono::steady_clock::now();
    try {
        ScenarioPlayer player(plugin, scenario, options.everyFrame, logPath, tables, trace,
                              options.narrate);
        drive.status = player.Run();
        drive.driveMs = player.driveMs();
    } catch (const std::runtime_error& failure) {
        // The plug-in refused the run, as the host would be told (a chained module of another
        // interface version). Its message is raw bytes in the host's code page.
        const std::string message = failure.what();
        std::fprintf(stderr, "%s: error: the plug-in raised an error: %s\n", options.program,
                     message.c_str());
        std::fprintf(stderr, "%s: error bytes: %s\n", options.program, Hex(message).c_str());
        plugin.Dispose();
        drive.status = 1;
    } catch (...) {
        std::fprintf(stderr, "%s: error: the plug-in raised an unknown exception\n",
                     options.program);
        drive.status = 1;
    }
    drive.runSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return drive;
}

TracedDrive DriveTraced(const std::wstring& pluginPath, const PlayOptions& options,
                        const scenario::Scenario& scenario) {
    TracedDrive traced;
    host::HostPlugin plugin;
    std::string error;
    if (!host::LoadHostPlugin(pluginPath, plugin, error)) {
        std::fprintf(stderr, "%s: error: %s\n", options.program, error.c_str());
        return traced;
    }
    if (options.narrate) {
        std::printf("plug-in %s\n", platform::EncodeUtf8(pluginPath).c_str());
    }
    const std::wstring folder = platform::FolderOf(pluginPath);
    const VehicleTables tables = ReadVehicleTables(folder);
    const DriveOutcome drive =
        PlayScenario(plugin, options, scenario,
                     platform::AppendPath(folder, sound::kStartUpLogName), &tables, &traced.trace);
    host::UnloadHostPlugin(plugin);
    traced.status = drive.status;
    traced.runSeconds = drive.runSeconds;
    return traced;
}

}  // namespace camcab::run
