// One fault at a time in a copy of the sample vehicle: the built plug-in, loaded the way the
// host loads it, must show the fault's own outcome, keep everything else working, and answer
// a short drive with sensible handles.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "SoundTestSupport.h"
#include "chain/DetailModule.h"
#include "platform/Module.h"
#include "platform/WideText.h"
#include "support/TempFolder.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>

#include "HostAudio.h"
#endif

namespace camcab::test {
namespace {

namespace fs = std::filesystem;

const std::wstring kLogName = L"XAudio2初期化ログ.txt";
const std::wstring kListName = L"detailmodulesx64.txt";
constexpr int kPanelSpeed = 22;
constexpr int kPanelCurrent = 26;
constexpr int kPanelCamLamp = 41;

std::wstring PluginName() {
    return WideFromPath(BuiltFile(CAMCAB_PLUGIN_FILE).filename());
}
// A file below `folder`; '\' in `relative` separates folders on every platform.
fs::path Below(const fs::path& folder, std::wstring relative) {
    std::replace(relative.begin(), relative.end(), L'\\', L'/');
    return (folder / PathFromWide(relative)).make_preferred();
}

// A copy of the sample vehicle with the plug-in and the pass-through module it chains, in a
// folder of the given name, or nested below it until its path is `pathLength` characters long.
class Vehicle {
  public:
    explicit Vehicle(const std::wstring& name = L"camcab-fault", size_t pathLength = 0)
        : root_(name), folder_(root_.Path()) {
        // Long paths are built from folders of at most 200 characters each.
        while (WideFromPath(folder_).size() < pathLength) {
            const size_t missing = pathLength - WideFromPath(folder_).size();
            folder_ /= std::string(std::clamp<size_t>(missing - 1, 1, 200), 'd');
        }
        fs::create_directories(folder_);
        fs::copy(BuiltFile(CAMCAB_SAMPLE_VEHICLE), folder_, fs::copy_options::recursive);
        for (const char* built : {CAMCAB_PLUGIN_FILE, CAMCAB_PASSTHROUGH_FILE}) {
            fs::copy_file(BuiltFile(built), folder_ / BuiltFile(built).filename());
        }
    }

    fs::path File(const std::wstring& relative) const { return Below(folder_, relative); }
    void Write(const std::wstring& relative, const std::string& bytes) const {
        fs::remove_all(File(relative));
        std::ofstream out(File(relative), std::ios::binary);
        if (!out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()))) {
            throw std::runtime_error("cannot write a test file");
        }
    }
    // A folder in the place of a file.
    void FolderInstead(const std::wstring& relative) const {
        fs::remove_all(File(relative));
        fs::create_directories(File(relative));
    }
    const fs::path& Path() const { return folder_; }

  private:
    TempFolder root_;
    fs::path folder_;
};

// What a drive shows; by default, what the sample vehicle shows with every file right.
struct Expected {
    bool notchTable = true;      // read: the camshaft lamp lights at the first curve, 2 becomes 3
    int32_t brake = 3;           // brake notch 3 answered by the pass-through module; 0 without
    int32_t speedNeedle = 2050;  // 20 km/h through Speed.csv, times 100; 2000 without it
    size_t motorSounds = 6;
    bool audio = true;  // the sample's full start-up log, the drive heard; or no engine, silence
    std::vector<std::string> failed = {};  // how each failed sound's "file CODE" begins
    std::string versionError = {};         // empty: GetPluginVersion answers 0x20000
};

