#include "CommandLine.h"

#include <cstdio>

#include "FileBytes.h"
#include "platform/WideText.h"

namespace camcab::run {
namespace {

const char* ModelHelp() {
    return R"(Train model ("model on"): the handles the plug-in returns drive the train; "set"
values are only its starting point. The tables come from the plug-in's folder.
  Powering: while the returned power notch is above 0, the reverser set, the brake
  released and the doors closed, the camshaft advances one step per step interval: to
  step 1, then from step s to s + 1 while the notch is at least RequiredNotch_Up of step s
  (power parameter file). The current is the power current file's column of that step at
  the speed. Otherwise the camshaft is back at step 0 and the current is 0 (coasting).
  Braking: brake notch n drives the straight air pipe and brake cylinder toward
  n / BrakeNotches x 420 kPa at 300 kPa/s (0 on release; notches beyond the emergency
  notch apply as it does). With a service notch, the
  reverser set, no power and the train moving, the brake camshaft starts after the breaker
  delay (BreakerDelay_On) plus 250 ms and advances the same way on the brake parameter
  file's RequiredNotch_Up; the current is minus the brake current file's column of its
  step, in full above 15 km/h, fading to 0 at 5 km/h.
  A curve value below 0 gives no current; the current is the one at the frame's speed.
  Motion: 35 t per car, 80 N per ampere per car (300 A: 2.5 km/h/s); running resistance
  20 N/t + 0.006 N/t per (km/h)^2; 420 kPa brake cylinder: 4 km/h/s, regeneration
  included. A standing train sets off the way the reverser points. On the first frame the
  driver's handles stand in for the plug-in's answer.
  Air: brake pipe and equalizing reservoir held at 490 kPa (100 kPa/s), vented at
  500 kPa/s on the emergency notch; the main reservoir gives 0.1 kPa per kPa of brake
  cylinder rise and 0.2 kPa per kPa of brake pipe recharge; the compressor starts below
  690 kPa and charges 8 kPa/s up to 780 kPa.
)";
}

const char* TraceHelp() {
    return R"(Trace (--trace): CSV, a header row, then one row per frame:
  time_ms, location_m, speed_kmh, current_a, bc_kpa, mr_kpa, er_kpa, bp_kpa, sap_kpa
                         the train state handed to Elapse
  driver_power, driver_brake, driver_reverser    the handles the scenario set
  power, brake, reverser, constant_speed         the handles Elapse returned
  panel_N, sound_N       every panel and sound index whose value the plug-in changed
                         during the drive (the arrays start at 0), with its value after
                         the frame
  c0_a .. c8_a, c10_a    the power current curves the camshaft compares the current
                         with, at the frame's speed (read from the plug-in's folder)
  brake_first_a, brake_last_a    the first and last brake current curves
  audio_rms              RMS of the plug-in's own sound in the frame (Linux; else empty)
  audio_onset            1 where a sound of the plug-in starts, alone or over what was
                         already heard ("audio on" and "audio up" above; Linux)
)";
}

void PrintUsage(std::FILE* out) {
    std::fprintf(out,
                 "Usage: camcab-run [--every-frame] [--audio WAV] [--trace CSV] [--report HTML]\n"
                 "                  PLUGIN [SCENARIO]\n"
                 "       camcab-run --compare FOLDER_B [--trace CSV] [--trace-b CSV]\n"
                 "                  [--report HTML] PLUGIN [SCENARIO]\n"
                 "\n"
                 "Loads the plug-in PLUGIN (a camcab.dll or libcamcab.so, or any plug-in of the\n"
                 "same host interface) the way the host does, calls Load, GetPluginVersion,\n"
                 "SetVehicleSpec and Initialize, runs the frames and events of SCENARIO (no\n"
                 "scenario: one frame at rest), then Dispose. It prints the handles and the panel\n"
                 "and sound entries that changed on each frame, and (Linux) when the plug-in's\n"
                 "own sound starts (\"audio on\", with its level), rises sharply over what was\n"
                 "already heard (\"audio up\") or falls silent (\"audio off\").\n"
                 "\n"
                 "  --every-frame   print the handles of every frame, changed or not\n"
                 "  --audio WAV     (Linux) write the plug-in's own sounds, rendered frame by\n"
                 "                  frame in step with the scenario's time, to the WAV file\n"
                 "  --trace CSV     write a per-frame trace (see below)\n"
                 "  --report HTML   write the drive report: one page that works offline, with\n"
                 "                  zoomable plots against time of the speed, the current with\n"
                 "                  the camshaft's curves as bands of its windows (+-2 A, the\n"
                 "                  transition +-0.5 A, the brake curves +-10 A), the handles\n"
                 "                  set and returned, the panel, the host sound commands and\n"
                 "                  the sound level; on Linux also a spectrogram and a player\n"
                 "                  of the rendered sound (sox makes both), and a summary\n"
                 "  --compare FOLDER_B\n"
                 "                  an A/B run: drive the scenario through PLUGIN (drive A),\n"
                 "                  then through the plug-in of the same name in the vehicle\n"
                 "                  folder FOLDER_B (drive B, a copy of A's folder with some\n"
                 "                  files changed); print what one drive did and the other did\n"
                 "                  not, or did at another time, and --report writes the A/B\n"
                 "                  report: both drives' plots on one time axis, those\n"
                 "                  differences, and the files and table cells that differ\n"
                 "  --trace-b CSV   with --compare: drive B's trace (--trace is drive A's)\n"
                 "  --help          show this text\n"
                 "\n"
                 "Exit status: 0 on success; 1 when the plug-in is missing, cannot be loaded,\n"
                 "lacks an export, fails its version check or raises an error; 2 on bad usage or\n"
                 "a bad scenario, reported with its file, line number and reason.\n"
                 "A long drive shows a progress bar on standard error when that is a terminal.\n"
                 "\n%s\n%s\n%s",
                 scenario::ScenarioFormatHelp(), ModelHelp(), TraceHelp());
}

