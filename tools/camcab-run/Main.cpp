// camcab-run: the host stand-in. It loads a plug-in by path exactly as the host does, drives
// it through a scenario and prints what the plug-in answered.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "AudioWatch.h"
#include "CommandLine.h"
#include "CompareReport.h"
#include "DriveDifferences.h"
#include "DriveReport.h"
#include "DriveTrace.h"
#include "FileBytes.h"
#include "FolderDifferences.h"
#include "HostAudio.h"
#include "HostPlugin.h"
#include "ScratchFolder.h"
#include "VehicleDrive.h"
#include "VehicleTables.h"
#include "platform/FileSystem.h"
#include "platform/WideText.h"
#include "sound/SoundSlot.h"
#include "sound/SoundSystem.h"

namespace camcab::run {
namespace {

bool UsesModel(const scenario::Scenario& scenario) {
    for (const scenario::Event& event : scenario.events) {
        if (event.kind == scenario::EventKind::Model && event.value != 0) {
            return true;
        }
    }
    return false;
}

// The sound files the plug-in named in its start-up log, loaded or not.
std::vector<std::wstring> SoundFilesInLog(const std::wstring& logPath) {
    std::vector<std::wstring> files;
    const std::string label = platform::EncodeUtf8(sound::kLogFileNameLabel);
    std::istringstream lines(host::ReadFileBytes(host::NativePath(logPath)));
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.rfind(label, 0) == 0) {
            files.push_back(platform::DecodeUtf8(line.substr(label.size())));
        }
    }
    return files;
}

#ifndef _WIN32
// Where the sound rendered during the drive is written as it is rendered: the WAV asked for,
// or, when only the report needs it, a file in the scratch folder. Empty: none is written.
std::wstring RenderedSoundPath(const Options& options,
                               const std::optional<ScratchFolder>& scratch) {
    if (!options.audioPath.empty()) {
        return options.audioPath;
    }
    if (!options.reportPath.empty() && scratch && scratch->Made()) {
        return platform::WideFromNativeName(scratch->File("drive.wav").string());
    }
    return {};
}

// Ends the WAV file the drive's sound went to. False, told on standard error, when it could not
// all be written.
bool EndRenderedSound(const std::wstring& audioPath, bool told) {
    const std::string nativeAudioPath = platform::NativeNameFromWide(audioPath);
    std::string error;
    if (!hostaudio::EndCaptureStream(error)) {
        std::fprintf(stderr, "camcab-run: error: cannot write %s: %s\n", nativeAudioPath.c_str(),
                     error.c_str());
        return false;
    }
    if (told) {
        std::printf("audio %zu frames written to %s\n", hostaudio::CapturedFrames(),
                    nativeAudioPath.c_str());
    }
    return true;
}
#endif

// Writes what the options ask for after the drive: the rendered sound, the trace and the
// report. Returns the process exit status.
int WriteResults(const Options& options, const scenario::Scenario& scenario,
                 const DriveTrace& trace, const VehicleTables* tables, const std::wstring& logPath,
                 const std::wstring& audioPath, double runSeconds) {
    const bool audioKept = !options.audioPath.empty();
#ifndef _WIN32
    if (!audioPath.empty() && !EndRenderedSound(audioPath, audioKept)) {
        return 1;
    }
#endif
    if (!options.tracePath.empty()) {
        if (!WriteTraceCsv(options.tracePath, trace)) {
            std::fprintf(stderr, "camcab-run: error: cannot write the trace %s\n",
                         platform::EncodeUtf8(options.tracePath).c_str());
            return 1;
        }
        std::printf("trace of %zu frames written to %s\n", trace.Frames().size(),
                    platform::EncodeUtf8(options.tracePath).c_str());
    }
    if (!options.reportPath.empty()) {
        ReportInfo info;
        info.pluginPath = options.pluginPath;
        info.scenarioPath = options.scenarioPath;
        info.filesRead = tables->filesRead;
        for (const std::wstring& sound : SoundFilesInLog(logPath)) {
            info.filesRead.push_back(sound);
        }
        info.runSeconds = runSeconds;
        info.audioPath = audioPath;
        info.audioKept = audioKept;
        info.audioStartTimeMs = scenario.initialState.Time;
        info.clock = DriveClock();
        info.regenerationLimitA = tables->notchTable.CurrentLimitEmpty;
        std::string error;
        if (!WriteDriveReport(options.reportPath, trace, info, error)) {
            std::fprintf(stderr, "camcab-run: error: cannot write the report %s: %s\n",
                         platform::EncodeUtf8(options.reportPath).c_str(), error.c_str());
            return 1;
        }
        std::printf("report written to %s\n", platform::EncodeUtf8(options.reportPath).c_str());
    }
    return 0;
}

bool WriteTrace(const std::wstring& path, const DriveTrace& trace) {
    if (!WriteTraceCsv(path, trace)) {
        std::fprintf(stderr, "camcab-run: error: cannot write the trace %s\n",
                     platform::EncodeUtf8(path).c_str());
        return false;
    }
    std::printf("trace of %zu frames written to %s\n", trace.Frames().size(),
                platform::EncodeUtf8(path).c_str());
    return true;
}

