// The recorder module loaded as the host loads it: what it writes, in which order, how it
// answers the handles, and how it behaves when its file cannot be made or written.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "Scenario.h"
#include "ScenarioWriter.h"
#include "chain/DetailModule.h"
#include "platform/Module.h"
#include "support/TempFolder.h"

#ifndef _WIN32
#include <sys/resource.h>

#include <csignal>
#endif

namespace camcab::test {
namespace {

namespace fs = std::filesystem;

// The recorder copied into a folder of its own, whose name needs wide paths.
class RecorderFolder {
  public:
    RecorderFolder() : folder_(L"camcab-録音 テスト") {
        const fs::path built = BuiltFile(CAMCAB_RECORDER_FILE);
        fs::copy_file(built, folder_.Path() / built.filename());
        module_ = platform::LoadModule(WideFromPath(folder_.Path() / built.filename()));
        if (module_ == nullptr) {
            throw std::runtime_error("cannot load the recorder: " + platform::LastModuleError());
        }
        calls_ = chain::BindDetailModule(module_);
    }
    ~RecorderFolder() { Unload(); }

    // Unloads the module, as a host that ends without Dispose does.
    void Unload() {
        if (module_ != nullptr) {
            platform::UnloadModule(module_);
            module_ = nullptr;
        }
    }

    const chain::DetailModule& Calls() const { return calls_; }
    const TempFolder& Folder() const { return folder_; }
    // The recordings in the folder, by name.
    std::vector<fs::path> Recordings() const {
        std::vector<fs::path> found;
        for (const auto& entry : fs::directory_iterator(folder_.Path())) {
            if (entry.is_regular_file() &&
                entry.path().filename().string().rfind("camcab-recording-", 0) == 0) {
                found.push_back(entry.path());
            }
        }
        std::sort(found.begin(), found.end());
        return found;
    }

