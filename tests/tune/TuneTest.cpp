#include <gtest/gtest.h>

#include <cmath>

#include "CurveCells.h"
#include "FrozenDrive.h"
#include "TableText.h"
#include "Tuner.h"
#include "support/TempFolder.h"

namespace camcab::tune {
namespace {

using scenario::EventKind;

// A cell changes and every other byte stays: the heading (even one that reads as a speed),
// comments, spacing and line ends. Rows are found by their speed as the reader reads it.
TEST(TableTextTest, ChangesOneCellAndKeepsEveryOtherByte) {
    const test::TempFolder folder(L"camcab-table-text");
    const std::string text =
        "10, Step1, Step2\r\n10, 153 ,171 ; the first row\r\n; 20, 1, 2\r\n1e1,  9\r\n20,168,186";
    folder.Write(L"current.csv", text);
    std::optional<TableText> table = TableText::Read(folder.File(L"current.csv"));
    ASSERT_TRUE(table);
    EXPECT_EQ(table->RowsAt(10.0f), (std::vector<size_t>{1, 3}));
    EXPECT_EQ(table->RowsAt(20.0f), (std::vector<size_t>{4}));  // not the comment
    EXPECT_EQ(table->Cell(1, 1), "153");
    EXPECT_FALSE(table->Cell(3, 2));
    ASSERT_TRUE(table->SetCell(1, 1, "138.5"));
    ASSERT_TRUE(table->SetCell(4, 2, "200"));
    EXPECT_FALSE(table->SetCell(3, 2, "1"));
    ASSERT_TRUE(table->Write(folder.File(L"tuned.csv")));
    EXPECT_EQ(test::ReadFileBytes(folder.File(L"tuned.csv")),
              "10, Step1, Step2\r\n10, 138.5 ,171 ; the first row\r\n; 20, 1, 2\r\n1e1,  9\r\n"
              "20,168,200");

    // The reader trims every space character, a full-width one too, and a carriage return
    // that is not before the line feed is inside the line.
    folder.Write(L"spaces.csv",
                 "Speed\n30,\xE3\x80\x80"
                 "150\xE3\x80\x80,\r7\r\n");
    table = TableText::Read(folder.File(L"spaces.csv"));
    ASSERT_TRUE(table);
    EXPECT_EQ(table->RowsAt(30.0f), (std::vector<size_t>{1}));
    EXPECT_TRUE(table->IsUtf8());
    EXPECT_EQ(table->Cell(1, 1), "150");
    EXPECT_EQ(table->Cell(1, 2), "7");
    ASSERT_TRUE(table->SetCell(1, 1, "135"));
    ASSERT_TRUE(table->Write(folder.File(L"spaces.csv")));
    EXPECT_EQ(test::ReadFileBytes(folder.File(L"spaces.csv")),
              "Speed\n30,\xE3\x80\x80"
              "135\xE3\x80\x80,\r7\r\n");
    folder.Write(L"cut.csv", "Speed\n30, 1\xE9\n40, 2\n");  // the reader stops at the \xE9
    EXPECT_FALSE(TableText::Read(folder.File(L"cut.csv"))->IsUtf8());
}

// The cells found for a speed are the ones the table reader takes the curve's value from there:
// moving them by 1 A moves the value by 1 A, at a standing start, between rows, beyond either
// end, and among rows of one speed, rows out of order and rows with an empty or unreadable cell.
TEST(CurveCellsTest, AreTheCellsTheReaderTakesTheValueFrom) {
    const test::TempFolder folder(L"camcab-curve-cells");
    folder.Write(L"current.csv",
                 "Speed, Step1\n0, 100\n20, 140 ; comment\n10,\n10, 120\n10, 125\n30, x\n"
                 "30, 160\n30, 165\n40, 180\n\n50, 200\n50, 210\n");
    const std::wstring path = folder.File(L"current.csv").wstring();
    const auto curveOf = [](const std::wstring& file) {
        std::vector<config::Curve> curves;
        config::ReadColumnCurves(file, {1}, curves);
        return curves.at(0);
    };
    const config::Curve curve = curveOf(path);
    for (const float speedKmh :
         {0.0f, -3.0f, 5.0f, 10.0f, 15.0f, 30.0f, 35.0f, 45.0f, 50.0f, 70.0f}) {
        std::optional<TableText> table = TableText::Read(path);
        ASSERT_TRUE(table);
        const std::vector<PointRef> points = PointsAround(curve, speedKmh);
        ASSERT_FALSE(points.empty()) << speedKmh;
        for (const PointRef& point : points) {
            const std::optional<size_t> line = LineOf(*table, 1, point);
            ASSERT_TRUE(line) << speedKmh;
            const float value = std::stof(*table->Cell(*line, 1));
            table->SetCell(*line, 1, std::to_string(value + 1.0f));
        }
        ASSERT_TRUE(table->Write(folder.File(L"moved.csv")));
        const config::Curve moved = curveOf(folder.File(L"moved.csv").wstring());
        EXPECT_NEAR(config::InterpolateCurve(speedKmh, moved),
                    config::InterpolateCurve(speedKmh, curve) + 1.0f, 1e-3f)
            << "at " << speedKmh << " km/h";
    }
}

// Frozen, a drive keeps its host calls in their places and gives each frame the state it had:
// the model and the state changes go, a frame count becomes that many frames.
TEST(FrozenDriveTest, EachFrameKeepsTheStateItHad) {
    scenario::Scenario drive;
    const auto add = [&drive](EventKind kind, int32_t value) {
        scenario::Event event{};
        event.kind = kind;
        event.value = value;
        drive.events.push_back(event);
    };
    add(EventKind::Model, 1);
    add(EventKind::SetPower, 2);
    add(EventKind::Frames, 2);
    add(EventKind::SetState, 0);
    add(EventKind::KeyDown, 9);
    add(EventKind::Frames, 1);
    run::DriveTrace trace;
    const int32_t entries[kHostArrayIndexLimit] = {};
    for (int f = 1; f <= 3; ++f) {
        run::TraceFrame frame;
        frame.state.Time = 20 * f;
        frame.state.Current = 100.0f * f;
        trace.Record(frame, entries, entries);
    }
    const scenario::Scenario frozen = FreezeDrive(drive, trace);
    std::vector<EventKind> kinds;
    for (const scenario::Event& event : frozen.events) {
        kinds.push_back(event.kind);
    }
    EXPECT_EQ(kinds,
              (std::vector<EventKind>{EventKind::SetPower, EventKind::Elapse, EventKind::Elapse,
                                      EventKind::KeyDown, EventKind::Elapse}));
    EXPECT_EQ(frozen.events[2].state.Time, 40);
    EXPECT_EQ(frozen.events[4].state.Current, 300.0f);
}

// A drive's cycles follow the current's sign: powering and regenerating runs each start one,
// even straight after the other; then the stages reached stay latched into the next power cycle,
// as only a frame at zero current clears them. A stage told at zero current belongs to the cycle
// before; one told after a later stage (latched ones too) marks its cycle out of order. A cycle
// that loses a stage it told, or a drive that holds the power longer, does not keep what the drive
// before did.
TEST(DriveSummaryTest, CyclesFollowTheCurrentsSign) {
    run::DriveTrace trace;
    const int32_t entries[kHostArrayIndexLimit] = {};
    const auto frame = [&](float currentA, const char* events, int32_t driverPower = 0) {
        run::TraceFrame told;
        told.state.Time = 20 * static_cast<int32_t>(trace.Frames().size() + 1);
        told.state.Current = currentA;
        told.driver.Power = driverPower;
        told.events = events;
        trace.Record(told, entries, entries);
    };
    frame(0.0f, "camshaft hold");  // before any cycle: counted, in no cycle
    frame(200.0f, "stage A; sound kamujiku\\shindan2.wav start");
    frame(250.0f, "stage B");
    frame(0.0f, "transition");
    frame(-120.0f, "brake current near");
    frame(std::nanf(""), "");
    frame(-130.0f, "");
    frame(150.0f, "stage D; stage C", 3);
    frame(-50.0f, "");
    frame(100.0f, "stage A");
    const DriveSummary summary = Summarize(trace);
    ASSERT_EQ(summary.cycles.size(), 6u);
    EXPECT_EQ(summary.cycles[0].label, "power cycle 1 at 0:00:00.04");
    EXPECT_EQ(summary.cycles[0].told, " stage A stage B transition");
    EXPECT_TRUE(summary.cycles[0].outOfOrder);
    EXPECT_EQ(summary.cycles[0].endFrame, 3u);
    EXPECT_EQ(summary.cycles[1].label, "regeneration 1 at 0:00:00.10");
    EXPECT_EQ(summary.cycles[1].stages, 1u << 5);
    EXPECT_EQ(summary.cycles[2].firstFrame, 6u);  // a current that is not a number ends a run
    EXPECT_TRUE(summary.cycles[3].outOfOrder);
    EXPECT_EQ(summary.cycles[3].carried, 0u);  // the zero-current frame cleared A and B
    EXPECT_EQ(summary.cycles[5].carried, 0b11000u);
    EXPECT_TRUE(summary.cycles[5].outOfOrder);
    EXPECT_EQ(summary.stageCounts, (std::vector<size_t>{2, 1, 1, 1, 1, 1, 1}));
    EXPECT_EQ(summary.heldFrames, 1u);

    EXPECT_TRUE(KeepsEveryStage(summary, summary));
    DriveSummary lost = summary;
    lost.cycles[0].stages &= ~(1u << 2);
    lost.cycles[1].stages |= 1u << 6;  // a stage more elsewhere does not make up for it
    EXPECT_FALSE(KeepsEveryStage(summary, lost));
    EXPECT_TRUE(KeepsEveryStage(summary, lost, 2));
    EXPECT_FALSE(KeepsEveryStage(summary, lost, 2, 0));  // a mark at the start spares no cycle
    DriveSummary latched = summary;
    latched.cycles[5].stages = 0;
    latched.cycles[5].carried |= 1u;  // stage A still latched there is not lost
    EXPECT_TRUE(KeepsEveryStage(summary, latched));
    DriveSummary held = summary;
    ++held.heldFrames;
    EXPECT_FALSE(KeepsEveryStage(summary, held));
}

}  // namespace
}  // namespace camcab::tune
