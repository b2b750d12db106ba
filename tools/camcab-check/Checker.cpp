#include "Checker.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <set>
#include <utility>

#include "chain/DetailModule.h"
#include "chain/DetailModuleChain.h"
#include "chain/ModuleList.h"
#include "config/ConfigText.h"
#include "config/VehicleFolder.h"
#include "host/HostRecords.h"
#include "platform/AudioDecoder.h"
#include "platform/FileSystem.h"
#include "platform/Module.h"
#include "platform/WideText.h"
#include "sound/NormalPath.h"
#include "sound/SoundRegistry.h"
#include "sound/SoundSlot.h"

namespace camcab::check {
namespace {

using config::Severity;

#ifdef _WIN32
constexpr const wchar_t* kOtherPlatformSuffix = L".so";
constexpr const wchar_t* kPluginFileName = L"camcab.dll";
#else
constexpr const wchar_t* kOtherPlatformSuffix = L".dll";
constexpr const wchar_t* kPluginFileName = L"libcamcab.so";
#endif

std::wstring Number(float value) {
    wchar_t text[32];
    std::swprintf(text, 32, L"%g", static_cast<double>(value));
    return text;
}

// Collects the readers' findings and the files they opened.
class Collector final : public config::Diagnostics {
  public:
    explicit Collector(CheckReport& report) : report_(report) {}

    void Report(const config::Diagnostic& diagnostic) override {
        report_.findings.push_back(diagnostic);
        if (diagnostic.kind == config::FindingKind::RowsOutOfOrder) {
            // A table of many columns: the row is out of order for every curve of the file.
            outOfOrder_.insert({diagnostic.file, diagnostic.column.value_or(kEveryColumn)});
        }
    }

    void FileOpened(const std::wstring& path, bool opened) override {
        report_.files.push_back({path, opened                       ? FileStatus::Read
                                       : platform::PathExists(path) ? FileStatus::Unreadable
                                                                    : FileStatus::Missing});
    }

    bool OutOfOrder(const std::wstring& file, uint64_t column) const {
        return outOfOrder_.count({file, column}) != 0 ||
               outOfOrder_.count({file, kEveryColumn}) != 0;
    }

    bool WasRead(const std::wstring& file) const {
        return std::any_of(report_.files.begin(), report_.files.end(), [&](const FileInfo& info) {
            return info.path == file && info.status == FileStatus::Read;
        });
    }

    void Add(Severity severity, const std::wstring& file, uint64_t line, std::wstring message) {
        report_.findings.push_back({file, line, severity, std::move(message), std::nullopt});
    }

  private:
    static constexpr uint64_t kEveryColumn = UINT64_MAX;

