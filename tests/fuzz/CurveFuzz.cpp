// The curve readers: one table file read as a needle table and as a many-column table, and
// the curves evaluated inside, between and beyond their points.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "FuzzFiles.h"
#include "config/Curve.h"

namespace {

void Evaluate(const camcab::config::Curve& curve) {
    using camcab::config::InterpolateCurve;
    constexpr float kInputs[] = {-1e30f,
                                 -20.0f,
                                 0.0f,
                                 0.5f,
                                 50.0f,
                                 1e30f,
                                 std::numeric_limits<float>::infinity(),
                                 std::numeric_limits<float>::quiet_NaN()};
    for (const float x : kInputs) {
        InterpolateCurve(x, curve);
    }
    for (size_t i = 0; i < curve.size(); ++i) {
        InterpolateCurve(curve[i].x, curve);
        if (i + 1 < curve.size()) {
            InterpolateCurve(curve[i].x + (curve[i + 1].x - curve[i].x) / 2.0f, curve);
        }
    }
}

bool SortedByX(const camcab::config::Curve& curve) {
    for (size_t i = 1; i < curve.size(); ++i) {
        if (!(curve[i - 1].x <= curve[i].x)) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace camcab;
    fuzz::Scratch().Write("table.csv", std::string_view(reinterpret_cast<const char*>(data), size));
    const std::wstring path = fuzz::Scratch().File("table.csv");

    config::Curve curve;
    config::ReadCurveFile(path, curve);
    if (!SortedByX(curve)) {
        std::abort();
    }
    Evaluate(curve);

    // Repeated columns, the speed column itself and columns beyond most rows.
    const std::vector<uint64_t> columns = {1, 2, 3, 0, 2, 7, 12, 1000};
    std::vector<config::Curve> curves;
    config::ReadColumnCurves(path, columns, curves);
    if (curves.size() != columns.size()) {
        std::abort();
    }
    for (const config::Curve& columnCurve : curves) {
        if (!SortedByX(columnCurve)) {
            std::abort();
        }
        Evaluate(columnCurve);
    }
    return 0;
}
