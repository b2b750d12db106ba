// A characteristic read from a table file: points sorted by x, evaluated piecewise linearly
// with straight-line extension beyond both ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "config/Diagnostics.h"

namespace camcab::config {

struct CurvePoint {
    float x;
    float y;

    friend bool operator==(const CurvePoint&, const CurvePoint&) = default;
};

using Curve = std::vector<CurvePoint>;

// How many points the curves of one group of tables may hold together: the notch table
// group, the motor sound tables and the needle tables are each one group, read afresh by
// every Load. Real tables hold a few thousand points; this bound keeps a hostile table (a
// few kilobytes of rows times tens of thousands of columns) from taking seconds and hundreds
// of megabytes of Load.
inline constexpr size_t kMaxGroupCurvePoints = size_t{1} << 18;

// The points a group of tables may still add. Once it is spent, the readers add no point and
// read no further row; what was read stands and Load goes on.
struct CurvePointBudget {
    size_t left = kMaxGroupCurvePoints;
};

// The curve's value at x. An empty curve passes x through; one point gives its y.
float InterpolateCurve(float x, const Curve& curve);

// Fills `curve` from a two-column table (heading line, then x, y rows), sorted by x.
// A missing file gives an empty curve. Without a budget, the table is a group of its own.
// With a sink, rows that give no point and rows out of order are reported, and a missing
// file with `ifMissing`.
void ReadCurveFile(const std::wstring& path, Curve& curve, CurvePointBudget& budget,
                   Diagnostics* diagnostics = nullptr, Severity ifMissing = Severity::Error);
void ReadCurveFile(const std::wstring& path, Curve& curve);

// Fills one curve per entry of `columns` from a many-column table (heading line, then rows
// whose column 0 is x and column c the y of the curves reading column c), each sorted by x.
// `curves` always ends with as many curves as `columns` has entries. With a sink, as above.
void ReadColumnCurves(const std::wstring& path, const std::vector<uint64_t>& columns,
                      std::vector<Curve>& curves, CurvePointBudget& budget,
                      Diagnostics* diagnostics = nullptr, Severity ifMissing = Severity::Error);
void ReadColumnCurves(const std::wstring& path, const std::vector<uint64_t>& columns,
                      std::vector<Curve>& curves);

}  // namespace camcab::config
