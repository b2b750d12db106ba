// camcab-tune: suggested notch tables for a drive. It drives the scenario (or recording)
// through the vehicle, freezes the drive as it happened, finds the camshaft stages that never
// fired (or that the author marks as firing at the wrong point), and proposes the smallest
// changes to the power and brake current tables that make them fire. The changed table goes to a
// new folder beside a copy of the vehicle, never over the author's files; the drive through it is
// the proof, written as an A/B report of the old tables against the new.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "CompareReport.h"
#include "DriveDifferences.h"
#include "FileBytes.h"
#include "FolderDifferences.h"
#include "FrozenDrive.h"
#include "HostAudio.h"
#include "Scenario.h"
#include "ScratchFolder.h"
#include "Tuner.h"
#include "VehicleDrive.h"
#include "platform/FileSystem.h"
#include "platform/WideText.h"

namespace camcab::tune {
namespace {

namespace fs = std::filesystem;

void PrintUsage(std::FILE* out) {
    std::fprintf(
        out,
        "Usage: camcab-tune [--out FOLDER] [--report HTML] [--at STAGE=TIME]... PLUGIN SCENARIO\n"
        "\n"
        "Drives SCENARIO (a scenario or a recorded drive) through the plug-in PLUGIN in its\n"
        "vehicle folder, freezes the drive as it happened (each frame's speed and current as\n"
        "they were), and proposes the smallest changes to the current tables that make the\n"
        "camshaft stages fire: each power stage (stage A, transition, stage B, stage C, stage D)\n"
        "somewhere in the drive, and in each power cycle every stage before the last it told;\n"
        "in each regeneration on the top brake notch, the first brake curve met while the\n"
        "camshaft steps (brake current near) and the hold at the last (camshaft hold). For\n"
        "each, the curve's two cells at the speeds around the current's nearest approach move\n"
        "by the gap. A change stands only when the frozen drive, driven again\n"
        "with it, fires the stage, loses no stage that fired before, holds the power no longer\n"
        "and keeps the curves in their order. Each changed cell is printed with its old and new\n"
        "value and why; a stage that no change can make fire is named with the reason.\n"
        "\n"
        "  --out FOLDER    where the tuned copy of the vehicle folder goes (default: the\n"
        "                  vehicle folder's name with \"-tuned\"); it must not exist yet\n"
        "  --report HTML   the A/B report of the drive through the old tables against the new\n"
        "  --at STAGE=TIME the stage should fire at TIME (seconds of the day, or h:mm:ss), where\n"
        "                  it fired elsewhere: for example --at \"stage B=8:00:31.5\"\n"
        "  --help          show this text\n"
        "\n"
        "Exit status: 0 when every stage looked for fires with the tables proposed (or as they\n"
        "were); 3 when one still does not, or not at its mark (the reason is printed); 1 when\n"
        "the vehicle cannot be driven or a file cannot be written; 2 on bad usage or a bad\n"
        "scenario.\n");
}

// "28812.5" or "8:00:12.5": seconds of the day.
bool ReadTime(const std::string& text, double& seconds) {
    seconds = 0.0;
    size_t start = 0;
    for (int part = 0; part < 3; ++part) {
        const size_t colon = text.find(':', start);
        const std::string field =
            text.substr(start, colon == std::string::npos ? colon : colon - start);
        char* end = nullptr;
        const double value = std::strtod(field.c_str(), &end);
        if (field.empty() || end != field.c_str() + field.size()) {
            return false;
        }
        seconds = seconds * 60.0 + value;
        if (colon == std::string::npos) {
            return true;
        }
        start = colon + 1;
    }
    return false;
}

struct Options {
    std::wstring pluginPath;
    std::wstring scenarioPath;
    std::wstring outFolder;
    std::wstring reportPath;
    std::vector<StageMark> marks;
};

int ReadArguments(const std::vector<std::wstring>& arguments, Options& options) {
    std::vector<std::wstring> positional;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::wstring& argument = arguments[i];
        if (argument == L"--help" || argument == L"-h") {
            PrintUsage(stdout);
            return 0;
        }
        const bool takesValue =
            argument == L"--out" || argument == L"--report" || argument == L"--at";
        if (takesValue && i + 1 >= arguments.size()) {
            std::fprintf(stderr, "camcab-tune: %s needs a value (see --help)\n",
                         platform::EncodeUtf8(argument).c_str());
            return 2;
        }
        if (argument == L"--out") {
            options.outFolder = arguments[++i];
        } else if (argument == L"--report") {
            options.reportPath = arguments[++i];
        } else if (argument == L"--at") {
            const std::string mark = platform::EncodeUtf8(arguments[++i]);
            const size_t equals = mark.find('=');
            StageMark stageMark;
            stageMark.stage = mark.substr(0, equals);
            const bool known = std::find_if(std::begin(kTunedStages), std::end(kTunedStages),
                                            [&](const char* stage) {
                                                return stageMark.stage == stage;
                                            }) != std::end(kTunedStages);
            if (equals == std::string::npos || !known ||
                !ReadTime(mark.substr(equals + 1), stageMark.timeS)) {
                std::fprintf(stderr,
                             "camcab-tune: --at %s: give a stage (stage A, transition, stage B, "
                             "stage C, stage D, brake current near or camshaft hold), '=' and a "
                             "time (seconds or h:mm:ss)\n",
                             mark.c_str());
                return 2;
            }
            options.marks.push_back(stageMark);
        } else if (argument.rfind(L"--", 0) == 0) {
            std::fprintf(stderr, "camcab-tune: unknown option %s (see --help)\n",
                         platform::EncodeUtf8(argument).c_str());
            return 2;
        } else {
            positional.push_back(argument);
        }
    }
    if (positional.size() != 2) {
        PrintUsage(stderr);
        return 2;
    }
    options.pluginPath = positional[0];
    options.scenarioPath = positional[1];
    return -1;
}

int Main(const std::vector<std::wstring>& arguments) {
    Options options;
    if (const int status = ReadArguments(arguments, options); status >= 0) {
        return status;
    }
    scenario::Scenario scenario;
    std::string text;
    std::string error;
    if (!host::ReadFileBytes(host::NativePath(options.scenarioPath), text)) {
        std::fprintf(stderr, "camcab-tune: cannot read scenario %s\n",
                     platform::EncodeUtf8(options.scenarioPath).c_str());
        return 2;
    }
    if (!scenario::ParseScenario(text, scenario, error)) {
        std::fprintf(stderr, "camcab-tune: %s: %s\n",
                     platform::EncodeUtf8(options.scenarioPath).c_str(), error.c_str());
        return 2;
    }
    const std::wstring folder = platform::FolderOf(options.pluginPath);
    const std::wstring pluginName = options.pluginPath.substr(folder.size());
    if (options.outFolder.empty()) {
        options.outFolder =
            (folder.empty() ? std::wstring(L".") : folder.substr(0, folder.size() - 1)) + L"-tuned";
    }
    const fs::path out = host::NativePath(options.outFolder);
    std::error_code exists;
    if (fs::exists(out, exists)) {
        std::fprintf(stderr, "camcab-tune: %s exists: name a new folder with --out\n",
                     platform::EncodeUtf8(options.outFolder).c_str());
        return 2;
    }
#ifndef _WIN32
    hostaudio::UseSilentDevice();
    hostaudio::KeepWholeCapture(false);
#endif
    const run::ScratchFolder scratch;
    if (!scratch.Made()) {
        std::fprintf(stderr, "camcab-tune: error: no temporary folder\n");
        return 1;
    }

    // The drive as it happened through the author's tables, frozen, and driven again so.
    run::PlayOptions quiet;
    quiet.program = "camcab-tune";
    quiet.narrate = false;
    const run::TracedDrive first = run::DriveTraced(options.pluginPath, quiet, scenario);
    if (first.status != 0) {
        return first.status;
    }
    const scenario::Scenario frozen = FreezeDrive(scenario, first.trace);
    run::TracedDrive before = run::DriveTraced(options.pluginPath, quiet, frozen);
    if (before.status != 0) {
        return before.status;
    }
    std::printf("drove %zu frames through %s\n", before.trace.Frames().size(),
                platform::EncodeUtf8(folder).c_str());

    Tuner tuner(folder, pluginName, frozen, before.trace, scratch.File("tune"));
    const bool tuned = tuner.Tune(options.marks);
    for (const std::string& finding : tuner.Findings()) {
        std::printf("%s\n", finding.c_str());
    }
    if (!tuned) {
        return 1;
    }
    const DriveSummary after = Summarize(tuner.Tuned());
    // What each power cycle and regeneration told, with the tables proposed (or as they were).
    for (size_t c = 0; c < after.cycles.size() && c < 40; ++c) {
        std::printf("%s:%s\n", after.cycles[c].label.c_str(), after.cycles[c].told.c_str());
    }
    if (after.cycles.size() > 40) {
        std::printf("and %zu more power cycles and regenerations\n", after.cycles.size() - 40);
    }
    const bool allFire = tuner.Unmet() == 0;
    if (tuner.Changes().empty()) {
        std::printf("no change proposed: no folder written\n");
        return allFire ? 0 : 3;
    }
    for (const CellChange& change : tuner.Changes()) {
        std::printf("%s line %zu, field %zu: %s -> %s (%s)\n", change.file.c_str(), change.line,
                    change.field, change.before.c_str(), change.after.c_str(), change.why.c_str());
    }

    // The tuned folder: a copy of the vehicle with the changed table; the drive through it.
    std::error_code copyError;
    fs::copy(host::NativePath(folder), out, fs::copy_options::recursive, copyError);
    if (copyError || !tuner.WriteTables(out)) {
        std::fprintf(stderr, "camcab-tune: error: cannot write the tuned folder %s\n",
                     platform::EncodeUtf8(options.outFolder).c_str());
        return 1;
    }
    const std::wstring tunedPlugin =
        platform::AppendPath(platform::WideFromNativeName(out.string() + "/"), pluginName);
    const run::TracedDrive proof = run::DriveTraced(tunedPlugin, quiet, frozen);
    if (proof.status != 0) {
        return proof.status;
    }
    std::printf("tuned folder written to %s\n", platform::EncodeUtf8(options.outFolder).c_str());
    const std::vector<run::Difference> differences =
        run::CompareHappenings(run::Happenings(before.trace), run::Happenings(proof.trace));
    run::PrintDifferences(differences, "the old tables (A) and the new (B)");
    if (!options.reportPath.empty()) {
        run::CompareInfo info;
        info.pluginPathA = options.pluginPath;
        info.pluginPathB = tunedPlugin;
        info.scenarioPath = options.scenarioPath;
        info.runSecondsA = before.runSeconds;
        info.runSecondsB = proof.runSeconds;
        info.files = run::CompareFolders(host::NativePath(folder), out);
        if (!run::WriteCompareReport(options.reportPath, before.trace, proof.trace, info, error)) {
            std::fprintf(stderr, "camcab-tune: error: cannot write the report %s: %s\n",
                         platform::EncodeUtf8(options.reportPath).c_str(), error.c_str());
            return 1;
        }
        std::printf("A/B report written to %s\n", platform::EncodeUtf8(options.reportPath).c_str());
    }
    return allFire ? 0 : 3;
}

}  // namespace
}  // namespace camcab::tune

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    return camcab::tune::Main(std::vector<std::wstring>(argv + 1, argv + argc));
}
#else
int main(int argc, char** argv) {
    std::vector<std::wstring> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.push_back(camcab::platform::WideFromNativeName(argv[i]));
    }
    return camcab::tune::Main(arguments);
}
#endif