// How many sounds a start-up log names, and "file CODE" of each that failed: a sound names its
// file after "ソースボイスの作成成功", or after "ソースボイスの作成失敗" and "エラー:CODE".
std::pair<size_t, std::vector<std::string>> Sounds(const std::string& log) {
    const std::string fileTag = "ファイル名：", codeTag = "エラー:";
    std::pair<size_t, std::vector<std::string>> sounds;
    std::string last, beforeLast;
    for (size_t begin = 0, end = 0; begin < log.size(); begin = end + 2) {
        end = std::min(log.find("\r\n", begin), log.size());
        const std::string line = log.substr(begin, end - begin);
        const bool named = line.rfind(fileTag, 0) == 0;
        sounds.first += named ? 1 : 0;
        if (named && last != "ソースボイスの作成成功") {
            const bool coded =
                beforeLast == "ソースボイスの作成失敗" && last.rfind(codeTag, 0) == 0;
            sounds.second.push_back(fs::path(line.substr(fileTag.size())).filename().string() +
                                    " " + (coded ? last.substr(codeTag.size()) : ""));
            std::cout << "  failed: " << sounds.second.back() << "\n";
        }
        beforeLast = std::exchange(last, line);
    }
    return sounds;
}

// Load, the vehicle's set-up, a short drive and Dispose, the way the host makes them, checked
// against `e`. Returns the start-up log, time stamps masked.
std::string Drive(const Vehicle& vehicle, const Expected& e = {}, void (*beforeLoad)() = nullptr) {
    const platform::ModuleHandle module =
        platform::LoadModule(WideFromPath(vehicle.File(PluginName())));
    if (module == nullptr) {
        ADD_FAILURE() << "cannot load the plug-in: " << platform::LastModuleError();
        return {};
    }
    const chain::DetailModule p = chain::BindDetailModule(module);
#ifndef _WIN32
    hostaudio::UseSilentDevice();
    hostaudio::ClearCapture();
#endif
    if (beforeLoad) {
        beforeLoad();
    }
    p.Load();
#ifndef _WIN32
    EXPECT_EQ(hostaudio::Attached(), e.audio) << "the engine takes the host's audio clock";
    hostaudio::UseAudioDriver("dummy");
#endif
    try {
        EXPECT_EQ(p.GetPluginVersion(), 0x20000);
        EXPECT_EQ(e.versionError, "") << "GetPluginVersion raised nothing";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()), e.versionError);
    }
    p.SetVehicleSpec(VehicleSpec{8, 5, 1, 6, 4});
    p.Initialize(0);
    p.DoorClose();
    p.SetReverser(1);
    std::array<int32_t, 256> panel{}, sound{};
    VehicleState state{};
    state.MrPressure = 600.0f;
    int32_t topPower = 0;
    for (int frame = 0; frame < 60; ++frame) {
        if (frame == 10 || frame == 30) {
            p.SetPower(frame == 10 ? 2 : 0);
        }
        if (frame == 30 || frame == 40) {
            p.SetBrake(frame == 30 ? 3 : 0);
        }
        state.Time += 20;
        state.Speed = frame < 15 ? 0.0f : frame < 40 ? 3.0f : 20.0f;
        state.Current = frame < 15 ? 0.0f : frame < 30 ? 214.5f : frame < 40 ? -100.0f : 100.0f;
        const Handles h = p.Elapse(state, panel.data(), sound.data());
#ifndef _WIN32
        hostaudio::Advance(20.0);
#endif
        EXPECT_TRUE(h.Reverser >= -1 && h.Reverser <= 1) << "frame " << frame;
        EXPECT_TRUE(h.Power >= -10 && h.Power <= 5) << "frame " << frame;
        EXPECT_TRUE(h.Brake >= 0 && h.Brake <= 9) << "frame " << frame;
        if (frame >= 15 && frame < 30) {
            topPower = std::max(topPower, h.Power);
        }
        if (frame == 29) {
            EXPECT_EQ(panel[kPanelCamLamp], e.notchTable ? 1 : 0) << "the camshaft lamp";
        }
        if (frame == 35) {
            EXPECT_EQ(h.Brake, e.brake) << "brake notch 3 through the chain";
        }
    }
#ifndef _WIN32
    // Under Wine the start sound plays in real time and holds the power at 0 all through this
    // short drive.
    EXPECT_EQ(topPower, e.notchTable ? 3 : 2) << "notch 2, raised by the camshaft";
    const double rms = hostaudio::CapturedRms(0, hostaudio::CapturedFrames());
    EXPECT_TRUE(e.audio ? rms > 0.001 : rms == 0.0) << "the drive's sounds rendered " << rms;