    CheckReport& report_;
    std::set<std::pair<std::wstring, uint64_t>> outOfOrder_;
};

CurveInfo Describe(const Collector& collector, std::wstring name, const std::wstring& file,
                   uint64_t column, const config::Curve& curve) {
    CurveInfo info;
    info.name = std::move(name);
    info.file = file;
    info.column = column;
    info.points = curve.size();
    if (!curve.empty()) {
        info.xMin = curve.front().x;
        info.xMax = curve.back().x;
        info.yMin = info.yMax = curve.front().y;
        for (const config::CurvePoint& point : curve) {
            info.yMin = std::min(info.yMin, point.y);
            info.yMax = std::max(info.yMax, point.y);
        }
    }
    info.outOfOrder = collector.OutOfOrder(file, column);
    return info;
}

// The lowest and highest value a curve gives for inputs within [low, high], with the inputs
// where it gives them: piecewise linear, so the ends and the points in between decide.
struct Extremes {
    float lowest, lowestAt, highest, highestAt;
};

Extremes ExtremesOver(const config::Curve& curve, float low, float high) {
    std::vector<float> inputs{low, high};
    for (const config::CurvePoint& point : curve) {
        if (point.x > low && point.x < high) {
            inputs.push_back(point.x);
        }
    }
    Extremes e{INFINITY, low, -INFINITY, low};
    for (const float x : inputs) {
        const float y = config::InterpolateCurve(x, curve);
        if (y < e.lowest) {
            e.lowest = y;
            e.lowestAt = x;
        }
        if (y > e.highest) {
            e.highest = y;
            e.highestAt = x;
        }
    }
    return e;
}

// What the camshaft does with each power current value c0 to c10 (c9 is never compared), and
// what follows where the value is 0 A because the RequiredNotch_Up row gives too few curves:
// a stage met within 2 A of 0 A is met only as the current passes under 2 A.
struct PowerCurveRole {
    const wchar_t* role;
    const wchar_t* whenZero;  // null: nothing worth saying
};
constexpr PowerCurveRole kPowerCurveRoles[config::kPowerCurrentValues] = {
    {L"stage A: the current must be above it", nullptr},
    {L"stage A: reached within 2 A", L"stage A can be reached only under 2 A"},
    {L"the transition: reached within 0.5 A",
     L"the transition is met only under 0.5 A or by stage A's rise"},
    {L"stage B: the current must be above it", nullptr},
    {L"stage B: reached within 2 A", L"stage B can be reached only under 2 A"},
    {L"stage B ends within 2 A", L"stage B ends only under 2 A or at no current"},
    {L"stage C: the current must be above it", nullptr},
    {L"stage C: reached within 2 A", L"stage C can be reached only under 2 A"},
    {L"stage C ends within 2 A", L"stage C ends only under 2 A or at no current"},
    {L"not compared", nullptr},
    {L"stage D: reached within 2 A",
     L"stage D is reached at every power start, as the current passes under 2 A"},
};

// The line of the last row of `path` that starts with `name` (the one that counts); 0 if none.
uint64_t LastRowNamed(const std::wstring& path, std::wstring_view name) {
    config::ConfigFile file = config::OpenConfigFile(path);
    uint64_t found = 0;
    std::wstring line;
    while (config::ReadConfigLine(file, line)) {
        if (config::HasPrefix(config::TrimLine(config::StripComment(line)), name)) {
            found = file.LineNumber();
        }
    }
    return found;
}

// The power current curves as the camshaft compares them: too few for every stage, or one
// reading the speed column.
void CheckPowerCurves(Collector& collector, const config::NotchTable& table) {
    const size_t count = table.PowerCurveColumns.size();
    if (count == 0) {
        return;  // the reader already said the row is missing
    }
    const uint64_t row = LastRowNamed(table.powerParamsFile, L"RequiredNotch_Up");
    if (count < config::kPowerCurrentValues) {
        std::wstring effects;
        for (size_t k = count; k < config::kPowerCurrentValues; ++k) {
            if (kPowerCurveRoles[k].whenZero != nullptr) {
                effects +=
                    (effects.empty() ? L"" : L", ") + std::wstring(kPowerCurveRoles[k].whenZero);
            }
        }
        collector.Add(Severity::Error, table.powerParamsFile, row,
                      L"RequiredNotch_Up gives " + std::to_wstring(count) +
                          L" power current curves where the camshaft compares 11 (c0 to c10): c" +
                          std::to_wstring(count) + L" to c10 are 0 A, so " + effects +
                          L": the stages will not follow the table");
    }
    for (size_t k = 0; k < count && k < config::kPowerCurrentValues; ++k) {
        if (table.PowerCurveColumns[k] == 0) {
            collector.Add(Severity::Error, table.powerParamsFile, row,
                          L"c" + std::to_wstring(k) + L" (" + kPowerCurveRoles[k].role +
                              L") reads column 0 of the current file, the speed: the current is "
                              L"compared with the speed itself");
        }
    }
}

// Brake currents above CurrentLimitingValue_Empty: where the regenerative current passes it,
// regeneration is released. The first such row of each brake column.
void CheckBrakeLimit(Collector& collector, const config::NotchTable& table) {
    const float limitA = table.CurrentLimitEmpty;
    if (table.BrakeCurveColumns.empty()) {
        return;  // the reader already said so
    }
    if (!(limitA > 0.0f)) {
        const uint64_t row = LastRowNamed(table.brakeParamsFile, L"CurrentLimitingValue_Empty");
        if (row != 0) {  // a missing row: the reader already said so
            collector.Add(Severity::Warning, table.brakeParamsFile, row,
                          L"CurrentLimitingValue_Empty is " + Number(limitA) +
                              L" A: with the power handle off, regeneration is released in its "
                              L"first frame of regenerative current, so the returned power "
                              L"never goes to the top brake notch");
        }
        return;
    }
    std::set<uint64_t> columns(table.BrakeCurveColumns.begin(), table.BrakeCurveColumns.end());
    columns.erase(0);
    config::ConfigFile file = config::OpenConfigFile(table.brakeCurrentFile);
    std::wstring line;
    if (!config::ReadConfigLine(file, line)) {
        return;
    }
    while (!columns.empty() && config::ReadConfigLine(file, line)) {
        const std::vector<std::wstring_view> fields =
            config::SplitFields(config::StripComment(line));
        const std::optional<float> speed =
            fields.empty() ? std::nullopt : config::ToFloat(fields[0]);
        if (!speed) {
            continue;
        }
        for (auto column = columns.begin(); column != columns.end();) {
            const std::optional<float> currentA =
                *column < fields.size() ? config::ToFloat(fields[*column]) : std::nullopt;
            if (currentA && *currentA > limitA) {
                collector.Add(Severity::Warning, table.brakeCurrentFile, file.LineNumber(),
                              L"column " + std::to_wstring(*column) + L": " + Number(*currentA) +
                                  L" A at " + Number(*speed) +
                                  L" km/h is above CurrentLimitingValue_Empty (" + Number(limitA) +
                                  L" A): regeneration is released wherever the brake current "
                                  L"passes it");
                column = columns.erase(column);
            } else {
                ++column;
            }
        }
    }
}

void CheckNotchTable(CheckReport& report, Collector& collector, const config::NotchTable& table) {
    const auto add = [&](const wchar_t* kind, const std::wstring& file,
                         const std::vector<uint64_t>& columns,
                         const std::vector<config::Curve>& curves, bool power) {
        for (size_t k = 0; k < curves.size() && k < columns.size(); ++k) {
            report.curves.push_back(
                Describe(collector, kind + std::to_wstring(k), file, columns[k], curves[k]));
            CurveInfo& info = report.curves.back();
            if (power) {
                info.role =
                    L"c" + std::to_wstring(k) + L", " +
                    (k < config::kPowerCurrentValues ? kPowerCurveRoles[k].role : L"not compared");
            } else {
                info.role = k == 0 ? L"braking, the first step: compared within 10 A"
                            : k + 1 == curves.size()
                                ? L"braking, the last step: the camshaft holds within 10 A of it"
                                : L"braking: not compared";
            }
            if (curves[k].empty() && collector.WasRead(file)) {
                collector.Add(Severity::Error, file, 0,
                              L"column " + std::to_wstring(columns[k]) +
                                  L" has no points: the camshaft compares the current with the "
                                  L"speed itself");
            }
        }
    };
    add(L"power current ", table.powerCurrentFile, table.PowerCurveColumns,
        table.PowerCurrentCurves, true);
    add(L"brake current ", table.brakeCurrentFile, table.BrakeCurveColumns,
        table.BrakeCurrentCurves, false);
    CheckPowerCurves(collector, table);
    CheckBrakeLimit(collector, table);
}

// The highest current the notch table's curves reach within the speed range: what the
// current needle must show.
float TopCurrent(const config::NotchTable& table, float topSpeedKmh) {
    float top = 0.0f;
    for (const auto* curves : {&table.PowerCurrentCurves, &table.BrakeCurrentCurves}) {
        for (const config::Curve& curve : *curves) {
            if (!curve.empty()) {
                const Extremes e = ExtremesOver(curve, 0.0f, topSpeedKmh);
                top = std::max({top, std::fabs(e.highest), std::fabs(e.lowest)});
            }
        }
    }
    return top;
}

void CheckMotorCurves(CheckReport& report, Collector& collector,
                      const config::MotorSoundConfig& motor, float topSpeedKmh) {
    const struct {
        const wchar_t* name;
        const std::wstring& file;
        const std::vector<config::Curve>& curves;
        bool frequency;
    } lists[] = {
        {L"power volume ", motor.powerVolumeTable, motor.PowerVolumeCurves, false},
        {L"brake volume ", motor.brakeVolumeTable, motor.BrakeVolumeCurves, false},
        {L"neutral volume ", motor.neutralVolumeTable, motor.NeutralVolumeCurves, false},
        {L"power frequency ", motor.powerFrequencyTable, motor.PowerFrequencyCurves, true},
        {L"brake frequency ", motor.brakeFrequencyTable, motor.BrakeFrequencyCurves, true},
        {L"neutral frequency ", motor.neutralFrequencyTable, motor.NeutralFrequencyCurves, true},
    };
    for (const auto& list : lists) {
        for (size_t k = 0; k < list.curves.size(); ++k) {
            const config::Curve& curve = list.curves[k];
            report.curves.push_back(
                Describe(collector, list.name + std::to_wstring(k), list.file, k + 1, curve));
            const bool hasSound =
                k < motor.MotorSoundFiles.size() && !motor.MotorSoundFiles[k].empty();
            if (!hasSound) {
                continue;
            }
            if (curve.empty()) {
                if (collector.WasRead(list.file)) {
                    collector.Add(Severity::Error, list.file, 0,
                                  L"column " + std::to_wstring(k + 1) + L" (motor sound " +
                                      std::to_wstring(k) + L") has no points: " +
                                      (list.frequency ? L"its frequency ratio is the speed itself"
                                                      : L"it plays at full volume from 1 km/h on"));
                }
                continue;
            }
            if (!list.frequency) {
                continue;
            }
            const float limit = sound::MotorMaxFrequencyRatio(motor, k);
            const Extremes e = ExtremesOver(curve, 0.0f, topSpeedKmh);
            const std::wstring which = L"column " + std::to_wstring(k + 1) + L" (motor sound " +
                                       std::to_wstring(k) + L"): ";
            if (e.highest > limit) {
                collector.Add(Severity::Warning, list.file, 0,
                              which + L"frequency ratio " + Number(e.highest) + L" at " +
                                  Number(e.highestAt) + L" km/h is above the voice's limit " +
                                  Number(limit) +
                                  (limit >= platform::kMaxFrequencyRatio
                                       ? L" (the engine's largest ratio)"
                                       : L" (its highest point and its value at 160 km/h)") +
                                  L": the pitch is held there");
            }
            if (e.lowest < platform::kMinFrequencyRatio) {
                collector.Add(Severity::Warning, list.file, 0,
                              which + L"frequency ratio " + Number(e.lowest) + L" at " +
                                  Number(e.lowestAt) +
                                  L" km/h is below the engine's smallest ratio 1/1024: the "
                                  L"pitch is held there");
            }
        }
    }
}

void CheckNeedles(CheckReport& report, Collector& collector, const config::NeedleTables& needles,
                  const std::wstring& folder, const CheckRanges& ranges, float topCurrentA) {
    const struct {
        const wchar_t* name;
        const wchar_t* file;
        const config::Curve& curve;
        float low, high;
        const wchar_t* unit;
    } tables[] = {
        {L"PressureL", config::kPressureLNeedleFile, needles.pressureLNeedleTable, 0.0f,
         ranges.pressureLKpa, L" kPa"},
        {L"PressureR", config::kPressureRNeedleFile, needles.pressureRNeedleTable, 0.0f,
         ranges.pressureRKpa, L" kPa"},
        {L"Speed", config::kSpeedNeedleFile, needles.speedNeedleTable, 0.0f, ranges.topSpeedKmh,
         L" km/h"},
        {L"Current", config::kCurrentNeedleFile, needles.currentNeedleTable, 0.0f, topCurrentA,
         L" A"},
        {L"Voltage", config::kVoltageNeedleFile, needles.voltageNeedleTable, ranges.voltageLowV,
         ranges.voltageHighV, L" V"},
    };
    for (const auto& table : tables) {
        const std::wstring file = config::JoinPath(folder, table.file);
        report.curves.push_back(
            Describe(collector, std::wstring(L"needle ") + table.name, file, 1, table.curve));
        if (!collector.WasRead(file)) {
            continue;
        }
        if (table.curve.empty()) {
            collector.Add(Severity::Warning, file, 0,
                          L"no rows: the needle shows its input unchanged");
        } else if (table.curve.size() == 1) {
            collector.Add(Severity::Warning, file, 0,
                          L"one row: the needle shows " + Number(table.curve.front().y) +
                              L" whatever its input");
        } else if (table.curve.front().x > table.low || table.curve.back().x < table.high) {
            collector.Add(Severity::Warning, file, 0,
                          L"covers " + Number(table.curve.front().x) + L".." +
                              Number(table.curve.back().x) + table.unit + L", not " +
                              Number(table.low) + L".." + Number(table.high) + table.unit +
                              L": beyond it the needle follows the first or last two rows' line");
        }
    }
}

std::wstring CodeReason(int32_t code) {
    switch (static_cast<uint32_t>(code)) {
        case 0x80070002u:
            return L"file not found";
        case 0x80070003u:
            return L"path not found";
        case 0x80070005u:
            return L"access denied";
        case 0xC00D36C4u:
            return L"not a sound file the decoder reads, or a format it refuses";
        case 0x8007000Eu:
            return L"out of memory";
        default:
            return L"the decoder failed";
    }
}

uint32_t LittleEndian(const uint8_t* bytes, int count) {
    uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) {
        value = value << 8 | bytes[i];
    }
    return value;
}

// The format tag and sample size of a RIFF WAVE file's "fmt " chunk, read from its chunk list;
// nothing for a file that is not RIFF WAVE or has no such chunk within its first megabyte.
void ReadStoredFormat(const std::wstring& path, SoundInfo& info) {
    const platform::UniqueFile file(platform::OpenForReading(path));
    if (file == nullptr) {
        return;
    }
    std::vector<uint8_t> bytes(1u << 20);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file.get()));
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
        return;
    }
    constexpr uint16_t kExtensible = 0xFFFE;
    for (size_t at = 12; at + 8 <= bytes.size();) {
        const uint32_t size = LittleEndian(bytes.data() + at + 4, 4);
        if (std::memcmp(bytes.data() + at, "fmt ", 4) == 0) {
            if (size < 16 || at + 8 + 16 > bytes.size()) {
                return;
            }
            const uint8_t* fmt = bytes.data() + at + 8;
            uint16_t tag = static_cast<uint16_t>(LittleEndian(fmt, 2));
            if (tag == kExtensible && size >= 26 && at + 8 + 26 <= bytes.size()) {
                tag = static_cast<uint16_t>(LittleEndian(fmt + 24, 2));  // the subformat's tag
            }
            info.storedFormatTag = tag;
            info.storedBitsPerSample = static_cast<uint16_t>(LittleEndian(fmt + 14, 2));
            return;
        }
        at += 8 + uint64_t{size} + (size & 1u);  // chunks are padded to even sizes
    }
}

