// One fault at a time in a copy of the sample vehicle: the built plug-in, loaded the way the
// host loads it, must show the fault's own outcome, keep everything else working, and answer
// a short drive with sensible handles.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>
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
constexpr int kSampleMotorSounds = 6;
constexpr int kPanelSpeed = 22;
constexpr int kPanelCurrent = 26;
constexpr int kPanelCamLamp = 41;

std::wstring NameOf(const char* built) {
    return WideFromPath(BuiltFile(built).filename());
}
fs::path SampleFile(const std::wstring& relative) {
    std::wstring name = relative;
    std::replace(name.begin(), name.end(), L'\\', L'/');
    return (BuiltFile(CAMCAB_SAMPLE_VEHICLE) / PathFromWide(name)).make_preferred();
}
std::wstring PluginName() {
    return NameOf(CAMCAB_PLUGIN_FILE);
}

// A copy of the sample vehicle with the plug-in and the pass-through module it chains, in a
// folder of the given name, or nested below the scratch folder as deep as `depth` asks.
class Vehicle {
  public:
    explicit Vehicle(const std::wstring& name = L"camcab-fault", size_t pathLength = 0)
        : root_(name) {
        folder_ = root_.Path();
        // Long paths are built from folders of at most 200 characters each.
        while (WideFromPath(folder_).size() < pathLength) {
            const size_t missing = pathLength - WideFromPath(folder_).size();
            folder_ /= std::string(std::clamp<size_t>(missing - 1, 1, 200), 'd');
        }
        fs::create_directories(folder_);
        fs::copy(BuiltFile(CAMCAB_SAMPLE_VEHICLE), folder_, fs::copy_options::recursive);
        Copy(BuiltFile(CAMCAB_PLUGIN_FILE), PluginName());
        Copy(BuiltFile(CAMCAB_PASSTHROUGH_FILE), NameOf(CAMCAB_PASSTHROUGH_FILE));
    }

    fs::path File(const std::wstring& relative) const {
        std::wstring name = relative;
        std::replace(name.begin(), name.end(), L'\\', L'/');
        return (folder_ / PathFromWide(name)).make_preferred();
    }
    std::wstring FileString(const std::wstring& relative) const {
        return WideFromPath(File(relative));
    }
    void Write(const std::wstring& relative, const std::string& bytes) const {
        fs::remove_all(File(relative));
        TempFolderWrite(File(relative), bytes);
    }
    void Copy(const fs::path& from, const std::wstring& relative) const {
        fs::copy_file(from, File(relative), fs::copy_options::overwrite_existing);
    }
    // A folder in the place of a file.
    void FolderInstead(const std::wstring& relative) const {
        fs::remove_all(File(relative));
        fs::create_directories(File(relative));
    }
    const fs::path& Path() const { return folder_; }

  private:
    static void TempFolderWrite(const fs::path& file, const std::string& bytes) {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            throw std::runtime_error("cannot write a test file");
        }
    }

    TempFolder root_;
    fs::path folder_;
};

// One sound's two or three lines of the start-up log.
struct SoundLine {
    bool loaded = false;
    std::string code;  // "0X..." for a failure
    std::string file;  // the file name as logged
};

// What the host saw of one Load, drive and Dispose.
struct Outcome {
    std::optional<int32_t> version;  // empty when GetPluginVersion raised
    std::string versionError;
    bool logWritten = false;
    std::string log;  // time stamps masked
    std::vector<std::string> logLines;
    std::vector<SoundLine> sounds;
    bool engineAttached = false;  // Linux: the engine took the host's audio clock
    double rms = 0.0;             // Linux: what the drive's sounds rendered
    int32_t camLamp = 0;          // the current at the first curve: the camshaft lamp
    int32_t topPower = 0;         // and notch 2 raised to 3
    int32_t brakeBack = 0;        // brake notch 3 while the chain answers it
    int32_t speedNeedle = 0;      // 20 km/h
    int32_t currentNeedle = 0;    // 100 A
};

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t begin = 0;
    while (begin < text.size()) {
        const size_t end = text.find("\r\n", begin);
        if (end == std::string::npos) {
            lines.push_back(text.substr(begin));
            break;
        }
        lines.push_back(text.substr(begin, end - begin));
        begin = end + 2;
    }
    return lines;
}

