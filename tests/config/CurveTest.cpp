// Curve evaluation and the two table readers that build curves.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "config/ConfigText.h"
#include "config/Curve.h"
#include "support/TempFolder.h"

namespace camcab::config {
namespace {

Curve ReadCurveText(std::string_view bytes) {
    test::TempFolder folder;
    folder.Write(L"table.csv", bytes);
    Curve curve{{99.0f, 99.0f}};  // must be replaced
    ReadCurveFile(folder.FileString(L"table.csv"), curve);
    return curve;
}

std::vector<Curve> ReadColumnText(std::string_view bytes, const std::vector<uint64_t>& columns) {
    test::TempFolder folder;
    folder.Write(L"table.csv", bytes);
    std::vector<Curve> curves(7);
    ReadColumnCurves(folder.FileString(L"table.csv"), columns, curves);
    return curves;
}

TEST(InterpolateCurve, ExtendsTheEndSegmentsWithoutClamping) {
    const Curve line{{0.0f, 0.0f}, {100.0f, 50.0f}};
    EXPECT_EQ(InterpolateCurve(50.0f, line), 25.0f);
    EXPECT_EQ(InterpolateCurve(150.0f, line), 75.0f);
    EXPECT_EQ(InterpolateCurve(-20.0f, line), -10.0f);
    EXPECT_EQ(InterpolateCurve(0.0f, line), 0.0f);
    EXPECT_EQ(InterpolateCurve(100.0f, line), 50.0f);
}

TEST(InterpolateCurve, EqualXSegments) {
    const Curve stepFirst{{10.0f, 5.0f}, {10.0f, 8.0f}, {20.0f, 9.0f}};
    EXPECT_EQ(InterpolateCurve(10.0f, stepFirst), 5.0f);
    EXPECT_EQ(InterpolateCurve(-1000.0f, stepFirst), 5.0f);
    EXPECT_EQ(InterpolateCurve(15.0f, stepFirst), 8.5f);
    const Curve stepLast{{0.0f, 1.0f}, {10.0f, 2.0f}, {10.0f, 7.0f}};
    EXPECT_EQ(InterpolateCurve(30.0f, stepLast), 7.0f);
}

TEST(InterpolateCurve, EmptyAndSinglePointCurves) {
    EXPECT_EQ(InterpolateCurve(42.5f, Curve{}), 42.5f);
    EXPECT_EQ(InterpolateCurve(-3.0f, Curve{{5.0f, 7.0f}}), 7.0f);
    EXPECT_EQ(InterpolateCurve(1e30f, Curve{{5.0f, 7.0f}}), 7.0f);
}

TEST(InterpolateCurve, SinglePrecisionFormula) {
    // yb + (ya - yb) / (xa - xb) * (x - xb), every step rounded to float.
    const Curve curve{{0.1f, 0.3f}, {0.7f, 1.9f}, {3.0f, -2.2f}};
    const float x = 0.45f;
    const float expected = (0.3f - 1.9f) / (0.1f - 0.7f) * (x - 0.7f) + 1.9f;
    EXPECT_EQ(InterpolateCurve(x, curve), expected);
    const float beyond = 5.5f;
    EXPECT_EQ(InterpolateCurve(beyond, curve),
              (1.9f - -2.2f) / (0.7f - 3.0f) * (beyond - 3.0f) + -2.2f);
}

TEST(InterpolateCurve, NotANumberInputUsesTheLastSegment) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_TRUE(std::isnan(InterpolateCurve(nan, Curve{{0.0f, 0.0f}, {1.0f, 1.0f}})));
    EXPECT_TRUE(std::isnan(InterpolateCurve(nan, Curve{})));
    // Equal x in the last segment gives its right y, NaN or not.
    EXPECT_EQ(InterpolateCurve(nan, Curve{{0.0f, 1.0f}, {2.0f, 3.0f}, {2.0f, 4.0f}}), 4.0f);
}

TEST(ReadCurveFile, SkipsHeadingCommentsAndBadRowsAndSorts) {
    const Curve curve = ReadCurveText(
        "x,y\n"
        "50, 1 ; comment\n"
        "0, 0\n"
        "# comment only\n"
        "\n"
        "   \n"
        "30,\n"
        "lone\n"
        "abc, 5\n"
        "10, nan\n"
        "20, 2, extra, fields\n"
        "0, 9\n");
    EXPECT_EQ(curve, (Curve{{0.0f, 0.0f}, {0.0f, 9.0f}, {20.0f, 2.0f}, {50.0f, 1.0f}}));
    EXPECT_FLOAT_EQ(InterpolateCurve(35.0f, ReadCurveText("h\n50,1\n0,0\n")), 0.7f);
}

TEST(ReadCurveFile, HeadingOnlyMissingAndSingleRow) {
    EXPECT_TRUE(ReadCurveText("Speed, Needle\n").empty());
    EXPECT_TRUE(ReadCurveText("").empty());
    EXPECT_TRUE(ReadCurveText("10,20\n").empty());  // the first line is always the heading
    EXPECT_EQ(InterpolateCurve(-500.0f, ReadCurveText("h\n10,20")), 20.0f);
    Curve curve{{1.0f, 1.0f}};
    ReadCurveFile(L"", curve);
    EXPECT_TRUE(curve.empty());
}

TEST(ReadCurveFile, HostileBytesGiveAUsableCurve) {
    std::string garbage = "h\n1,2\n";
    uint32_t seed = 12345;
    for (int i = 0; i < 200000; ++i) {
        seed = seed * 1664525u + 1013904223u;
        garbage.push_back(static_cast<char>(seed >> 24));
    }
    const Curve curve = ReadCurveText(garbage);
    ASSERT_FALSE(curve.empty());
    EXPECT_EQ(curve.front(), (CurvePoint{1.0f, 2.0f}));
    EXPECT_TRUE(ReadCurveText(std::string("\0\0\0\n\0,\0\n", 8)).empty());
    EXPECT_TRUE(ReadCurveText("h\n1e99,1\n1,1e99\n-inf,1\n").empty());
}

TEST(ReadColumnCurves, OneCurvePerColumnEntry) {
    const std::vector<Curve> curves = ReadColumnText(
        "speed, a, b, c\n"
        "20, 1, 2, 3\n"
        "0, 4, , 6 ; no b at 0\n"
        "10, 7\n"
        "bad, 1, 1, 1\n"
        "30, x, 8, 9,\n",
        {2, 0, 2, 5, 1});
    ASSERT_EQ(curves.size(), 5u);
    EXPECT_EQ(curves[0], (Curve{{20.0f, 2.0f}, {30.0f, 8.0f}}));
    EXPECT_EQ(curves[1], (Curve{{0.0f, 0.0f}, {10.0f, 10.0f}, {20.0f, 20.0f}, {30.0f, 30.0f}}));
    EXPECT_EQ(curves[2], curves[0]);
    EXPECT_TRUE(curves[3].empty());  // no row has column 5
    EXPECT_EQ(curves[4], (Curve{{0.0f, 4.0f}, {10.0f, 7.0f}, {20.0f, 1.0f}}));
}

TEST(ReadColumnCurves, MissingFileStillGivesOneEmptyCurvePerColumn) {
    std::vector<Curve> curves(9, Curve{{1.0f, 1.0f}});
    ReadColumnCurves(L"", {1, 2, 3}, curves);
    ASSERT_EQ(curves.size(), 3u);
    for (const Curve& curve : curves) {
        EXPECT_TRUE(curve.empty());
    }
    ReadColumnCurves(L"", {}, curves);
    EXPECT_TRUE(curves.empty());
}

TEST(ReadColumnCurves, ManyColumnsAndManyRowsStayCheap) {
    // 100,000 curves over 1,000 short rows: each row only visits the columns it has.
    std::vector<uint64_t> columns(100000);
    for (size_t k = 0; k < columns.size(); ++k) {
        columns[k] = k + 1;
    }
    std::string bytes = "h\n";
    for (int row = 0; row < 1000; ++row) {
        bytes += std::to_string(row) + ",1,2\n";
    }
    const std::vector<Curve> curves = ReadColumnText(bytes, columns);
    ASSERT_EQ(curves.size(), columns.size());
    EXPECT_EQ(curves[0].size(), 1000u);
    EXPECT_EQ(curves[1].size(), 1000u);
    EXPECT_TRUE(curves[2].empty());
}

TEST(ReadColumnCurves, TablesOfAGroupShareOnePointBound) {
    test::TempFolder folder;
    folder.Write(L"a.csv", "h\n0,1,2\n1,3,4\n2,5,6\n3,7,8\n");
    folder.Write(L"b.csv", "h\n0,1\n");
    CurvePointBudget budget{5};
    std::vector<Curve> curves;
    ReadColumnCurves(folder.FileString(L"a.csv"), {1, 2}, curves, budget);
    EXPECT_EQ(curves[0], (Curve{{0, 1}, {1, 3}, {2, 5}}));
    EXPECT_EQ(curves[1], (Curve{{0, 2}, {1, 4}}));
    EXPECT_EQ(budget.left, 0u);
    Curve curve{{9, 9}};
    ReadCurveFile(folder.FileString(L"b.csv"), curve, budget);
    EXPECT_TRUE(curve.empty());
}

TEST(ReadColumnCurves, CurvesOfOneColumnShareItsPointsAndTheBound) {
    // Three curves read column 1; the bound runs out in the third row, after the first two of
    // them, so the third lacks that row's point. Rows out of order are sorted in each copy.
    test::TempFolder folder;
    folder.Write(L"a.csv", "h\n5,1,9\n0,2,9\n3,3,9\n4,4,9\n");
    CurvePointBudget budget{10};
    std::vector<Curve> curves;
    ReadColumnCurves(folder.FileString(L"a.csv"), {1, 2, 1, 1}, curves, budget);
    EXPECT_EQ(curves[0], (Curve{{0, 2}, {3, 3}, {5, 1}}));
    EXPECT_EQ(curves[1], (Curve{{0, 9}, {5, 9}}));
    EXPECT_EQ(curves[2], curves[0]);
    EXPECT_EQ(curves[3], (Curve{{0, 2}, {5, 1}}));
    EXPECT_EQ(budget.left, 0u);
}

}  // namespace
}  // namespace camcab::config
