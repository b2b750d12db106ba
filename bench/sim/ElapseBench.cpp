// What one frame of the sample vehicle costs the host's render thread: Elapse with the audio
// engine (its render timed apart), Elapse with the engine's render, Elapse without an engine
// (the simulation's own work), and the heap allocations Elapse makes per frame, ours told apart
// from the engine's. The train is driven through a repeating cycle of notching up with the
// current following the sample's power curves, coasting, and braking with regeneration.
#include <benchmark/benchmark.h>

#include <dlfcn.h>
#include <execinfo.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "HostAudio.h"
#include "config/Curve.h"
#include "plugin/Plugin.h"

// ---------------------------------------------------------------------------------------------
// Allocation counting. Every allocation function of the process comes here; only those made on
// a thread that switched counting on (the host thread, inside Elapse) are counted. An allocation
// whose immediate caller lies in the audio engine's libraries is the engine's own.

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);
void __libc_free(void* pointer);
void* __libc_memalign(size_t alignment, size_t size);
}

namespace heap {

constexpr int kStackDepth = 24;
constexpr int kHookFrames = 3;  // RecordSite, Note and the allocation function itself
constexpr int kMaxSites = 48;

// One distinct call stack that allocated, and how often.
struct Site {
    std::array<void*, kStackDepth> frames{};
    int depth = 0;
    uint64_t count = 0;
    bool engine = false;
};

struct Tally {
    uint64_t allocations = 0;
    uint64_t engineAllocations = 0;
    uint64_t bytes = 0;
    uint64_t unrecordedSites = 0;
    int siteCount = 0;
    Site sites[kMaxSites];
};

// Constant-initialised thread-locals of the program itself: reading them never allocates.
thread_local bool counting = false;
thread_local bool inside = false;
Tally tally;  // touched only by the thread that counts

bool InEngineLibrary(const void* address) {
    Dl_info info{};
    if (::dladdr(address, &info) == 0 || info.dli_fname == nullptr) {
        return false;
    }
    return std::strstr(info.dli_fname, "libFAudio") != nullptr ||
           std::strstr(info.dli_fname, "libSDL2") != nullptr;
}

__attribute__((noinline)) void RecordSite(bool engine) {
    void* frames[kStackDepth];
    const int depth = ::backtrace(frames, kStackDepth);
    for (int i = 0; i < tally.siteCount; ++i) {
        Site& site = tally.sites[i];
        if (site.depth == depth && std::equal(frames, frames + depth, site.frames.begin())) {
            ++site.count;
            return;
        }
    }
    if (tally.siteCount == kMaxSites) {
        ++tally.unrecordedSites;
        return;
    }
    Site& site = tally.sites[tally.siteCount++];
    std::copy(frames, frames + depth, site.frames.begin());
    site.depth = depth;
    site.count = 1;
    site.engine = engine;
}

__attribute__((noinline)) void Note(const void* caller, size_t size) {
    if (!counting || inside) {
        return;
    }
    inside = true;  // what the bookkeeping itself allocates is not counted
    const bool engine = InEngineLibrary(caller);
    ++tally.allocations;
    tally.bytes += size;
    if (engine) {
        ++tally.engineAllocations;
    }
    RecordSite(engine);
    inside = false;
}

void Reset() {
    tally.allocations = 0;
    tally.engineAllocations = 0;
    tally.bytes = 0;
    tally.unrecordedSites = 0;
    tally.siteCount = 0;
}

// The unwinder loads its library at the first backtrace: do that before anything is counted.
void PrepareBacktrace() {
    void* frames[4];
    ::backtrace(frames, 4);
}

void* AllocateOrThrow(size_t size, size_t alignment) {
    void* p = alignment <= __STDCPP_DEFAULT_NEW_ALIGNMENT__ ? __libc_malloc(size == 0 ? 1 : size)
                                                            : __libc_memalign(alignment, size);
    if (p == nullptr) {
        throw std::bad_alloc();
    }
    return p;
}

}  // namespace heap