std::vector<SoundLine> SoundLines(const std::vector<std::string>& lines) {
    const std::string fileTag = "ファイル名：";
    const std::string codeTag = "エラー:";
    std::vector<SoundLine> sounds;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].rfind(fileTag, 0) != 0 || i == 0) {
            continue;
        }
        SoundLine sound;
        sound.file = lines[i].substr(fileTag.size());
        sound.loaded = lines[i - 1] == "ソースボイスの作成成功";
        if (!sound.loaded && i >= 2 && lines[i - 2] == "ソースボイスの作成失敗" &&
            lines[i - 1].rfind(codeTag, 0) == 0) {
            sound.code = lines[i - 1].substr(codeTag.size());
        }
        sounds.push_back(sound);
    }
    return sounds;
}

// Load, the vehicle's set-up, a short drive and Dispose, the way the host makes them.
Outcome Drive(const Vehicle& vehicle, const std::function<void()>& beforeLoad = nullptr) {
    Outcome outcome;
    const platform::ModuleHandle module = platform::LoadModule(vehicle.FileString(PluginName()));
    if (module == nullptr) {
        ADD_FAILURE() << "cannot load the plug-in: " << platform::LastModuleError();
        return outcome;
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
    outcome.engineAttached = hostaudio::Attached();
    hostaudio::UseAudioDriver("dummy");
#endif
    try {
        outcome.version = p.GetPluginVersion();
    } catch (const std::runtime_error& error) {
        outcome.versionError = error.what();
    }
    p.SetVehicleSpec(VehicleSpec{8, 5, 1, 6, 4});
    p.Initialize(0);
    p.DoorClose();
    p.SetReverser(1);
    std::array<int32_t, 256> panel{};
    std::array<int32_t, 256> sound{};
    VehicleState state{};
    state.MrPressure = 600.0f;
    for (int frame = 0; frame < 60; ++frame) {
        if (frame == 10) {
            p.SetPower(2);
        }
        if (frame == 30) {
            p.SetPower(0);
            p.SetBrake(3);
        }
        if (frame == 40) {
            p.SetBrake(0);
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
            outcome.topPower = std::max(outcome.topPower, h.Power);
        }
        if (frame == 29) {
            outcome.camLamp = panel[kPanelCamLamp];
        }
        if (frame == 35) {
            outcome.brakeBack = h.Brake;
        }
    }
    outcome.speedNeedle = panel[kPanelSpeed];
    outcome.currentNeedle = panel[kPanelCurrent];
#ifndef _WIN32
    outcome.rms = hostaudio::CapturedRms(0, hostaudio::CapturedFrames());
#endif
    p.Dispose();
    platform::UnloadModule(module);

    const fs::path log = vehicle.File(kLogName);
    outcome.logWritten = fs::is_regular_file(log);
    outcome.log = MaskTimes(ReadFileBytes(log));
    outcome.logLines = SplitLines(outcome.log);
    outcome.sounds = SoundLines(outcome.logLines);
    return outcome;
}

// What a vehicle reads when a file is right.
constexpr int32_t kSpeedNeedle = 2050;     // 20 km/h through Speed.csv, times 100
constexpr int32_t kRawSpeedNeedle = 2000;  // without it
constexpr int32_t kCurrentNeedle = 105;    // 100 A through Current.csv
constexpr int32_t kChainedBrake = 3;       // answered by the pass-through module
constexpr int32_t kUnchainedBrake = 0;     // no module

// With the notch table the camshaft follows the current: at the first curve its lamp lights and
// notch 2 becomes 3. Without it, neither.
void ExpectNotchTable(const Outcome& o, bool read) {
    EXPECT_EQ(o.camLamp, read ? 1 : 0);
#ifndef _WIN32
    // Under Wine the start sound plays in real time and holds the power at 0 all through this
    // short drive.
    EXPECT_EQ(o.topPower, read ? 3 : 2);
#endif
}

// The full start-up log of the sample vehicle: every sound loaded.
void ExpectFullAudio(const Outcome& o, int motorSounds = kSampleMotorSounds) {
    ASSERT_TRUE(o.logWritten);
    ASSERT_GE(o.logLines.size(), 5u) << o.log;
    EXPECT_EQ(o.logLines[0], "<time>");
    EXPECT_EQ(o.logLines[1], "XAudio2初期化開始");
    EXPECT_EQ(o.logLines[2], "XAudio2作成成功");
    EXPECT_EQ(o.logLines[3], "マスターボイスの作成成功");
    EXPECT_EQ(o.logLines[4], "モーター音の数は" + std::to_string(motorSounds) + "個");
    EXPECT_EQ(o.logLines[o.logLines.size() - 2], "<time>");
    EXPECT_EQ(o.logLines.back(), "XAudio2初期化完了");
    EXPECT_EQ(o.sounds.size(), static_cast<size_t>(motorSounds) + kNamedSoundFiles.size());
#ifndef _WIN32
    EXPECT_TRUE(o.engineAttached);
    EXPECT_GT(o.rms, 0.001) << "the drive's sounds are heard";
#endif
}

std::vector<std::string> FailedSounds(const Outcome& o) {
    std::vector<std::string> failed;
    for (const SoundLine& s : o.sounds) {
        if (!s.loaded) {
            failed.push_back(fs::path(s.file).filename().string() + " " + s.code);
        }
    }
    return failed;
}

// Everything but the audio: the notch table, the chain and the needle tables were read.
void ExpectConfigurationRead(const Outcome& o) {
    EXPECT_EQ(o.version, std::optional<int32_t>(0x20000)) << o.versionError;
    ExpectNotchTable(o, true);
    EXPECT_EQ(o.brakeBack, kChainedBrake);
    EXPECT_EQ(o.speedNeedle, kSpeedNeedle);
    EXPECT_EQ(o.currentNeedle, kCurrentNeedle);
}

void ExpectAllWell(const Outcome& o) {
    ExpectFullAudio(o);
    EXPECT_TRUE(FailedSounds(o).empty()) << o.log;
    ExpectConfigurationRead(o);
}

void ExpectAllWellButTheChain(const Outcome& o) {
    ExpectFullAudio(o);
    EXPECT_TRUE(FailedSounds(o).empty()) << o.log;
    EXPECT_EQ(o.version, std::optional<int32_t>(0x20000)) << o.versionError;
    ExpectNotchTable(o, true);
    EXPECT_EQ(o.speedNeedle, kSpeedNeedle);
    EXPECT_EQ(o.currentNeedle, kCurrentNeedle);
}

TEST(FaultMatrix, TheSampleVehicleLoadsEverything) {
    const Vehicle vehicle;
    ExpectAllWell(Drive(vehicle));
}

// Makes a file unreadable for this process; false (with a message) where permissions do not
// bind it, as for root.
bool MakeUnreadable(const fs::path& file) {
#ifdef _WIN32
    (void)file;
    std::cout << "[ SKIPPED  ] no file permissions under Wine\n";
    return false;
#else
    ::chmod(file.c_str(), 0);
    if (::access(file.c_str(), R_OK) == 0) {
        ::chmod(file.c_str(), 0644);
        std::cout << "[ SKIPPED  ] " << file.filename() << " without read permission: "
                  << "permissions do not bind this user (root)\n";
        return false;
    }
    return true;
#endif
}

enum class FileFault { Missing, Folder, Unreadable };

struct ConfigurationCase {
    const wchar_t* file;
    std::function<void(const Outcome&)> check;
};

TEST(FaultMatrix, ConfigurationFilesMissingUnreadableOrFoldersLeaveOnlyTheirDefaults) {
    const std::vector<ConfigurationCase> cases = {
        {L"notch\\notch.txt",
         [](const Outcome& o) {
             ExpectFullAudio(o);
             EXPECT_TRUE(FailedSounds(o).empty());
             ExpectNotchTable(o, false);
             EXPECT_EQ(o.brakeBack, kChainedBrake);
             EXPECT_EQ(o.speedNeedle, kSpeedNeedle);
         }},
        {L"NeedleTable\\Speed.csv",
         [](const Outcome& o) {
             ExpectFullAudio(o);
             ExpectNotchTable(o, true);
             EXPECT_EQ(o.speedNeedle, kRawSpeedNeedle) << "the needle shows the speed itself";
             EXPECT_EQ(o.currentNeedle, kCurrentNeedle);
         }},
        {L"AtsMotorConfig.txt",
         [](const Outcome& o) {
             ExpectFullAudio(o, 0);
             EXPECT_TRUE(FailedSounds(o).empty());
             ExpectConfigurationRead(o);
         }},
        {L"detailmodulesx64.txt",
         [](const Outcome& o) {
             ExpectAllWellButTheChain(o);
             EXPECT_EQ(o.brakeBack, kUnchainedBrake) << "no module answers the brake";
         }},
        {L"kamujiku\\start1.wav",
         [](const Outcome& o) {
             ExpectFullAudio(o);
             const std::vector<std::string> failed = FailedSounds(o);
             ASSERT_EQ(failed.size(), 1u) << o.log;
             EXPECT_EQ(failed[0].rfind("start1.wav 0X8", 0), 0u) << failed[0];
             ExpectConfigurationRead(o);
         }},
    };
    for (const ConfigurationCase& c : cases) {
        for (FileFault fault : {FileFault::Missing, FileFault::Folder, FileFault::Unreadable}) {
            SCOPED_TRACE(platform::EncodeUtf8(c.file) + (fault == FileFault::Missing ? " missing"
                                                         : fault == FileFault::Folder
                                                             ? " a folder"
                                                             : " unreadable"));
            const Vehicle vehicle;
            if (fault == FileFault::Missing) {
                fs::remove(vehicle.File(c.file));
            } else if (fault == FileFault::Folder) {
                vehicle.FolderInstead(c.file);
            } else if (!MakeUnreadable(vehicle.File(c.file))) {
                continue;
            }
            const Outcome o = Drive(vehicle);
            c.check(o);
            for (const SoundLine& s : o.sounds) {
                if (!s.loaded) {
                    std::cout << "  " << s.file << ": " << s.code << "\n";
                }
            }
        }
    }
}

// No start-up log: no engine, the plug-in is silent, everything else works.
void ExpectSilentButConfigured(const Outcome& o) {
    EXPECT_TRUE(o.sounds.empty());
#ifndef _WIN32
    EXPECT_FALSE(o.engineAttached);
    EXPECT_EQ(o.rms, 0.0);
#endif
    ExpectConfigurationRead(o);
}

TEST(FaultMatrix, AStartUpLogThatCannotBeWrittenMeansSilenceAndNothingElse){
    {SCOPED_TRACE("a folder named like the log");
const Vehicle vehicle;
vehicle.FolderInstead(kLogName);
const Outcome o = Drive(vehicle);
EXPECT_FALSE(o.logWritten);
ExpectSilentButConfigured(o);
}  // namespace
#ifdef _WIN32
{
    SCOPED_TRACE("a log file another program holds open without sharing");
    const Vehicle vehicle;
    vehicle.Write(kLogName, "held");
    const HANDLE held =
        CreateFileW(vehicle.FileString(kLogName).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const Outcome o = Drive(vehicle);
    CloseHandle(held);
    EXPECT_EQ(ReadFileBytes(vehicle.File(kLogName)), "held");
    ExpectSilentButConfigured(o);
}
#else
{
    SCOPED_TRACE("a read-only vehicle folder");
    const Vehicle vehicle;
    ::chmod(vehicle.Path().c_str(), 0555);
    if (::access(vehicle.Path().c_str(), W_OK) == 0) {
        std::cout << "[ SKIPPED  ] read-only folder: permissions do not bind this user "
                     "(root)\n";
    } else {
        const Outcome o = Drive(vehicle);
        EXPECT_FALSE(o.logWritten);
        ExpectSilentButConfigured(o);
    }
    ::chmod(vehicle.Path().c_str(), 0755);
}
#endif
}  // namespace camcab::test

#ifndef _WIN32
TEST(FaultMatrix, WithoutAnAudioDeviceTheLogSaysSoAndTheRestRuns) {
    const Vehicle vehicle;
    const Outcome o = Drive(vehicle, [] { hostaudio::UseAudioDriver("no-such-driver"); });
    EXPECT_EQ(
        o.log,
        "<time>\r\nXAudio2初期化開始\r\nXAudio2作成成功\r\nマスターボイスの作成失敗\r\nエラー:"
        "0X88960001\r\n");
    EXPECT_EQ(o.rms, 0.0);
    ExpectConfigurationRead(o);
}
#endif

// "のバージョンが不正です。" in code page 932, after the module's path.
const std::string kInvalidVersion =
    "\x82\xcc\x83\x6f\x81\x5b\x83\x57\x83\x87\x83\x93\x82\xaa\x95\x73\x90\xb3\x82\xc5\x82\xb7"
    "\x81\x42";

// The list file: `entries` first, then the sample vehicle's own lines (the pass-through module).
void WriteList(const Vehicle& vehicle, const std::string& entries) {
    vehicle.Write(kListName, entries + ReadFileBytes(BuiltFile(CAMCAB_SAMPLE_VEHICLE
                                                               "/detailmodulesx64.txt")));
}

TEST(FaultMatrix, ModulesThatListThemselvesEachOtherOrAreOfAnotherKindKeepTheChain) {
    {
        SCOPED_TRACE("the plug-in names itself");
        const Vehicle vehicle;
        WriteList(vehicle, platform::EncodeUtf8(PluginName()) + "\n");
        ExpectAllWell(Drive(vehicle));
    }
    {
        SCOPED_TRACE("two copies name each other");
        const Vehicle vehicle;
        const Vehicle other(L"camcab-fault-other");
        WriteList(vehicle, platform::EncodeUtf8(other.FileString(PluginName())) + "\n");
        WriteList(other, platform::EncodeUtf8(vehicle.FileString(PluginName())) + "\n");
        // The other copy stays silent: SDL's silent device opens only once in a process.
        other.FolderInstead(kLogName);
        ExpectAllWell(Drive(vehicle));
    }
    {
        SCOPED_TRACE("a module of another interface version");
        const Vehicle vehicle;
        const std::wstring old = L"old" CAMCAB_LIBRARY_SUFFIX;
        vehicle.Copy(BuiltFile(CAMCAB_OLD_VERSION_FILE), old);
        WriteList(vehicle, platform::EncodeUtf8(old) + "\n");
        const Outcome o = Drive(vehicle);
        EXPECT_FALSE(o.version.has_value());
        EXPECT_EQ(o.versionError, platform::EncodeUtf8(vehicle.FileString(old)) + kInvalidVersion);
        ExpectFullAudio(o);
        ExpectNotchTable(o, true);
        EXPECT_EQ(o.brakeBack, kChainedBrake) << "the module stays in the chain";
    }
    {
        SCOPED_TRACE("a library with none of the sixteen exports, after the chain's module");
        const Vehicle vehicle;
        const std::wstring none = L"none" CAMCAB_LIBRARY_SUFFIX;
        vehicle.Copy(BuiltFile(CAMCAB_NO_EXPORTS_FILE), none);
        vehicle.Write(kListName,
                      ReadFileBytes(BuiltFile(CAMCAB_SAMPLE_VEHICLE "/detailmodulesx64.txt")) +
                          "\n" + platform::EncodeUtf8(none));
        ExpectAllWell(Drive(vehicle));
    }
    {
        SCOPED_TRACE("a library with none of the sixteen exports, first in the list");
        const Vehicle vehicle;
        const std::wstring none = L"none" CAMCAB_LIBRARY_SUFFIX;
        vehicle.Copy(BuiltFile(CAMCAB_NO_EXPORTS_FILE), none);
        WriteList(vehicle, platform::EncodeUtf8(none) + "\n");
        const Outcome o = Drive(vehicle);
        ExpectAllWellButTheChain(o);
        // The module after it is handed what the first module answered: it has no Elapse, so
        // the handles the chain started from, all 0.
        EXPECT_EQ(o.brakeBack, kUnchainedBrake);
    }
}

TEST(FaultMatrix, AFolderNamedInJapaneseWithBlanksReadsEverything) {
    const Vehicle vehicle(L"車両 フォルダ with blanks");
    ExpectAllWell(Drive(vehicle));

    // The C library's encoding cannot hold the path of a module of another version there:
    // the message is the text alone.
    const std::wstring old = L"old" CAMCAB_LIBRARY_SUFFIX;
    vehicle.Copy(BuiltFile(CAMCAB_OLD_VERSION_FILE), old);
    WriteList(vehicle, platform::EncodeUtf8(old) + "\n");
    EXPECT_EQ(Drive(vehicle).versionError, kInvalidVersion);
}

// On Windows too: the library reads its own name whatever its length, and under Wine every
// file opens at that length.
TEST(FaultMatrix, AThousandCharacterPathReadsEverything) {
    const Vehicle vehicle(L"camcab-long", 1000);
    ASSERT_GE(WideFromPath(vehicle.Path()).size(), 1000u);
    ExpectAllWell(Drive(vehicle));

    // A module of another version there is named by the first 235 bytes of its path.
    const std::wstring old = L"old" CAMCAB_LIBRARY_SUFFIX;
    vehicle.Copy(BuiltFile(CAMCAB_OLD_VERSION_FILE), old);
    WriteList(vehicle, platform::EncodeUtf8(old) + "\n");
    const Outcome o = Drive(vehicle);
    EXPECT_EQ(o.versionError,
              platform::EncodeUtf8(vehicle.FileString(old)).substr(0, 235) + kInvalidVersion);
}

// The sample's start1.wav (a one-shot heard in the drive) and pipe.wav (a loop from the start)
// with their headers or sizes damaged.
struct WaveCase {
    const char* what;
    std::function<std::string(const std::string&)> damage;
    bool oneShotLoads;  // its log line says it loaded, as a one-shot
    bool loopLoads;     // and as a loop
};

std::string WithLe32(std::string bytes, size_t at, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<char>(value >> (8 * i));
    }
    return bytes;
}
size_t SizeFieldOf(const std::string& bytes, const char* chunk) {
    const size_t at = bytes.find(chunk, 12);
    if (at == std::string::npos) {
        throw std::runtime_error("no such chunk");
    }
    return at + 4;
}

TEST(FaultMatrix, DamagedWaveFilesLeaveOnlyTheirOwnSlotEmpty) {
    const std::vector<WaveCase> cases = {
        {"empty", [](const std::string&) { return std::string(); }, false, false},
        {"cut inside the header", [](const std::string& w) { return w.substr(0, 30); }, false,
         false},
        // What the file holds is played.
        {"cut half way through its samples",
         [](const std::string& w) { return w.substr(0, w.size() / 2 + 1); }, true, true},
        {"a data size beyond the file",
         [](const std::string& w) { return WithLe32(w, SizeFieldOf(w, "data"), 0x7FFFFFF0u); },
         true, true},
        // A voice with nothing to play: a loop cannot queue it, a one-shot never sounds.
        {"no samples",
         [](const std::string& w) {
             const size_t data = SizeFieldOf(w, "data");
             return WithLe32(w.substr(0, data + 4), data, 0);
         },
         true, false},
        {"a format chunk too short",
         [](const std::string& w) { return WithLe32(w, SizeFieldOf(w, "fmt "), 8); }, false, false},
        {"a format chunk size beyond the file",
         [](const std::string& w) { return WithLe32(w, SizeFieldOf(w, "fmt "), 0x7FFFFFF0u); },
         false, false},
    };
    for (const wchar_t* file : {L"kamujiku\\start1.wav", L"air\\pipe.wav"}) {
        const bool looping = std::wstring(file) == L"air\\pipe.wav";
        const std::string whole = ReadFileBytes(SampleFile(file));
        for (const WaveCase& c : cases) {
            SCOPED_TRACE(platform::EncodeUtf8(file) + " " + c.what);
            const Vehicle vehicle;
            vehicle.Write(file, c.damage(whole));
            const Outcome o = Drive(vehicle);
            ExpectFullAudio(o);
            ExpectConfigurationRead(o);
            const std::vector<std::string> failed = FailedSounds(o);
            for (const std::string& f : failed) {
                std::cout << "  " << c.what << ": " << f << "\n";
            }
            if (looping ? c.loopLoads : c.oneShotLoads) {
                EXPECT_TRUE(failed.empty()) << o.log;
            } else {
                ASSERT_EQ(failed.size(), 1u) << o.log;
                EXPECT_EQ(failed[0].rfind(SampleFile(file).filename().string(), 0), 0u)
                    << failed[0];
            }
        }
    }
}

}  // namespace
}  // namespace camcab::test
