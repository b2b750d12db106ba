#include "config/NotchTable.h"

#include <algorithm>
#include <optional>

#include "config/ConfigText.h"
#include "platform/FileSystem.h"

namespace camcab::config {
namespace {

// The index file: which parameter, current and no-load current files to read.
void ReadIndexFile(NotchTable& table, const std::wstring& indexPath) {
    const std::wstring baseFolder = platform::FolderOf(indexPath);
    ConfigFile file = OpenConfigFile(indexPath);
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
            *target = JoinPath(baseFolder, entry->value);
        }
    }
}

// The power parameter file: the last "RequiredNotch_Up" row decides which current columns
// the camshaft compares with. A row with a value that is no integer is skipped.
void ReadPowerParams(NotchTable& table) {
    ConfigFile file = OpenConfigFile(table.powerParamsFile);
    std::optional<std::vector<int32_t>> requiredNotches;  // columns 1 to S
    std::wstring line;
    while (ReadConfigLine(file, line)) {
        const std::wstring_view text = TrimLine(StripComment(line));
        if (!HasPrefix(text, L"RequiredNotch_Up")) {
            continue;
        }
        const std::vector<std::wstring_view> fields = SplitFields(text);
        std::vector<int32_t> values;
        values.reserve(fields.size());
        bool valid = true;
        for (size_t s = 1; s < fields.size() && valid; ++s) {
            const std::optional<int32_t> value = ToInt32(fields[s]);
            valid = value.has_value();
            values.push_back(value.value_or(0));
        }
        if (valid) {
            requiredNotches = std::move(values);
        }
    }
    if (!requiredNotches) {
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
void ReadRealColumn1(std::wstring_view text, float& target) {
    const std::vector<std::wstring_view> fields = SplitFields(text);
    if (fields.size() < 2) {
        return;
    }
    if (const std::optional<float> value = ToFloat(fields[1])) {
        target = *value;
    }
}

// A "RequiredNotch_Up" row of the brake parameter file: the top brake notch and the columns
// of the steps that reach it, then the last column.
void ReadBrakeRequiredNotches(NotchTable& table, std::wstring_view text) {
    const std::vector<std::wstring_view> fields = SplitFields(text);
    const uint64_t stepCount = fields.empty() ? 0 : fields.size() - 1;  // S
    std::vector<uint64_t> values(stepCount + 1, 0);
    for (uint64_t s = 1; s <= stepCount; ++s) {
        const std::optional<uint64_t> value = ToUint64(fields[s]);
        if (!value) {
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
        return;
    }
    table.BrakeTopNotch = topNotch;
    table.BrakeCurveColumns.insert(table.BrakeCurveColumns.end(), columns.begin(), columns.end());
}

void ReadBrakeParams(NotchTable& table) {
    ConfigFile file = OpenConfigFile(table.brakeParamsFile);
    std::wstring line;
    while (ReadConfigLine(file, line)) {
        const std::wstring_view text = TrimLine(StripComment(line));
        if (HasPrefix(text, L"BreakerDelay_On")) {
            ReadRealColumn1(text, table.BreakerDelayOn);
        } else if (HasPrefix(text, L"RequiredNotch_Up")) {
            ReadBrakeRequiredNotches(table, text);
        } else if (HasPrefix(text, L"CurrentLimitingValue_Empty")) {
            ReadRealColumn1(text, table.CurrentLimitEmpty);
        }
    }
}

// The no-load current: column 1 of the first row after the heading that has at least three
// fields and a number in column 1.
void ReadNoLoadCurrent(NotchTable& table) {
    ConfigFile file = OpenConfigFile(table.noLoadCurrentFile);
    std::wstring line;
    if (!ReadConfigLine(file, line)) {
        return;
    }
    while (ReadConfigLine(file, line)) {
        const std::vector<std::wstring_view> fields = SplitFields(StripComment(line));
        if (fields.size() < 3 || fields[1].empty()) {
            continue;
        }
        if (const std::optional<float> value = ToFloat(fields[1])) {
            table.NoLoadCurrent = *value;
            return;
        }
    }
}

}  // namespace

void LoadNotchTable(NotchTable& table, const std::wstring& indexPath) {
    ReadIndexFile(table, indexPath);
    ReadPowerParams(table);
    ReadBrakeParams(table);
    // The current curves of both files share one bound.
    CurvePointBudget budget;
    ReadColumnCurves(table.powerCurrentFile, table.PowerCurveColumns, table.PowerCurrentCurves,
                     budget);
    ReadColumnCurves(table.brakeCurrentFile, table.BrakeCurveColumns, table.BrakeCurrentCurves,
                     budget);
    ReadNoLoadCurrent(table);
}

}  // namespace camcab::config
