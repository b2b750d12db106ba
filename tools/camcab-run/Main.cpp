// camcab-run: the host stand-in. It loads a plug-in by path exactly as the host does, drives
// it through a scenario and prints what the plug-in answered.
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "DriveReport.h"
#include "DriveTrace.h"
#include "HostKeyboard.h"
#include "HostPlugin.h"
#include "Progress.h"
#include "Scenario.h"
#include "ScratchFolder.h"
#include "TrainModel.h"
#include "VehicleTables.h"
#include "platform/FileSystem.h"
#include "platform/WideText.h"
#include "sound/SoundSlot.h"
#include "sound/SoundSystem.h"
#ifndef _WIN32
#include "HostAudio.h"
#endif

namespace camcab::run {
namespace {

// A frame whose rendered sound is below -60 dBFS counts as silent.
constexpr double kAudibleRms = 0.001;
constexpr int32_t kSilenceMs = 100;
// A frame whose difference level is this many times that of the last few (6 dB) starts a new
// sound.
constexpr double kOnsetFactor = 2.0;
// An `elapse` frame advances the audio clock by the time since the previous frame, at most this.
constexpr int64_t kMaxElapseAudioMs = 1000;

struct Options {
    std::wstring pluginPath;
    std::wstring scenarioPath;
    std::wstring audioPath;   // where the rendered audio goes (Linux)
    std::wstring tracePath;   // the per-frame trace (CSV)
    std::wstring reportPath;  // the drive report (HTML)
    bool everyFrame = false;
};

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
                 "  --help          show this text\n"
                 "\n"
                 "Exit status: 0 on success; 1 when the plug-in is missing, cannot be loaded,\n"
                 "lacks an export, fails its version check or raises an error; 2 on bad usage or\n"
                 "a bad scenario, reported with its file, line number and reason.\n"
                 "A long drive shows a progress bar on standard error when that is a terminal.\n"
                 "\n%s\n%s\n%s",
                 ScenarioFormatHelp(), ModelHelp(), TraceHelp());
}

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

int64_t TotalFrames(const Scenario& scenario) {
    int64_t total = 0;
    for (const Event& event : scenario.events) {
        if (event.kind == EventKind::Frames) {
            total += event.value;
        } else if (event.kind == EventKind::Elapse) {
            ++total;
        }
    }
    return total;
}

class Runner {
  public:
    // `tables` (the vehicle's, read from the plug-in's folder) may be null when neither the
    // model nor the trace needs them; `trace` is null when no trace is kept.
    Runner(HostPlugin& plugin, const Scenario& scenario, bool everyFrame, std::wstring logPath,
           const VehicleTables* tables, DriveTrace* trace)
        : plugin_(plugin),
          logPath_(std::move(logPath)),
          scenario_(scenario),
          everyFrame_(everyFrame),
          tables_(tables),
          trace_(trace),
          progress_(TotalFrames(scenario)),
          state_(scenario.initialState) {
        panel_.fill(0);
        sound_.fill(0);
        shownPanel_ = panel_;
        shownSound_ = sound_;
        if (tables_ != nullptr) {
            model_.emplace(*tables_, scenario.vehicle);
        }
    }

    double driveMs() const { return driveMs_; }

    // Returns the process exit status.
    int Run() {
        std::printf("Load\n");
        plugin_.Load();
        if (platform::PathExists(logPath_)) {
            std::printf("start-up log %s\n", platform::EncodeUtf8(logPath_).c_str());
        }
        const int32_t version = plugin_.GetPluginVersion();
        std::printf("GetPluginVersion = %#x\n", static_cast<unsigned>(version));
        const VehicleSpec& v = scenario_.vehicle;
        std::printf("SetVehicleSpec %d %d %d %d %d\n", v.BrakeNotches, v.PowerNotches, v.AtsNotch,
                    v.B67Notch, v.Cars);
        plugin_.SetVehicleSpec(v);
        std::printf("Initialize %d\n", scenario_.initialHandlePosition);
        plugin_.Initialize(scenario_.initialHandlePosition);
        bool ranFrames = false;
        for (const Event& event : scenario_.events) {
            ranFrames =
                ranFrames || event.kind == EventKind::Frames || event.kind == EventKind::Elapse;
            Apply(event);
        }
        if (!ranFrames) {
            RunFrame();
        }
        progress_.Finish();
        std::printf("Dispose\n");
        plugin_.Dispose();
        std::printf("%d frames\n", frame_);
        return 0;
    }