// An A/B run: the scenario through the plug-in (drive A), then through the plug-in of the same
// name in the compare folder (drive B). Prints what the drives did differently and writes the
// traces and the A/B report asked for. Returns the process exit status.
int CompareDrives(const Options& options, const scenario::Scenario& scenario) {
    std::wstring folderB = options.compareFolder;
    if (folderB.back() != L'/' && folderB.back() != L'\\') {
        folderB += platform::NativeSeparators(L"\\");
    }
    const std::wstring pluginB = platform::AppendPath(
        folderB, options.pluginPath.substr(platform::FolderOf(options.pluginPath).size()));
    std::printf("drive A\n");
    PlayOptions play;
    play.everyFrame = options.everyFrame;
    const TracedDrive a = DriveTraced(options.pluginPath, play, scenario);
    if (a.status != 0) {
        return a.status;
    }
    std::printf("drive B\n");
    const TracedDrive b = DriveTraced(pluginB, play, scenario);
    if (b.status != 0) {
        return b.status;
    }
    const std::vector<Difference> differences =
        CompareHappenings(Happenings(a.trace), Happenings(b.trace));
    PrintDifferences(differences, "drive A and drive B");
    if ((!options.tracePath.empty() && !WriteTrace(options.tracePath, a.trace)) ||
        (!options.compareTracePath.empty() && !WriteTrace(options.compareTracePath, b.trace))) {
        return 1;
    }
    if (!options.reportPath.empty()) {
        CompareInfo info;
        info.pluginPathA = options.pluginPath;
        info.pluginPathB = pluginB;
        info.scenarioPath = options.scenarioPath;
        info.runSecondsA = a.runSeconds;
        info.runSecondsB = b.runSeconds;
        info.files = CompareFolders(host::NativePath(platform::FolderOf(options.pluginPath)),
                                    host::NativePath(folderB));
        std::string error;
        if (!WriteCompareReport(options.reportPath, a.trace, b.trace, info, error)) {
            std::fprintf(stderr, "camcab-run: error: cannot write the report %s: %s\n",
                         platform::EncodeUtf8(options.reportPath).c_str(), error.c_str());
            return 1;
        }
        std::printf("A/B report written to %s\n", platform::EncodeUtf8(options.reportPath).c_str());
    }
    return 0;
}

int Main(const std::vector<std::wstring>& arguments) {
    Options options;
    scenario::Scenario scenario;
    if (const std::optional<int> status = ReadCommandLine(arguments, options, scenario)) {
        return *status;
    }
#ifndef _WIN32
    // This program keeps the plug-in's audio clock, so the engine needs no sound device.
    hostaudio::UseSilentDevice();
    // The sound goes to its file as it is rendered; listening needs only the latest frame.
    hostaudio::KeepWholeCapture(false);
#endif
    if (!options.compareFolder.empty()) {
        return CompareDrives(options, scenario);
    }
    host::HostPlugin plugin;
    std::string error;
    if (!host::LoadHostPlugin(options.pluginPath, plugin, error)) {
        std::fprintf(stderr, "camcab-run: error: %s\n", error.c_str());
        return 1;
    }
    std::printf("plug-in %s\n", platform::EncodeUtf8(options.pluginPath).c_str());
    // The report shows the rendered sound, so it is written even when no WAV was asked for:
    // into a scratch folder of its own, which goes when the program ends.
    std::optional<ScratchFolder> scratch;
    std::wstring audioPath;
#ifndef _WIN32
    if (options.audioPath.empty() && !options.reportPath.empty()) {
        scratch.emplace();
    }
    audioPath = RenderedSoundPath(options, scratch);
    if (!audioPath.empty() &&
        !hostaudio::StreamCaptureTo(platform::NativeNameFromWide(audioPath), error)) {
        std::fprintf(stderr, "camcab-run: error: cannot write %s: %s\n",
                     platform::NativeNameFromWide(audioPath).c_str(), error.c_str());
        host::UnloadHostPlugin(plugin);
        return 1;
    }
#endif
    const std::wstring pluginFolder = platform::FolderOf(options.pluginPath);
    const bool keepTrace = !options.tracePath.empty() || !options.reportPath.empty();
    std::unique_ptr<VehicleTables> tables;
    if (keepTrace || UsesModel(scenario)) {
        tables = std::make_unique<VehicleTables>(ReadVehicleTables(pluginFolder));
    }
    DriveTrace trace;
    // The plug-in writes its start-up log beside itself.
    const std::wstring logPath = platform::AppendPath(pluginFolder, sound::kStartUpLogName);
    PlayOptions play;
    play.everyFrame = options.everyFrame;
    const DriveOutcome drive =
        PlayScenario(plugin, play, scenario, logPath, tables.get(), keepTrace ? &trace : nullptr);
    host::UnloadHostPlugin(plugin);
    if (drive.status != 0) {
#ifndef _WIN32
        if (!audioPath.empty()) {
            hostaudio::EndCaptureStream(error);  // a playable WAV of the sound up to there
        }
#endif
        return drive.status;
    }
    std::printf("drove %.1f s in %.2f s: %.0fx real time\n", drive.driveMs / 1000.0,
                drive.runSeconds,
                drive.runSeconds > 0.0 ? drive.driveMs / 1000.0 / drive.runSeconds : 0.0);
    return WriteResults(options, scenario, trace, tables.get(), logPath, audioPath,
                        drive.runSeconds);
}

}  // namespace
}  // namespace camcab::run

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    std::vector<std::wstring> arguments(argv + 1, argv + argc);
    return camcab::run::Main(arguments);
}
#else
int main(int argc, char** argv) {
    std::vector<std::wstring> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.push_back(camcab::platform::WideFromNativeName(argv[i]));
    }
    return camcab::run::Main(arguments);
}
#endif
