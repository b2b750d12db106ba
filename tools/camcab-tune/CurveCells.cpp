#include "CurveCells.h"

#include "config/ConfigText.h"
#include "platform/WideText.h"

namespace camcab::tune {

std::vector<PointRef> PointsAround(const config::Curve& curve, float speedKmh) {
    const auto ref = [&curve](size_t index) {
        PointRef point{curve[index].x, 0};
        for (size_t i = index; i > 0 && curve[i - 1].x == curve[index].x; --i) {
            ++point.rank;
        }
        return point;
    };
    if (curve.size() < 2) {
        return curve.empty() ? std::vector<PointRef>{} : std::vector<PointRef>{ref(0)};
    }
    size_t below = 0;  // the points whose speed is less (one that is not a number counts less)
    while (below < curve.size() && !(curve[below].x >= speedKmh)) {
        ++below;
    }
    const size_t left = below == 0 ? 0 : below == curve.size() ? curve.size() - 2 : below - 1;
    const size_t right = left + 1;
    if (curve[left].x == curve[right].x) {
        return {ref(below == 0 ? left : right)};
    }
    if (curve[left].x == speedKmh || curve[right].x == speedKmh) {
        return {ref(curve[left].x == speedKmh ? left : right)};
    }
    return {ref(left), ref(right)};
}

std::optional<size_t> LineOf(const TableText& table, size_t column, const PointRef& point) {
    size_t rank = 0;
    for (size_t line : table.RowsAt(point.x)) {
        const std::optional<std::string> cell = table.Cell(line, column);
        if (!cell || !config::ToFloat(platform::DecodeUtf8(*cell))) {
            continue;
        }
        if (rank++ == point.rank) {
            return line;
        }
    }
    return std::nullopt;
}

}  // namespace camcab::tune