  private:
    TempFolder folder_;
    platform::ModuleHandle module_ = nullptr;
    chain::DetailModule calls_{};
};

scenario::Scenario Parse(const std::string& text) {
    scenario::Scenario scenario;
    std::string error;
    EXPECT_TRUE(scenario::ParseScenario(text, scenario, error)) << error << "\n" << text;
    return scenario;
}

TEST(Recorder, WritesEveryCallWhereItHappenedAndAnswersTheHandlesItWasGiven) {
    RecorderFolder recorder;
    const chain::DetailModule& m = recorder.Calls();
    int32_t panel[256] = {}, sound[256] = {};
    m.Load();
    m.SetVehicleSpec(VehicleSpec{7, 4, 8, 5, 6});
    m.Initialize(1);
    m.DoorOpen();
    m.SetPower(2);
    m.SetBrake(3);
    m.SetReverser(1);
    VehicleState state{1234.5678901234567, 12.345f, 36000000, 1, 2, 3, 4, 5, -6.25f};
    Handles h = m.Elapse(state, panel, sound);
    EXPECT_EQ(h.Brake, 3);
    EXPECT_EQ(h.Power, 2);
    EXPECT_EQ(h.Reverser, 1);
    EXPECT_EQ(h.ConstantSpeed, 0);
    m.KeyDown(5);
    m.KeyUp(5);
    m.HornBlow(1);
    m.SetSignal(4);
    m.SetBeaconData(BeaconData{10, 2, NAN, 7});
    m.DoorClose();
    m.SetPower(-3);
    // Values that are not finite are written as camcab-run reads them back.
    state.Time += 16;
    state.Speed = NAN;
    state.Current = INFINITY;
    state.Location = -INFINITY;
    h = m.Elapse(state, panel, sound);
    EXPECT_EQ(h.Power, -3);
    m.SetVehicleSpec(VehicleSpec{8, 5, 9, 6, 4});
    m.Dispose();

    const std::vector<fs::path> files = recorder.Recordings();
    ASSERT_EQ(files.size(), 1u);
    const std::string text = ReadFileBytes(files[0]);
    std::cout << text;
    EXPECT_EQ(text.rfind("# camcab-recorder: a drive recorded in the simulator", 0), 0u);
    EXPECT_NE(text.find("# after the first frame, not replayed: vehicle 8 5 9 6 4"),
              std::string::npos);
    const scenario::Scenario scenario = Parse(text);
    EXPECT_EQ(scenario.vehicle.BrakeNotches, 7);
    EXPECT_EQ(scenario.vehicle.Cars, 6);
    EXPECT_EQ(scenario.initialHandlePosition, 1);
    using K = scenario::EventKind;
    std::vector<K> kinds;
    for (const scenario::Event& event : scenario.events) {
        kinds.push_back(event.kind);
    }
    EXPECT_EQ(kinds, (std::vector<K>{K::DoorOpen, K::SetPower, K::SetBrake, K::SetReverser,
                                     K::Elapse, K::KeyDown, K::KeyUp, K::HornBlow, K::SetSignal,
                                     K::SetBeaconData, K::DoorClose, K::SetPower, K::Elapse}));
    const VehicleState& first = scenario.events[4].state;
    EXPECT_EQ(first.Location, 1234.5678901234567);
    EXPECT_EQ(first.Speed, 12.345f);
    EXPECT_EQ(first.Time, 36000000);
    EXPECT_EQ(first.SapPressure, 5.0f);
    EXPECT_EQ(first.Current, -6.25f);
    EXPECT_TRUE(std::isnan(scenario.events[9].beacon.Distance));
    EXPECT_EQ(scenario.events[9].beacon.Optional, 7);
    const VehicleState& second = scenario.events[12].state;
    EXPECT_EQ(second.Time, 36000016);
    EXPECT_TRUE(std::isnan(second.Speed));
    EXPECT_EQ(second.Current, INFINITY);
    EXPECT_EQ(second.Location, -INFINITY);
}

// The local file name of a recording started `laterS` seconds from now.
std::string NameAfter(int laterS) {
    const std::time_t when = std::time(nullptr) + laterS;
    char name[64];
    std::strftime(name, sizeof name, "camcab-recording-%Y%m%d-%H%M%S.txt", std::localtime(&when));
    return name;
}

TEST(Recorder, EachLoadStartsANewFileAndNothingInTheWayIsTouched) {
    RecorderFolder recorder;
    // Folders in the way of the plain names of the next seconds: the suffix is taken.
    for (int s = 0; s < 5; ++s) {
        fs::create_directory(recorder.Folder().Path() / NameAfter(s));
    }
    const chain::DetailModule& m = recorder.Calls();
    int32_t panel[256] = {}, sound[256] = {};
    for (int cycle = 0; cycle < 3; ++cycle) {
        m.Load();
        if (cycle == 0) {
            m.SetPower(3);
        }
        // A fresh Load answers no handles, as the plug-in's record of what it sent restarts.
        EXPECT_EQ(m.Elapse(VehicleState{}, panel, sound).Power, cycle == 0 ? 3 : 0);
        m.Dispose();
    }
    const std::vector<fs::path> files = recorder.Recordings();
    ASSERT_EQ(files.size(), 3u);
    size_t events = 0;
    for (const fs::path& file : files) {
        EXPECT_NE(file.filename().string().find(".txt"), std::string::npos);
        EXPECT_TRUE(file.stem().string().size() > NameAfter(0).size() - 4) << "a suffix";
        events += Parse(ReadFileBytes(file)).events.size();
    }
    EXPECT_EQ(events, 4u);  // three frames and one power
}

TEST(Recorder, AHostThatUnloadsWithoutDisposeStillGetsTheRecording) {
    RecorderFolder recorder;
    const chain::DetailModule& m = recorder.Calls();
    int32_t panel[256] = {}, sound[256] = {};
    m.Load();
    for (int frame = 0; frame < 3; ++frame) {
        m.Elapse(VehicleState{}, panel, sound);
    }
    recorder.Unload();
    const std::vector<fs::path> files = recorder.Recordings();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(Parse(ReadFileBytes(files[0])).events.size(), 3u);
}

#ifndef _WIN32
// A disk that fills up, as a file size limit shows it: the drive goes on untouched, the file
// keeps its whole lines, and its last line says why it ends there.
TEST(Recorder, AFullDiskStopsTheRecordingAndItsLastLineSaysWhy) {
    RecorderFolder recorder;
    const chain::DetailModule& m = recorder.Calls();
    constexpr rlim_t kLimitBytes = 100 * 1024;
    rlimit before{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    rlimit limited = before;
    limited.rlim_cur = kLimitBytes;
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    int32_t panel[256] = {}, sound[256] = {};
    m.Load();
    m.SetBrake(4);
    VehicleState state{};
    bool answered = true;
    for (int frame = 0; frame < 5000; ++frame) {
        state.Time += 16;
        state.Location += 0.123456789;
        answered = answered && m.Elapse(state, panel, sound).Brake == 4;
    }
    m.Dispose();
    setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, oldSignal);

    EXPECT_TRUE(answered);
    const std::vector<fs::path> files = recorder.Recordings();
    ASSERT_EQ(files.size(), 1u);
    const std::string text = ReadFileBytes(files[0]);
    EXPECT_LE(text.size(), kLimitBytes);
    const size_t lastLine = text.rfind('\n', text.size() - 2) + 1;
    EXPECT_EQ(text.substr(lastLine), "# recording stopped: cannot write: File too large\n");
    const scenario::Scenario scenario = Parse(text);
    EXPECT_GT(scenario.events.size(), 500u);
    EXPECT_LT(scenario.events.size(), 5000u);
}
// A folder that refuses new files (made immutable: permissions do not stop root): nothing is
// recorded and the drive goes on, the handles answered as given.
TEST(Recorder, AReadOnlyFolderLeavesTheDriveUndisturbed) {
    RecorderFolder recorder;
    const std::string folder = recorder.Folder().Path().string();
    const bool immutable = std::system(("chattr +i '" + folder + "' 2>/dev/null").c_str()) == 0;
    std::FILE* probe = std::fopen((folder + "/probe").c_str(), "w");
    if (!immutable || probe != nullptr) {
        if (probe != nullptr) {
            std::fclose(probe);
        }
        std::system(("chattr -i '" + folder + "' 2>/dev/null").c_str());
        GTEST_SKIP() << "this file system cannot make a folder read-only";
    }
    const chain::DetailModule& m = recorder.Calls();
    int32_t panel[256] = {}, sound[256] = {};
    m.Load();
    m.SetPower(3);
    VehicleState state{};
    bool answered = true;
    for (int frame = 0; frame < 100; ++frame) {
        state.Time += 16;
        answered = answered && m.Elapse(state, panel, sound).Power == 3;
    }
    m.Dispose();
    std::system(("chattr -i '" + folder + "'").c_str());
    EXPECT_TRUE(answered);
    EXPECT_TRUE(recorder.Recordings().empty());
}

#endif

template <typename Real>
std::vector<unsigned char> Bits(Real value) {
    std::vector<unsigned char> bytes(sizeof value);
    std::memcpy(bytes.data(), &value, sizeof value);
    return bytes;
}

TEST(ElapseCommand, EveryValueTheHostCanSendReadsBackWithTheSameBits) {
    uint32_t signalingBits = 0x7FA00001u;  // a NaN with a payload and the sign clear
    float signaling;
    std::memcpy(&signaling, &signalingBits, sizeof signaling);
    const float floats[] = {FLT_MAX, -FLT_MAX, std::numeric_limits<float>::denorm_min(),
                            -0.0f,   INFINITY, -INFINITY,
                            NAN,     -NAN,     signaling,
                            FLT_MIN, 0.1f,     -1234.5678f};
    const double doubles[] = {DBL_MAX, -DBL_MAX, std::numeric_limits<double>::denorm_min(),
                              -0.0,    INFINITY, -INFINITY,
                              NAN,     -NAN,     1234.5678901234567};
    for (const float value : floats) {
        VehicleState sent{1.0, value, 5, value, value, value, value, value, value};
        const std::string text = scenario::ElapseLine(sent) + "\n" +
                                 scenario::BeaconLine(BeaconData{1, 2, value, 3}) + "\n";
        const scenario::Scenario read = Parse(text);
        ASSERT_EQ(read.events.size(), 2u) << text;
        const VehicleState& got = read.events[0].state;
        for (const float field : {got.Speed, got.BcPressure, got.MrPressure, got.ErPressure,
                                  got.BpPressure, got.SapPressure, got.Current}) {
            EXPECT_EQ(Bits(field), Bits(value)) << text;
        }
        EXPECT_EQ(Bits(read.events[1].beacon.Distance), Bits(value)) << text;
    }
    for (const double value : doubles) {
        const std::string text = scenario::ElapseLine(VehicleState{value, 0, 5, 0, 0, 0, 0, 0, 0});
        const scenario::Scenario read = Parse(text + "\n");
        ASSERT_EQ(read.events.size(), 1u) << text;
        EXPECT_EQ(Bits(read.events[0].state.Location), Bits(value)) << text;
    }
    // Recordings written before still read the same: infinities stood as these numbers.
    const VehicleState old =
        Parse("elapse 0 -1.7e+308 3.4e+38 0 0 0 0 0 -3.4e+38\n").events[0].state;
    EXPECT_EQ(old.Location, -1.7e308);
    EXPECT_EQ(old.Speed, 3.4e38f);
    EXPECT_EQ(old.Current, -3.4e38f);
}

TEST(ElapseCommand, RunsAnExactStateAndRefusesWhatIsNoState) {
    const scenario::Scenario scenario = Parse("elapse -5 1e300 -3.5 1 2 3 4 5 -700\n");
    ASSERT_EQ(scenario.events.size(), 1u);
    const VehicleState& s = scenario.events[0].state;
    EXPECT_EQ(s.Time, -5);
    EXPECT_EQ(s.Location, 1e300);
    EXPECT_EQ(s.Speed, -3.5f);
    EXPECT_EQ(s.Current, -700.0f);
    for (const char* bad : {"elapse 1 2 3 4 5 6 7 8", "elapse 1 2 3.5x 4 5 6 7 8 9",
                            "elapse 1 2 1e39 4 5 6 7 8 9", "elapse 1.5 2 3 4 5 6 7 8 9"}) {
        scenario::Scenario refused;
        std::string error;
        EXPECT_FALSE(scenario::ParseScenario(bad, refused, error)) << bad;
        EXPECT_NE(error.find("elapse needs"), std::string::npos) << error;
    }
}

}  // namespace
}  // namespace camcab::test
