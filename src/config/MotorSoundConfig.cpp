#include "config/MotorSoundConfig.h"

#include <algorithm>
#include <optional>

#include "config/ConfigText.h"
#include "config/VehicleFolder.h"

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

bool IsTableKey(std::wstring_view key) {
    return MatchKey(key, L"Volume") || MatchKey(key, L"Frequency");
}

void ReadSoundLine(MotorSoundConfig& config, const std::wstring& pluginDirectory,
                   const KeyValue& entry, const ConfigFile& file) {
    if (!IsDecimalDigits(entry.key)) {
        if (file.Reporting()) {
            file.Report(IsTableKey(entry.key) ? Severity::Warning : Severity::Error,
                        IsTableKey(entry.key)
                            ? L"key '" + std::wstring(entry.key) +
                                  L"' in the wrong section: ignored in [Sound] (it belongs in "
                                  L"[Power], [Brake] or [Neutral])"
                            : L"sound number '" + std::wstring(entry.key) +
                                  L"' is not a number of decimal digits: ignored");
        }
        return;
    }
    const std::optional<uint64_t> number = ToUint64(entry.key);
    if (!number || *number > kMaxMotorSoundNumber) {
        if (file.Reporting()) {
            file.Report(Severity::Error, L"sound number " + std::wstring(entry.key) + L" above " +
                                             std::to_wstring(kMaxMotorSoundNumber) + L": ignored");
        }
        return;
    }
    if (file.Reporting()) {
        if (*number < config.MotorSoundFiles.size() && !config.MotorSoundFiles[*number].empty()) {
            file.Report(Severity::Warning, L"sound number " + std::to_wstring(*number) +
                                               L" given again: this line counts");
        }
        if (entry.value.empty()) {
            file.Report(Severity::Error,
                        L"sound number " + std::to_wstring(*number) + L" names no file");
        }
    }
    if (config.MotorSoundFiles.size() < *number + 1) {
        config.MotorSoundFiles.resize(*number + 1);
    }
    config.MotorSoundFiles[*number] = JoinPath(pluginDirectory, entry.value);
}

void ReadTableLine(MotorSoundConfig& config, const std::wstring& pluginDirectory,
                   const KeyValue& entry, const ConfigFile& file, bool sawHeader) {
    std::wstring* volumeTable = config.section == kPowerSection   ? &config.powerVolumeTable
                                : config.section == kBrakeSection ? &config.brakeVolumeTable
                                                                  : &config.neutralVolumeTable;
    std::wstring* frequencyTable = config.section == kPowerSection ? &config.powerFrequencyTable
                                   : config.section == kBrakeSection
                                       ? &config.brakeFrequencyTable
                                       : &config.neutralFrequencyTable;
    if (file.Reporting()) {
        if (IsDecimalDigits(entry.key)) {
            file.Report(Severity::Warning, L"sound number " + std::wstring(entry.key) +
                                               L" in the wrong section: ignored (it belongs in "
                                               L"[Sound])");
        } else if (!IsTableKey(entry.key)) {
            file.Report(Severity::Warning,
                        L"unknown key '" + std::wstring(entry.key) + L"': ignored");
        } else if (!sawHeader) {
            file.Report(Severity::Note, L"'" + std::wstring(entry.key) +
                                            L"' before any section header: taken for [Neutral]");
        }
    }
    if (MatchKey(entry.key, L"Volume")) {
        *volumeTable = JoinPath(pluginDirectory, entry.value);
    } else if (MatchKey(entry.key, L"Frequency")) {
        *frequencyTable = JoinPath(pluginDirectory, entry.value);
    }
}

