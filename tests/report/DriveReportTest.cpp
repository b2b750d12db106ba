#include "DriveReport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "CompareReport.h"
#include "PageEncoding.h"
#include "ReportData.h"
#include "SyntheticDrive.h"
#include "support/TempFolder.h"

namespace camcab::run {
namespace {

using test::TempFolder;

size_t Count(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

// The page's drive data: one JavaScript object of numbers.
std::string DriveData(const std::string& page) {
    const size_t begin = page.find("window.driveData=");
    const size_t end = page.find("};\n", begin);
    return begin == std::string::npos || end == std::string::npos ? ""
                                                                  : page.substr(begin, end - begin);
}

// A packed column of the page's data, unpacked as the page's script does: NaN for null.
std::vector<double> Unpack(const std::string& text) {
    std::string bytes;
    uint32_t bits = 0;
    int count = 0;
    for (char c : text) {
        const size_t digit = std::string_view(
                                 "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                 "0123456789+/")
                                 .find(c);
        if (digit == std::string_view::npos) {
            continue;  // '=' padding
        }
        bits = bits << 6 | static_cast<uint32_t>(digit);
        if ((count += 6) >= 8) {
            bytes += static_cast<char>(bits >> (count -= 8) & 0xFF);
        }
    }
    std::vector<double> values;
    size_t at = 0;
    const auto code = [&] {
        uint64_t value = 0;
        for (int shift = 0; at < bytes.size(); shift += 7) {
            const uint8_t byte = static_cast<uint8_t>(bytes[at++]);
            value |= uint64_t{byte & 0x7Fu} << shift;
            if ((byte & 0x80) == 0) {
                break;
            }
        }
        return value;
    };
    int64_t counted = 0;
    double last = std::nan("");
    while (at < bytes.size()) {
        const uint64_t k = code();
        if (k == 0) {
            last = std::nan("");
        } else if (k == 1) {
            values.insert(values.end(), code(), last);
            continue;
        } else if (k == 2) {
            uint64_t raw = 0;
            for (int i = 0; i < 8; ++i) {
                raw |= uint64_t{static_cast<uint8_t>(bytes[at++])} << (8 * i);
            }
            std::memcpy(&last, &raw, sizeof last);
        } else {
            const uint64_t z = k - 3;
            counted +=
                (z & 1) != 0 ? -static_cast<int64_t>((z + 1) / 2) : static_cast<int64_t>(z / 2);
            last = static_cast<double>(counted) / 1000.0;
        }
        values.push_back(last);
    }
    return values;
}

// The packed column named `name` in the page's data, or the `index`th of a list of them.
std::vector<double> Column(const std::string& data, const std::string& name, size_t index = 0) {
    size_t at = data.find(name + ":");
    if (at == std::string::npos) {
        return {};
    }
    at += name.size() + 1;
    for (size_t k = 0; k <= index; ++k) {
        at = data.find('"', at) + 1;
        if (k < index) {
            at = data.find('"', at) + 1;
        }
    }
    return Unpack(data.substr(at, data.find('"', at) - at));
}

struct Written {
    bool ok = false;
    std::string error;
    std::string page;
};

Written Write(const TempFolder& folder, const DriveTrace& trace, const ReportInfo& info) {
    Written written;
    written.ok = WriteDriveReport(folder.FileString(L"report.html"), trace, info, written.error);
    written.page = test::ReadFileBytes(folder.File(L"report.html"));
    return written;
}

// Runs of any length, nulls, values at and past what thousandths hold exactly, -0 and changes of
// either sign come back as written, each to a thousandth.
TEST(DriveReportTest, PackedColumnsKeepEveryValue) {
    const double nan = std::nan("");
    const double inf = std::numeric_limits<double>::infinity();
    std::vector<double> values = {1.0,
                                  1.0,
                                  1.0,
                                  nan,
                                  nan,
                                  inf,
                                  -inf,
                                  2.5,
                                  -0.0,
                                  -7.25,
                                  1125899906842.624,  // 2^50 thousandths: still counted
                                  1125899906842.625,
                                  1125899906842.625,
                                  3.4e38,
                                  -3.4e38,
                                  0.0004};
    values.insert(values.end(), 100000, 42.1234);  // rounds to 42.123
    values.push_back(-42.0);
    const std::vector<double> unpacked = Unpack(PackColumn(values));
    ASSERT_EQ(unpacked.size(), values.size());
    for (size_t k = 0; k < values.size(); ++k) {
        if (!std::isfinite(values[k])) {
            EXPECT_TRUE(std::isnan(unpacked[k])) << k;
        } else if (std::fabs(values[k]) > 1125899906842.624) {
            EXPECT_EQ(unpacked[k], values[k]) << k;  // as it is
        } else {
            EXPECT_EQ(unpacked[k], std::round(values[k] * 1000.0) / 1000.0) << k;
        }
    }
    EXPECT_LT(PackColumn(values).size(), 200u);  // a run takes a few bytes, however long
}

TEST(DriveReportTest, NamesAreEscapedAndDataHoldsOnlyNumbers) {
    TempFolder folder;
    const test::SyntheticDrive drive = test::MakeSyntheticDrive(300, true);
    ReportInfo info;
    info.pluginPath = L"C:\\電車 & <b>\\camcab.dll";
    info.scenarioPath = L"\"quoted\" 'drive'.txt";
    info.filesRead = {L"</script><script>alert(1)</script>"};
    const Written written = Write(folder, drive.trace, info);
    ASSERT_TRUE(written.ok) << written.error;
    const std::string& page = written.page;

    EXPECT_NE(page.find("電車 &amp; &lt;b&gt;"), std::string::npos);
    EXPECT_NE(page.find("&quot;quoted&quot; &#39;drive&#39;"), std::string::npos);
    EXPECT_NE(page.find("&lt;/script&gt;&lt;script&gt;alert(1)"), std::string::npos);
    // The library's script and the page's own: no name closes a script early.
    EXPECT_EQ(Count(page, "</script>"), 2u);
    EXPECT_EQ(page.find("sourceMappingURL"), std::string::npos);

    const std::string data = DriveData(page);
    ASSERT_FALSE(data.empty());
    EXPECT_FALSE(std::regex_search(data, std::regex("nan|inf", std::regex::icase)));
    // Every frame's value, to a thousandth: NaN and infinities as null, the huge value kept.
    const std::vector<TraceFrame>& frames = drive.trace.Frames();
    const std::vector<double> speed = Column(data, "speed");
    const std::vector<double> current = Column(data, "current");
    const std::vector<double> c0 = Column(data, "curves", 0);
    const std::vector<double> c10 = Column(data, "curves", 9);
    ASSERT_EQ(speed.size(), frames.size());
    ASSERT_EQ(current.size(), frames.size());
    ASSERT_EQ(c0.size(), frames.size());
    ASSERT_EQ(c10.size(), frames.size());
    for (size_t f = 0; f < frames.size(); ++f) {
        for (const auto& [packed, value] : {std::pair{speed[f], frames[f].state.Speed},
                                            {current[f], frames[f].state.Current},
                                            {c0[f], frames[f].powerCurvesA[0]},
                                            {c10[f], frames[f].powerCurvesA[9]}}) {
            if (!std::isfinite(value)) {
                EXPECT_TRUE(std::isnan(packed)) << f;
            } else {
                EXPECT_NEAR(packed, value, std::max(0.0005, std::fabs(value) * 1e-15)) << f;
            }
        }
    }
    EXPECT_EQ(std::count_if(c0.begin(), c0.end(), [](double v) { return v > 1e38; }), 1);
    // The transition (c2) is met within 0.5 A, every other stage within 2 A.
    EXPECT_NE(data.find("curveTolerances:[2,2,0.5,2,2,2,2,2,2,2,]"), std::string::npos);
    // Lamps take only 0 and 1; the needle and the digits are plotted apart from them.
    EXPECT_NE(data.find("lampIndices:[3,4,]"), std::string::npos);
    EXPECT_NE(data.find("needleIndices:[10,20,]"), std::string::npos);
    // Every host sound command is listed: the one-shots, the loop, its stop and the odd value.
    const std::vector<double> indices = Column(data, "index");
    const std::vector<double> values = Column(data, "value");
    ASSERT_EQ(indices.size(), drive.trace.SoundChanges().size());
    ASSERT_EQ(values.size(), indices.size());
    std::map<std::pair<int, int>, int> commands;
    for (size_t k = 0; k < indices.size(); ++k) {
        ++commands[{static_cast<int>(indices[k]), static_cast<int>(values[k])}];
    }
    EXPECT_GT((commands[{5, 1}]), 0);
    EXPECT_EQ((commands[{5, 1}]), (commands[{5, 2}]));
    EXPECT_EQ((commands[{7, -10000}]), 1);
    EXPECT_EQ((commands[{9, -2500}]), 1);

    EXPECT_NE(page.find("No sound was rendered for this drive."), std::string::npos);
    EXPECT_NE(page.find("<tr><th>Frames</th><td>300</td>"), std::string::npos);
    EXPECT_NE(page.find("<tr><th>Drive time (scenario)</th><td>6.00 s</td>"), std::string::npos);
}

#ifndef _WIN32
TEST(DriveReportTest, SoundGetsSpectrogramAndCompressedPlayer) {
    TempFolder folder;
    const test::SyntheticDrive drive = test::MakeSyntheticDrive(250);
    folder.Write(L"drive.wav", drive.wavBytes);
    ReportInfo info;
    info.audioPath = folder.FileString(L"drive.wav");
    info.audioStartTimeMs = test::kSyntheticStartMs;
    info.runSeconds = 0.5;
    const Written written = Write(folder, drive.trace, info);
    ASSERT_TRUE(written.ok) << written.error;

    EXPECT_NE(written.page.find("<audio id=\"player\" controls preload=\"metadata\" "
                                "src=\"data:audio/ogg;base64,T2dnUw"),  // "OggS"
              std::string::npos);
    EXPECT_NE(written.page.find("src=\"data:image/png;base64,iVBORw0KGgo"), std::string::npos);
    const std::string data = DriveData(written.page);
    EXPECT_NE(data.find("audioStartMs:28800000,audioSeconds:5,"), std::string::npos);
    EXPECT_NE(written.page.find("<td>10.0 &times; real time</td>"), std::string::npos);
    EXPECT_EQ(written.page.find("class=\"note\""), std::string::npos);

    // A sound too long for the page goes beside it, named after it, and the page says so.
    info.largestEmbeddedSoundBytes = 1000;
    std::string error;
    ASSERT_TRUE(WriteDriveReport(folder.FileString(L"long drive#1.html"), drive.trace, info, error))
        << error;
    const std::string page = test::ReadFileBytes(folder.File(L"long drive#1.html"));
    EXPECT_NE(page.find("<audio id=\"player\" controls preload=\"metadata\" "
                        "src=\"long%20drive%231.html.ogg\"></audio>"),
              std::string::npos);
    EXPECT_NE(page.find("<code>long drive#1.html.ogg</code> beside this page"), std::string::npos);
    EXPECT_EQ(test::ReadFileBytes(folder.File(L"long drive#1.html.ogg")).substr(0, 4), "OggS");
}
#endif

// Without sox (always so on Windows) the page holds the WAV itself and says why there is no
// spectrogram.
TEST(DriveReportTest, WithoutSoxTheWavIsThePlayer) {
    TempFolder folder;
    const test::SyntheticDrive drive = test::MakeSyntheticDrive(100);
    folder.Write(L"drive.wav", drive.wavBytes);
    ReportInfo info;
    info.audioPath = folder.FileString(L"drive.wav");
#ifndef _WIN32
    const std::string path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    setenv("PATH", folder.Path().c_str(), 1);
#endif
    const Written written = Write(folder, drive.trace, info);
#ifndef _WIN32
    setenv("PATH", path.c_str(), 1);
#endif
    ASSERT_TRUE(written.ok) << written.error;
    EXPECT_NE(written.page.find("src=\"data:audio/wav;base64,UklGR"), std::string::npos);  // "RIFF"
    EXPECT_TRUE(
        std::regex_search(written.page, std::regex("<p class=\"note\">No spectrogram: sox is "
                                                   "(not installed|not run by the Windows)")));
    EXPECT_EQ(written.page.find("id=\"spectrogram-image\""), std::string::npos);
}

TEST(DriveReportTest, NoFramesAndUnwritablePaths) {
    TempFolder folder;
    ReportInfo info;
    info.audioPath = folder.FileString(L"missing.wav");
    const Written empty = Write(folder, DriveTrace{}, info);
    ASSERT_TRUE(empty.ok) << empty.error;
    EXPECT_NE(empty.page.find("The drive recorded no frames."), std::string::npos);
    EXPECT_NE(empty.page.find("No level: no sound was rendered."), std::string::npos);
    EXPECT_NE(empty.page.find("The rendered sound cannot be read as a WAV file."),
              std::string::npos);

    std::string error;
    EXPECT_FALSE(WriteDriveReport(folder.FileString(L"no-folder\\report.html"), DriveTrace{},
                                  ReportInfo{}, error));
    EXPECT_NE(error.find("no-folder"), std::string::npos);
}

// What camcab told: a stage that fired is placed in its frame; one that did not gets the
// powering current's nearest approach to its curve; the sounds get a lane, the stages markers.
TEST(DriveReportTest, TheStagesTableSaysWhenEachFiredOrHowNearTheCurrentCame) {
    DriveTrace trace;
    const int32_t panel[kHostArrayIndexLimit] = {};
    for (int f = 0; f < 4; ++f) {
        TraceFrame frame;
        frame.state.Time = 1000 * (f + 1);
        frame.state.Speed = 10.0f * static_cast<float>(f);
        frame.state.Current = f == 3 ? -50.0f : 100.0f;
        frame.powerCurvesA.fill(500.0f);
        frame.powerCurvesA[1] = 101.0f;                    // c1: met within 2 A
        frame.powerCurvesA[4] = f == 2 ? 110.0f : 130.0f;  // c4: 10 A away at frame 2
        frame.powerCurvesA[9] = f == 3 ? -50.0f : 400.0f;  // c10: met only while braking
        frame.events = f == 1   ? "sound kamujiku\\start1.wav start; stage A"
                       : f == 2 ? "sound kamujiku\\start1.wav end"
                                : "";
        trace.Record(frame, panel, panel);
    }
    const std::vector<StageOutcome> outcomes = StageOutcomes(trace);
    ASSERT_EQ(outcomes.size(), 5u);
    EXPECT_EQ(outcomes[0].firedFrame, 1);  // stage A, as told
    EXPECT_EQ(outcomes[2].firedFrame, -1);
    EXPECT_EQ(outcomes[2].nearestFrame, 2);  // stage B: 10 A from c4 at 20 km/h
    EXPECT_DOUBLE_EQ(outcomes[2].nearestA, 10.0);
    EXPECT_EQ(outcomes[4].nearestFrame, 0);  // stage D: the braking frame does not count

    const TempFolder folder(L"camcab-report-stages");
    const Written written = Write(folder, trace, ReportInfo{});
    ASSERT_TRUE(written.ok) << written.error;
    EXPECT_NE(written.page.find("<td>stage B</td><td>c4</td><td>never</td><td>10.0 A from c4 "
                                "(8.0 A outside its &plusmn;2.0 A window) at 20.0 km/h, 3.00 s"),
              std::string::npos);
    const std::string data = DriveData(written.page);
    EXPECT_NE(data.find("ownSoundNames:[\"kamujiku\\\\start1.wav\",]"), std::string::npos) << data;
    EXPECT_EQ(Column(data, "ownSounds"), (std::vector<double>{0, 1, 0, 0}));
    EXPECT_NE(data.find("markers:[[2000,\"A\",\"stage A\"],]"), std::string::npos) << data;
}

// The A/B page: file names and table cells with markup stand escaped, the data is one statement,
// and the drive that ended early has null where the longer one still has frames.
TEST(DriveReportTest, TheAbPageEscapesCellsAndPadsTheShorterDrive) {
    const test::SyntheticDrive a = test::MakeSyntheticDrive(200, true);
    const test::SyntheticDrive b = test::MakeSyntheticDrive(150);
    CompareInfo info;
    info.pluginPathA = L"A/<camcab>.so";
    info.pluginPathB = L"B/camcab.so";
    FileDifference changed;
    changed.file = "notch/<b>power</b>.csv";
    changed.text = true;
    changed.cells = {{3, 2, "</script><script>alert(1)</script>", "1.5"}};
    info.files = {changed};
    const TempFolder folder(L"camcab-ab-page");
    std::string error;
    ASSERT_TRUE(WriteCompareReport(folder.FileString(L"ab.html"), a.trace, b.trace, info, error))
        << error;
    const std::string page = test::ReadFileBytes(folder.File(L"ab.html"));
    EXPECT_EQ(Count(page, "</script>"), 2u);  // the library's and the page's own
    EXPECT_NE(page.find("<code>notch/&lt;b&gt;power&lt;/b&gt;.csv</code>"), std::string::npos);
    EXPECT_NE(page.find("line 3, field 2: <code>&lt;/script&gt;&lt;script&gt;alert(1)"),
              std::string::npos);
    EXPECT_NE(page.find("<code>A/&lt;camcab&gt;.so</code>"), std::string::npos);
    const size_t begin = page.find("window.compareData=");
    const std::string data = page.substr(begin, page.find("};\n", begin) - begin);
    const size_t drives = data.find(",b:{");
    ASSERT_NE(drives, std::string::npos);
    const std::vector<double> speedA = Column(data.substr(0, drives), "speed");
    const std::vector<double> speedB = Column(data.substr(drives), "speed");
    ASSERT_EQ(speedA.size(), 200u);
    ASSERT_EQ(speedB.size(), 200u);
    EXPECT_TRUE(std::isnan(speedB[150]));
    EXPECT_NEAR(speedB[149], b.trace.Frames()[149].state.Speed, 0.0005);
    EXPECT_TRUE(std::isnan(speedA[200 / 3]));  // the hostile frame's NaN
}

}  // namespace
}  // namespace camcab::run
