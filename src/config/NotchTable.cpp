#include "config/NotchTable.h"

#include <algorithm>
#include <optional>

#include "config/ConfigText.h"
#include "platform/FileSystem.h"

namespace camcab::config {
namespace {

// Which section of the index file a key belongs in, for the report of a misplaced key.
const wchar_t* SectionOfIndexKey(std::wstring_view key) {
    if (MatchKey(key, L"Params") || MatchKey(key, L"Current")) {
        return L"[Power] or [Brake]";
    }
    if (MatchKey(key, L"NoLoadCurrent")) {
        return L"[Brake]";
    }
    return nullptr;
}

void ReportIndexLine(const ConfigFile& file, int32_t section, std::wstring_view text,
                     const std::optional<KeyValue>& entry) {
    if (!entry) {
        if (text.front() == L'[' && text.back() == L']') {
            file.Report(Severity::Warning, L"unknown section " + std::wstring(text) +
                                               L": ignored, the lines below stay in the section "
                                               L"before it");
        } else {
            file.Report(Severity::Warning,
                        L"line ignored: neither a section header nor KEY = "
                        L"VALUE");
        }
        return;
    }
    const std::wstring key(entry->key);
    const wchar_t* home = SectionOfIndexKey(entry->key);
    if (home == nullptr) {
        file.Report(Severity::Warning, L"unknown key '" + key + L"': ignored");
    } else if (section == 0) {
        file.Report(
            Severity::Warning,
            L"key '" + key + L"' before any section header: ignored (it belongs in " + home + L")");
    } else {
        file.Report(Severity::Warning, L"key '" + key + L"' in the wrong section: ignored in " +
                                           (section == 1 ? L"[Power]" : L"[Brake]") +
                                           L" (it belongs in " + home + L")");
    }
}

// The index file: which parameter, current and no-load current files to read.
void ReadIndexFile(NotchTable& table, const std::wstring& indexPath, Diagnostics* diagnostics) {
    const std::wstring baseFolder = platform::FolderOf(indexPath);
    ConfigFile file = OpenConfigFile(indexPath, diagnostics, Severity::Error);
    std::wstring line;
    while (ReadConfigLine(file, line)) {
        const std::wstring_view text = TrimLine(StripComment(line));
        if (text.empty()) {
            continue;
        }
        if (MatchSection(text, L"[Power]")) {
            table.indexSection = 1;
            continue;
        }
        if (MatchSection(text, L"[Brake]")) {
            table.indexSection = 2;
            continue;
        }
        const std::optional<KeyValue> entry = SplitKeyValue(text);
        if (!entry) {
            if (file.Reporting()) {
                ReportIndexLine(file, table.indexSection, text, entry);
            }
            continue;
        }
        std::wstring* target = nullptr;
        if (table.indexSection == 1) {
            if (MatchKey(entry->key, L"Params")) {
                target = &table.powerParamsFile;
            } else if (MatchKey(entry->key, L"Current")) {
                target = &table.powerCurrentFile;
            }
        } else if (table.indexSection == 2) {
            if (MatchKey(entry->key, L"Params")) {
                target = &table.brakeParamsFile;
            } else if (MatchKey(entry->key, L"Current")) {
                target = &table.brakeCurrentFile;
            } else if (MatchKey(entry->key, L"NoLoadCurrent")) {
                target = &table.noLoadCurrentFile;
            }
        }
        if (target != nullptr) {
            if (file.Reporting() && !target->empty()) {
                file.Report(Severity::Warning,
                            L"'" + std::wstring(entry->key) + L"' given again: this line counts");
            }
            *target = JoinPath(baseFolder, entry->value);
        } else if (file.Reporting()) {
            ReportIndexLine(file, table.indexSection, text, entry);
        }
    }
    if (!file.Reporting() || !file.IsOpen()) {
        return;
    }
    const struct {
        const std::wstring& path;
        const wchar_t* what;
        Severity severity;
    } named[] = {
        {table.powerParamsFile, L"no Params in [Power]: the camshaft has no power steps",
         Severity::Error},
        {table.powerCurrentFile, L"no Current in [Power]: the power current curves are empty",
         Severity::Error},
        {table.brakeParamsFile, L"no Params in [Brake]: the camshaft has no brake steps",
         Severity::Error},
        {table.brakeCurrentFile, L"no Current in [Brake]: the brake current curves are empty",
         Severity::Error},
        {table.noLoadCurrentFile, L"no NoLoadCurrent in [Brake]: the no-load current stays 0 A",
         Severity::Warning},
    };
    for (const auto& expected : named) {
        if (expected.path.empty()) {
            diagnostics->Report(
                Diagnostic{indexPath, 0, expected.severity, expected.what, std::nullopt});
        }
    }
}

// Every step's required notch of a "RequiredNotch_Up" row, as the step models use it.
std::vector<int32_t> StepRequiredNotches(const std::vector<std::wstring_view>& fields) {
    std::vector<int32_t> notches;
    for (size_t s = 1; s < fields.size(); ++s) {
        notches.push_back(ToInt32(fields[s]).value_or(kNeverAllowedNotch));
    }
    return notches;
}

// The power parameter file: the last "RequiredNotch_Up" row decides which current columns
// the camshaft compares with. A row with a value that is no integer is skipped.
void ReadPowerParams(NotchTable& table, Diagnostics* diagnostics) {
    ConfigFile file = OpenConfigFile(table.powerParamsFile, diagnostics, Severity::Error);
    std::optional<std::vector<int32_t>> requiredNotches;  // columns 1 to S
    std::wstring line;
    while (ReadConfigLine(file, line)) {
        const std::wstring_view text = TrimLine(StripComment(line));
        if (!HasPrefix(text, L"RequiredNotch_Up")) {
            if (file.Reporting() && !text.empty()) {
                file.Report(Severity::Note, L"line ignored: not a RequiredNotch_Up row");
            }
            continue;
        }
        const std::vector<std::wstring_view> fields = SplitFields(text);
        table.PowerRequiredNotches = StepRequiredNotches(fields);
        std::vector<int32_t> values;
        values.reserve(fields.size());
        bool valid = true;
        for (size_t s = 1; s < fields.size() && valid; ++s) {
            const std::optional<int32_t> value = ToInt32(fields[s], file, s);
            valid = value.has_value();
            values.push_back(value.value_or(0));
        }
        if (valid) {
            if (file.Reporting() && requiredNotches) {
                file.Report(Severity::Warning,
                            L"another RequiredNotch_Up row: this one replaces the one before");
            }
            requiredNotches = std::move(values);
        } else if (file.Reporting()) {
            file.Report(Severity::Note, L"RequiredNotch_Up row skipped");
        }
    }
    if (!requiredNotches) {
        if (file.IsOpen() && file.Reporting()) {
            diagnostics->Report(Diagnostic{table.powerParamsFile, 0, Severity::Error,
                                           L"no usable RequiredNotch_Up row: the camshaft has no "
                                           L"power current curves",
                                           std::nullopt});
        }
        return;
    }
    // Around every step where the required notch rises above all before it (and above 2),
    // the steps before, at and after it; then the last two steps.
    const uint64_t stepCount = requiredNotches->size();  // S
    int32_t runningMaximum = 2;
    for (uint64_t s = 1; s <= stepCount; ++s) {
        const int32_t value = (*requiredNotches)[s - 1];
        if (value > runningMaximum) {
            table.PowerCurveColumns.push_back(s - 1);
            table.PowerCurveColumns.push_back(s);
            if (s < stepCount) {
                table.PowerCurveColumns.push_back(s + 1);
            }
            runningMaximum = value;
        }
    }
    const uint64_t fieldCount = stepCount + 1;
    if (fieldCount >= 2) {
        table.PowerCurveColumns.push_back(stepCount - 1);
    }
    table.PowerCurveColumns.push_back(stepCount);
    table.PowerCurrentCurves.resize(table.PowerCurveColumns.size());
}

// "BreakerDelay_On" and "CurrentLimitingValue_Empty" rows: the real number in column 1.
void ReadRealColumn1(const ConfigFile& file, std::wstring_view text, float& target) {
    const std::vector<std::wstring_view> fields = SplitFields(text);
    if (fields.size() < 2) {
        if (file.Reporting()) {
            file.Report(Severity::Error, L"row without a value in column 1: skipped");
        }
        return;
    }
    if (const std::optional<float> value = ToFloat(fields[1], file, uint64_t{1})) {
        target = *value;
    }
}

// A "RequiredNotch_Up" row of the brake parameter file: the top brake notch and the columns
// of the steps that reach it, then the last column.
void ReadBrakeRequiredNotches(NotchTable& table, const ConfigFile& file, std::wstring_view text) {
    const std::vector<std::wstring_view> fields = SplitFields(text);
    table.BrakeRequiredNotches = StepRequiredNotches(fields);
    const uint64_t stepCount = fields.empty() ? 0 : fields.size() - 1;  // S
    std::vector<uint64_t> values(stepCount + 1, 0);
    for (uint64_t s = 1; s <= stepCount; ++s) {
        const std::optional<uint64_t> value = ToUint64(fields[s], file, s);
        if (!value) {
            if (file.Reporting()) {
                file.Report(Severity::Note, L"RequiredNotch_Up row skipped");
            }
            return;
        }
        values[s] = *value;
    }
    const uint64_t topNotch = *std::max_element(values.begin(), values.end());
    std::vector<uint64_t> columns;
    for (uint64_t i = 0; i < stepCount; ++i) {
        if (values[i] == topNotch) {
            columns.push_back(i);
        }
    }
    columns.push_back(stepCount);
    if (table.BrakeCurveColumns.size() + columns.size() > kMaxBrakeCurveColumns) {
        if (file.Reporting()) {
            file.Report(Severity::Error,
                        L"RequiredNotch_Up row skipped: the brake curves would "
                        L"exceed " +
                            std::to_wstring(kMaxBrakeCurveColumns) + L" columns");
        }
        return;
    }
    if (file.Reporting() && !table.BrakeCurveColumns.empty()) {
        file.Report(Severity::Warning,
                    L"another RequiredNotch_Up row: its columns are added to "
                    L"those before and its top notch counts");
    }
    table.BrakeTopNotch = topNotch;
    table.BrakeCurveColumns.insert(table.BrakeCurveColumns.end(), columns.begin(), columns.end());
}

void ReadBrakeParams(NotchTable& table, Diagnostics* diagnostics) {
    ConfigFile file = OpenConfigFile(table.brakeParamsFile, diagnostics, Severity::Error);
    bool sawBreakerDelay = false;
    bool sawCurrentLimit = false;
    std::wstring line;
    while (ReadConfigLine(file, line)) {
        const std::wstring_view text = TrimLine(StripComment(line));
        if (HasPrefix(text, L"BreakerDelay_On")) {
            ReadRealColumn1(file, text, table.BreakerDelayOn);
            sawBreakerDelay = true;
        } else if (HasPrefix(text, L"RequiredNotch_Up")) {
            ReadBrakeRequiredNotches(table, file, text);
        } else if (HasPrefix(text, L"CurrentLimitingValue_Empty")) {
            ReadRealColumn1(file, text, table.CurrentLimitEmpty);
            sawCurrentLimit = true;
        } else if (file.Reporting() && !text.empty()) {
            file.Report(Severity::Note,
                        L"line ignored: not a BreakerDelay_On, RequiredNotch_Up "
                        L"or CurrentLimitingValue_Empty row");
        }
    }
    if (!file.IsOpen() || !file.Reporting()) {
        return;
    }
    const auto missing = [&](Severity severity, const wchar_t* message) {
        diagnostics->Report(Diagnostic{table.brakeParamsFile, 0, severity, message, std::nullopt});
    };
    if (table.BrakeCurveColumns.empty()) {
        missing(Severity::Error,
                L"no usable RequiredNotch_Up row: the camshaft has no brake current curves");
    }
    if (!sawBreakerDelay) {
        missing(Severity::Warning, L"no BreakerDelay_On row: the breaker delay stays 0 s");
    }
    if (!sawCurrentLimit) {
        missing(Severity::Warning,
                L"no CurrentLimitingValue_Empty row: the empty-car current limit stays 0 A");
    }
}

// The no-load current: column 1 of the first row after the heading that has at least three
// fields and a number in column 1.
void ReadNoLoadCurrent(NotchTable& table, Diagnostics* diagnostics) {
    ConfigFile file = OpenConfigFile(table.noLoadCurrentFile, diagnostics, Severity::Error);
    std::wstring line;
    if (!ReadConfigLine(file, line)) {
        if (file.IsOpen() && file.Reporting()) {
            file.Report(Severity::Error, L"empty file: the no-load current stays 0 A");
        }
        return;
    }
    while (ReadConfigLine(file, line)) {
        const std::wstring_view text = StripComment(line);
        const std::vector<std::wstring_view> fields = SplitFields(text);
        if (fields.size() < 3 || fields[1].empty()) {
            if (file.Reporting() && !TrimLine(text).empty()) {
                file.Report(Severity::Note,
                            L"row skipped: it needs three fields and a value in "
                            L"column 1");
            }
            continue;
        }
        if (const std::optional<float> value = ToFloat(fields[1], file, uint64_t{1})) {
            table.NoLoadCurrent = *value;
            return;
        }
    }
    if (file.Reporting()) {
        file.ReportWhole(Severity::Error, L"no usable row: the no-load current stays 0 A");
    }
}

}  // namespace

void LoadNotchTable(NotchTable& table, const std::wstring& indexPath, Diagnostics* diagnostics) {
    ReadIndexFile(table, indexPath, diagnostics);
    ReadPowerParams(table, diagnostics);
    ReadBrakeParams(table, diagnostics);
    // The current curves of both files share one bound.
    CurvePointBudget budget;
    ReadColumnCurves(table.powerCurrentFile, table.PowerCurveColumns, table.PowerCurrentCurves,
                     budget, diagnostics);
    ReadColumnCurves(table.brakeCurrentFile, table.BrakeCurveColumns, table.BrakeCurrentCurves,
                     budget, diagnostics);
    ReadNoLoadCurrent(table, diagnostics);
}

std::array<float, kPowerCurrentValues> PowerCurrentsAt(const NotchTable& table, float absSpeedKmh) {
    const std::vector<Curve>& curves = table.PowerCurrentCurves;
    std::array<float, kPowerCurrentValues> currentsA{};
    for (size_t k = 0; k < kPowerCurrentValues; ++k) {
        currentsA[k] =
            k == 9 || k >= curves.size() ? 0.0f : InterpolateCurve(absSpeedKmh, curves[k]);
    }
    return currentsA;
}

BrakeCurrents BrakeCurrentsAt(const NotchTable& table, float absSpeedKmh) {
    const std::vector<Curve>& curves = table.BrakeCurrentCurves;
    if (curves.empty()) {
        return {};
    }
    return {InterpolateCurve(absSpeedKmh, curves.front()),
            InterpolateCurve(absSpeedKmh, curves.back())};
}

}  // namespace camcab::config