bool ReadScenario(const std::wstring& path, scenario::Scenario& scenario) {
    std::string text;
    std::string error;
    if (!host::ReadFileBytes(host::NativePath(path), text)) {
        std::fprintf(stderr, "camcab-run: cannot read scenario %s\n",
                     platform::EncodeUtf8(path).c_str());
        return false;
    }
    if (!scenario::ParseScenario(text, scenario, error)) {
        std::fprintf(stderr, "camcab-run: %s: %s\n", platform::EncodeUtf8(path).c_str(),
                     error.c_str());
        return false;
    }
    return true;
}

}  // namespace

std::optional<int> ReadCommandLine(const std::vector<std::wstring>& arguments, Options& options,
                                   scenario::Scenario& scenario) {
    std::vector<std::wstring> positional;
    std::wstring* expectedPath = nullptr;  // the option whose file name comes next
    std::wstring expectingOption;
    for (const std::wstring& argument : arguments) {
        if (argument == L"--help" || argument == L"-h") {
            PrintUsage(stdout);
            return 0;
        }
        if (expectedPath != nullptr) {
            if (argument.rfind(L"--", 0) == 0) {
                break;  // an option where a file name belongs: told below
            }
            *expectedPath = argument;
            expectedPath = nullptr;
        } else if (argument == L"--trace") {
            expectedPath = &options.tracePath;
            expectingOption = argument;
        } else if (argument == L"--report") {
            expectedPath = &options.reportPath;
            expectingOption = argument;
        } else if (argument == L"--compare") {
            expectedPath = &options.compareFolder;
            expectingOption = argument;
        } else if (argument == L"--trace-b") {
            expectedPath = &options.compareTracePath;
            expectingOption = argument;
        } else if (argument == L"--every-frame") {
            options.everyFrame = true;
        } else if (argument == L"--audio") {
#ifdef _WIN32
            std::fprintf(stderr, "camcab-run: --audio is available in the Linux build only\n");
            return 2;
#else
            expectedPath = &options.audioPath;
            expectingOption = argument;
#endif
        } else if (argument.rfind(L"--", 0) == 0) {
            std::fprintf(stderr, "camcab-run: unknown option %s (see --help)\n",
                         platform::EncodeUtf8(argument).c_str());
            return 2;
        } else {
            positional.push_back(argument);
        }
    }
    if (expectedPath != nullptr) {
        std::fprintf(stderr, "camcab-run: %s needs a file name (see --help)\n",
                     platform::EncodeUtf8(expectingOption).c_str());
        return 2;
    }
    if (!options.compareFolder.empty() && !options.audioPath.empty()) {
        std::fprintf(stderr, "camcab-run: --compare renders no sound: --audio cannot go with it\n");
        return 2;
    }
    if (options.compareFolder.empty() && !options.compareTracePath.empty()) {
        std::fprintf(stderr, "camcab-run: --trace-b is drive B's trace: it needs --compare\n");
        return 2;
    }
    if (positional.empty() || positional.size() > 2) {
        PrintUsage(stderr);
        return 2;
    }
    options.pluginPath = positional[0];
    if (positional.size() == 2) {
        options.scenarioPath = positional[1];
        if (!ReadScenario(options.scenarioPath, scenario)) {
            return 2;
        }
    }
    return std::nullopt;
}

}  // namespace camcab::run