// `looping`: the sound plays as a loop (the motor sounds and the brake-cylinder and pipe
// loops), and a loop without samples gets no voice.
void CheckSound(CheckReport& report, Collector& collector, std::wstring name,
                const std::wstring& path, float maxFrequencyRatio, bool looping) {
    SoundInfo info;
    info.name = std::move(name);
    info.file = sound::NormalPath(path);
    info.maxFrequencyRatio = maxFrequencyRatio;
    platform::WaveFormat format{};
    std::vector<uint8_t> pcm;
    const sound::SoundDecoding decoding = sound::DecodeSound(info.file, format, pcm);
    if (decoding.mediaFoundationStarted) {
        platform::ShutDownMediaFoundation();
    }
    info.code = decoding.code;
    info.decoded = !platform::Failed(decoding.code);
    info.formatTag = format.wFormatTag;
    info.channels = format.nChannels;
    info.sampleRate = format.nSamplesPerSec;
    info.bitsPerSample = format.wBitsPerSample;
    if (info.decoded && format.nChannels != 0 && format.wBitsPerSample != 0) {
        info.frames = uint64_t{pcm.size()} * 8u / format.nChannels / format.wBitsPerSample;
    }
    if (info.decoded) {
        ReadStoredFormat(info.file, info);
    }
    if (decoding.formatRejected) {
        collector.Add(Severity::Error, info.file, 0,
                      L"decodes to " + std::to_wstring(format.nChannels) +
                          L" channels that are not PCM: the sound is refused with code " +
                          sound::FormatCode(decoding.code, true) + L" and no start-up log line");
    } else if (!info.decoded) {
        collector.Add(Severity::Error, info.file, 0,
                      L"cannot be decoded: " + CodeReason(decoding.code) +
                          L" (start-up log: ソースボイスの作成失敗, エラー:" +
                          sound::FormatCode(decoding.code, true) + L")");
    } else if (info.frames == 0 && looping) {
        collector.Add(Severity::Error, info.file, 0,
                      L"decodes to no samples, and a looping sound without samples gets no voice "
                      L"(start-up log: ソースボイスの作成失敗, エラー:" +
                          sound::FormatCode(platform::kInvalidCall, true) + L")");
    } else if (info.frames == 0) {
        collector.Add(Severity::Warning, info.file, 0, L"decodes to no samples: it is silent");
    }
    report.sounds.push_back(std::move(info));
}