  private:
    void Apply(const Event& event) {
        switch (event.kind) {
            case EventKind::SetPower:
                Say("SetPower", event.value);
                driver_.Power = event.value;
                plugin_.SetPower(event.value);
                break;
            case EventKind::SetBrake:
                Say("SetBrake", event.value);
                driver_.Brake = event.value;
                plugin_.SetBrake(event.value);
                break;
            case EventKind::SetReverser:
                Say("SetReverser", event.value);
                driver_.Reverser = event.value;
                plugin_.SetReverser(event.value);
                break;
            case EventKind::KeyDown:
                Say("KeyDown", event.value);
                plugin_.KeyDown(event.value);
                break;
            case EventKind::KeyUp:
                Say("KeyUp", event.value);
                plugin_.KeyUp(event.value);
                break;
            case EventKind::HornBlow:
                Say("HornBlow", event.value);
                plugin_.HornBlow(event.value);
                break;
            case EventKind::DoorOpen:
                std::printf("DoorOpen\n");
                doorsOpen_ = true;
                plugin_.DoorOpen();
                break;
            case EventKind::DoorClose:
                std::printf("DoorClose\n");
                doorsOpen_ = false;
                plugin_.DoorClose();
                break;
            case EventKind::SetSignal:
                Say("SetSignal", event.value);
                plugin_.SetSignal(event.value);
                break;
            case EventKind::SetBeaconData:
                std::printf("SetBeaconData %d %d %g %d\n", event.beacon.Type, event.beacon.Signal,
                            event.beacon.Distance, event.beacon.Optional);
                plugin_.SetBeaconData(event.beacon);
                break;
            case EventKind::Initialize:
                Say("Initialize", event.value);
                plugin_.Initialize(event.value);
                break;
            case EventKind::SetState:
                for (const StateChange& change : event.changes) {
                    ApplyStateChange(state_, change);
                }
                break;
            case EventKind::KeyboardDown:
            case EventKind::KeyboardUp: {
                const bool down = event.kind == EventKind::KeyboardDown;
                std::printf("%s 0x%02X\n", down ? "keyboard-down" : "keyboard-up",
                            static_cast<unsigned>(event.value));
                SetHostKey(event.value, down);
                break;
            }
            case EventKind::Frames:
                for (int32_t i = 0; i < event.value; ++i) {
                    RunFrame();
                    progress_.Update(frame_, driveMs_);
                }
                break;
            case EventKind::Model:
                modelOn_ = event.value != 0;
                std::printf("model %s\n", modelOn_ ? "on" : "off");
                break;
            case EventKind::ModelStepInterval:
                if (model_) {
                    model_->SetStepIntervalMs(event.value);
                }
                break;
            case EventKind::Elapse: {
                const int64_t sinceMs = static_cast<int64_t>(event.state.Time) - state_.Time;
                const int32_t audioMs =
                    frame_ == 0
                        ? scenario_.stepMs
                        : static_cast<int32_t>(std::clamp<int64_t>(sinceMs, 0, kMaxElapseAudioMs));
                state_ = event.state;
                RunElapse(audioMs);
                progress_.Update(frame_, driveMs_);
                break;
            }
        }
    }

    static void Say(const char* call, int32_t value) { std::printf("%s %d\n", call, value); }

