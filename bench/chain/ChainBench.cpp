// Cost of the detail-module chain per frame, against calling the same modules' Elapse
// directly: the difference is the chain's own overhead.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "chain/DetailModuleChain.h"

namespace {

using camcab::chain::ChainInputs;
using camcab::chain::DetailModuleChain;

// A folder holding `count` copies of the do-nothing module and a list file naming them.
class IdleModules {
  public:
    explicit IdleModules(int count) {
        std::random_device random;
        folder_ = std::filesystem::temp_directory_path() /
                  ("camcab-chain-bench-" + std::to_string(random()));
        std::filesystem::create_directories(folder_);
        std::ofstream list(folder_ / "detailmodulesx64.txt", std::ios::binary);
        for (int i = 0; i < count; ++i) {
            const std::string name = "idle" + std::to_string(i) + CAMCAB_LIBRARY_SUFFIX;
            std::filesystem::copy_file(CAMCAB_IDLE_MODULE_FILE, folder_ / name);
            list << name << (i + 1 < count ? "\n" : "");
        }
        list.close();
        std::wstring directory = folder_.wstring();
        directory.push_back(static_cast<wchar_t>(std::filesystem::path::preferred_separator));
        chain.LoadModules(directory);
    }
    ~IdleModules() {
        chain.UnloadModules();
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

    DetailModuleChain chain;

  private:
    std::filesystem::path folder_;
};

const camcab::VehicleState kState{1000.0, 60.0f,  36000000, 100.0f, 800.0f,
                                  490.0f, 490.0f, 0.0f,     250.0f};

void ChainElapse(benchmark::State& state) {
    IdleModules modules(static_cast<int>(state.range(0)));
    int32_t panel[256] = {};
    int32_t sound[256] = {};
    const ChainInputs inputs{3, 0, 1, true};
    modules.chain.Run(kState, panel, sound, inputs);  // the priming run
    for (auto _ : state) {
        benchmark::DoNotOptimize(modules.chain.Run(kState, panel, sound, inputs));
    }
    state.counters["modules"] = static_cast<double>(modules.chain.modules().size());
}

// The driver's power notch changes every frame, so each module also hears SetPower.
void ChainElapseChangingPower(benchmark::State& state) {
    IdleModules modules(static_cast<int>(state.range(0)));
    int32_t panel[256] = {};
    int32_t sound[256] = {};
    ChainInputs inputs{3, 0, 1, true};
    modules.chain.Run(kState, panel, sound, inputs);
    for (auto _ : state) {
        inputs.powerNotch ^= 1;
        benchmark::DoNotOptimize(modules.chain.Run(kState, panel, sound, inputs));
    }
}

// The same modules' Elapse called one after the other, with nothing around them.
void DirectElapse(benchmark::State& state) {
    IdleModules modules(static_cast<int>(state.range(0)));
    int32_t panel[256] = {};
    int32_t sound[256] = {};
    const auto& list = modules.chain.modules();
    for (auto _ : state) {
        camcab::Handles merged{};
        for (std::size_t i = 0; i < list.size(); ++i) {
            merged = list[i].Elapse(kState, panel, sound);
        }
        benchmark::DoNotOptimize(merged);
    }
}

BENCHMARK(ChainElapse)->Arg(0)->Arg(1)->Arg(4);
BENCHMARK(DirectElapse)->Arg(0)->Arg(1)->Arg(4);
BENCHMARK(ChainElapseChangingPower)->Arg(1)->Arg(4);

}  // namespace