#endif
    EXPECT_EQ(panel[kPanelSpeed], e.speedNeedle);
    EXPECT_EQ(panel[kPanelCurrent], 105) << "100 A through Current.csv";
    p.Dispose();
    platform::UnloadModule(module);

    const std::string log = MaskTimes(ReadFileBytes(vehicle.File(kLogName)));
    const auto [sounds, failed] = Sounds(log);
    if (e.audio) {
        const std::string head = "<time>\r\nXAudio2初期化開始\r\nXAudio2作成成功\r\n" +
                                 std::string("マスターボイスの作成成功\r\nモーター音の数は") +
                                 std::to_string(e.motorSounds) + "個\r\n";
        EXPECT_EQ(log.rfind(head, 0), 0u) << log;
        EXPECT_TRUE(log.ends_with("\r\n<time>\r\nXAudio2初期化完了\r\n")) << log;
    }
    EXPECT_EQ(sounds, e.audio ? e.motorSounds + kNamedSoundFiles.size() : 0u) << log;
    EXPECT_EQ(failed.size(), e.failed.size()) << log;
    for (size_t i = 0; i < std::min(failed.size(), e.failed.size()); ++i) {
        EXPECT_EQ(failed[i].rfind(e.failed[i], 0), 0u) << failed[i];
    }
    return log;
}

TEST(FaultMatrix, TheSampleVehicleLoadsEverything) {
    Drive(Vehicle());
}

// Takes read permission from a file, or write permission from a folder; false (with a message)
// where permissions do not bind this process: for root, and under Wine.
bool Deny([[maybe_unused]] const fs::path& path, [[maybe_unused]] bool write) {
#ifdef _WIN32
    std::cout << "[ SKIPPED  ] no file permissions under Wine\n";
    return false;
#else
    ::chmod(path.c_str(), write ? 0555 : 0);
    if (::access(path.c_str(), write ? W_OK : R_OK) == 0) {
        ::chmod(path.c_str(), write ? 0755 : 0644);
        std::cout << "[ SKIPPED  ] " << path.filename() << " without " << (write ? "write" : "read")
                  << " permission: permissions do not bind this user (root)\n";
        return false;
    }
    return true;
#endif
}

TEST(FaultMatrix, ConfigurationFilesMissingUnreadableOrFoldersLeaveOnlyTheirDefaults) {
    const std::vector<std::pair<const wchar_t*, Expected>> cases = {
        {L"notch\\notch.txt", {.notchTable = false}},
        {L"NeedleTable\\Speed.csv", {.speedNeedle = 2000}},  // the needle shows the speed itself
        {L"AtsMotorConfig.txt", {.motorSounds = 0}},
        {L"detailmodulesx64.txt", {.brake = 0}},  // no module answers the brake
        {L"kamujiku\\start1.wav", {.failed = {"start1.wav 0X8"}}},
    };
    for (const auto& [file, expected] : cases) {
        for (const std::string_view fault : {"missing", "a folder", "unreadable"}) {
            SCOPED_TRACE(platform::EncodeUtf8(file) + " " + std::string(fault));
            const Vehicle vehicle;
            if (fault == "missing") {
                fs::remove(vehicle.File(file));
            } else if (fault == "a folder") {
                vehicle.FolderInstead(file);
            } else if (!Deny(vehicle.File(file), false)) {
                continue;
            }
            Drive(vehicle, expected);
        }
    }
}