// Sound numbers without a file, and tables a bank of sounds needs but no line names.
void ReportUnfilled(const MotorSoundConfig& config, const ConfigFile& file) {
    const auto atFile = [&](Severity severity, const std::wstring& message) {
        file.ReportWhole(severity, message);
    };
    for (size_t k = 0; k < config.MotorSoundFiles.size(); ++k) {
        if (config.MotorSoundFiles[k].empty()) {
            atFile(Severity::Warning, L"motor sound " + std::to_wstring(k) +
                                          L" has no file line: its sound stays silent");
        }
    }
    if (config.MotorSoundFiles.empty()) {
        if (file.IsOpen()) {
            atFile(Severity::Warning, L"no sound lines in [Sound]: the vehicle has no motor sound");
        }
        return;
    }
    const struct {
        const std::wstring& path;
        const wchar_t* what;
    } tables[] = {
        {config.powerVolumeTable,
         L"no Volume in [Power]: the motor sounds play at full volume "
         L"while powering"},
        {config.brakeVolumeTable,
         L"no Volume in [Brake]: the motor sounds play at full volume "
         L"while braking"},
        {config.neutralVolumeTable,
         L"no Volume in [Neutral]: the motor sounds play at full "
         L"volume while coasting"},
        {config.powerFrequencyTable,
         L"no Frequency in [Power]: the motor sounds take the speed "
         L"as their frequency ratio while powering"},
        {config.brakeFrequencyTable,
         L"no Frequency in [Brake]: the motor sounds take the speed "
         L"as their frequency ratio while braking"},
        {config.neutralFrequencyTable,
         L"no Frequency in [Neutral]: the motor sounds take the "
         L"speed as their frequency ratio while coasting"},
    };
    for (const auto& table : tables) {
        if (table.path.empty()) {
            atFile(Severity::Error, table.what);
        }
    }
}

}  // namespace

void LoadMotorSoundConfig(MotorSoundConfig& config, const std::wstring& pluginDirectory,
                          Diagnostics* diagnostics) {
    ConfigFile file = OpenConfigFile(JoinPath(pluginDirectory, kMotorSoundConfigFile), diagnostics,
                                     Severity::Warning);
    bool sawHeader = false;
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
                ReadSoundLine(config, pluginDirectory, *entry, file);
            } else {
                ReadTableLine(config, pluginDirectory, *entry, file, sawHeader);
            }
            continue;
        } else {
            if (file.Reporting()) {
                file.Report(Severity::Warning,
                            text.front() == L'[' && text.back() == L']'
                                ? L"unknown section " + std::wstring(text) +
                                      L": ignored, the lines below stay in the section before it"
                                : std::wstring(L"line ignored: neither a section header nor "
                                               L"KEY = VALUE"));
            }
            continue;
        }
        sawHeader = true;
    }
    config.MotorSoundFiles.shrink_to_fit();
    config.MotorSoundCount = config.MotorSoundFiles.size();

    // Sound k reads column k + 1 of every table.
    std::vector<uint64_t> columns(config.MotorSoundCount);
    for (uint64_t k = 0; k < config.MotorSoundCount; ++k) {
        columns[k] = k + 1;
    }
    if (file.Reporting()) {
        ReportUnfilled(config, file);
    }
    // The six tables share one bound.
    CurvePointBudget budget;
    ReadColumnCurves(config.powerVolumeTable, columns, config.PowerVolumeCurves, budget,
                     diagnostics);
    ReadColumnCurves(config.brakeVolumeTable, columns, config.BrakeVolumeCurves, budget,
                     diagnostics);
    ReadColumnCurves(config.neutralVolumeTable, columns, config.NeutralVolumeCurves, budget,
                     diagnostics);
    ReadColumnCurves(config.powerFrequencyTable, columns, config.PowerFrequencyCurves, budget,
                     diagnostics);
    ReadColumnCurves(config.brakeFrequencyTable, columns, config.BrakeFrequencyCurves, budget,
                     diagnostics);
    ReadColumnCurves(config.neutralFrequencyTable, columns, config.NeutralFrequencyCurves, budget,
                     diagnostics);
}

}  // namespace camcab::config
