// The built camcab-check on copies of the sample vehicle, each broken in one way, and the
// readers giving the same records with the diagnostics sink on as with it off.
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "WaveFile.h"
#include "chain/ModuleList.h"
#include "config/VehicleFolder.h"
#include "platform/FileSystem.h"
#include "plugin/Plugin.h"
#include "support/TempFolder.h"

namespace camcab {
namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status = -1;
    std::string output;
};

Outcome RunCommand(const std::string& command) {
    Outcome run;
    std::FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) {
        return run;
    }
    char chunk[4096];
    size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) {
        run.output.append(chunk, got);
    }
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::string Quoted(const fs::path& path) {
    return "'" + path.string() + "'";
}

Outcome Check(const test::TempFolder& vehicle, const std::string& options = "") {
    return RunCommand(std::string(CAMCAB_CHECK_FILE) + " " + options + " " +
                      Quoted(vehicle.Path()));
}

// The sample vehicle as it is installed: its files with the pass-through module beside them.
void MakeVehicle(const test::TempFolder& vehicle) {
    fs::copy(CAMCAB_SAMPLE_VEHICLE, vehicle.Path(), fs::copy_options::recursive);
    vehicle.Copy(CAMCAB_PASSTHROUGH_FILE, L"camcab-passthrough.so");
}

void Replace(const test::TempFolder& vehicle, std::wstring_view file, const std::string& from,
             const std::string& to) {
    std::string text = test::ReadFileBytes(vehicle.File(file));
    const size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
    vehicle.Write(file, text);
}

void Append(const test::TempFolder& vehicle, std::wstring_view file, const std::string& text) {
    vehicle.Write(file, test::ReadFileBytes(vehicle.File(file)) + text);
}

// A 16-bit mono PCM WAV file with no samples.
std::string EmptyWave() {
    const char header[] =
        "RIFF\x24\0\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x44\xAC\0\0\x88\x58\x01\0\x02\0\x10\0"
        "data\0\0\0\0";
    return std::string(header, sizeof header - 1);
}

struct Fault {
    const char* name;
    std::function<void(const test::TempFolder&)> breakIt;
    int status;
    const char* expected;  // a regular expression one line of the output must match
};