void CheckSounds(CheckReport& report, Collector& collector, const config::MotorSoundConfig& motor,
                 const std::wstring& folder) {
    const auto inFolder = [&](const wchar_t* name) {
        return platform::AppendPath(folder, platform::NativeSeparators(name));
    };
    // As in the plug-in's audio start-up, the media framework runs while the sounds load.
    const bool mediaFoundationStarted = !platform::Failed(platform::StartMediaFoundation());
    for (size_t k = 0; k < motor.MotorSoundFiles.size(); ++k) {
        if (!motor.MotorSoundFiles[k].empty()) {
            CheckSound(report, collector, L"motor " + std::to_wstring(k), motor.MotorSoundFiles[k],
                       sound::MotorMaxFrequencyRatio(motor, k), true);
        }
    }
    for (const sound::NamedSoundFile& named : sound::kOneShotSoundFiles) {
        std::wstring name = named.file;
        name = name.substr(name.find_last_of(L'\\') + 1);
        CheckSound(report, collector, name, inFolder(named.file), sound::kDefaultMaxFrequencyRatio,
                   false);
    }
    const bool sapDecoded = report.sounds.back().decoded;  // air\sap.wav comes last
    if (!sapDecoded) {
        collector.Add(Severity::Note, report.sounds.back().file, 0,
                      L"without this sound the brake-cylinder loop is airloop.wav");
    }
    const wchar_t* bcFile = sapDecoded ? sound::kBcSoundFile : sound::kBcFallbackSoundFile;
    CheckSound(report, collector, sapDecoded ? L"bc.wav" : L"airloop.wav", inFolder(bcFile),
               sound::kDefaultMaxFrequencyRatio, true);
    CheckSound(report, collector, L"pipe.wav", inFolder(sound::kPipeSoundFile),
               sound::kDefaultMaxFrequencyRatio, true);
    if (mediaFoundationStarted) {
        platform::ShutDownMediaFoundation();
    }
}

