#include "DriveDifferences.h"

#include <gtest/gtest.h>

#include "FolderDifferences.h"
#include "support/TempFolder.h"

namespace camcab::run {
namespace {

DriveTrace Drive(const std::vector<std::pair<int32_t, std::string>>& framesEvents,
                 int32_t powerFromFrame) {
    DriveTrace trace;
    const int32_t entries[kHostArrayIndexLimit] = {};
    int32_t f = 0;
    for (const auto& [timeMs, events] : framesEvents) {
        TraceFrame frame;
        frame.state.Time = timeMs;
        frame.returned.Power = f++ >= powerFromFrame ? 3 : 0;
        frame.events = events;
        trace.Record(frame, entries, entries);
    }
    return trace;
}

// A happening at the same time in both drives is no difference; one at another time is, with
// both times; one only one drive has is, with the other's time missing. Times pair in order
// with the nearest within the window, so one extra early time shifts no later pairing; the list
// runs in time order.
TEST(DriveDifferencesTest, PairsEachHappeningsTimesAndListsWhatDiffers) {
    const DriveTrace a = Drive({{1000, "stage A; sound y.wav start"},
                                {2000, "stage B; sound x.wav start; sound y.wav start"},
                                {3000, "sound x.wav start; sound y.wav start"},
                                {4000, ""}},
                               2);
    const DriveTrace b = Drive({{1000, "stage A"},
                                {2000, "sound x.wav start; sound y.wav start"},
                                {3000, "stage B; sound y.wav start"},
                                {4000, "sound x.wav start; stage C"}},
                               1);
    const std::vector<Happening> happenings = Happenings(a);
    ASSERT_EQ(happenings.size(), 8u);
    EXPECT_EQ(happenings[7].what, "power 3");  // the returned power, from 0 before the drive
    EXPECT_DOUBLE_EQ(happenings[7].timeS, 3.0);

    const std::vector<Difference> differences = CompareHappenings(happenings, Happenings(b));
    std::vector<std::string> described;
    for (const Difference& difference : differences) {
        described.push_back(DescribeDifference(difference));
    }
    EXPECT_EQ(described, (std::vector<std::string>{
                             "sound y.wav start: only A, at 0:00:01.00",  // no later one shifts
                             "power 3: A at 0:00:03.00, B at 0:00:02.00 (-1.00 s)",
                             "stage B: A at 0:00:02.00, B at 0:00:03.00 (+1.00 s)",
                             "sound x.wav start: A at 0:00:03.00, B at 0:00:04.00 (+1.00 s)",
                             "stage C: only B, at 0:00:04.00"}));
}

// The folders' files: one only in each, a table with two changed cells and a row more, a file
// that is not text; the plug-in's start-up log, rewritten at every Load, does not count.
TEST(DriveDifferencesTest, FoldersDifferByFileAndTableCell) {
    const test::TempFolder a(L"camcab-folders-a");
    const test::TempFolder b(L"camcab-folders-b");
    a.Write(L"notch\\power_current.csv", "Speed, Step1\r\n0, 138\r\n10, 153\r\n");
    b.Write(L"notch\\power_current.csv", "Speed, Step1\r\n0,  140\r\n10, 153, 1\r\n20, 168\r\n");
    a.Write(L"same.txt", "x");
    b.Write(L"same.txt", "x");
    a.Write(L"motor\\motor1.wav", "RIFF1");
    b.Write(L"motor\\motor1.wav", "RIFF2");
    a.Write(L"only-a.txt", "");
    b.Write(L"only-b.txt", "");
    a.Write(L"XAudio2初期化ログ.txt", "one start-up");
    b.Write(L"XAudio2初期化ログ.txt", "another");

    const std::vector<FileDifference> files = CompareFolders(a.Path(), b.Path());
    ASSERT_EQ(files.size(), 4u);
    EXPECT_EQ(FileNameText(files[0].file), "motor/motor1.wav");
    EXPECT_FALSE(files[0].text);
    const FileDifference& table = files[1];
    EXPECT_EQ(FileNameText(table.file), "notch/power_current.csv");
    ASSERT_EQ(table.cells.size(), 3u);
    EXPECT_EQ(table.cells[0].line, 2u);  // spaces around a field do not count; its value does
    EXPECT_EQ(table.cells[0].field, 2u);
    EXPECT_EQ(table.cells[0].a, "138");
    EXPECT_EQ(table.cells[0].b, "140");
    EXPECT_EQ(table.cells[1].field, 3u);  // a field more
    EXPECT_EQ(table.cells[1].b, "1");
    EXPECT_EQ(table.cells[2].line, 4u);  // a row more: the whole line
    EXPECT_EQ(table.cells[2].field, 0u);
    EXPECT_EQ(table.cells[2].b, "20, 168");
    EXPECT_EQ(files[2].kind, FileDifference::Kind::OnlyA);
    EXPECT_EQ(files[3].kind, FileDifference::Kind::OnlyB);
}

}  // namespace
}  // namespace camcab::run