    void RunFrame() {
        // The host's clock is a 32-bit count of milliseconds: it stops at its end.
        state_.Time = static_cast<int32_t>(
            std::min<int64_t>(int64_t{state_.Time} + scenario_.stepMs, INT32_MAX));
        if (modelOn_ && model_) {
            model_->SetDoorsOpen(doorsOpen_);
            // Before the plug-in has answered, the driver's handles stand in for its answer.
            model_->Advance(state_, frame_ == 0 ? driver_ : lastReturned_, scenario_.stepMs);
        }
        state_.Location += static_cast<double>(state_.Speed) / 3.6 * scenario_.stepMs / 1000.0;
        RunElapse(scenario_.stepMs);
    }

    // One Elapse with the current train state; the audio clock advances by `audioMs`.
    void RunElapse(int32_t audioMs) {
        ++frame_;
        driveMs_ += audioMs;
        TraceFrame traced;
        traced.state = state_;
        const Handles handles = plugin_.Elapse(state_, panel_.data(), sound_.data());
        lastReturned_ = handles;
        std::string line;
#ifndef _WIN32
        // The audio clock advances with the scenario's time: render this frame's samples.
        const size_t renderedBefore = hostaudio::CapturedFrames();
        hostaudio::Advance(audioMs);
        line +=
            AudioChange(renderedBefore, hostaudio::CapturedFrames(), audioMs, traced.audioOnset);
        traced.audioRms = hostaudio::CapturedRms(renderedBefore, hostaudio::CapturedFrames());
#else
        (void)audioMs;
#endif
        if (trace_ != nullptr) {
            traced.driver = driver_;
            traced.returned = handles;
            if (tables_ != nullptr) {
                EvaluateCurves(tables_->notchTable, traced);
            }
            trace_->Record(traced, panel_.data(), sound_.data());
        }
        const bool handlesChanged = frame_ == 1 || handles.Brake != shownHandles_.Brake ||
                                    handles.Power != shownHandles_.Power ||
                                    handles.Reverser != shownHandles_.Reverser ||
                                    handles.ConstantSpeed != shownHandles_.ConstantSpeed;
        if (handlesChanged || everyFrame_) {
            line += " handles B" + std::to_string(handles.Brake) + " P" +
                    std::to_string(handles.Power) + " R" + std::to_string(handles.Reverser) + " C" +
                    std::to_string(handles.ConstantSpeed);
        }
        shownHandles_ = handles;
        line += Changes(" panel", panel_, shownPanel_);
        line += Changes(" sound", sound_, shownSound_);
        if (!line.empty()) {
            std::printf("frame %d t=%dms:%s\n", frame_, state_.Time, line.c_str());
        }
    }

#ifndef _WIN32
    // The plug-in's own sound starting ("on"), a new sound over what was already heard ("up":
    // a camshaft or air sound over the motors), or silence for a while ("off"; short gaps
    // inside a sound do not count); with the frame's level. New sounds are told by the level
    // of the sample-to-sample differences, which the clicks and hiss of the camshaft and air
    // sounds raise far more than the low hum of the motors. `onset` tells "on" and "up".
    std::string AudioChange(size_t beginFrame, size_t endFrame, int32_t frameMs, bool& onset) {
        const double rms = hostaudio::CapturedRms(beginFrame, endFrame);
        const double edgeRms = EdgeRms(beginFrame, endFrame);
        const double recentEdgeRms = recentEdgeRms_;
        recentEdgeRms_ = 0.7 * recentEdgeRms_ + 0.3 * edgeRms;
        if (rms >= kAudibleRms) {
            silentMs_ = 0;
            const char* change = !audible_ ? "on"
                                 : edgeRms >= kAudibleRms && edgeRms >= kOnsetFactor * recentEdgeRms
                                     ? "up"
                                     : nullptr;
            audible_ = true;
            onset = change != nullptr;
            if (change == nullptr) {
                return {};
            }
            char text[40];
            std::snprintf(text, sizeof text, " audio %s %.0f dBFS", change, 20.0 * std::log10(rms));
            return text;
        }
        silentMs_ += frameMs;
        if (audible_ && silentMs_ >= kSilenceMs) {
            audible_ = false;
            return " audio off";
        }
        return {};
    }