bool EndsWith(const std::wstring& text, const std::wstring& suffix) {
    return text.size() >= suffix.size() &&
           std::equal(suffix.rbegin(), suffix.rend(), text.rbegin(), [](wchar_t a, wchar_t b) {
               return config::ToUpperCase(a) == config::ToUpperCase(b);
           });
}

// `plugin`: the vehicle's own plug-in, loaded (null when the folder holds none by its usual
// name). The plug-in's loader skips an entry that loads as itself.
void CheckModule(ModuleInfo& info, Collector& collector, const std::wstring& listPath,
                 platform::ModuleHandle plugin) {
    const auto add = [&](Severity severity, const std::wstring& message) {
        collector.Add(severity, listPath, info.line, L"'" + info.entry + L"': " + message);
    };
    std::wstring hint;
    if (!info.entry.empty() && info.entry.front() == L'\xFEFF') {
        hint = L" (it begins with a byte-order mark: save the list without one)";
    } else if (!info.entry.empty() && (config::IsConfigSpace(info.entry.front()) ||
                                       config::IsConfigSpace(info.entry.back()))) {
        hint = L" (entries are used as written, blanks included)";
    }
    const chain::ModuleEntry resolved =
        chain::ResolveModuleEntry(platform::FolderOf(listPath), info.entry);
    info.path = resolved.path;
    switch (resolved.kind) {
        case chain::ModuleEntryKind::NoFileName:
            add(Severity::Error, L"holds a NUL character: it names no file");
            return;
        case chain::ModuleEntryKind::Missing:
            if (hint.empty() && EndsWith(info.entry, kOtherPlatformSuffix)) {
                add(Severity::Note, L"a library of the other platform: not loaded here");
            } else {
                add(Severity::Warning, L"missing: the module is not chained" + hint);
            }
            return;
        case chain::ModuleEntryKind::Device:
            info.status = ModuleStatus::NotLoadable;
            add(Severity::Error, L"names a device, FIFO or socket: skipped");
            return;
        case chain::ModuleEntryKind::Library:
            break;
    }
    const platform::ModuleHandle module = platform::LoadModule(info.path);
    if (module == nullptr) {
        info.status = ModuleStatus::NotLoadable;
        add(Severity::Error,
            L"cannot be loaded, so it is not chained (not a library of this "
            L"platform, or a dependency is missing): " +
                platform::DecodeUtf8(platform::LastModuleError()));
        return;
    }
    if (chain::IsPluginItself(module, plugin)) {
        info.status = ModuleStatus::PluginItself;
        add(Severity::Note, L"the plug-in itself: skipped, it does not chain itself");
        platform::UnloadModule(module);
        return;
    }
    info.status = ModuleStatus::Loaded;
    std::wstring lacking;
    for (const char* name : kExportNames) {
        if (platform::FindExport(module, name) != nullptr) {
            ++info.exports;
        } else {
            lacking += (lacking.empty() ? L"" : L", ") + std::wstring(name, name + strlen(name));
        }
    }
    if (info.exports == 0) {
        add(Severity::Error,
            L"exports none of the sixteen entry points: not a plug-in of this "
            L"interface");
    } else if (info.exports < 16) {
        add(Severity::Warning, L"lacks " + lacking + L": those calls are not forwarded to it");
    }
    const chain::DetailModule bound = chain::BindDetailModule(module);
    info.answersElapse = bound.Elapse != nullptr;
    if (bound.GetPluginVersion != nullptr) {
        try {
            info.version = bound.GetPluginVersion();
        } catch (...) {
            add(Severity::Error, L"GetPluginVersion raised an error");
        }
        if (info.version && *info.version != kInterfaceVersion) {
            wchar_t text[64];
            std::swprintf(text, 64, L"interface version %#x, not %#x",
                          static_cast<unsigned>(*info.version),
                          static_cast<unsigned>(kInterfaceVersion));
            add(Severity::Error, std::wstring(text) +
                                     L": the plug-in's GetPluginVersion fails and the host "
                                     L"refuses the vehicle");
        }
    }
    platform::UnloadModule(module);
}