const Fault kFaults[] = {
    {"missing notch index", [](auto& v) { fs::remove(v.File(L"notch\\notch.txt")); }, 1,
     "^notch/notch.txt: error: missing$"},
    {"unconvertible number",
     [](auto& v) { Replace(v, L"notch\\brake_params.csv", "0.25", "quarter"); }, 1,
     "^notch/brake_params.csv:3: error: column 1: 'quarter' is not a number"},
    {"number with trailing text",
     [](auto& v) { Replace(v, L"NeedleTable\\Speed.csv", "100, 100.8", "1O0, 100.8"); }, 0,
     "^NeedleTable/Speed.csv:7: warning: '1O0' reads as '1'"},
    {"key in the wrong section",
     [](auto& v) { Replace(v, L"notch\\notch.txt", "[Brake]", "NoLoadCurrent = x.csv\n[Brake]"); },
     0,
     "^notch/notch.txt:7: warning: key 'NoLoadCurrent' in the wrong section: ignored in "
     "\\[Power\\]"},
    {"unknown section", [](auto& v) { Append(v, L"AtsMotorConfig.txt", "[Horn]\n"); }, 0,
     "^AtsMotorConfig.txt:22: warning: unknown section \\[Horn\\]"},
    {"rows out of order",
     [](auto& v) { Replace(v, L"NeedleTable\\Speed.csv", "0, 0\n20, 20.5", "20, 20.5\n0, 0"); }, 0,
     "^NeedleTable/Speed.csv:3: warning: rows out of order \\(x 0 after 20 of line 2\\)"},
    {"motor sound number without file",
     [](auto& v) { Replace(v, L"AtsMotorConfig.txt", "3 = motor\\motor3.wav\n", ""); }, 0,
     "^AtsMotorConfig.txt: warning: motor sound 3 has no file line"},
    {"sound file that does not decode",
     [](auto& v) { v.Write(L"kamujiku\\reset.wav", "RIFF but not really"); }, 1,
     "^kamujiku/reset.wav: error: cannot be decoded: .*エラー:0XC00D36C4\\)$"},
    {"missing motor sound file", [](auto& v) { fs::remove(v.File(L"motor\\motor2.wav")); }, 1,
     "^motor/motor2.wav: error: cannot be decoded: file not found .*エラー:0X80070002\\)$"},
    {"frequency ratio beyond the engine",
     [](auto& v) { Replace(v, L"motor\\power_frequency.csv", "\n140, 2,", "\n140, 2000,"); }, 0,
     "^motor/power_frequency.csv: warning: column 1 \\(motor sound 0\\): frequency ratio 5996 at "
     "160 km/h is above the voice's limit 1024 \\(the engine's largest ratio\\)"},
    {"frequency ratio rising below the first row",
     [](auto& v) {
         Replace(v, L"motor\\brake_frequency.csv", "\n0, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5\n10, 1,",
                 "\n10, 3,");
     },
     0,
     "^motor/brake_frequency.csv: warning: column 1 \\(motor sound 0\\): frequency ratio 4 at 0 "
     "km/h is above the voice's limit 3 \\(its highest point"},
    {"frequency ratio below the engine's smallest",
     [](auto& v) { Replace(v, L"motor\\neutral_frequency.csv", "\n0, 0.5,", "\n0, -0.5,"); }, 0,
     "^motor/neutral_frequency.csv: warning: column 1 \\(motor sound 0\\): frequency ratio -0.5 "
     "at 0 km/h is below the engine's smallest ratio"},
    {"needle table short of its range",
     [](auto& v) { Replace(v, L"NeedleTable\\Speed.csv", "160, 160\n", ""); }, 0,
     "^NeedleTable/Speed.csv: warning: covers 0..120 km/h, not 0..160 km/h"},
    {"module missing", [](auto& v) { Append(v, L"detailmodulesx64.txt", "ats.so \n"); }, 0,
     "^detailmodulesx64.txt:3: warning: 'ats.so ': missing: the module is not chained \\(entries "
     "are used as written"},
    {"module that is no library",
     [](auto& v) {
         v.Write(L"ats.so", "not a library");
         Append(v, L"detailmodulesx64.txt", "ats.so\n");
     },
     1, "^detailmodulesx64.txt:3: error: 'ats.so': cannot be loaded"},
    {"module without the interface",
     [](auto& v) {
         v.Copy(CAMCAB_NO_EXPORTS_FILE, L"plain.so");
         Append(v, L"detailmodulesx64.txt", "plain.so\n");
     },
     1, "^detailmodulesx64.txt:3: error: 'plain.so': exports none of the sixteen entry points"},
    {"module of another version",
     [](auto& v) {
         v.Copy(CAMCAB_OLD_VERSION_FILE, L"old.so");
         Append(v, L"detailmodulesx64.txt", "old.so\n");
     },
     1, "^detailmodulesx64.txt:3: error: 'old.so': interface version 0x10000, not 0x20000"},
    {"module lacking some entry points",
     [](auto& v) {
         v.Copy(CAMCAB_FEW_EXPORTS_FILE, L"few.so");
         Append(v, L"detailmodulesx64.txt", "few.so\n");
     },
     0, "^detailmodulesx64.txt:3: warning: 'few.so': lacks .*: those calls are not forwarded"},
    {"the plug-in itself listed",
     [](auto& v) {
         v.Copy(CAMCAB_PLUGIN_FILE, L"libcamcab.so");
         Append(v, L"detailmodulesx64.txt", "libcamcab.so\n");
     },
     0, "^detailmodulesx64.txt:3: note: 'libcamcab.so': the plug-in itself: skipped"},
    {"unreadable current file",
     [](auto& v) {
         fs::remove(v.File(L"notch\\power_current.csv"));
         fs::create_directory(v.File(L"notch\\power_current.csv"));
     },
     1, "^notch/power_current.csv: error: cannot be read"},
    {"looping sound without samples", [](auto& v) { v.Write(L"motor\\motor1.wav", EmptyWave()); },
     1, "^motor/motor1.wav: error: decodes to no samples, .*エラー:0X88960001\\)$"},
    {"one-row needle table",
     [](auto& v) { v.Write(L"NeedleTable\\Voltage.csv", "V, Needle\n1500, 750\n"); }, 0,
     "^NeedleTable/Voltage.csv: warning: one row: the needle shows 750 whatever its input"},
    // What the camshaft does with the notch tables.
    {"too few power curves",
     [](auto& v) { Replace(v, L"notch\\power_params.csv", "4, 4, 4, 5, 5", "4, 4, 4, 4, 4"); }, 1,
     "^notch/power_params.csv:3: error: RequiredNotch_Up gives 8 power current curves where the "
     "camshaft compares 11 \\(c0 to c10\\): c8 to c10 are 0 A, so stage C ends only under 2 A or "
     "at no current, stage D is reached at every power start, as the current passes under 2 A: the "
     "stages will not follow the table$"},
    {"no regenerative current limit",
     [](auto& v) {
         Replace(v, L"notch\\brake_params.csv", "CurrentLimitingValue_Empty, 280",
                 "CurrentLimitingValue_Empty, 0");
     },
     0,
     "^notch/brake_params.csv:4: warning: CurrentLimitingValue_Empty is 0 A: with the power handle "
     "off, regeneration is released in its first frame"},
    {"a curve reading the speed column",
     [](auto& v) {
         Replace(v, L"notch\\power_params.csv", "RequiredNotch_Up, 1,", "RequiredNotch_Up, 3,");
     },
     1,
     "^notch/power_params.csv:3: error: c0 \\(stage A: the current must be above it\\) reads "
     "column 0 of the current file, the speed"},
    {"a decimal comma",
     [](auto& v) { Replace(v, L"notch\\power_current.csv", "\n10, 153,", "\n10, 15,3,"); }, 0,
     "^notch/power_current.csv:3: warning: a row of 14 fields where the heading names 13: a "
     "decimal comma"},
    {"a short row",
     [](auto& v) { Replace(v, L"notch\\brake_current.csv", "\n10, 0, 0,", "\n10, 0, 0\n#"); }, 0,
     "^notch/brake_current.csv:3: warning: a row of 3 fields where the heading names 11: the "
     "curves of columns 3 to 10 get no point from it"},
    {"a module list that chains nothing",
     [](auto& v) { v.Write(L"detailmodulesx64.txt", "ats.dll"); }, 1,
     "^detailmodulesx64.txt: error: no entry chains a module that answers Elapse on either "
     "platform: the returned brake notch will always be 0 \\(but for the key 9 brake override\\)"},
    {"no module list", [](auto& v) { fs::remove(v.File(L"detailmodulesx64.txt")); }, 1,
     "^detailmodulesx64.txt: error: no module list: the returned brake notch will always be 0"},
};