    // Root mean square of the differences between successive samples of each channel.
    static double EdgeRms(size_t beginFrame, size_t endFrame) {
        const std::vector<float>& samples = hostaudio::Captured();
        const size_t channels = hostaudio::Channels();
        if (beginFrame == 0 || channels == 0 || endFrame * channels > samples.size() ||
            beginFrame >= endFrame) {
            return 0.0;
        }
        double sum = 0.0;
        for (size_t i = beginFrame * channels; i < endFrame * channels; ++i) {
            const double difference = static_cast<double>(samples[i]) - samples[i - channels];
            sum += difference * difference;
        }
        return std::sqrt(sum / static_cast<double>((endFrame - beginFrame) * channels));
    }
#endif

    static std::string Changes(const char* label,
                               const std::array<int32_t, kHostArrayIndexLimit>& now,
                               std::array<int32_t, kHostArrayIndexLimit>& shown) {
        std::string text;
        for (int i = 0; i < kHostArrayIndexLimit; ++i) {
            if (now[i] != shown[i]) {
                text += " " + std::to_string(i) + "=" + std::to_string(now[i]);
                shown[i] = now[i];
            }
        }
        return text.empty() ? text : label + text;
    }

    HostPlugin& plugin_;
    const std::wstring logPath_;
    const Scenario& scenario_;
    const bool everyFrame_;
    const VehicleTables* tables_;
    DriveTrace* trace_;
    std::optional<TrainModel> model_;
    bool modelOn_ = false;
    bool doorsOpen_ = false;
    Handles driver_{};        // what the scenario set
    Handles lastReturned_{};  // what the plug-in answered on the last frame
    double driveMs_ = 0.0;
    Progress progress_;
    VehicleState state_;
    std::array<int32_t, kHostArrayIndexLimit> panel_;
    std::array<int32_t, kHostArrayIndexLimit> sound_;
    std::array<int32_t, kHostArrayIndexLimit> shownPanel_;
    std::array<int32_t, kHostArrayIndexLimit> shownSound_;
    Handles shownHandles_{};
#ifndef _WIN32
    bool audible_ = false;
    int32_t silentMs_ = 0;
    double recentEdgeRms_ = 0.0;  // the difference level of the last few frames
#endif
    int frame_ = 0;
};