// The returned brake notch is the chain's answer: without a module it is always 0.
constexpr const wchar_t* kNoBrakeWithoutModule =
    L"the returned brake notch will always be 0 (but for the key 9 brake override): camcab "
    L"returns as brake the answer of its chained modules (chain camcab-passthrough to hand the "
    L"driver's brake on)";

void CheckModules(CheckReport& report, Collector& collector, const std::wstring& folder) {
    const std::wstring listPath = config::JoinPath(folder, config::kModuleListFile);
    const platform::UniqueFile file = chain::OpenModuleList(folder, &collector);
    if (file == nullptr) {
        collector.Add(Severity::Error, listPath, 0,
                      std::wstring(L"no module list: ") + kNoBrakeWithoutModule);
        return;
    }
    // The plug-in is loaded (not started) so that an entry naming it is told apart.
    const std::wstring pluginPath = platform::AppendPath(folder, kPluginFileName);
    const platform::ModuleHandle plugin =
        platform::PathExists(pluginPath) ? platform::LoadModule(pluginPath) : nullptr;
    chain::ModuleList list(file.get(), &collector, listPath);
    std::wstring entry;
    bool chains = false;  // an entry loads here, or names a library of the other platform
    while (list.Next(entry)) {
        if (entry.empty()) {
            continue;  // the folder itself: loads nothing (the end of the last line gives one)
        }
        ModuleInfo info;
        info.line = list.LineNumber();
        info.entry = entry;
        CheckModule(info, collector, listPath, plugin);
        // A library of the other platform, beside the list, chains there.
        chains = chains || (info.status == ModuleStatus::Loaded && info.answersElapse) ||
                 (EndsWith(info.entry, kOtherPlatformSuffix) && platform::PathExists(info.path));
        report.modules.push_back(std::move(info));
    }
    if (plugin != nullptr) {
        platform::UnloadModule(plugin);
    }
    if (!chains) {
        collector.Add(
            Severity::Error, listPath, 0,
            std::wstring(L"no entry chains a module that answers Elapse on either platform: ") +
                kNoBrakeWithoutModule);
    }
}

}  // namespace

