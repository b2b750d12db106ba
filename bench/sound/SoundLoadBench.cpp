// What loading the sounds costs: the sample vehicle's Load, and a folder of 100 sounds
// (50 MB of PCM), each against only reading the same files; and the peak resident memory of
// that load against the decoded PCM it holds.
#include <benchmark/benchmark.h>

#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "HostAudio.h"
#include "WaveFile.h"
#include "platform/AudioDecoder.h"
#include "plugin/Plugin.h"
#include "sound/SoundRegistry.h"

namespace {

namespace fs = std::filesystem;

constexpr int kSoundCount = 100;
constexpr size_t kPcmBytesPerSound = 500 * 1024;  // 100 x 500 KiB = 50 MiB

// A scratch folder for the whole run.
struct Folder {
    Folder() : path(fs::temp_directory_path() / ("camcab-bench-" + std::to_string(::getpid()))) {
        fs::create_directories(path);
    }
    ~Folder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    fs::path path;
};

Folder& Scratch() {
    static Folder folder;
    return folder;
}

// The sample vehicle, copied so that its start-up log is written outside the source tree.
const fs::path& SampleVehicle() {
    static const fs::path vehicle = [] {
        const fs::path copy = Scratch().path / "vehicle";
        fs::copy(CAMCAB_SAMPLE_VEHICLE, copy,
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        return copy;
    }();
    return vehicle;
}

std::vector<fs::path> WaveFilesIn(const fs::path& folder) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file() && entry.path().extension() == ".wav") {
            files.push_back(entry.path());
        }
    }
    return files;
}

// 100 sounds of 16-bit stereo noise-like tones, 500 KiB of PCM each.
const std::vector<fs::path>& ManySounds() {
    static const std::vector<fs::path> files = [] {
        std::vector<fs::path> made;
        camcab::hostaudio::WaveLayout layout;
        layout.channels = 2;
        const size_t samples = kPcmBytesPerSound / 2;
        for (int k = 0; k < kSoundCount; ++k) {
            std::vector<float> values(samples);
            uint32_t state = 12345u + static_cast<uint32_t>(k);
            for (float& v : values) {
                state = state * 1664525u + 1013904223u;
                v = static_cast<float>(state >> 8) / 16777216.0f - 0.5f;
            }
            const fs::path file = Scratch().path / "many" / ("sound" + std::to_string(k) + ".wav");
            camcab::hostaudio::WriteFileBytes(
                file, camcab::hostaudio::WaveBytes(
                          layout, camcab::hostaudio::EncodeSamples(layout, values)));
            made.push_back(file);
        }
        return made;
    }();
    return files;
}

size_t ReadAll(const std::vector<fs::path>& files) {
    size_t bytes = 0;
    std::vector<char> buffer(1 << 20);
    for (const fs::path& file : files) {
        std::ifstream in(file, std::ios::binary);
        while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) ||
               in.gcount() > 0) {
            bytes += static_cast<size_t>(in.gcount());
        }
    }
    return bytes;
}

camcab::config::MotorSoundConfig BankOf(const std::vector<fs::path>& files) {
    camcab::config::MotorSoundConfig config;
    for (const fs::path& file : files) {
        config.MotorSoundFiles.push_back(file.wstring());
    }
    config.MotorSoundCount = files.size();
    config.PowerFrequencyCurves.resize(files.size(), {{0.0f, 1.0f}, {100.0f, 2.0f}});
    config.BrakeFrequencyCurves.resize(files.size());
    config.NeutralFrequencyCurves.resize(files.size());
    return config;
}

// Minor page faults of this process so far: first touches of fresh memory.
long MinorFaults() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// VmRSS or VmHWM of this process, in bytes.
size_t ResidentBytes(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0) {
            std::istringstream values(line.substr(std::string(field).size() + 1));
            size_t kib = 0;
            values >> kib;
            return kib * 1024;
        }
    }
    return 0;
}

