// Costs of the configuration readers: curve evaluation per call, table reading against
// plain reading of the same bytes, and the whole configuration of the sample vehicle.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "config/ConfigText.h"
#include "config/Curve.h"
#include "config/MotorSoundConfig.h"
#include "config/NeedleTables.h"
#include "config/NotchTable.h"
#include "config/PanelTest.h"
#include "platform/FileSystem.h"

namespace camcab::config {
namespace {

constexpr int kColumns = 12;

// A current table: speed and twelve step currents per row, written once per row count.
std::wstring TableFile(int64_t rows) {
    const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                       ("camcab-bench-table-" + std::to_string(rows) + ".csv");
    if (!std::filesystem::exists(path)) {
        std::ofstream out(path, std::ios::binary);
        out << "speed";
        for (int c = 1; c <= kColumns; ++c) {
            out << ", step" << c;
        }
        out << "\n";
        for (int64_t row = 0; row < rows; ++row) {
            out << (static_cast<double>(row) * 0.01);
            for (int c = 1; c <= kColumns; ++c) {
                out << ", " << (120.0 + 18.0 * c + static_cast<double>(row % 1000) * 0.25);
            }
            out << "\n";
        }
    }
    return path.wstring();
}

std::vector<uint64_t> AllColumns() {
    std::vector<uint64_t> columns;
    for (uint64_t c = 1; c <= kColumns; ++c) {
        columns.push_back(c);
    }
    return columns;
}

void BM_InterpolateCurve(benchmark::State& state) {
    const auto points = static_cast<size_t>(state.range(0));
    Curve curve;
    for (size_t i = 0; i < points; ++i) {
        curve.push_back({static_cast<float>(i) * 10.0f, static_cast<float>(i * i) * 0.5f});
    }
    // Inputs spread over the whole curve and a little beyond both ends.
    std::vector<float> inputs;
    for (int i = 0; i < 1024; ++i) {
        inputs.push_back(-5.0f + static_cast<float>(i) *
                                     (static_cast<float>(points) * 10.0f + 10.0f) / 1024.0f);
    }
    size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(InterpolateCurve(inputs[next], curve));
        next = (next + 1) & 1023;
    }
}
BENCHMARK(BM_InterpolateCurve)->Arg(2)->Arg(8)->Arg(64);

void BM_ReadColumnCurves(benchmark::State& state) {
    const std::wstring path = TableFile(state.range(0));
    const std::vector<uint64_t> columns = AllColumns();
    std::vector<Curve> curves;
    for (auto _ : state) {
        ReadColumnCurves(path, columns, curves);
        benchmark::DoNotOptimize(curves.data());
    }
    state.counters["rows/s"] = benchmark::Counter(
        static_cast<double>(state.range(0)) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReadColumnCurves)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// The same file's lines decoded to wide text, without fields or numbers.
void BM_ReadConfigLines(benchmark::State& state) {
    const std::wstring path = TableFile(state.range(0));
    for (auto _ : state) {
        ConfigFile file = OpenConfigFile(path);
        std::wstring line;
        size_t characters = 0;
        while (ReadConfigLine(file, line)) {
            characters += line.size();
        }
        benchmark::DoNotOptimize(characters);
    }
    state.counters["rows/s"] = benchmark::Counter(
        static_cast<double>(state.range(0)) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReadConfigLines)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// The same file's bytes read in blocks, nothing else.
void BM_ReadBytes(benchmark::State& state) {
    const std::wstring path = TableFile(state.range(0));
    std::vector<char> buffer(64 * 1024);
    for (auto _ : state) {
        std::FILE* file = platform::OpenForReading(path);
        size_t total = 0;
        size_t got = 0;
        while ((got = std::fread(buffer.data(), 1, buffer.size(), file)) > 0) {
            total += got;
        }
        std::fclose(file);
        benchmark::DoNotOptimize(total);
    }
    state.counters["rows/s"] = benchmark::Counter(
        static_cast<double>(state.range(0)) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReadBytes)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// Everything Load reads from the configuration files of the sample vehicle.
void BM_LoadSampleVehicleConfiguration(benchmark::State& state) {
    const std::wstring directory = std::filesystem::path(CAMCAB_SAMPLE_VEHICLE).wstring();
    for (auto _ : state) {
        NotchTable notch;
        LoadNotchTable(notch, JoinPath(directory, L"notch\\notch.txt"));
        MotorSoundConfig motor;
        LoadMotorSoundConfig(motor, directory);
        benchmark::DoNotOptimize(TestPanelModify(directory));
        NeedleTables needles;
        ReadNeedleTables(needles, directory);
        benchmark::DoNotOptimize(needles.speedNeedleTable.data());
    }
}
BENCHMARK(BM_LoadSampleVehicleConfiguration)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace camcab::config
