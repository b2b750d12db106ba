// The notch table group: index file, parameter files, current curves and no-load current.
#include <gtest/gtest.h>

#include <string>

#include "config/NotchTable.h"
#include "support/TempFolder.h"

namespace camcab::config {
namespace {

using Columns = std::vector<uint64_t>;

// A vehicle folder with "notch\notch.txt" naming all five data files.
class NotchFolder {
  public:
    NotchFolder() {
        folder.Write(L"notch\\notch.txt",
                     "[Power]\nParams = pp.csv\nCurrent = pc.csv\n"
                     "[Brake]\nParams = bp.csv\nCurrent = bc.csv\nNoLoadCurrent = nl.csv\n");
    }
    void Write(std::wstring_view name, std::string_view bytes) {
        folder.Write(std::wstring(L"notch\\") + std::wstring(name), bytes);
    }
    NotchTable Load() const {
        NotchTable table;
        LoadNotchTable(table, folder.FileString(L"notch\\notch.txt"));
        return table;
    }
    test::TempFolder folder;
};

Columns PowerColumnsFor(std::string_view requiredNotchRow) {
    NotchFolder vehicle;
    vehicle.Write(L"pp.csv", requiredNotchRow);
    return vehicle.Load().PowerCurveColumns;
}

NotchTable BrakeTableFor(std::string_view params) {
    NotchFolder vehicle;
    vehicle.Write(L"bp.csv", params);
    return vehicle.Load();
}

TEST(NotchIndexFile, SectionsKeysAndPaths) {
    test::TempFolder folder;
    folder.Write(L"notch\\notch.txt",
                 "Params = before-any-header.csv\n"
                 "[power] ; lower case counts\n"
                 "params = first.csv\n"
                 "PARAMS = pp.csv\n"
                 "Current = sub\\pc.csv\n"
                 "NoLoadCurrent = not-in-power.csv\n"
                 "[ Brake ]\n"
                 "Current = still-power.csv\n"
                 "[Other]\n"
                 "[Brake]\n"
                 "Params = bp.csv # comment\n"
                 "NoLoadCurrent=nl.csv\n"
                 "Current\n"
                 "Speed = ignored.csv\n");
    NotchTable table;
    LoadNotchTable(table, folder.FileString(L"notch\\notch.txt"));
    EXPECT_EQ(table.powerParamsFile, folder.FileString(L"notch\\pp.csv"));
    EXPECT_EQ(table.powerCurrentFile, folder.FileString(L"notch\\still-power.csv"));
    EXPECT_EQ(table.brakeParamsFile, folder.FileString(L"notch\\bp.csv"));
    EXPECT_EQ(table.brakeCurrentFile, L"");
    EXPECT_EQ(table.noLoadCurrentFile, folder.FileString(L"notch\\nl.csv"));
}

TEST(NotchIndexFile, MissingIndexLeavesTheDefaults) {
    test::TempFolder folder;
    NotchTable table;
    LoadNotchTable(table, folder.FileString(L"notch\\notch.txt"));
    EXPECT_TRUE(table.PowerCurveColumns.empty());
    EXPECT_TRUE(table.PowerCurrentCurves.empty());
    EXPECT_TRUE(table.BrakeCurveColumns.empty());
    EXPECT_TRUE(table.BrakeCurrentCurves.empty());
    EXPECT_EQ(table.CurrentLimitEmpty, 0.0f);
    EXPECT_EQ(table.NoLoadCurrent, 0.0f);
    EXPECT_EQ(table.BreakerDelayOn, 0.0f);
    EXPECT_EQ(table.BrakeTopNotch, 10u);
}

TEST(NotchPowerParams, ColumnsAroundEachRiseOfTheRequiredNotch) {
    EXPECT_EQ(PowerColumnsFor("RequiredNotch_Up, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5\n"),
              (Columns{4, 5, 6, 6, 7, 8, 8, 9, 10, 9, 10}));
    // A first value above 2 takes in the speed column.
    EXPECT_EQ(PowerColumnsFor("RequiredNotch_Up, 3, 3, 4\n"), (Columns{0, 1, 2, 2, 3, 2, 3}));
    EXPECT_EQ(PowerColumnsFor("RequiredNotch_Up, 1, 2, 2, 1\n"), (Columns{3, 4}));
    EXPECT_EQ(PowerColumnsFor("RequiredNotch_Up\n"), (Columns{0}));
    // Longer keys match; the other letter case does not; the last row counts.
    EXPECT_EQ(PowerColumnsFor("RequiredNotch_UpX, 1, 5\nrequirednotch_up, 9, 9, 9\n"),
              (Columns{1, 2, 1, 2}));
    EXPECT_EQ(PowerColumnsFor("RequiredNotch_Up, 9\nRequiredNotch_Up, 1, 1\n"), (Columns{1, 2}));
    EXPECT_TRUE(PowerColumnsFor("requirednotch_up, 1, 1\n").empty());
}

TEST(NotchPowerParams, RowWithABadValueIsSkipped) {
    EXPECT_EQ(PowerColumnsFor("RequiredNotch_Up, 1, 1\nRequiredNotch_Up, 1, x\n"), (Columns{1, 2}));
    EXPECT_TRUE(PowerColumnsFor("RequiredNotch_Up, 1, 99999999999\n").empty());
    EXPECT_TRUE(PowerColumnsFor("RequiredNotch_Up, 1,, 2\n").empty());
    // Integer conversion stops at the first other character.
    EXPECT_EQ(PowerColumnsFor("RequiredNotch_Up, 3.9, 2abc\n"), (Columns{0, 1, 2, 1, 2}));
}

// The step rows keep the last row of each file as written, where the camshaft's columns come
// from the last row that reads (power) or from every row (brake).
TEST(NotchStepRows, LastRowOfEachFileWithUnreadableValuesNeverAllowing) {
    NotchFolder vehicle;
    vehicle.Write(L"pp.csv", "RequiredNotch_Up, 1, 3\nRequiredNotch_Up, 2, x, 4abc\n");
    vehicle.Write(L"bp.csv", "RequiredNotch_Up, 4, 4\nRequiredNotch_Up, -1, 5\n");
    const NotchTable table = vehicle.Load();
    EXPECT_EQ(table.PowerCurveColumns, (Columns{1, 2, 1, 2}));
    EXPECT_EQ(table.PowerRequiredNotches, (std::vector<int32_t>{2, kNeverAllowedNotch, 4}));
    EXPECT_EQ(table.BrakeCurveColumns, (Columns{1, 2}));
    EXPECT_EQ(table.BrakeRequiredNotches, (std::vector<int32_t>{-1, 5}));
}

TEST(NotchBrakeParams, TopNotchAndItsColumns) {
    NotchTable table = BrakeTableFor(
        "BreakerDelay_On, 0.25\nCurrentLimitingValue_Empty, 280.5\nRequiredNotch_Up, 2, 5, 5, 3\n");
    EXPECT_EQ(table.BrakeTopNotch, 5u);
    EXPECT_EQ(table.BrakeCurveColumns, (Columns{2, 3, 4}));
    EXPECT_EQ(table.BreakerDelayOn, 0.25f);
    EXPECT_EQ(table.CurrentLimitEmpty, 280.5f);
    EXPECT_EQ(table.BrakeCurrentCurves.size(), 3u);

    table = BrakeTableFor("RequiredNotch_Up\n");
    EXPECT_EQ(table.BrakeTopNotch, 0u);
    EXPECT_EQ(table.BrakeCurveColumns, (Columns{0}));

    // Every row appends; the numbers of the last row count.
    table = BrakeTableFor(
        "RequiredNotch_Up, 7, 1\nRequiredNotch_Up, 1, 4, 4\nBreakerDelay_On, 1\n"
        "BreakerDelay_On, 2\n");
    EXPECT_EQ(table.BrakeTopNotch, 4u);
    EXPECT_EQ(table.BrakeCurveColumns, (Columns{1, 2, 2, 3}));
    EXPECT_EQ(table.BreakerDelayOn, 2.0f);
}

TEST(NotchBrakeParams, BadRowsKeepTheDefaults) {
    const NotchTable table = BrakeTableFor(
        "BreakerDelay_On\n"
        "BreakerDelay_On, soon\n"
        "CurrentLimitingValue_Empty,\n"
        "CurrentLimitingValue_Empty, 1e40\n"
        "RequiredNotch_Up, 1, -1\n"
        "RequiredNotch_Up, 1, 18446744073709551616\n"
        "requirednotch_up, 3\n"
        "RequiredNotch_Up, 2,, 3\n");
    EXPECT_EQ(table.BreakerDelayOn, 0.0f);
    EXPECT_EQ(table.CurrentLimitEmpty, 0.0f);
    EXPECT_EQ(table.BrakeTopNotch, 10u);
    EXPECT_TRUE(table.BrakeCurveColumns.empty());
}

TEST(NotchBrakeParams, ColumnListCannotGrowWithoutBound) {
    std::string params;
    for (int i = 0; i < 1000000; ++i) {
        params += "RequiredNotch_Up, 1, 1, 1\n";
    }
    const NotchTable table = BrakeTableFor(params);
    EXPECT_LE(table.BrakeCurveColumns.size(), kMaxBrakeCurveColumns);
    EXPECT_GE(table.BrakeCurveColumns.size(), kMaxBrakeCurveColumns - 4);
    EXPECT_EQ(table.BrakeCurrentCurves.size(), table.BrakeCurveColumns.size());
    EXPECT_EQ(table.BrakeTopNotch, 1u);
}

TEST(NotchCurrentFiles, ManyColumnsTimesManyRowsStayWithinThePointBound) {
    // 32,768 rows of two columns each make 65,536 brake curves; every row of the current
    // file would add a point to each.
    NotchFolder vehicle;
    std::string params;
    for (int i = 0; i < 32768; ++i) {
        params += "RequiredNotch_Up,0\n";
    }
    vehicle.Write(L"bp.csv", params);
    std::string rows = "speed, s1\n";
    for (int i = 0; i < 10000; ++i) {
        rows += "0,0\n";
    }
    vehicle.Write(L"pp.csv", "RequiredNotch_Up, 1, 3\n");
    vehicle.Write(L"pc.csv", "speed, s1, s2\n0, 100, 150\n");
    vehicle.Write(L"bc.csv", rows);
    vehicle.Write(L"nl.csv", "h\n0, 12.5, 0\n");
    const NotchTable table = vehicle.Load();
    ASSERT_EQ(table.BrakeCurrentCurves.size(), 65536u);
    size_t points = 0;
    for (const std::vector<Curve>* curves :
         {&table.PowerCurrentCurves, &table.BrakeCurrentCurves}) {
        for (const Curve& curve : *curves) {
            points += curve.size();
        }
    }
    EXPECT_EQ(points, kMaxGroupCurvePoints);
    EXPECT_EQ(table.PowerCurrentCurves[1], (Curve{{0.0f, 150.0f}}));  // read before the bound
    EXPECT_EQ(table.NoLoadCurrent, 12.5f);                            // read after it
}

TEST(NotchCurrentFiles, CurvesFollowTheColumnLists) {
    NotchFolder vehicle;
    vehicle.Write(L"pp.csv", "RequiredNotch_Up, 1, 3\n");
    vehicle.Write(L"pc.csv", "speed, s1, s2\n20, 200, 300\n0, 100, 150\n10, , 250\n");
    vehicle.Write(L"bp.csv", "RequiredNotch_Up, 4, 4\n");
    vehicle.Write(L"bc.csv", "speed, s1, s2\n0, 0, 0\n50, 120, 240\n");
    const NotchTable table = vehicle.Load();
    ASSERT_EQ(table.PowerCurveColumns, (Columns{1, 2, 1, 2}));
    ASSERT_EQ(table.PowerCurrentCurves.size(), 4u);
    EXPECT_EQ(table.PowerCurrentCurves[0], (Curve{{0.0f, 100.0f}, {20.0f, 200.0f}}));
    EXPECT_EQ(table.PowerCurrentCurves[1],
              (Curve{{0.0f, 150.0f}, {10.0f, 250.0f}, {20.0f, 300.0f}}));
    EXPECT_EQ(table.PowerCurrentCurves[2], table.PowerCurrentCurves[0]);
    ASSERT_EQ(table.BrakeCurveColumns, (Columns{1, 2}));
    EXPECT_EQ(table.BrakeCurrentCurves[1], (Curve{{0.0f, 0.0f}, {50.0f, 240.0f}}));
}

// What the camshaft compares the current with at a speed: c9 is never a curve, and a list
// shorter than eleven curves gives 0 A beyond it.
TEST(NotchCurrentFiles, CurrentsAtASpeed) {
    NotchTable table;
    EXPECT_EQ(PowerCurrentsAt(table, 30.0f), (std::array<float, kPowerCurrentValues>{}));
    EXPECT_EQ(BrakeCurrentsAt(table, 30.0f).firstA, 0.0f);
    EXPECT_EQ(BrakeCurrentsAt(table, 30.0f).lastA, 0.0f);
    for (int k = 0; k < 12; ++k) {
        table.PowerCurrentCurves.push_back({{0.0f, 0.0f}, {10.0f, 10.0f * static_cast<float>(k)}});
    }
    table.BrakeCurrentCurves = {{{0.0f, 7.0f}}, {{0.0f, 0.0f}, {20.0f, 100.0f}}};
    const std::array<float, kPowerCurrentValues> power = PowerCurrentsAt(table, 5.0f);
    for (size_t k = 0; k < kPowerCurrentValues; ++k) {
        EXPECT_EQ(power[k], k == 9 ? 0.0f : 5.0f * static_cast<float>(k)) << k;
    }
    EXPECT_EQ(BrakeCurrentsAt(table, 5.0f).firstA, 7.0f);
    EXPECT_EQ(BrakeCurrentsAt(table, 5.0f).lastA, 25.0f);
    table.PowerCurrentCurves.resize(2);
    EXPECT_EQ(PowerCurrentsAt(table, 5.0f)[2], 0.0f);
}

TEST(NotchCurrentFiles, MissingCurrentFileGivesEmptyCurves) {
    NotchFolder vehicle;
    vehicle.Write(L"pp.csv", "RequiredNotch_Up, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5\n");
    const NotchTable table = vehicle.Load();
    ASSERT_EQ(table.PowerCurrentCurves.size(), 11u);
    for (const Curve& curve : table.PowerCurrentCurves) {
        EXPECT_TRUE(curve.empty());
    }
}

TEST(NotchNoLoadCurrent, FirstRowWithThreeFieldsAndAValue) {
    const auto noLoad = [](std::string_view bytes) {
        NotchFolder vehicle;
        vehicle.Write(L"nl.csv", bytes);
        return vehicle.Load().NoLoadCurrent;
    };
    EXPECT_EQ(noLoad("NoLoad, 99, A\n"), 0.0f);  // the heading
    EXPECT_EQ(noLoad("h\nNoLoad, 40\nNoLoad, , A\nNoLoad, 25, A\nNoLoad, 30, A\n"), 25.0f);
    EXPECT_EQ(noLoad("h\n; comment\nx, bad, y\nx, 12.5, y, z\n"), 12.5f);
    EXPECT_EQ(noLoad("h\nNoLoad, 40, A ; comment, more\n"), 40.0f);
    EXPECT_EQ(noLoad(""), 0.0f);
}

TEST(NotchTableFiles, HostileBytesNeverBreakLoading) {
    std::string garbage;
    uint32_t seed = 99;
    for (int i = 0; i < 300000; ++i) {
        seed = seed * 1103515245u + 12345u;
        garbage.push_back(static_cast<char>(seed >> 16));
    }
    NotchFolder vehicle;
    for (const wchar_t* name :
         {L"notch.txt", L"pp.csv", L"pc.csv", L"bp.csv", L"bc.csv", L"nl.csv"}) {
        vehicle.Write(name, garbage);
    }
    NotchTable table = vehicle.Load();
    EXPECT_EQ(table.PowerCurrentCurves.size(), table.PowerCurveColumns.size());

    // Valid ASCII noise with huge numbers, commas and brackets.
    std::string noise = "[Power]\nParams = pp.csv\n[Brake]\nParams=bp.csv\nCurrent=bc.csv\n";
    vehicle.Write(L"notch.txt", noise);
    vehicle.Write(L"pp.csv", "RequiredNotch_Up, 2147483647, -2147483648, 5\n");
    vehicle.Write(L"bp.csv",
                  "RequiredNotch_Up, 18446744073709551615, 0\nBreakerDelay_On, 3.4e38\n"
                  "CurrentLimitingValue_Empty, -3.4e38\n");
    vehicle.Write(L"bc.csv", std::string(2u << 20, ',') + "\n1,2,3\n");
    table = vehicle.Load();
    EXPECT_EQ(table.PowerCurveColumns, (Columns{0, 1, 2, 2, 3}));
    EXPECT_EQ(table.BrakeTopNotch, UINT64_MAX);
    EXPECT_EQ(table.BrakeCurveColumns, (Columns{1, 2}));
    EXPECT_EQ(table.BreakerDelayOn, 3.4e38f);
    EXPECT_EQ(table.BrakeCurrentCurves[1], (Curve{{1.0f, 3.0f}}));
}

}  // namespace
}  // namespace camcab::config