// A mono 22,050 Hz WAV file of 24-bit samples, all silent.
std::string Wave24Bit(uint32_t frames) {
    hostaudio::WaveLayout layout;
    layout.sampleRate = 22050;
    layout.bitsPerSample = 24;
    return hostaudio::WaveBytes(layout, std::string(frames * 3u, '\0'));
}

// Its only warnings: where its brake currents pass the empty-car current limit.
TEST(CamcabCheck, TheInstalledSampleVehicleChecksWithoutError) {
    const test::TempFolder vehicle(L"camcab-check-sample");
    MakeVehicle(vehicle);
    const Outcome run = Check(vehicle);
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output.find("error:"), std::string::npos) << run.output;
    const std::regex warning("^[^\\n]*warning:[^\\n]*$", std::regex::multiline);
    const std::regex limit(
        "notch/brake_current.csv:[78]: warning: column [0-9]+: [0-9]+ A at "
        "[56]0 km/h is above CurrentLimitingValue_Empty \\(280 A\\)");
    for (auto it = std::sregex_iterator(run.output.begin(), run.output.end(), warning);
         it != std::sregex_iterator(); ++it) {
        EXPECT_TRUE(std::regex_search(it->str(), limit)) << it->str();
    }
    EXPECT_NE(run.output.find("19 of 19 files read, 56 curves, 20 of 20 sounds decoded, 2 modules "
                              "listed: 0 errors, 4 warnings"),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("curve power current 10: notch/power_current.csv column 12, 13 "
                              "points, x 0..120, y 336..420; c10, stage D: reached within 2 A\n"),
              std::string::npos)
        << run.output;
}

TEST(CamcabCheck, EachFaultIsReportedWithItsFileLineAndExitStatus) {
    for (const Fault& fault : kFaults) {
        SCOPED_TRACE(fault.name);
        const test::TempFolder vehicle(L"camcab-check-fault");
        MakeVehicle(vehicle);
        fault.breakIt(vehicle);
        const Outcome run = Check(vehicle);
        EXPECT_EQ(run.status, fault.status) << run.output;
        EXPECT_TRUE(
            std::regex_search(run.output, std::regex(fault.expected, std::regex::multiline)))
            << run.output;
    }
}

