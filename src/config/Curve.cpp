#include "config/Curve.h"

#include <algorithm>
#include <cwchar>
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

std::wstring Shown(float value) {
    wchar_t text[32];
    std::swprintf(text, 32, L"%g", static_cast<double>(value));
    return text;
}

// While reporting: the first row whose x lies below that of an earlier row. In a table of
// several columns every curve shares the rows' x, so the row is one finding for all of them.
class OrderWatch {
  public:
    // `column`: the one curve's table column in a two-column table; none in a table of many.
    void See(const ConfigFile& file, float x, std::optional<uint64_t> column) {
        if (reported_ || !file.Reporting()) {
            return;
        }
        if (seen_ && x < highestX_) {
            reported_ = true;
            file.Report(Severity::Warning,
                        L"rows out of order (x " + Shown(x) + L" after " + Shown(highestX_) +
                            L" of line " + std::to_wstring(highestLine_) +
                            L"): the table is used sorted by x",
                        column, FindingKind::RowsOutOfOrder);
        } else if (!seen_ || x > highestX_) {
            highestX_ = x;
            highestLine_ = file.LineNumber();
        }
        seen_ = true;
    }

  private:
    bool seen_ = false;
    bool reported_ = false;
    float highestX_ = 0.0f;
    uint64_t highestLine_ = 0;
};

// While reporting: the first row with more fields than the heading names (typically a decimal
// comma, "1,4" for 1.4, which makes every later cell the next column's), and the first with
// fewer (its missing cells give their curves no point).
class WidthWatch {
  public:
    void Heading(std::wstring_view text) {
        headingFields_ = SplitFields(StripComment(text)).size();
    }

    void See(const ConfigFile& file, size_t fields, bool reportFewer) {
        if (!file.Reporting() || headingFields_ < 2 || fields == headingFields_) {
            return;
        }
        const std::wstring counts = L"a row of " + std::to_wstring(fields) +
                                    L" fields where the heading names " +
                                    std::to_wstring(headingFields_);
        if (fields > headingFields_ && !reportedMore_) {
            reportedMore_ = true;
            file.Report(Severity::Warning,
                        counts +
                            L": a decimal comma (\"1,4\" for 1.4)? Every comma starts the "
                            L"next column, so this row's values go to the wrong curves");
        } else if (fields < headingFields_ && reportFewer && !reportedFewer_) {
            reportedFewer_ = true;
            file.Report(Severity::Warning,
                        counts + L": the curves of columns " + std::to_wstring(fields) + L" to " +
                            std::to_wstring(headingFields_ - 1) + L" get no point from it");
        }
    }

  private:
    size_t headingFields_ = 0;
    bool reportedMore_ = false;
    bool reportedFewer_ = false;
};

void ReportBudgetSpent(const ConfigFile& file, const CurvePointBudget& budget) {
    if (budget.left == 0 && file.Reporting()) {
        file.Report(Severity::Error, L"the tables of this group hold more than " +
                                         std::to_wstring(kMaxGroupCurvePoints) +
                                         L" points: no further row is read");
    }
}