bool ReadText(const std::wstring& path, std::string& text) {
#ifdef _WIN32
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
#else
    std::ifstream in(platform::NativeNameFromWide(path), std::ios::binary);
#endif
    if (!in) {
        return false;
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    text = bytes.str();
    return true;
}

bool UsesModel(const Scenario& scenario) {
    for (const Event& event : scenario.events) {
        if (event.kind == EventKind::Model && event.value != 0) {
            return true;
        }
    }
    return false;
}

// The sound files the plug-in named in its start-up log, loaded or not.
std::vector<std::wstring> SoundFilesInLog(const std::wstring& logPath) {
    std::vector<std::wstring> files;
    std::string text;
    if (!ReadText(logPath, text)) {
        return files;
    }
    const std::string label = platform::EncodeUtf8(sound::kLogFileNameLabel);
    std::istringstream lines(text);
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

int Main(const std::vector<std::wstring>& arguments) {
    Options options;
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
    if (positional.empty() || positional.size() > 2) {
        PrintUsage(stderr);
        return 2;
    }
    options.pluginPath = positional[0];
    Scenario scenario;
    if (positional.size() == 2) {
        options.scenarioPath = positional[1];
        std::string text;
        std::string error;
        if (!ReadText(options.scenarioPath, text)) {
            std::fprintf(stderr, "camcab-run: cannot read scenario %s\n",
                         platform::EncodeUtf8(options.scenarioPath).c_str());
            return 2;
        }
        if (!ParseScenario(text, scenario, error)) {
            std::fprintf(stderr, "camcab-run: %s: %s\n",
                         platform::EncodeUtf8(options.scenarioPath).c_str(), error.c_str());
            return 2;
        }
    }

#ifndef _WIN32
    // This program keeps the plug-in's audio clock, so the engine needs no sound device.
    hostaudio::UseSilentDevice();
#endif
    HostPlugin plugin;
    std::string error;
    if (!LoadHostPlugin(options.pluginPath, plugin, error)) {
        std::fprintf(stderr, "camcab-run: error: %s\n", error.c_str());
        return 1;
    }
    std::printf("plug-in %s\n", platform::EncodeUtf8(options.pluginPath).c_str());
    const std::wstring pluginFolder = platform::FolderOf(options.pluginPath);
    const bool keepTrace = !options.tracePath.empty() || !options.reportPath.empty();
    std::unique_ptr<VehicleTables> tables;
    if (keepTrace || UsesModel(scenario)) {
        tables = std::make_unique<VehicleTables>(ReadVehicleTables(pluginFolder));
    }
    DriveTrace trace;
    // The plug-in writes its start-up log beside itself.
    const std::wstring logPath = platform::AppendPath(pluginFolder, sound::kStartUpLogName);
    int status = 0;
    double driveMs = 0.0;
    const auto started = std::chrono::steady_clock::now();
    try {
        Runner runner(plugin, scenario, options.everyFrame, logPath, tables.get(),
                      keepTrace ? &trace : nullptr);
        status = runner.Run();
        driveMs = runner.driveMs();
    } catch (const std::runtime_error& failure) {
        // The plug-in refused the run, as the host would be told (a chained module of another
        // interface version). Its message is raw bytes in the host's code page.
        const std::string message = failure.what();
        std::fprintf(stderr, "camcab-run: error: the plug-in raised an error: %s\n",
                     message.c_str());
        std::fprintf(stderr, "camcab-run: error bytes: %s\n", Hex(message).c_str());
        plugin.Dispose();
        status = 1;
    } catch (...) {
        std::fprintf(stderr, "camcab-run: error: the plug-in raised an unknown exception\n");
        status = 1;
    }
    const double runSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    UnloadHostPlugin(plugin);
    if (status != 0) {
        return status;
    }
    std::printf("drove %.1f s in %.2f s: %.0fx real time\n", driveMs / 1000.0, runSeconds,
                runSeconds > 0.0 ? driveMs / 1000.0 / runSeconds : 0.0);

    std::wstring audioPath = options.audioPath;
#ifndef _WIN32
    // The report shows the rendered sound, so it is written even when no WAV was asked for:
    // into a scratch folder of its own, which goes when the program ends.
    const bool temporaryAudio = audioPath.empty() && !options.reportPath.empty();
    const ScratchFolder scratch;
    if (temporaryAudio && scratch.Made()) {
        audioPath = platform::WideFromNativeName(scratch.File("drive.wav").string());
    }
    if (!audioPath.empty()) {
        const std::string nativeAudioPath = platform::NativeNameFromWide(audioPath);
        if (!hostaudio::WriteCapture(nativeAudioPath)) {
            std::fprintf(stderr, "camcab-run: error: cannot write %s\n", nativeAudioPath.c_str());
            return 1;
        }
        if (!temporaryAudio) {
            std::printf("audio %zu frames written to %s\n", hostaudio::CapturedFrames(),
                        nativeAudioPath.c_str());
        }
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
#ifndef _WIN32
        info.audioKept = !temporaryAudio;
#endif
        info.audioStartTimeMs = scenario.initialState.Time;
        std::string error;
        const bool written = WriteDriveReport(options.reportPath, trace, info, error);
        if (!written) {
            std::fprintf(stderr, "camcab-run: error: cannot write the report %s: %s\n",
                         platform::EncodeUtf8(options.reportPath).c_str(), error.c_str());
            return 1;
        }
        std::printf("report written to %s\n", platform::EncodeUtf8(options.reportPath).c_str());
    }
    return 0;
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
