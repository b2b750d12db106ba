#include "config/MotorSoundConfig.h"

#include <algorithm>
#include <optional>

#include "config/ConfigText.h"

namespace camcab::config {
namespace {

constexpr int32_t kPowerSection = 0;
constexpr int32_t kBrakeSection = 1;
constexpr int32_t kNeutralSection = 2;
constexpr int32_t kSoundSection = 3;

bool IsDecimalDigits(std::wstring_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

void ReadSoundLine(MotorSoundConfig& config, const std::wstring& pluginDirectory,
                   const KeyValue& entry) {
    if (!IsDecimalDigits(entry.key)) {
        return;
    }
    const std::optional<uint64_t> number = ToUint64(entry.key);
    if (!number || *number > kMaxMotorSoundNumber) {
        return;
    }
    if (config.MotorSoundFiles.size() < *number + 1) {
        config.MotorSoundFiles.resize(*number + 1);
    }
    config.MotorSoundFiles[*number] = JoinPath(pluginDirectory, entry.value);
}

void ReadTableLine(MotorSoundConfig& config, const std::wstring& pluginDirectory,
                   const KeyValue& entry) {
    std::wstring* volumeTable = config.section == kPowerSection   ? &config.powerVolumeTable
                                : config.section == kBrakeSection ? &config.brakeVolumeTable
                                                                  : &config.neutralVolumeTable;
    std::wstring* frequencyTable = config.section == kPowerSection ? &config.powerFrequencyTable
                                   : config.section == kBrakeSection
                                       ? &config.brakeFrequencyTable
                                       : &config.neutralFrequencyTable;
    if (MatchKey(entry.key, L"Volume")) {
        *volumeTable = JoinPath(pluginDirectory, entry.value);
    } else if (MatchKey(entry.key, L"Frequency")) {
        *frequencyTable = JoinPath(pluginDirectory, entry.value);
    }
}

}  // namespace

void LoadMotorSoundConfig(MotorSoundConfig& config, const std::wstring& pluginDirectory) {
    ConfigFile file = OpenConfigFile(JoinPath(pluginDirectory, L"AtsMotorConfig.txt"));
    std::wstring line;
    while (ReadConfigLine(file, line)) {
        const std::wstring_view text = TrimLine(StripComment(line));
        if (text.empty()) {
            continue;
        }
        if (MatchSection(text, L"[Power]")) {
            config.section = kPowerSection;
        } else if (MatchSection(text, L"[Brake]")) {
            config.section = kBrakeSection;
        } else if (MatchSection(text, L"[Neutral]")) {
            config.section = kNeutralSection;
        } else if (MatchSection(text, L"[Sound]")) {
            config.section = kSoundSection;
        } else if (const std::optional<KeyValue> entry = SplitKeyValue(text)) {
            if (config.section == kSoundSection) {
                ReadSoundLine(config, pluginDirectory, *entry);
            } else {
                ReadTableLine(config, pluginDirectory, *entry);
            }
        }
    }
    config.MotorSoundFiles.shrink_to_fit();
    config.MotorSoundCount = config.MotorSoundFiles.size();

    // Sound k reads column k + 1 of every table.
    std::vector<uint64_t> columns(config.MotorSoundCount);
    for (uint64_t k = 0; k < config.MotorSoundCount; ++k) {
        columns[k] = k + 1;
    }
    // The six tables share one bound.
    CurvePointBudget budget;
    ReadColumnCurves(config.powerVolumeTable, columns, config.PowerVolumeCurves, budget);
    ReadColumnCurves(config.brakeVolumeTable, columns, config.BrakeVolumeCurves, budget);
    ReadColumnCurves(config.neutralVolumeTable, columns, config.NeutralVolumeCurves, budget);
    ReadColumnCurves(config.powerFrequencyTable, columns, config.PowerFrequencyCurves, budget);
    ReadColumnCurves(config.brakeFrequencyTable, columns, config.BrakeFrequencyCurves, budget);
    ReadColumnCurves(config.neutralFrequencyTable, columns, config.NeutralFrequencyCurves, budget);
}

}  // namespace camcab::config
