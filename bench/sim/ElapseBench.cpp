// What one frame costs the host's thread, for the sample vehicle's six motor sounds and for a
// bank of 32: Elapse, against the engine calls a frame cannot do without made alone on the same
// engine, so that what our own work adds to them shows; Elapse without an engine; and the heap
// allocations of each, ours told apart from the engine's. The train runs a repeating cycle of
// notching up with the current following the sample's power curves, coasting, and braking
// with regeneration. The engine renders in caller-driven mode after every frame, as a host
// must, and only the calls are timed, by hand.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "FileBytes.h"
#include "HeapCount.h"
#include "HostAudio.h"
#include "HostKeyboard.h"
#include "config/Curve.h"
#include "plugin/Plugin.h"

namespace {

namespace fs = std::filesystem;
using camcab::Handles;
using camcab::VehicleState;
using camcab::platform::SourceVoice;
using Clock = std::chrono::steady_clock;

constexpr int32_t kFrameMs = 20;
constexpr float kFrameSeconds = kFrameMs / 1000.0f;
constexpr int kSampleMotorSounds = 6;

// ---------------------------------------------------------------------------------------------
// The vehicle folder.

// Rewrites the motor sound configuration of a copy of the sample for a bank of `count`
// sounds: sound k plays the sample's recording k mod 6 along that recording's curves.
void WriteMotorBank(const fs::path& folder, int count) {
    std::ofstream config(folder / "AtsMotorConfig.txt", std::ios::binary);
    config << "[Sound]\n";
    for (int k = 0; k < count; ++k) {
        config << k << " = motor\\motor" << k % kSampleMotorSounds << ".wav\n";
    }
    const std::pair<const char*, const char*> modes[] = {
        {"Power", "power"}, {"Brake", "brake"}, {"Neutral", "neutral"}};
    for (const auto& [section, mode] : modes) {
        config << "\n[" << section << "]\n"
               << "Volume = motor\\" << mode << "_volume.csv\n"
               << "Frequency = motor\\" << mode << "_frequency.csv\n";
        for (const char* quantity : {"_volume.csv", "_frequency.csv"}) {
            const fs::path table = folder / "motor" / (std::string(mode) + quantity);
            std::vector<std::vector<std::string>> rows;
            std::istringstream in(camcab::host::ReadFileBytes(table));
            for (std::string line; std::getline(in, line);) {
                std::vector<std::string>& cells = rows.emplace_back();
                std::istringstream fields(line);
                for (std::string cell; std::getline(fields, cell, ',');) {
                    cells.push_back(cell);
                }
            }
            std::ofstream out(table, std::ios::binary);
            for (size_t r = 0; r < rows.size(); ++r) {
                out << rows[r][0];
                for (int k = 0; k < count; ++k) {
                    out << ", "
                        << (r == 0 ? "Sound" + std::to_string(k)
                                   : rows[r].at(1 + k % kSampleMotorSounds));
                }
                out << "\n";
            }
        }
    }
}

// The plug-in as the host holds it: a vehicle folder of its own with the sample's files and a
// chained module that hands the driver's handles on.
class Drive {
  public:
    Drive(bool engine, int motorSounds) : folder_(NewFolder()), plugin(folder_.wstring() + L"/") {
        camcab::hostaudio::UseSilentDevice();
        ::setenv("SDL_NO_SIGNAL_HANDLERS", "1", 0);
        // The host's keyboard, which the plug-in looks up in this process: nothing held down.
        camcab::host::ReleaseAllKeys();
        fs::copy(CAMCAB_SAMPLE_VEHICLE, folder_, fs::copy_options::recursive);
        if (motorSounds != kSampleMotorSounds) {
            WriteMotorBank(folder_, motorSounds);
        }
        if (!engine) {
            // The start-up log cannot be opened, so no engine is made.
            fs::create_directory(folder_ / fs::path(u8"XAudio2初期化ログ.txt"));
        }
        fs::copy_file(CAMCAB_RECORDER_FILE, folder_ / "module.so");
        std::ofstream(folder_ / "detailmodulesx64.txt", std::ios::binary) << "module.so\n";
        plugin.Load();
        plugin.SetVehicleSpec(camcab::VehicleSpec{8, 5, 1, 6, 4});
        plugin.Initialize(0);
        plugin.DoorClose();
        plugin.SetReverser(1);
    }
    ~Drive() {
        plugin.Dispose();
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    Drive(const Drive&) = delete;
    Drive& operator=(const Drive&) = delete;

    // The driver's handle moves before a frame, made the way the host makes them: on change.
    void MoveHandles(int32_t power, int32_t brake) {
        if (brake != brake_) {
            plugin.SetBrake(brake);
            brake_ = brake;
        }
        if (power != power_) {
            plugin.SetPower(power);
            power_ = power;
        }
    }

    Handles Elapse(const VehicleState& vehicle) {
        time_ += kFrameMs;
        state_ = vehicle;
        state_.Time = time_;
        return plugin.Elapse(state_, panel_.data(), sound_.data());
    }

    fs::path File(const char* name) const { return folder_ / name; }

  private:
    static fs::path NewFolder() {
        static std::atomic<int> made{0};
        return fs::temp_directory_path() /
               ("camcab-elapse-bench-" + std::to_string(::getpid()) + "-" + std::to_string(made++));
    }

    fs::path folder_;

  public:
    camcab::Plugin plugin;

  private:
    VehicleState state_{};
    int32_t time_ = 36000000;
    int32_t power_ = 0;
    int32_t brake_ = 0;
    std::array<int32_t, 256> panel_{};
    std::array<int32_t, 256> sound_{};
};

// ---------------------------------------------------------------------------------------------
// The host's train: what the driver does and what the motors and brakes give back, from the
// handles the plug-in answered on the frame before.

struct FrameInput {
    VehicleState vehicle;
    int32_t power;  // the driver's handles for this frame
    int32_t brake;
};

// The power notch each of the sample's twelve power steps requires (notch/power_params.csv).
constexpr int32_t kPowerStepNotch[] = {1, 1, 2, 2, 3, 3, 3, 4, 4, 4, 5, 5};
constexpr int kBrakeSteps = 10;  // brake step k requires brake notch k
constexpr int32_t kServiceBrakeNotches = 8;
constexpr int32_t kPowerStepMs = 250;  // the host's camshaft steps up this often
constexpr int32_t kBrakeStepMs = 200;
constexpr int32_t kRegenDelayMs = 500;  // breaker and drum before regeneration starts
constexpr float kTopSpeedKmh = 60.0f;

// The current of each camshaft step against speed: column k of the table is step k.
std::vector<camcab::config::Curve> StepCurves(const fs::path& table, uint64_t steps) {
    std::vector<uint64_t> columns;
    for (uint64_t k = 1; k <= steps; ++k) {
        columns.push_back(k);
    }
    std::vector<camcab::config::Curve> curves;
    camcab::config::ReadColumnCurves(table.wstring(), columns, curves);
    return curves;
}

float CurveAt(const std::vector<camcab::config::Curve>& curves, int step, float speed) {
    const size_t k = static_cast<size_t>(step - 1);
    return k < curves.size() ? camcab::config::InterpolateCurve(speed, curves[k]) : 0.0f;
}

// Drives one cycle closed-loop on `drive`, rendering as frames go by, and keeps what the host
// handed over on each frame: stand with the brake on, release, notch up to 5 while the
// camshaft steps up, shut off at 60 km/h, coast, brake to a stand with regeneration.
std::vector<FrameInput> RecordCycle(Drive& drive) {
    const std::vector<camcab::config::Curve> powerCurves =
        StepCurves(drive.File("notch/power_current.csv"), std::size(kPowerStepNotch));
    const std::vector<camcab::config::Curve> brakeCurves =
        StepCurves(drive.File("notch/brake_current.csv"), kBrakeSteps);
    enum class Phase { Standing, Powering, Coasting, Braking, Stopped };
    Phase phase = Phase::Standing;
    int32_t phaseMs = 0;
    int32_t powerHandle = 0;
    int32_t brakeHandle = 4;
    Handles answer{brakeHandle, 0, 1, 0};
    int powerStep = 0;
    int brakeStep = 0;
    int32_t powerStepMs = 0;
    int32_t brakeStepMs = 0;
    int32_t regenMs = 0;
    float speed = 0.0f;  // km/h
    float bc = 0.0f;     // kPa
    double location = 0.0;
    std::vector<FrameInput> cycle;
    while (!(phase == Phase::Stopped && phaseMs >= 2000)) {
        // The driver.
        switch (phase) {
            case Phase::Standing:
                brakeHandle = phaseMs < 1000 ? 4 : 0;
                if (phaseMs >= 1500) {
                    phase = Phase::Powering;
                    phaseMs = 0;
                }
                break;
            case Phase::Powering:
                powerHandle = std::min(5, 1 + phaseMs / 600);
                if (speed >= kTopSpeedKmh) {
                    powerHandle = 0;
                    phase = Phase::Coasting;
                    phaseMs = 0;
                }
                break;
            case Phase::Coasting:
                if (phaseMs >= 6000) {
                    phase = Phase::Braking;
                    phaseMs = 0;
                }
                break;
            case Phase::Braking:
                brakeHandle = phaseMs < 400 ? 2 : phaseMs < 800 ? 4 : 6;
                if (speed <= 0.0f) {
                    phase = Phase::Stopped;
                    phaseMs = 0;
                }
                break;
            case Phase::Stopped:
                if (phaseMs >= 1500) {
                    brakeHandle = 4;
                }
                break;
        }

        // The motors: the host's camshaft steps up while the answered power notch allows, and
        // the regenerative brake builds up by steps after the breaker has closed.
        if (answer.Power > 0 && answer.Reverser != 0) {
            powerStepMs += kFrameMs;
            const int allowed = static_cast<int>(
                std::count_if(std::begin(kPowerStepNotch), std::end(kPowerStepNotch),
                              [&](int32_t required) { return required <= answer.Power; }));
            if (powerStep < allowed && (powerStep == 0 || powerStepMs >= kPowerStepMs)) {
                ++powerStep;
                powerStepMs = 0;
            }
            powerStep = std::min(powerStep, allowed);
        } else {
            powerStep = 0;
            powerStepMs = 0;
        }
        if (answer.Brake > 0 && answer.Brake <= kServiceBrakeNotches && answer.Power <= 0 &&
            answer.Reverser != 0 && speed > 0.0f) {
            regenMs += kFrameMs;
            brakeStepMs += kFrameMs;
            const int allowed = std::min(answer.Brake, kBrakeSteps);
            if (regenMs >= kRegenDelayMs && brakeStep < allowed && brakeStepMs >= kBrakeStepMs) {
                ++brakeStep;
                brakeStepMs = 0;
            }
            brakeStep = std::min(brakeStep, allowed);
        } else {
            regenMs = 0;
            brakeStep = 0;
            brakeStepMs = 0;
        }
        float current = 0.0f;
        if (powerStep > 0) {
            current = CurveAt(powerCurves, powerStep, speed);
        } else if (brakeStep > 0) {
            current = -CurveAt(brakeCurves, brakeStep, speed);
        }

        // The air brake makes up what regeneration does not give.
        const float airShare = current < 0.0f ? 0.3f : 1.0f;
        const float bcTarget =
            static_cast<float>(std::clamp(answer.Brake, 0, kServiceBrakeNotches)) * 40.0f *
            airShare;
        const float bcStep = 200.0f * kFrameSeconds;
        bc += std::clamp(bcTarget - bc, -bcStep, bcStep);

        FrameInput& input = cycle.emplace_back();
        input.vehicle.Location = location;
        input.vehicle.Speed = speed;
        input.vehicle.BcPressure = bc;
        input.vehicle.MrPressure = 800.0f;
        input.vehicle.ErPressure = 490.0f;
        input.vehicle.BpPressure = 490.0f;
        input.vehicle.SapPressure = bc;
        input.vehicle.Current = current;
        input.power = powerHandle;
        input.brake = brakeHandle;

        drive.MoveHandles(input.power, input.brake);
        answer = drive.Elapse(input.vehicle);
        camcab::hostaudio::Advance(kFrameMs);

        // The train.
        const float traction = current > 0.0f ? current / 100.0f : 0.0f;  // km/h/s
        const float braking = static_cast<float>(brakeHandle) * 0.4f +    // km/h/s
                              (speed > 0.0f ? 0.15f : 0.0f);              // running resistance
        speed = std::max(0.0f, speed + (traction - braking) * kFrameSeconds);
        location += speed / 3.6 * kFrameSeconds;
        phaseMs += kFrameMs;
    }
    camcab::hostaudio::ClearCapture();
    return cycle;
}

// ---------------------------------------------------------------------------------------------
// The engine calls of a frame that Elapse cannot do without, on the plug-in's own voices: the
// pipe sound's volume at once, the exhaust loop's volume and each motor sound's frequency
// ratio and volume with the frame's operation set, and the commit of that set. The values
// are those the plug-in's last frame gave the voices, read back after its render.

class EngineCalls {
  public:
    explicit EngineCalls(camcab::Plugin& plugin)
        : sound_(plugin.sound),
          pipe_(plugin.sound.registry.pipeSound.voice.get()),
          exhaust_(plugin.sound.registry.bcSound.voice.get()) {
        for (const camcab::sound::SoundSlot& slot : sound_.registry.motorSounds) {
            motors_.push_back(Motor{slot.voice.get(), 1.0f, 0.0f});
        }
    }