// No start-up log: no engine, the plug-in is silent, everything else works.
TEST(FaultMatrix, AStartUpLogThatCannotBeWrittenMeansSilenceAndNothingElse) {
    {
        SCOPED_TRACE("a folder named like the log");
        const Vehicle vehicle;
        vehicle.FolderInstead(kLogName);
        Drive(vehicle, {.audio = false});
        EXPECT_FALSE(fs::is_regular_file(vehicle.File(kLogName)));
    }
    const Vehicle vehicle;
#ifdef _WIN32
    SCOPED_TRACE("a log file another program holds open without sharing");
    vehicle.Write(kLogName, "held");
    const HANDLE held =
        CreateFileW(WideFromPath(vehicle.File(kLogName)).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    Drive(vehicle, {.audio = false});
    CloseHandle(held);
    EXPECT_EQ(ReadFileBytes(vehicle.File(kLogName)), "held");
#else
    SCOPED_TRACE("a read-only vehicle folder");
    if (Deny(vehicle.Path(), true)) {
        Drive(vehicle, {.audio = false});
        EXPECT_FALSE(fs::is_regular_file(vehicle.File(kLogName)));
        ::chmod(vehicle.Path().c_str(), 0755);
    }
#endif
}

#ifndef _WIN32
TEST(FaultMatrix, WithoutAnAudioDeviceTheLogSaysSoAndTheRestRuns) {
    EXPECT_EQ(
        Drive(Vehicle(), {.audio = false}, [] { hostaudio::UseAudioDriver("no-such-driver"); }),
        "<time>\r\nXAudio2初期化開始\r\nXAudio2作成成功\r\nマスターボイスの作成失敗\r\nエラー:"
        "0X88960001\r\n");
}
#endif

// "のバージョンが不正です。" in code page 932, after the module's path.
const std::string kInvalidVersion =
    "\x82\xcc\x83\x6f\x81\x5b\x83\x57\x83\x87\x83\x93\x82\xaa\x95\x73\x90\xb3\x82\xc5\x82\xb7"
    "\x81\x42";

// Writes the list file: `entry` before the sample vehicle's own line (the pass-through module),
// or after it.
void List(const Vehicle& vehicle, const std::wstring& entry, bool first = true) {
    const std::string own = ReadFileBytes(BuiltFile(CAMCAB_SAMPLE_VEHICLE "/detailmodulesx64.txt"));
    const std::string line = platform::EncodeUtf8(entry);
    vehicle.Write(kListName, first ? line + "\n" + own : own + "\n" + line);
}

// Copies a built library into the vehicle and lists it; returns its path in UTF-8.
std::string AddModule(const Vehicle& vehicle, const char* built, bool first = true) {
    const std::wstring name =
        first ? L"first" CAMCAB_LIBRARY_SUFFIX : L"last" CAMCAB_LIBRARY_SUFFIX;
    fs::copy_file(BuiltFile(built), vehicle.File(name));
    List(vehicle, name, first);
    return platform::EncodeUtf8(WideFromPath(vehicle.File(name)));
}

TEST(FaultMatrix, ModulesThatListThemselvesEachOtherOrAreOfAnotherKindKeepTheChain) {
    {
        SCOPED_TRACE("the plug-in names itself");
        const Vehicle vehicle;
        List(vehicle, PluginName());
        Drive(vehicle);
    }
    {
        SCOPED_TRACE("two copies name each other");
        const Vehicle vehicle;
        const Vehicle other(L"camcab-fault-other");
        List(vehicle, WideFromPath(other.File(PluginName())));
        List(other, WideFromPath(vehicle.File(PluginName())));
        // The other copy stays silent: SDL's silent device opens only once in a process.
        other.FolderInstead(kLogName);
        Drive(vehicle);
    }
    {
        SCOPED_TRACE("a module of another interface version: it stays in the chain");
        const Vehicle vehicle;
        Drive(vehicle,
              {.versionError = AddModule(vehicle, CAMCAB_OLD_VERSION_FILE) + kInvalidVersion});
    }
    {
        SCOPED_TRACE("a library with none of the sixteen exports, after the chain's module");
        const Vehicle vehicle;
        AddModule(vehicle, CAMCAB_NO_EXPORTS_FILE, false);
        Drive(vehicle);
    }
    {
        // The module after it is handed what the first module answered: it has no Elapse, so
        // the handles the chain started from, all 0.
        SCOPED_TRACE("a library with none of the sixteen exports, first in the list");
        const Vehicle vehicle;
        AddModule(vehicle, CAMCAB_NO_EXPORTS_FILE);
        Drive(vehicle, {.brake = 0});
    }
}

// A Japanese folder name with blanks, and a path of 1,000 characters (on Windows too: the
// library reads its own name whatever its length, and under Wine every file opens at that
// length). The version message names a module of another version there by the first 235 bytes
// of its path; in the Japanese folder, whose path the C library's encoding cannot hold, it is
// the text alone.
TEST(FaultMatrix, JapaneseFolderNamesWithBlanksAndThousandCharacterPathsReadEverything) {
    const Vehicle japanese(L"車両 フォルダ with blanks");
    const Vehicle deep(L"camcab-long", 1000);
    ASSERT_GE(WideFromPath(deep.Path()).size(), 1000u);
    for (const Vehicle* vehicle : {&japanese, &deep}) {
        SCOPED_TRACE(vehicle == &deep ? "1,000 characters" : "Japanese with blanks");
        Drive(*vehicle);
        const std::string path = AddModule(*vehicle, CAMCAB_OLD_VERSION_FILE);
        const std::string named = vehicle == &deep ? path.substr(0, 235) : "";
        Drive(*vehicle, {.versionError = named + kInvalidVersion});
    }
}

// `wave` with the size field of its chunk `chunk` set to `size`.
std::string Sized(std::string wave, const char* chunk, uint32_t size) {
    const size_t at = wave.find(chunk, 12);
    if (at == std::string::npos) {
        throw std::runtime_error("no such chunk");
    }
    for (size_t i = 0; i < 4; ++i) {
        wave[at + 4 + i] = static_cast<char>(size >> (8 * i));
    }
    return wave;
}

// The sample's start1.wav (a one-shot heard in the drive) and pipe.wav (a loop from the start)
// with their headers or sizes damaged.
TEST(FaultMatrix, DamagedWaveFilesLeaveOnlyTheirOwnSlotEmpty) {
    struct WaveCase {
        const char* what;
        std::string (*damage)(std::string wave);
        bool oneShotLoads;  // its log line says it loaded, as a one-shot
        bool loopLoads;     // and as a loop
    };
    const std::vector<WaveCase> cases = {
        {"empty", [](std::string) { return std::string(); }, false, false},
        {"cut inside the header", [](std::string w) { return w.substr(0, 30); }, false, false},
        // What the file holds is played.
        {"cut half way through its samples",
         [](std::string w) { return w.substr(0, w.size() / 2 + 1); }, true, true},
        {"a data size beyond the file", [](std::string w) { return Sized(w, "data", 0x7FFFFFF0u); },
         true, true},
        // A voice with nothing to play: a loop cannot queue it, a one-shot never sounds.
        {"no samples",
         [](std::string w) { return Sized(w.substr(0, w.find("data", 12) + 8), "data", 0); }, true,
         false},
        {"a format chunk too short", [](std::string w) { return Sized(w, "fmt ", 8); }, false,
         false},
        {"a format chunk size beyond the file",
         [](std::string w) { return Sized(w, "fmt ", 0x7FFFFFF0u); }, false, false},
    };
    for (const std::wstring file : {L"kamujiku\\start1.wav", L"air\\pipe.wav"}) {
        const fs::path sample = Below(BuiltFile(CAMCAB_SAMPLE_VEHICLE), file);
        for (const WaveCase& c : cases) {
            SCOPED_TRACE(platform::EncodeUtf8(file) + " " + c.what);
            const Vehicle vehicle;
            vehicle.Write(file, c.damage(ReadFileBytes(sample)));
            Expected expected;
            if (!(file == L"air\\pipe.wav" ? c.loopLoads : c.oneShotLoads)) {
                expected.failed = {sample.filename().string()};
            }
            Drive(vehicle, expected);
        }
    }
}

}  // namespace
}  // namespace camcab::test