TEST(CamcabCheck, JsonHoldsTheSameFindingsAndTheCurveAndSoundInformation) {
    const test::TempFolder vehicle(L"camcab-check-json");
    MakeVehicle(vehicle);
    Replace(vehicle, L"NeedleTable\\Speed.csv", "0, 0\n20, 20.5", "20, 20.5\n0, 0");
    vehicle.Write(L"kamujiku\\watari.wav", "no sound");
    vehicle.Write(L"kamujiku\\notchoff.wav", Wave24Bit(2205));
    const Outcome text = Check(vehicle);
    const fs::path json = vehicle.File(L"findings.json");
    const Outcome run = Check(vehicle, "--json > " + Quoted(json));
    EXPECT_EQ(run.status, 1) << run.output;
    const Outcome parsed = RunCommand(
        "python3 -c 'import json, sys\n"
        "d = json.load(open(sys.argv[1], encoding=\"utf-8\"))\n"
        "for f in d[\"findings\"]: print(\"%s:%s: %s: %s\" % (f[\"file\"], f[\"line\"], "
        "f[\"severity\"], f[\"message\"]))\n"
        "print([c[\"name\"] for c in d[\"curves\"] if c[\"outOfOrder\"]])\n"
        "s = [s for s in d[\"sounds\"] if s[\"name\"] == \"motor 0\"][0]\n"
        "print(s[\"decoded\"], s[\"channels\"], s[\"sampleRate\"], s[\"frames\"], s[\"seconds\"])\n"
        "print([(s[\"name\"], s[\"storedBitsPerSample\"], s[\"bitsPerSample\"]) "
        "for s in d[\"sounds\"] if s[\"converted\"]])\n"
        "print(d[\"errors\"], d[\"warnings\"], len(d[\"modules\"]))' " +
        Quoted(json));
    ASSERT_EQ(parsed.status, 0) << parsed.output;
    EXPECT_NE(parsed.output.find("NeedleTable/Speed.csv:3: warning: rows out of order"),
              std::string::npos)
        << parsed.output;
    EXPECT_NE(parsed.output.find("kamujiku/watari.wav:None: error: cannot be decoded"),
              std::string::npos)
        << parsed.output;
    EXPECT_NE(parsed.output.find("['needle Speed']"), std::string::npos) << parsed.output;
    EXPECT_NE(parsed.output.find("True 1 22050 11025 0.5"), std::string::npos) << parsed.output;
    EXPECT_NE(parsed.output.find("1 5 2"), std::string::npos) << parsed.output;  // 4 brake limits
    EXPECT_NE(parsed.output.find("('notchoff.wav', 24, 16)]"), std::string::npos) << parsed.output;
    EXPECT_NE(text.output.find("kamujiku/notchoff.wav, format 1, 1 channels, 22050 Hz, 16 bits, "
                               "2205 frames (0.100 s), frequency ratio limit 2, converted from "
                               "24-bit PCM\n"),
              std::string::npos)
        << text.output;
    // The text output's summary counts the same findings.
    EXPECT_NE(text.output.find("1 errors, 5 warnings"), std::string::npos) << text.output;
}