size_t CheckReport::Count(config::Severity severity) const {
    return static_cast<size_t>(
        std::count_if(findings.begin(), findings.end(),
                      [&](const config::Diagnostic& d) { return d.severity == severity; }));
}

CheckReport CheckVehicleFolder(const std::wstring& folder, const CheckRanges& ranges) {
    CheckReport report;
    report.folder = folder;
    Collector collector(report);
    // Read as Load reads: the modules are checked where Load loads them, and the sounds
    // where its audio start-up loads them, after the motor sound configuration.
    config::VehicleSteps steps;
    steps.detailModules = [&] { CheckModules(report, collector, folder); };
    steps.audioStartUp = [&](config::MotorSoundConfig& motor) {
        config::LoadMotorSoundConfig(motor, folder, &collector);
        CheckSounds(report, collector, motor, folder);
    };
    config::Configuration configuration;
    config::ReadVehicle(configuration, folder, &collector, steps);

    CheckNotchTable(report, collector, configuration.notchTable);
    CheckMotorCurves(report, collector, configuration.motorSoundConfig, ranges.topSpeedKmh);
    CheckNeedles(report, collector, configuration.needleTables, folder, ranges,
                 TopCurrent(configuration.notchTable, ranges.topSpeedKmh));
    return report;
}

}  // namespace camcab::check
