#include <gtest/gtest.h>

#include "FrozenDrive.h"
#include "TableText.h"
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

}  // namespace
}  // namespace camcab::tune