// A line of white space alone: no row, and nothing worth reporting.
bool IsBlank(std::wstring_view text) {
    return TrimLine(text).empty();
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

void ReadCurveFile(const std::wstring& path, Curve& curve, CurvePointBudget& budget,
                   Diagnostics* diagnostics, Severity ifMissing) {
    curve.clear();
    ConfigFile file = OpenConfigFile(path, diagnostics, ifMissing);
    OrderWatch order;
    WidthWatch width;
    std::wstring line;
    if (ReadConfigLine(file, line)) {  // the heading
        width.Heading(line);
        while (budget.left > 0 && ReadConfigLine(file, line)) {
            const std::wstring_view text = StripComment(line);
            if (text.empty()) {
                continue;
            }
            const std::vector<std::wstring_view> fields = SplitFields(text);
            if (!IsBlank(text)) {
                width.See(file, fields.size(), false);
            }
            if (fields.size() < 2 || fields[1].empty()) {
                if (file.Reporting() && !IsBlank(text)) {
                    file.Report(fields.size() < 2 ? Severity::Error : Severity::Note,
                                fields.size() < 2 ? L"row without a second field: skipped"
                                                  : L"row with an empty second field: skipped");
                }
                continue;
            }
            const std::optional<float> x = ToFloat(fields[0], file);
            const std::optional<float> y = ToFloat(fields[1], file);
            if (x && y) {
                order.See(file, *x, 1);
                curve.push_back({*x, *y});
                --budget.left;
            }
        }
        ReportBudgetSpent(file, budget);
    } else if (file.IsOpen() && file.Reporting()) {
        file.Report(Severity::Error, L"empty file: not even a heading line");
    }
    SortAndShrink(curve);
}

void ReadCurveFile(const std::wstring& path, Curve& curve) {
    CurvePointBudget budget;
    ReadCurveFile(path, curve, budget);
}

void ReadColumnCurves(const std::wstring& path, const std::vector<uint64_t>& columns,
                      std::vector<Curve>& curves, CurvePointBudget& budget,
                      Diagnostics* diagnostics, Severity ifMissing) {
    curves.assign(columns.size(), Curve());
    // The curves by column number, so a row visits only the columns it has: a short row
    // costs little however many curves there are. Curves that read the same column hold the
    // same points: the column is read into the first of them and copied to the others at the
    // end, so a table that names one column thousands of times costs what one curve does.
    struct ColumnReaders {
        uint64_t column;
        std::vector<size_t> curves;  // in the order of `columns`
        size_t lastPointTakers = 0;  // the readers given the last point, once the budget ran out
    };
    std::vector<std::pair<uint64_t, size_t>> byColumn;
    byColumn.reserve(columns.size());
    for (size_t k = 0; k < columns.size(); ++k) {
        byColumn.emplace_back(columns[k], k);
    }
    std::stable_sort(byColumn.begin(), byColumn.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<ColumnReaders> readers;
    for (const auto& [column, k] : byColumn) {
        if (readers.empty() || readers.back().column != column) {
            readers.push_back(ColumnReaders{column, {}, 0});
        }
        readers.back().curves.push_back(k);
    }

    ConfigFile file = OpenConfigFile(path, diagnostics, ifMissing);
    OrderWatch order;
    WidthWatch width;
    std::wstring line;
    if (ReadConfigLine(file, line)) {  // the heading
        width.Heading(line);
        while (budget.left > 0 && ReadConfigLine(file, line)) {
            const std::wstring_view text = StripComment(line);
            if (text.empty()) {
                continue;
            }
            const std::vector<std::wstring_view> fields = SplitFields(text);
            if (file.Reporting() && IsBlank(text)) {
                continue;  // reads as an unusable x below, as a line of white space should
            }
            const std::optional<float> x =
                fields.empty() ? std::nullopt : ToFloat(fields[0], file, uint64_t{0});
            if (!x) {
                continue;  // a row without a usable x gives no points
            }
            width.See(file, fields.size(), true);
            bool gavePoint = false;
            for (ColumnReaders& column : readers) {
                if (column.column >= fields.size() || budget.left == 0) {
                    break;
                }
                if (fields[column.column].empty()) {
                    continue;
                }
                // An unconvertible cell gives no point, like an empty one.
                if (const std::optional<float> y =
                        ToFloat(fields[column.column], file, column.column)) {
                    const size_t first = column.curves.front();
                    curves[first].push_back({*x, *y});
                    gavePoint = true;
                    column.lastPointTakers = std::min(column.curves.size(), budget.left);
                    budget.left -= column.lastPointTakers;
                }
            }
            if (gavePoint) {
                order.See(file, *x, std::nullopt);
            }
        }
        ReportBudgetSpent(file, budget);
    } else if (file.IsOpen() && file.Reporting()) {
        file.Report(Severity::Error, L"empty file: not even a heading line");
    }
    for (const ColumnReaders& column : readers) {
        Curve& read = curves[column.curves.front()];
        // Readers past those the spent budget left the last point to go without it.
        Curve withoutLastPoint;
        if (column.lastPointTakers < column.curves.size() && !read.empty()) {
            withoutLastPoint.assign(read.begin(), read.end() - 1);
            SortAndShrink(withoutLastPoint);
        }
        SortAndShrink(read);
        for (size_t i = 1; i < column.curves.size(); ++i) {
            curves[column.curves[i]] = i < column.lastPointTakers ? read : withoutLastPoint;
        }
    }
}

void ReadColumnCurves(const std::wstring& path, const std::vector<uint64_t>& columns,
                      std::vector<Curve>& curves) {
    CurvePointBudget budget;
    ReadColumnCurves(path, columns, curves, budget);
}

}  // namespace camcab::config