extern "C" {

void* malloc(size_t size) noexcept {
    void* p = __libc_malloc(size);
    heap::Note(__builtin_return_address(0), size);
    return p;
}

void* calloc(size_t count, size_t size) noexcept {
    void* p = __libc_calloc(count, size);
    heap::Note(__builtin_return_address(0), count * size);
    return p;
}

void* realloc(void* pointer, size_t size) noexcept {
    void* p = __libc_realloc(pointer, size);
    heap::Note(__builtin_return_address(0), size);
    return p;
}

void free(void* pointer) noexcept {
    __libc_free(pointer);
}

void* memalign(size_t alignment, size_t size) noexcept {
    void* p = __libc_memalign(alignment, size);
    heap::Note(__builtin_return_address(0), size);
    return p;
}

void* aligned_alloc(size_t alignment, size_t size) noexcept {
    void* p = __libc_memalign(alignment, size);
    heap::Note(__builtin_return_address(0), size);
    return p;
}

int posix_memalign(void** result, size_t alignment, size_t size) noexcept {
    if (alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0) {
        return EINVAL;
    }
    void* p = __libc_memalign(alignment, size);
    heap::Note(__builtin_return_address(0), size);
    if (p == nullptr) {
        return ENOMEM;
    }
    *result = p;
    return 0;
}

}  // extern "C"