TEST(CamcabCheck, BadUsageExitsWithTwo) {
    const test::TempFolder vehicle(L"camcab-check-usage");
    const std::string program = CAMCAB_CHECK_FILE;
    EXPECT_EQ(RunCommand(program).status, 2);
    EXPECT_EQ(RunCommand(program + " --frobnicate " + Quoted(vehicle.Path())).status, 2);
    EXPECT_EQ(RunCommand(program + " " + Quoted(vehicle.File(L"no-such-folder"))).status, 2);
    EXPECT_EQ(RunCommand(program + " --top-speed fast " + Quoted(vehicle.Path())).status, 2);
    EXPECT_EQ(RunCommand(program + " " + Quoted(vehicle.Path()) + " second").status, 2);
    const Outcome help = RunCommand(program + " --help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.output.find("Speed.csv      0 .. the top speed"), std::string::npos);
}

// The files a plug-in's Load opens in the vehicle folder, in the order it opens them, seen by
// the kernel; named relative to the folder, with '/'.
std::vector<std::string> FilesOpenedByLoad(const test::TempFolder& vehicle) {
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    EXPECT_GE(watch, 0);
    std::map<int, std::string> folders{
        {inotify_add_watch(watch, vehicle.Path().c_str(), IN_OPEN), ""}};
    for (const auto& item : fs::recursive_directory_iterator(vehicle.Path())) {
        if (item.is_directory()) {
            folders[inotify_add_watch(watch, item.path().c_str(), IN_OPEN)] =
                fs::relative(item.path(), vehicle.Path()).string() + "/";
        }
    }
    {
        Plugin plugin(vehicle.Directory());
        plugin.Load();
        plugin.Dispose();
    }
    std::vector<std::string> opened;
    alignas(inotify_event) char events[1 << 16];
    ssize_t got = 0;
    while ((got = read(watch, events, sizeof events)) > 0) {
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(events + at);
            if (event->len > 0 && (event->mask & IN_ISDIR) == 0) {
                opened.push_back(folders[event->wd] + event->name);
            }
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    close(watch);
    return opened;
}

// The checker lists the configuration files in the order the plug-in's Load opens them: the
// module list before the notch files, the motor sound tables, then the needle tables.
TEST(CamcabCheck, ListsTheFilesInTheOrderThePluginOpensThem) {
    const test::TempFolder vehicle(L"camcab-check-order");
    MakeVehicle(vehicle);
    const std::vector<std::string> opened = FilesOpenedByLoad(vehicle);

    const Outcome run = Check(vehicle);
    std::vector<std::string> listed;
    const std::regex fileLine("^file (.*): read$", std::regex::multiline);
    for (auto it = std::sregex_iterator(run.output.begin(), run.output.end(), fileLine);
         it != std::sregex_iterator(); ++it) {
        listed.push_back((*it)[1]);
    }
    ASSERT_EQ(listed.size(), 19u) << run.output;
    EXPECT_EQ(listed.front(), "detailmodulesx64.txt");
    const std::set<std::string> configuration(listed.begin(), listed.end());
    std::vector<std::string> openedConfiguration;
    for (const std::string& name : opened) {
        if (configuration.count(name) != 0) {
            openedConfiguration.push_back(name);
        }
    }
    EXPECT_EQ(openedConfiguration, listed);
}

// A folder with a fault in every reader: the records read with the sink on equal those read
// without it, so the checker reads what the plug-in reads.
TEST(CamcabCheck, ReadersReadTheSameWithTheSinkOn) {
    const test::TempFolder vehicle(L"camcab-check-same");
    MakeVehicle(vehicle);
    Replace(vehicle, L"notch\\notch.txt", "[Brake]", "NoLoadCurrent = x.csv\n[Brake]\n[Bad]");
    Replace(vehicle, L"notch\\power_params.csv", "1, 1, 2", "1, x, 2");
    Append(vehicle, L"notch\\power_params.csv", "RequiredNotch_Up, 1, 3, 3\n");
    Replace(vehicle, L"notch\\brake_params.csv", "0.25", "0.2s");
    Replace(vehicle, L"notch\\power_current.csv", "\n10, 153", "\n10, bad");
    Append(vehicle, L"notch\\brake_current.csv", "5, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10\n");
    Replace(vehicle, L"AtsMotorConfig.txt", "5 = ", "Volume = motor\\brake_volume.csv\n9 = ");
    Replace(vehicle, L"motor\\power_volume.csv", "\n10, 1,", "\n10, ,");
    Replace(vehicle, L"NeedleTable\\Speed.csv", "0, 0\n20, 20.5", "20, 20.5\n0\n0, 0");

    struct Sink final : config::Diagnostics {
        size_t reports = 0;
        void Report(const config::Diagnostic&) override { ++reports; }
    } sink;
    config::Configuration plain;
    config::Configuration reported;
    const std::wstring folder = vehicle.Directory();
    config::ReadVehicle(plain, folder);
    config::ReadVehicle(reported, folder, &sink);
    EXPECT_GE(sink.reports, 9u);

    const config::NotchTable& a = plain.notchTable;
    const config::NotchTable& b = reported.notchTable;
    EXPECT_EQ(a.PowerCurveColumns, b.PowerCurveColumns);
    EXPECT_EQ(a.PowerCurrentCurves, b.PowerCurrentCurves);
    EXPECT_EQ(a.BrakeCurveColumns, b.BrakeCurveColumns);
    EXPECT_EQ(a.BrakeCurrentCurves, b.BrakeCurrentCurves);
    EXPECT_EQ(a.BreakerDelayOn, b.BreakerDelayOn);
    EXPECT_EQ(a.NoLoadCurrent, b.NoLoadCurrent);
    EXPECT_EQ(a.BrakeTopNotch, b.BrakeTopNotch);
    EXPECT_EQ(a.PowerRequiredNotches, b.PowerRequiredNotches);
    EXPECT_EQ(a.BrakeRequiredNotches, b.BrakeRequiredNotches);
    const config::MotorSoundConfig& m = plain.motorSoundConfig;
    const config::MotorSoundConfig& n = reported.motorSoundConfig;
    EXPECT_EQ(m.MotorSoundFiles, n.MotorSoundFiles);
    EXPECT_EQ(m.PowerVolumeCurves, n.PowerVolumeCurves);
    EXPECT_EQ(m.NeutralVolumeCurves, n.NeutralVolumeCurves);
    EXPECT_EQ(m.PowerFrequencyCurves, n.PowerFrequencyCurves);
    EXPECT_EQ(plain.needleTables.speedNeedleTable, reported.needleTables.speedNeedleTable);
    EXPECT_EQ(plain.needleTables.speedNeedleTable.front().x, 0.0f);  // used sorted
}

// The findings a sink receives: where they are (file, line, column) and how much they weigh.
struct Recorded final : config::Diagnostics {
    std::vector<config::Diagnostic> findings;
    void Report(const config::Diagnostic& diagnostic) override { findings.push_back(diagnostic); }
    std::string Where() const {
        std::string out;
        for (const config::Diagnostic& d : findings) {
            const std::wstring name = d.file.substr(d.file.find_last_of(L"/\\") + 1);
            out += std::string(name.begin(), name.end()) + ":" + std::to_string(d.line) +
                   (d.column ? "." + std::to_string(*d.column) : "") + ":" +
                   "nwe"[static_cast<int>(d.severity)] + " ";
        }
        return out;
    }
};

TEST(CamcabCheck, FindingsCarryTheirFileLineColumnAndWeight) {
    const test::TempFolder folder(L"camcab-check-lines");
    // CRLF line ends, a comment line and a blank line count as lines.
    folder.Write(L"notch\\notch.txt",
                 "; index\r\n[Power]\r\nParams = p.csv\r\n\r\nParams = p.csv\r\nNoise\r\n");
    folder.Write(L"notch\\p.csv", "RequiredNotch_Up, 1, 3x, 3\nStep, 1, 2, 3\n");
    // A row out of order is one finding for every curve; a row wider than the heading (a
    // decimal comma) and one narrower are each told once.
    folder.Write(L"c.csv", "Speed, A, B\n20, 1, 2\n10, 1, x\n5, 1,4, 2\n30, 1\n40, 1\n");
    Recorded sink;
    config::NotchTable table;
    config::LoadNotchTable(table, folder.Directory() + L"notch/notch.txt", &sink);
    config::CurvePointBudget budget;
    std::vector<config::Curve> curves;
    config::ReadColumnCurves(folder.Directory() + L"c.csv", {1, 2, 2}, curves, budget, &sink);
    EXPECT_EQ(sink.Where(),
              "notch.txt:5:w notch.txt:6:w notch.txt:0:e notch.txt:0:e notch.txt:0:e "
              "notch.txt:0:w p.csv:1.2:w p.csv:2:n c.csv:3.2:e c.csv:3:w c.csv:4:w c.csv:5:w ");

    // The module list counts its lines the same way and stops at invalid UTF-8.
    folder.Write(L"list.txt", "a.dll\r\nb.dll\n\xff\nc.dll\n");
    const platform::UniqueFile file(platform::OpenForReading(folder.FileString(L"list.txt")));
    Recorded listSink;
    chain::ModuleList list(file.get(), &listSink, L"list.txt");
    std::wstring entry;
    std::vector<uint64_t> lines;
    while (list.Next(entry)) {
        lines.push_back(list.LineNumber());
    }
    EXPECT_EQ(lines, (std::vector<uint64_t>{1, 2}));
    EXPECT_EQ(listSink.Where(), "list.txt:3:e ");
}

}  // namespace
}  // namespace camcab
