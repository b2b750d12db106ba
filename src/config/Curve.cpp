#include "config/Curve.h"

#include <algorithm>
#include <utility>

#include "config/ConfigText.h"

namespace camcab::config {
namespace {

// Sorted by x, equal x in reading order. Points never hold NaN: the number conversion
// rejects it, so the ordering is strict.
void SortAndShrink(Curve& curve) {
    const auto byX = [](const CurvePoint& a, const CurvePoint& b) { return a.x < b.x; };
    if (!std::is_sorted(curve.begin(), curve.end(), byX)) {  // tables are mostly in order
        std::stable_sort(curve.begin(), curve.end(), byX);
    }
    curve.shrink_to_fit();
}

}  // namespace

float InterpolateCurve(float x, const Curve& curve) {
    const size_t n = curve.size();
    if (n == 0) {
        return x;
    }
    if (n == 1) {
        return curve[0].y;
    }
    // Points below x; a point whose x is NaN counts as below, and so does every point for a
    // NaN input.
    size_t i = 0;
    while (i < n && !(curve[i].x >= x)) {
        ++i;
    }
    const size_t left = i == 0 ? 0 : (i == n ? n - 2 : i - 1);
    const CurvePoint& a = curve[left];
    const CurvePoint& b = curve[left + 1];
    if (a.x == b.x) {
        return i > 0 ? b.y : a.y;
    }
    const float slope = (a.y - b.y) / (a.x - b.x);
    const float offset = slope * (x - b.x);
    return offset + b.y;
}

void ReadCurveFile(const std::wstring& path, Curve& curve, CurvePointBudget& budget) {
    curve.clear();
    ConfigFile file = OpenConfigFile(path);
    std::wstring line;
    if (ReadConfigLine(file, line)) {  // the heading
        while (budget.left > 0 && ReadConfigLine(file, line)) {
            const std::wstring_view text = StripComment(line);
            if (text.empty()) {
                continue;
            }
            const std::vector<std::wstring_view> fields = SplitFields(text);
            if (fields.size() < 2 || fields[1].empty()) {
                continue;
            }
            const std::optional<float> x = ToFloat(fields[0]);
            const std::optional<float> y = ToFloat(fields[1]);
            if (x && y) {
                curve.push_back({*x, *y});
                --budget.left;
            }
        }
    }
    SortAndShrink(curve);
}

void ReadCurveFile(const std::wstring& path, Curve& curve) {
    CurvePointBudget budget;
    ReadCurveFile(path, curve, budget);
}

void ReadColumnCurves(const std::wstring& path, const std::vector<uint64_t>& columns,
                      std::vector<Curve>& curves, CurvePointBudget& budget) {
    curves.assign(columns.size(), Curve());
    // The curves by column number, so a row visits only the columns it has: a short row
    // costs little however many curves there are.
    std::vector<std::pair<uint64_t, size_t>> byColumn;
    byColumn.reserve(columns.size());
    for (size_t k = 0; k < columns.size(); ++k) {
        byColumn.emplace_back(columns[k], k);
    }
    std::stable_sort(byColumn.begin(), byColumn.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });

    ConfigFile file = OpenConfigFile(path);
    std::wstring line;
    if (ReadConfigLine(file, line)) {  // the heading
        while (budget.left > 0 && ReadConfigLine(file, line)) {
            const std::wstring_view text = StripComment(line);
            if (text.empty()) {
                continue;
            }
            const std::vector<std::wstring_view> fields = SplitFields(text);
            const std::optional<float> x = fields.empty() ? std::nullopt : ToFloat(fields[0]);
            if (!x) {
                continue;  // a row without a usable x gives no points
            }
            for (const auto& [column, k] : byColumn) {
                if (column >= fields.size() || budget.left == 0) {
                    break;
                }
                if (fields[column].empty()) {
                    continue;
                }
                // An unconvertible cell gives no point, like an empty one.
                if (const std::optional<float> y = ToFloat(fields[column])) {
                    curves[k].push_back({*x, *y});
                    --budget.left;
                }
            }
        }
    }
    for (Curve& curve : curves) {
        SortAndShrink(curve);
    }
}

void ReadColumnCurves(const std::wstring& path, const std::vector<uint64_t>& columns,
                      std::vector<Curve>& curves) {
    CurvePointBudget budget;
    ReadColumnCurves(path, columns, curves, budget);
}

}  // namespace camcab::config