void* operator new(size_t size) {
    void* p = heap::AllocateOrThrow(size, 0);
    heap::Note(__builtin_return_address(0), size);
    return p;
}
void* operator new[](size_t size) {
    void* p = heap::AllocateOrThrow(size, 0);
    heap::Note(__builtin_return_address(0), size);
    return p;
}
void* operator new(size_t size, std::align_val_t alignment) {
    void* p = heap::AllocateOrThrow(size, static_cast<size_t>(alignment));
    heap::Note(__builtin_return_address(0), size);
    return p;
}
void* operator new[](size_t size, std::align_val_t alignment) {
    void* p = heap::AllocateOrThrow(size, static_cast<size_t>(alignment));
    heap::Note(__builtin_return_address(0), size);
    return p;
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    void* p = __libc_malloc(size == 0 ? 1 : size);
    heap::Note(__builtin_return_address(0), size);
    return p;
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    void* p = __libc_malloc(size == 0 ? 1 : size);
    heap::Note(__builtin_return_address(0), size);
    return p;
}
void* operator new(size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    void* p = __libc_memalign(static_cast<size_t>(alignment), size);
    heap::Note(__builtin_return_address(0), size);
    return p;
}
void* operator new[](size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    void* p = __libc_memalign(static_cast<size_t>(alignment), size);
    heap::Note(__builtin_return_address(0), size);
    return p;
}
void operator delete(void* p) noexcept {
    __libc_free(p);
}
void operator delete[](void* p) noexcept {
    __libc_free(p);
}
void operator delete(void* p, size_t) noexcept {
    __libc_free(p);
}
void operator delete[](void* p, size_t) noexcept {
    __libc_free(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
    __libc_free(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    __libc_free(p);
}
void operator delete(void* p, size_t, std::align_val_t) noexcept {
    __libc_free(p);
}
void operator delete[](void* p, size_t, std::align_val_t) noexcept {
    __libc_free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    __libc_free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    __libc_free(p);
}
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept {
    __libc_free(p);
}
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept {
    __libc_free(p);
}

// The host's keyboard, looked up by name in the host process: nothing is held down.
extern "C" __attribute__((visibility("default"))) int16_t CamcabHostKeyState(int32_t) {
    return 0;
}
extern "C" __attribute__((visibility("default"))) int32_t CamcabHostKeyboardState(uint8_t* keys) {
    std::memset(keys, 0, 256);
    return 1;
}

namespace {

namespace fs = std::filesystem;
using camcab::Handles;
using camcab::VehicleState;

constexpr int32_t kFrameMs = 20;
constexpr float kFrameSeconds = kFrameMs / 1000.0f;

// ---------------------------------------------------------------------------------------------
// The plug-in as the host holds it: a vehicle folder of its own with the sample's files and a
// chained module that hands the driver's handles on.

class Drive {
  public:
    explicit Drive(bool engine) : folder_(NewFolder()), plugin(folder_.wstring() + L"/") {
        camcab::hostaudio::UseSilentDevice();
        ::setenv("SDL_NO_SIGNAL_HANDLERS", "1", 0);
        fs::copy(CAMCAB_SAMPLE_VEHICLE, folder_, fs::copy_options::recursive);
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

    bool HasEngine() const { return plugin.sound.audioEngine != nullptr; }
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

int PowerStepsAllowed(int32_t notch) {
    int steps = 0;
    for (int32_t required : kPowerStepNotch) {
        steps += required <= notch ? 1 : 0;
    }
    return steps;
}

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

struct Cycle {
    std::vector<FrameInput> frames;
    int poweredFrames = 0;
    int regenFrames = 0;
};

// Drives one cycle closed-loop on `drive`, rendering as frames go by, and keeps what the host
// handed over on each frame: stand with the brake on, release, notch up to 5 while the
// camshaft steps up, shut off at 60 km/h, coast, brake to a stand with regeneration.
Cycle RecordCycle(Drive& drive) {
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
    Cycle cycle;
    for (int frame = 0; frame < 100000; ++frame) {
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
        if (phase == Phase::Stopped && phaseMs >= 2000) {
            return cycle;
        }

        // The motors: the host's camshaft steps up while the answered power notch allows, and
        // the regenerative brake builds up by steps after the breaker has closed.
        if (answer.Power > 0 && answer.Reverser != 0) {
            powerStepMs += kFrameMs;
            const int allowed = PowerStepsAllowed(answer.Power);
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

        FrameInput input{};
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
        cycle.frames.push_back(input);
        cycle.poweredFrames += current > 0.0f ? 1 : 0;
        cycle.regenFrames += current < 0.0f ? 1 : 0;

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
    return cycle;
}

// ---------------------------------------------------------------------------------------------
// Reporting what allocated.

std::string Run(const std::string& command) {
    std::string output;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char line[512];
        while (std::fgets(line, sizeof line, pipe) != nullptr) {
            output += line;
        }
        ::pclose(pipe);
    }
    while (!output.empty() && output.back() == '\n') {
        output.pop_back();
    }
    return output;
}

// "function at file:line (object)" of a return address, through addr2line.
std::string Describe(void* returnAddress) {
    Dl_info info{};
    if (::dladdr(returnAddress, &info) == 0 || info.dli_fname == nullptr) {
        return "?";
    }
    const auto offset = reinterpret_cast<uintptr_t>(returnAddress) - 1 -
                        reinterpret_cast<uintptr_t>(info.dli_fbase);
    char address[32];
    std::snprintf(address, sizeof address, "0x%zx", static_cast<size_t>(offset));
    std::string where = Run(std::string("addr2line -C -f -p -e '") + info.dli_fname + "' " +
                            address + " 2>/dev/null");
    if (where.empty() || where.rfind("??", 0) == 0) {
        where = info.dli_sname != nullptr ? info.dli_sname : "?";
    }
    return where + " (" + fs::path(info.dli_fname).filename().string() + "+" + address + ")";
}

bool InProgram(void* address) {
    Dl_info info{};
    Dl_info self{};
    return ::dladdr(address, &info) != 0 &&
           ::dladdr(reinterpret_cast<void*>(&Describe), &self) != 0 &&
           info.dli_fbase == self.dli_fbase;
}

// Prints every stack that allocated: ours whole, the engine's from the first frame of ours on;
// stacks that read the same are merged.
void PrintSites(const char* title, const heap::Tally& tally, size_t frames) {
    std::fprintf(stderr, "\n%s: %llu allocations in %zu frames, %llu of them the engine's\n", title,
                 static_cast<unsigned long long>(tally.allocations), frames,
                 static_cast<unsigned long long>(tally.engineAllocations));
    std::vector<std::pair<std::string, uint64_t>> merged;
    for (int i = 0; i < tally.siteCount; ++i) {
        const heap::Site& site = tally.sites[i];
        std::string text = site.engine ? "  engine" : "  OURS";
        int printed = 0;
        bool reachedOurs = !site.engine;
        for (int k = heap::kHookFrames; k < site.depth && printed < 12; ++k) {
            void* frame = site.frames[static_cast<size_t>(k)];
            if (!reachedOurs && !InProgram(frame)) {
                continue;
            }
            reachedOurs = true;
            text += "\n    " + Describe(frame);
            ++printed;
            if (site.engine && printed == 3) {
                break;
            }
        }
        auto same = std::find_if(merged.begin(), merged.end(),
                                 [&](const auto& entry) { return entry.first == text; });
        if (same == merged.end()) {
            merged.emplace_back(text, site.count);
        } else {
            same->second += site.count;
        }
    }
    for (const auto& [text, count] : merged) {
        std::fprintf(stderr, "%s\n    (%llu times)\n", text.c_str(),
                     static_cast<unsigned long long>(count));
    }
    if (tally.unrecordedSites > 0) {
        std::fprintf(stderr, "  %llu allocations from further stacks\n",
                     static_cast<unsigned long long>(tally.unrecordedSites));
    }
}

struct AllocationCount {
    double all = 0.0;     // per frame
    double engine = 0.0;  // per frame
    double bytes = 0.0;   // per frame
};

// Replays one cycle counting the allocations inside Elapse only; the handle calls and the
// render around it are not counted.
AllocationCount CountCycle(Drive& drive, const Cycle& cycle, const char* title) {
    heap::PrepareBacktrace();
    heap::Reset();
    for (const FrameInput& input : cycle.frames) {
        drive.MoveHandles(input.power, input.brake);
        heap::counting = true;
        benchmark::DoNotOptimize(drive.Elapse(input.vehicle));
        heap::counting = false;
        camcab::hostaudio::Advance(kFrameMs);
    }
    const double frames = static_cast<double>(cycle.frames.size());
    AllocationCount count;
    count.all = static_cast<double>(heap::tally.allocations) / frames;
    count.engine = static_cast<double>(heap::tally.engineAllocations) / frames;
    count.bytes = static_cast<double>(heap::tally.bytes) / frames;
    if (title != nullptr) {
        PrintSites(title, heap::tally, cycle.frames.size());
    }
    camcab::hostaudio::ClearCapture();
    return count;
}

// Starts a drive: one cycle recorded closed-loop (the first frames), one counted.
struct Prepared {
    Cycle cycle;
    AllocationCount allocations;
};

Prepared Prepare(benchmark::State& state, Drive& drive, bool engine, bool& printed) {
    Prepared prepared;
    if (drive.HasEngine() != engine) {
        state.SkipWithError(engine ? "no audio engine" : "an audio engine was made");
        return prepared;
    }
    prepared.cycle = RecordCycle(drive);
    camcab::hostaudio::ClearCapture();
    const char* title = nullptr;
    if (!printed) {
        title = engine ? "Elapse with the engine" : "Elapse without an engine";
        printed = true;
    }
    prepared.allocations = CountCycle(drive, prepared.cycle, title);
    return prepared;
}

void SetCounters(benchmark::State& state, const Prepared& prepared, bool engine) {
    const AllocationCount& a = prepared.allocations;
    state.counters["allocs_per_frame"] = a.all;
    state.counters["our_allocs_per_frame"] = a.all - a.engine;
    if (engine) {
        state.counters["engine_allocs_per_frame"] = a.engine;
    }
    state.counters["alloc_bytes_per_frame"] = a.bytes;
    state.counters["cycle_frames"] = static_cast<double>(prepared.cycle.frames.size());
    state.counters["powered_frames"] = prepared.cycle.poweredFrames;
    state.counters["regen_frames"] = prepared.cycle.regenFrames;
}

// The next frame of the cycle. At each cycle's end the capture of the rendered sound is
// emptied; it keeps its storage, so every cycle's render costs the same and memory stays put.
size_t Following(size_t index, size_t count) {
    if (index + 1 < count) {
        return index + 1;
    }
    camcab::hostaudio::ClearCapture();
    return 0;
}

// Elapse alone, timed by hand around each call; the render that follows each frame is timed
// too and reported as render_us_per_frame.
void BM_ElapseWithEngine(benchmark::State& state) {
    static bool printed = false;
    Drive drive(true);
    const Prepared prepared = Prepare(state, drive, true, printed);
    if (prepared.cycle.frames.empty()) {
        return;
    }
    using Clock = std::chrono::steady_clock;
    const std::vector<FrameInput>& frames = prepared.cycle.frames;
    size_t next = 0;
    Clock::duration render{};
    for (auto _ : state) {
        const FrameInput& input = frames[next];
        next = Following(next, frames.size());
        drive.MoveHandles(input.power, input.brake);
        const Clock::time_point begin = Clock::now();
        benchmark::DoNotOptimize(drive.Elapse(input.vehicle));
        const Clock::time_point elapsed = Clock::now();
        camcab::hostaudio::Advance(kFrameMs);
        render += Clock::now() - elapsed;
        state.SetIterationTime(std::chrono::duration<double>(elapsed - begin).count());
    }
    SetCounters(state, prepared, true);
    state.counters["render_us_per_frame"] =
        benchmark::Counter(std::chrono::duration<double, std::micro>(render).count(),
                           benchmark::Counter::kAvgIterations);
}

// Elapse and the render of its 20 ms of audio: the whole cost of a frame to the host's thread.
void BM_ElapseAndRender(benchmark::State& state) {
    static bool printed = true;  // the sites are those of BM_ElapseWithEngine
    Drive drive(true);
    const Prepared prepared = Prepare(state, drive, true, printed);
    if (prepared.cycle.frames.empty()) {
        return;
    }
    const std::vector<FrameInput>& frames = prepared.cycle.frames;
    size_t next = 0;
    for (auto _ : state) {
        const FrameInput& input = frames[next];
        next = Following(next, frames.size());
        drive.MoveHandles(input.power, input.brake);
        benchmark::DoNotOptimize(drive.Elapse(input.vehicle));
        camcab::hostaudio::Advance(kFrameMs);
    }
    SetCounters(state, prepared, true);
}

// No engine: the simulation's own work, the chained module's call included.
void BM_ElapseWithoutEngine(benchmark::State& state) {
    static bool printed = false;
    Drive drive(false);
    const Prepared prepared = Prepare(state, drive, false, printed);
    if (prepared.cycle.frames.empty()) {
        return;
    }
    const std::vector<FrameInput>& frames = prepared.cycle.frames;
    size_t next = 0;
    for (auto _ : state) {
        const FrameInput& input = frames[next];
        next = Following(next, frames.size());
        drive.MoveHandles(input.power, input.brake);
        benchmark::DoNotOptimize(drive.Elapse(input.vehicle));
    }
    SetCounters(state, prepared, false);
}

// Fixed or long runs, so that about a dozen whole drive cycles are measured: the render of each
// frame costs far more than the timed Elapse would let the automatic iteration count allow for.
BENCHMARK(BM_ElapseWithEngine)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(32000);
BENCHMARK(BM_ElapseAndRender)->Unit(benchmark::kMicrosecond)->MinTime(2.0);
BENCHMARK(BM_ElapseWithoutEngine)->Unit(benchmark::kNanosecond);

}  // namespace
