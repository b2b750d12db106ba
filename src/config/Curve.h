// A characteristic read from a table file: points sorted by x, evaluated piecewise linearly
// with straight-line extension beyond both ends.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace camcab::config {

struct CurvePoint {
    float x;
    float y;

    friend bool operator==(const CurvePoint&, const CurvePoint&) = default;
};

using Curve = std::vector<CurvePoint>;

// The curve's value at x. An empty curve passes x through; one point gives its y.
float InterpolateCurve(float x, const Curve& curve);

// Fills `curve` from a two-column table (heading line, then x, y rows), sorted by x.
// A missing file gives an empty curve.
void ReadCurveFile(const std::wstring& path, Curve& curve);

// Fills one curve per entry of `columns` from a many-column table (heading line, then rows
// whose column 0 is x and column c the y of the curves reading column c), each sorted by x.
// `curves` always ends with as many curves as `columns` has entries.
void ReadColumnCurves(const std::wstring& path, const std::vector<uint64_t>& columns,
                      std::vector<Curve>& curves);

}  // namespace camcab::config