    bool Complete() const {
        return sound_.audioEngine != nullptr && pipe_ != nullptr && exhaust_ != nullptr &&
               std::none_of(motors_.begin(), motors_.end(),
                            [](const Motor& m) { return m.voice == nullptr; });
    }
    int MotorSounds() const { return static_cast<int>(motors_.size()); }

    void ReadBack() {
        pipe_->GetVolume(pipeVolume_);
        exhaust_->GetVolume(exhaustVolume_);
        for (Motor& m : motors_) {
            m.voice->GetFrequencyRatio(m.ratio);
            m.voice->GetVolume(m.volume);
        }
    }

    // The calls themselves, in the order a frame makes them. Kept out of line, like Elapse,
    // so that a profile shows the two apart.
    __attribute__((noinline)) void Make(uint32_t set) {
        pipe_->SetVolume(pipeVolume_, camcab::platform::kCommitNow);
        exhaust_->SetVolume(exhaustVolume_, set);
        for (const Motor& m : motors_) {
            m.voice->SetFrequencyRatio(m.ratio, set);
            m.voice->SetVolume(m.volume, set);
        }
        sound_.audioEngine->CommitChanges(set);
    }

    // The next frame's operation set, drawn as the plug-in draws it.
    uint32_t NextSet() { return sound_.DrawOperationSet(); }

