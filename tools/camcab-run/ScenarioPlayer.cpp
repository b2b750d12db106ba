#include "ScenarioPlayer.h"

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string>

#include "HostEvents.h"
#include "HostKeyboard.h"
#include "ScenarioWriter.h"
#include "platform/FileSystem.h"
#include "platform/WideText.h"

namespace camcab::run {
namespace {

using scenario::Event;
using scenario::EventKind;
using scenario::Scenario;
using scenario::StateChange;

// An `elapse` frame advances the audio clock by the time since the previous frame, at most this.
constexpr int64_t kMaxElapseAudioMs = 1000;

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

std::string Changes(const char* label, const std::array<int32_t, kHostArrayIndexLimit>& now,
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

}  // namespace

ScenarioPlayer::ScenarioPlayer(host::HostPlugin& plugin, const Scenario& scenario, bool everyFrame,
                               std::wstring logPath, const VehicleTables* tables, DriveTrace* trace,
                               bool narrate)
    : narrate_(narrate),
      plugin_(plugin),
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

void ScenarioPlayer::Print(const char* format, ...) const {
    if (!narrate_) {
        return;
    }
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stdout, format, arguments);
    va_end(arguments);
}

int ScenarioPlayer::Run() {
    Print("Load\n");
    plugin_.Load();
    for (const std::string& event : hostevents::Take()) {
        Print("event %s\n", event.c_str());
    }
    if (platform::PathExists(logPath_)) {
        Print("start-up log %s\n", platform::EncodeUtf8(logPath_).c_str());
    }
    const int32_t version = plugin_.GetPluginVersion();
    Print("GetPluginVersion = %#x\n", static_cast<unsigned>(version));
    const VehicleSpec& v = scenario_.vehicle;
    Print("SetVehicleSpec %d %d %d %d %d\n", v.BrakeNotches, v.PowerNotches, v.AtsNotch, v.B67Notch,
          v.Cars);
    plugin_.SetVehicleSpec(v);
    Print("Initialize %d\n", scenario_.initialHandlePosition);
    plugin_.Initialize(scenario_.initialHandlePosition);
    bool ranFrames = false;
    for (const Event& event : scenario_.events) {
        ranFrames = ranFrames || event.kind == EventKind::Frames || event.kind == EventKind::Elapse;
        Apply(event);
    }
    if (!ranFrames) {
        RunFrame();
    }
    progress_.Finish();
    Print("Dispose\n");
    plugin_.Dispose();
    Print("%d frames\n", frame_);
    return 0;
}

void ScenarioPlayer::Apply(const Event& event) {
    switch (event.kind) {
        case EventKind::SetPower:
            Print("%s %d\n", "SetPower", event.value);
            driver_.Power = event.value;
            plugin_.SetPower(event.value);
            break;
        case EventKind::SetBrake:
            Print("%s %d\n", "SetBrake", event.value);
            driver_.Brake = event.value;
            plugin_.SetBrake(event.value);
            break;
        case EventKind::SetReverser:
            Print("%s %d\n", "SetReverser", event.value);
            driver_.Reverser = event.value;
            plugin_.SetReverser(event.value);
            break;
        case EventKind::KeyDown:
            Print("%s %d\n", "KeyDown", event.value);
            plugin_.KeyDown(event.value);
            break;
        case EventKind::KeyUp:
            Print("%s %d\n", "KeyUp", event.value);
            plugin_.KeyUp(event.value);
            break;
        case EventKind::HornBlow:
            Print("%s %d\n", "HornBlow", event.value);
            plugin_.HornBlow(event.value);
            break;
        case EventKind::DoorOpen:
            Print("DoorOpen\n");
            doorsOpen_ = true;
            plugin_.DoorOpen();
            break;
        case EventKind::DoorClose:
            Print("DoorClose\n");
            doorsOpen_ = false;
            plugin_.DoorClose();
            break;
        case EventKind::SetSignal:
            Print("%s %d\n", "SetSignal", event.value);
            plugin_.SetSignal(event.value);
            break;
        case EventKind::SetBeaconData:
            Print("SetBeaconData %d %d %g %d\n", event.beacon.Type, event.beacon.Signal,
                  event.beacon.Distance, event.beacon.Optional);
            plugin_.SetBeaconData(event.beacon);
            break;
        case EventKind::Initialize:
            Print("%s %d\n", "Initialize", event.value);
            plugin_.Initialize(event.value);
            break;
        case EventKind::SetState:
            for (const StateChange& change : event.changes) {
                scenario::ApplyStateChange(state_, change);
            }
            break;
        case EventKind::KeyboardDown:
        case EventKind::KeyboardUp: {
            const bool down = event.kind == EventKind::KeyboardDown;
            Print("%s\n", scenario::KeyboardLine(event.value, down).c_str());
            host::SetHostKey(event.value, down);
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
            Print("model %s\n", modelOn_ ? "on" : "off");
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

void ScenarioPlayer::RunFrame() {
    // The host's clock is a 32-bit count of milliseconds: it stops at its end.
    state_.Time =
        static_cast<int32_t>(std::min<int64_t>(int64_t{state_.Time} + scenario_.stepMs, INT32_MAX));
    if (modelOn_ && model_) {
        model_->SetDoorsOpen(doorsOpen_);
        // Before the plug-in has answered, the driver's handles stand in for its answer.
        model_->Advance(state_, frame_ == 0 ? driver_ : lastReturned_, scenario_.stepMs);
    }
    state_.Location += static_cast<double>(state_.Speed) / 3.6 * scenario_.stepMs / 1000.0;
    RunElapse(scenario_.stepMs);
}

void ScenarioPlayer::RunElapse(int32_t audioMs) {
    ++frame_;
    driveMs_ += audioMs;
    TraceFrame traced;
    traced.state = state_;
    const Handles handles = plugin_.Elapse(state_, panel_.data(), sound_.data());
    lastReturned_ = handles;
    // The audio clock advances with the scenario's time: render this frame's samples.
    const HeardFrame heard = audio_.Frame(audioMs);
    std::string line = heard.change;
    traced.audioRms = heard.rms;
    traced.audioOnset = heard.onset;
    // What the plug-in told since the frame before (host calls between frames included).
    for (const std::string& event : hostevents::Take()) {
        traced.events += (traced.events.empty() ? "" : "; ") + event;
    }
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
    if (!traced.events.empty()) {
        line += " events " + traced.events;
    }
    if (!line.empty()) {
        Print("frame %d t=%dms:%s\n", frame_, state_.Time, line.c_str());
    }
}

}  // namespace camcab::run
