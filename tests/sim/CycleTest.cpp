// The host loads and disposes the plug-in once per scenario, many times in one process. The
// built library, with the sample vehicle's sounds and its chained module, must come back the
// same each time and keep no memory from the cycles before.
#include <gtest/gtest.h>
#include <malloc.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "HostAudio.h"
#include "SoundTestSupport.h"
#include "chain/DetailModule.h"
#include "platform/Module.h"
#include "support/TempFolder.h"

namespace camcab::test {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr int kCycles = 50;  // LeakSanitizer checks the whole run at exit
#else
constexpr int kCycles = 1000;
#endif
constexpr int kLineVoltagePanel = 232;

size_t ResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    size_t pages = 0;
    size_t resident = 0;
    statm >> pages >> resident;
    return resident * static_cast<size_t>(::sysconf(_SC_PAGESIZE));
}

// One scenario: notch up through curve 1, brake, and leave the cab as it was found (handles,
// reverser and doors, which the library keeps from one scenario to the next); every frame's
// answer written down, the wandering line voltage aside.
std::vector<std::string> Drive(const chain::DetailModule& p) {
    p.Load();
    p.SetVehicleSpec(VehicleSpec{8, 5, 1, 6, 4});
    p.Initialize(0);
    p.DoorClose();
    p.SetReverser(1);
    std::array<int32_t, 256> panel{};
    std::array<int32_t, 256> sound{};
    VehicleState state{};
    state.MrPressure = 600.0f;
    std::vector<std::string> answers;
    for (int frame = 0; frame < 150; ++frame) {
        if (frame == 20) {
            p.SetPower(2);
        }
        if (frame == 45) {
            p.SetPower(0);
            p.SetBrake(3);
        }
        if (frame == 70) {
            p.SetBrake(0);
            p.SetReverser(0);
            p.DoorOpen();
        }
        state.Time += 20;
        state.Current = frame < 30 || frame >= 70 ? 0.0f : frame < 45 ? 212.0f : -100.0f;
        state.Speed = frame < 30 || frame >= 70 ? 0.0f : 3.0f;
        const Handles h = p.Elapse(state, panel.data(), sound.data());
        hostaudio::Advance(20.0);
        panel[kLineVoltagePanel] = 0;
        std::string answer = std::to_string(h.Brake) + " " + std::to_string(h.Power) + " " +
                             std::to_string(h.Reverser) + ":";
        for (size_t i = 0; i < panel.size(); ++i) {
            answer += " " + std::to_string(panel[i]) + "/" + std::to_string(sound[i]);
        }
        answers.push_back(answer);
    }
    p.Dispose();
    return answers;
}

TEST(Cycles, LoadFramesDisposeComeBackTheSameWithoutGrowing) {
    hostaudio::UseSilentDevice();
    TempFolder folder(L"camcab-cycles");
    std::filesystem::copy(BuiltFile(CAMCAB_SAMPLE_VEHICLE), folder.Path(),
                          std::filesystem::copy_options::recursive);
    folder.Copy(BuiltFile(CAMCAB_PLUGIN_FILE), L"libcamcab.so");
    folder.Copy(BuiltFile(CAMCAB_PASSTHROUGH_FILE), L"camcab-passthrough.so");
    const platform::ModuleHandle module = platform::LoadModule(folder.FileString(L"libcamcab.so"));
    ASSERT_NE(module, nullptr) << platform::LastModuleError();
    const chain::DetailModule plugin = chain::BindDetailModule(module);
    const std::filesystem::path logPath = folder.File(L"XAudio2初期化ログ.txt");

    // The first cycle after the library is loaded also stops every host sound on its first
    // frame; the cycles after it must all answer like the second.
    Drive(plugin);
    const std::string firstLog = MaskTimes(ReadFileBytes(logPath));
    ASSERT_NE(firstLog.find("XAudio2初期化完了"), std::string::npos);
    const std::vector<std::string> secondAnswers = Drive(plugin);
    ASSERT_EQ(secondAnswers[50].substr(0, 2), "3 ") << "the brake came through the chain";
    size_t residentAtTen = 0;
    std::vector<std::string> lastAnswers;
    for (int cycle = 3; cycle <= kCycles; ++cycle) {
        lastAnswers = Drive(plugin);
        hostaudio::ClearCapture();
        if (cycle == 10) {
            malloc_trim(0);
            residentAtTen = ResidentBytes();
        }
    }
    ASSERT_EQ(lastAnswers.size(), secondAnswers.size());
    for (size_t frame = 0; frame < lastAnswers.size(); ++frame) {
        ASSERT_EQ(lastAnswers[frame], secondAnswers[frame]) << "frame " << frame + 1;
    }
    EXPECT_EQ(MaskTimes(ReadFileBytes(logPath)), firstLog);
#if defined(__SANITIZE_ADDRESS__)
    (void)residentAtTen;  // the sanitizer's own bookkeeping grows; LeakSanitizer checks instead
#else
    malloc_trim(0);
    const size_t residentAtEnd = ResidentBytes();
    EXPECT_LT(residentAtEnd, residentAtTen + 1024 * 1024)
        << "grew by " << (static_cast<double>(residentAtEnd) - residentAtTen) / 1024 << " KiB";
#endif
    // The library stays loaded to the end of the process, as in the host.
}

}  // namespace
}  // namespace camcab::test