  private:
    struct Motor {
        SourceVoice* voice;
        float ratio;
        float volume;
    };
    camcab::sound::SoundSystem& sound_;
    SourceVoice* pipe_;
    SourceVoice* exhaust_;
    float pipeVolume_ = 0.0f;
    float exhaustVolume_ = 0.0f;
    std::vector<Motor> motors_;
};

// ---------------------------------------------------------------------------------------------
// The benchmarks.

struct FrameTimes {
    Clock::duration elapse{};
    Clock::duration calls{};
    Clock::duration render{};
    void operator+=(const FrameTimes& t) {
        elapse += t.elapse;
        calls += t.calls;
        render += t.render;
    }
};

// Heap counts of the frames played with them on; null: not counted.
struct Counting {
    heap::Tally* elapse = nullptr;
    heap::Tally* calls = nullptr;
};

// One frame of the cycle: Elapse and its render, then, with an engine, the same frame's engine
// calls alone and their render. The handle calls and the renders are neither timed nor
// counted.
FrameTimes PlayFrame(Drive& drive, EngineCalls* calls, const FrameInput& input,
                     const Counting& counting) {
    FrameTimes t;
    drive.MoveHandles(input.power, input.brake);
    if (counting.elapse != nullptr) {
        heap::StartCounting(*counting.elapse);
    }
    Clock::time_point begin = Clock::now();
    benchmark::DoNotOptimize(drive.Elapse(input.vehicle));
    Clock::time_point end = Clock::now();
    heap::StopCounting();
    t.elapse = end - begin;
    if (calls == nullptr) {
        return t;
    }
    camcab::hostaudio::Advance(kFrameMs);
    t.render = Clock::now() - end;

    calls->ReadBack();
    const uint32_t set = calls->NextSet();
    if (counting.calls != nullptr) {
        heap::StartCounting(*counting.calls);
    }
    begin = Clock::now();
    calls->Make(set);
    end = Clock::now();
    heap::StopCounting();
    t.calls = end - begin;
    camcab::hostaudio::Advance(kFrameMs);
    return t;
}

// Records a cycle, plays it once counting allocations, and then plays it over and over while
// the benchmark runs; each iteration is one frame, timed as Elapse alone.
// Events told on the host's event channel, when a benchmark offers one.
size_t toldEvents = 0;
void CountEvent(const char*) {
    ++toldEvents;
}

void Measure(benchmark::State& state, bool engine, bool eventChannel = false) {
    const int motorSounds = static_cast<int>(state.range(0));
    Drive drive(engine, motorSounds);
    if (eventChannel) {
        drive.plugin.sim.events.Attach(&CountEvent);
    }
    EngineCalls calls(drive.plugin);
    EngineCalls* withCalls = engine ? &calls : nullptr;
    if ((drive.plugin.sound.audioEngine != nullptr) != engine ||
        (engine && (!calls.Complete() || calls.MotorSounds() != motorSounds))) {
        state.SkipWithError("the vehicle did not load as intended");
        return;
    }
    const std::vector<FrameInput> cycle = RecordCycle(drive);
    const double frames = static_cast<double>(cycle.size());

    heap::PrepareBacktrace();
    heap::Tally elapseHeap;
    heap::Tally callsHeap;
    for (const FrameInput& input : cycle) {
        PlayFrame(drive, withCalls, input, Counting{&elapseHeap, &callsHeap});
    }
    camcab::hostaudio::ClearCapture();
    if (elapseHeap.Ours() > 0) {
        heap::PrintOurSites("Elapse", elapseHeap, cycle.size());
    }

    FrameTimes total;
    size_t next = 0;
    for (auto _ : state) {
        const FrameTimes t = PlayFrame(drive, withCalls, cycle[next], Counting{});
        state.SetIterationTime(std::chrono::duration<double>(t.elapse).count());
        total += t;
        if (++next == cycle.size()) {
            // The capture keeps its storage, so every cycle's render costs the same.
            camcab::hostaudio::ClearCapture();
            next = 0;
        }
    }

    const auto perFrame = [&](Clock::duration d) {
        return std::chrono::duration<double, std::nano>(d).count() /
               static_cast<double>(state.iterations());
    };
    state.counters["our_allocs"] = static_cast<double>(elapseHeap.Ours()) / frames;
    if (eventChannel) {
        state.counters["events"] =
            static_cast<double>(toldEvents) / static_cast<double>(state.iterations());
    }
    state.counters["cycle_frames"] = frames;
    if (engine) {
        state.counters["calls_ns"] = perFrame(total.calls);
        state.counters["ratio"] = perFrame(total.elapse) / perFrame(total.calls);
        state.counters["engine_allocs"] =
            static_cast<double>(elapseHeap.engineAllocations) / frames;
        state.counters["calls_engine_allocs"] =
            static_cast<double>(callsHeap.engineAllocations) / frames;
        state.counters["calls_our_allocs"] = static_cast<double>(callsHeap.Ours()) / frames;
        state.counters["render_us"] = perFrame(total.render) / 1000.0;
    }
}

// Time: Elapse per frame. calls_ns: the same frame's engine calls alone; ratio: the two's
// quotient. Allocations are per frame, on the host thread.
void BM_ElapseAgainstEngineCalls(benchmark::State& state) {
    Measure(state, true);
}

// As BM_ElapseAgainstEngineCalls, telling a host's event channel what happens (the workbench);
// without the channel (the simulator, above) Elapse does no event work at all.
void BM_ElapseTellingEvents(benchmark::State& state) {
    Measure(state, true, true);
}

// No engine: the simulation's own work, the chained module's call included.
void BM_ElapseWithoutEngine(benchmark::State& state) {
    Measure(state, false);
}

// A fixed count of about six whole drive cycles: the render after each frame costs far more
// than the timed calls would let the automatic iteration count allow for.
BENCHMARK(BM_ElapseAgainstEngineCalls)
    ->ArgName("motor_sounds")
    ->Arg(kSampleMotorSounds)
    ->Arg(32)
    ->UseManualTime()
    ->Iterations(16000);
BENCHMARK(BM_ElapseTellingEvents)
    ->ArgName("motor_sounds")
    ->Arg(kSampleMotorSounds)
    ->UseManualTime()
    ->Iterations(16000);
BENCHMARK(BM_ElapseWithoutEngine)  // no engine, so no motor sound bank either
    ->ArgName("motor_sounds")
    ->Arg(kSampleMotorSounds)
    ->UseManualTime()
    ->Iterations(160000);

}  // namespace
