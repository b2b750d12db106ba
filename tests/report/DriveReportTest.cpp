#include "DriveReport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <string>

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
    EXPECT_TRUE(std::regex_search(data, std::regex(R"(speed:\[[^\]]*null)")));
    EXPECT_TRUE(std::regex_search(data, std::regex(R"(current:\[[^\]]*null)")));
    EXPECT_NE(data.find("e+38,"), std::string::npos);  // huge but finite: kept
    // The transition (c2) is met within 0.5 A, every other stage within 2 A.
    EXPECT_NE(data.find("curveTolerances:[2,2,0.5,2,2,2,2,2,2,2,]"), std::string::npos);
    // Lamps take only 0 and 1; the needle and the digits are plotted apart from them.
    EXPECT_NE(data.find("lampIndices:[3,4,]"), std::string::npos);
    EXPECT_NE(data.find("needleIndices:[10,20,]"), std::string::npos);
    // Every host sound command is listed: the one-shots, the loop, its stop and the odd value.
    EXPECT_GT(Count(data, ",5,1]"), 0u);
    EXPECT_EQ(Count(data, ",5,1]"), Count(data, ",5,2]"));
    EXPECT_EQ(Count(data, ",7,-10000]"), 1u);
    EXPECT_EQ(Count(data, ",9,-2500]"), 1u);

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
    EXPECT_NE(data.find("ownSoundNames:[\"kamujiku\\\\start1.wav\",],ownSounds:[[1000,0],[2000,1],"
                        "[3000,0],[4000,0],]"),
              std::string::npos)
        << data;
    EXPECT_NE(data.find("markers:[[2000,\"A\",\"stage A\"],]"), std::string::npos) << data;
}

}  // namespace
}  // namespace camcab::run
