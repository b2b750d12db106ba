// Which cells of a current table a curve's value at a speed comes from, as the table reader
// builds the curve (rows in file order, each row whose cell reads as a number a point, sorted by
// speed keeping that order) and the camshaft interpolates it.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "TableText.h"
#include "config/Curve.h"

namespace camcab::tune {

// A point of a curve as the table gives it: its speed, and which of the points at that speed
// it is, in the order they are read.
struct PointRef {
    float x = 0.0f;
    size_t rank = 0;
    bool operator==(const PointRef& other) const = default;
};

// The points the curve's value at `speedKmh` comes from: the segment's two points, or the one
// point that gives the value alone (a point at that speed, or the one an equal-speed segment
// takes).
std::vector<PointRef> PointsAround(const config::Curve& curve, float speedKmh);

// The table line that gives the point to the curve read from `column`: of the rows at its
// speed whose cell there reads as a number, the one of its rank.
std::optional<size_t> LineOf(const TableText& table, size_t column, const PointRef& point);

}  // namespace camcab::tune