void BM_ReadSampleVehicleWaves(benchmark::State& state) {
    const std::vector<fs::path> files = WaveFilesIn(SampleVehicle());
    size_t bytes = 0;
    for (auto _ : state) {
        bytes = ReadAll(files);
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["files"] = static_cast<double>(files.size());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

void BM_LoadSampleVehicle(benchmark::State& state) {
    camcab::hostaudio::UseSilentDevice();
    camcab::Plugin plugin(SampleVehicle().wstring() + L"/");
    for (auto _ : state) {
        plugin.Load();
        state.PauseTiming();
        plugin.Dispose();  // the engine's release (about 20 ms) is not part of Load
        state.ResumeTiming();
    }
}

// The engine and its mastering voice alone: the part of Load that reads no file.
void BM_CreateEngine(benchmark::State& state) {
    camcab::hostaudio::UseSilentDevice();
    for (auto _ : state) {
        camcab::platform::EngineRef engine;
        camcab::platform::MasteringVoicePtr master;
        camcab::platform::CreateAudioEngine(engine, 0, camcab::platform::kDefaultProcessor);
        engine->CreateMasteringVoice(master, 0, 0, 0, camcab::platform::kCategoryGameEffects);
        state.PauseTiming();
        master.release();  // the engine frees it with itself
        engine.reset();
        state.ResumeTiming();
    }
}

void BM_ReadManySounds(benchmark::State& state) {
    const std::vector<fs::path>& files = ManySounds();
    size_t bytes = 0;
    for (auto _ : state) {
        bytes = ReadAll(files);
        benchmark::DoNotOptimize(bytes);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

// An engine with its mastering voice, as Load makes them (the engine frees the mastering voice
// with itself); empty when there is none.
camcab::platform::EngineRef RunningEngine() {
    camcab::platform::EngineRef engine;
    camcab::platform::MasteringVoicePtr master;
    if (camcab::platform::CreateAudioEngine(engine, 0, camcab::platform::kDefaultProcessor) != 0 ||
        engine->CreateMasteringVoice(master, 0, 0, 0, camcab::platform::kCategoryGameEffects) !=
            0) {
        return {};
    }
    master.release();
    return engine;
}

// Decoding the 100 sounds into slots on a running engine, as Load does for a bank.
void BM_LoadManySounds(benchmark::State& state) {
    camcab::hostaudio::UseSilentDevice();
    const camcab::config::MotorSoundConfig config = BankOf(ManySounds());
    camcab::platform::EngineRef engine = RunningEngine();
    if (!engine) {
        state.SkipWithError("no audio engine");
        return;
    }
    // Start the peak afresh, so that it tells this load: hand the memory freed by making the
    // files back to the system, then reset VmHWM (writing 5 to clear_refs).
    ::malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
    const size_t residentBefore = ResidentBytes("VmRSS:");
    size_t pcmBytes = 0;
    for (auto _ : state) {
        camcab::sound::SoundRegistry registry;
        camcab::sound::LoadSounds(registry, engine, nullptr, config,
                                  Scratch().path.wstring() + L"/");
        state.PauseTiming();
        pcmBytes = 0;
        for (const camcab::sound::SoundSlot& slot : registry.motorSounds) {
            pcmBytes += slot.pcm.size();
        }
        camcab::sound::UnloadSounds(registry);
        state.ResumeTiming();
    }
    engine.reset();
    state.counters["pcm_MiB"] = static_cast<double>(pcmBytes) / (1 << 20);
    state.counters["peak_rss_growth_MiB"] =
        static_cast<double>(ResidentBytes("VmHWM:") -
                            std::min(residentBefore, ResidentBytes("VmHWM:"))) /
        (1 << 20);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * pcmBytes));
}

// The decoder alone (libsndfile into PCM in memory), file by file, as the slots use it.
// With `kept`, every file's PCM stays in memory, as a load keeps it.
size_t DecodeAll(const std::vector<fs::path>& files,
                 std::vector<std::vector<uint8_t>>* kept = nullptr) {
    size_t bytes = 0;
    for (const fs::path& file : files) {
        std::unique_ptr<camcab::platform::AudioFileReader> reader;
        if (camcab::platform::OpenAudioFile(file.wstring(), reader) < 0) {
            continue;
        }
        std::vector<uint8_t> pcm;
        pcm.reserve(kPcmBytesPerSound);
        bool end = false;
        while (!end && reader->ReadSample(pcm, end) >= 0) {
        }
        bytes += pcm.size();
        if (kept != nullptr) {
            kept->push_back(std::move(pcm));
        }
    }
    return bytes;
}

// Loading the 100-sound bank against decoding the same files alone, in the same run: the
// iteration time is the load; `ratio` is load time over decode time (the goal is 1.5 at most).
// The decoding reuses one buffer, while the load keeps 50 MB: `load_faults` counts the fresh
// pages it touches, and `first_touch_ms` is the time to write that much fresh memory alone.
// `ratio_to_kept` compares the load with decoding that keeps every file's PCM too.
void BM_LoadAgainstDecodeManySounds(benchmark::State& state) {
    camcab::hostaudio::UseSilentDevice();
    const camcab::config::MotorSoundConfig config = BankOf(ManySounds());
    camcab::platform::EngineRef engine = RunningEngine();
    if (!engine) {
        state.SkipWithError("no audio engine");
        return;
    }
    using Clock = std::chrono::steady_clock;
    Clock::duration decoding{};
    Clock::duration loading{};
    Clock::duration touching{};
    Clock::duration decodingKept{};
    long decodeFaults = 0;
    long loadFaults = 0;
    for (auto _ : state) {
        const long faultsBefore = MinorFaults();
        const Clock::time_point begin = Clock::now();
        benchmark::DoNotOptimize(DecodeAll(ManySounds()));
        const Clock::time_point decoded = Clock::now();
        const long faultsDecoded = MinorFaults();
        std::vector<std::vector<uint8_t>> kept;
        const Clock::time_point keepBegin = Clock::now();
        benchmark::DoNotOptimize(DecodeAll(ManySounds(), &kept));
        decodingKept += Clock::now() - keepBegin;
        kept.clear();
        kept.shrink_to_fit();
        const long faultsBeforeLoad = MinorFaults();
        const Clock::time_point loadBegin = Clock::now();
        camcab::sound::SoundRegistry registry;
        camcab::sound::LoadSounds(registry, engine, nullptr, config,
                                  Scratch().path.wstring() + L"/");
        const Clock::time_point loaded = Clock::now();
        loadFaults += MinorFaults() - faultsBeforeLoad;
        decodeFaults += faultsDecoded - faultsBefore;
        std::vector<size_t> sizes;
        for (const camcab::sound::SoundSlot& slot : registry.motorSounds) {
            sizes.push_back(slot.pcm.size());
        }
        camcab::sound::UnloadSounds(registry);
        // The floor beside decoding: fresh memory of the same sizes, each page written once.
        const Clock::time_point touchBegin = Clock::now();
        {
            std::vector<std::vector<uint8_t>> fresh;
            fresh.reserve(sizes.size());
            for (const size_t size : sizes) {
                fresh.emplace_back(size);
            }
            benchmark::DoNotOptimize(fresh.data());
        }
        touching += Clock::now() - touchBegin;
        decoding += decoded - begin;
        loading += loaded - loadBegin;
        state.SetIterationTime(std::chrono::duration<double>(loaded - loadBegin).count());
    }
    engine.reset();
    state.counters["decode_ms"] =
        benchmark::Counter(std::chrono::duration<double, std::milli>(decoding).count(),
                           benchmark::Counter::kAvgIterations);
    state.counters["first_touch_ms"] =
        benchmark::Counter(std::chrono::duration<double, std::milli>(touching).count(),
                           benchmark::Counter::kAvgIterations);
    state.counters["decode_faults"] =
        benchmark::Counter(static_cast<double>(decodeFaults), benchmark::Counter::kAvgIterations);
    state.counters["load_faults"] =
        benchmark::Counter(static_cast<double>(loadFaults), benchmark::Counter::kAvgIterations);
    state.counters["ratio"] = std::chrono::duration<double>(loading).count() /
                              std::chrono::duration<double>(decoding).count();
    state.counters["ratio_to_kept"] = std::chrono::duration<double>(loading).count() /
                                      std::chrono::duration<double>(decodingKept).count();
}

// Registered in this order so that the peak memory counter of the bank load is measured
// before the sample vehicle or anything else raised the peak.
BENCHMARK(BM_LoadManySounds)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ReadManySounds)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadAgainstDecodeManySounds)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(5);
BENCHMARK(BM_LoadSampleVehicle)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CreateEngine)->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK(BM_ReadSampleVehicleWaves)->Unit(benchmark::kMicrosecond);

}  // namespace
