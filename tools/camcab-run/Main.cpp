// camcab-run: the host stand-in. It loads a plug-in by path exactly as the host does, drives
// it through a scenario and prints what the plug-in answered.
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "HostKeyboard.h"
#include "HostPlugin.h"
#include "Scenario.h"
#include "platform/FileSystem.h"
#include "platform/WideText.h"
#ifndef _WIN32
#include "HostAudio.h"
#endif

namespace camcab::run {
namespace {

constexpr int kArraySize = 256;
// A frame whose rendered sound is below -60 dBFS counts as silent.
constexpr double kAudibleRms = 0.001;
constexpr int32_t kSilenceMs = 100;
// A frame whose difference level is this many times that of the last few (6 dB) starts a new
// sound.
constexpr double kOnsetFactor = 2.0;

struct Options {
    std::wstring pluginPath;
    std::wstring scenarioPath;
    std::wstring audioPath;  // where the rendered audio goes (Linux)
    bool everyFrame = false;
};

void PrintUsage(std::FILE* out) {
    std::fprintf(out,
                 "Usage: camcab-run [--every-frame] [--audio WAV] PLUGIN [SCENARIO]\n"
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
                 "  --help          show this text\n"
                 "\n"
                 "Exit status: 0 on success; 1 when the plug-in is missing, cannot be loaded,\n"
                 "lacks an export, fails its version check or raises an error; 2 on bad usage or\n"
                 "a bad scenario.\n"
                 "\n%s",
                 ScenarioFormatHelp());
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

class Runner {
  public:
    Runner(HostPlugin& plugin, const Scenario& scenario, bool everyFrame, std::wstring logPath)
        : plugin_(plugin),
          logPath_(std::move(logPath)),
          scenario_(scenario),
          everyFrame_(everyFrame),
          state_(scenario.initialState) {
        panel_.fill(0);
        sound_.fill(0);
        shownPanel_ = panel_;
        shownSound_ = sound_;
    }

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
            ranFrames = ranFrames || event.kind == EventKind::Frames;
            Apply(event);
        }
        if (!ranFrames) {
            RunFrame();
        }
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
                plugin_.SetPower(event.value);
                break;
            case EventKind::SetBrake:
                Say("SetBrake", event.value);
                plugin_.SetBrake(event.value);
                break;
            case EventKind::SetReverser:
                Say("SetReverser", event.value);
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
                plugin_.DoorOpen();
                break;
            case EventKind::DoorClose:
                std::printf("DoorClose\n");
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
                }
                break;
        }
    }

    static void Say(const char* call, int32_t value) { std::printf("%s %d\n", call, value); }

    void RunFrame() {
        ++frame_;
        state_.Time += scenario_.stepMs;
        state_.Location += static_cast<double>(state_.Speed) / 3.6 * scenario_.stepMs / 1000.0;
        const Handles handles = plugin_.Elapse(state_, panel_.data(), sound_.data());
        std::string line;
#ifndef _WIN32
        // The audio clock advances with the scenario's time: render this frame's samples.
        const size_t renderedBefore = hostaudio::CapturedFrames();
        hostaudio::Advance(scenario_.stepMs);
        line += AudioChange(renderedBefore, hostaudio::CapturedFrames());
#endif
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
    // sounds raise far more than the low hum of the motors.
    std::string AudioChange(size_t beginFrame, size_t endFrame) {
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
            if (change == nullptr) {
                return {};
            }
            char text[40];
            std::snprintf(text, sizeof text, " audio %s %.0f dBFS", change, 20.0 * std::log10(rms));
            return text;
        }
        silentMs_ += scenario_.stepMs;
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

    static std::string Changes(const char* label, const std::array<int32_t, kArraySize>& now,
                               std::array<int32_t, kArraySize>& shown) {
        std::string text;
        for (int i = 0; i < kArraySize; ++i) {
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
    VehicleState state_;
    std::array<int32_t, kArraySize> panel_;
    std::array<int32_t, kArraySize> sound_;
    std::array<int32_t, kArraySize> shownPanel_;
    std::array<int32_t, kArraySize> shownSound_;
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

int Main(const std::vector<std::wstring>& arguments) {
    Options options;
    std::vector<std::wstring> positional;
    bool expectAudioPath = false;
    for (const std::wstring& argument : arguments) {
        if (argument == L"--help" || argument == L"-h") {
            PrintUsage(stdout);
            return 0;
        }
        if (expectAudioPath) {
            options.audioPath = argument;
            expectAudioPath = false;
        } else if (argument == L"--every-frame") {
            options.everyFrame = true;
        } else if (argument == L"--audio") {
#ifdef _WIN32
            std::fprintf(stderr, "camcab-run: --audio is available in the Linux build only\n");
            return 2;
#else
            expectAudioPath = true;
#endif
        } else if (argument.rfind(L"--", 0) == 0) {
            std::fprintf(stderr, "camcab-run: unknown option %s (see --help)\n",
                         platform::EncodeUtf8(argument).c_str());
            return 2;
        } else {
            positional.push_back(argument);
        }
    }
    if (expectAudioPath || positional.empty() || positional.size() > 2) {
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
    int status = 0;
    try {
        // The plug-in writes its start-up log beside itself.
        const std::wstring logPath =
            platform::AppendPath(platform::FolderOf(options.pluginPath), L"XAudio2初期化ログ.txt");
        Runner runner(plugin, scenario, options.everyFrame, logPath);
        status = runner.Run();
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
    UnloadHostPlugin(plugin);
#ifndef _WIN32
    if (!options.audioPath.empty()) {
        const std::string audioPath = platform::NativeNameFromWide(options.audioPath);
        if (!hostaudio::WriteCapture(audioPath)) {
            std::fprintf(stderr, "camcab-run: error: cannot write %s\n", audioPath.c_str());
            return status == 0 ? 1 : status;
        }
        std::printf("audio %zu frames written to %s\n", hostaudio::CapturedFrames(),
                    audioPath.c_str());
    }
#endif
    return status;
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
