// A characteristic read from a table file: points sorted by x, evaluated piecewise linearly
// with straight-line extension beyond both ends.
#pragma once

#include <vector>

namespace camcab::config {

struct CurvePoint {
    float x;
    float y;
};

using Curve = std::vector<CurvePoint>;

// The curve's value at x. An empty curve passes x through; one point gives its y.
float InterpolateCurve(float x, const Curve& curve);

}  // namespace camcab::config
