// Reads a vehicle folder the way the plug-in's Load does, with the plug-in's own readers, and
// collects what the plug-in would silently skip, keep at a default or hold at a limit.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "config/Diagnostics.h"

namespace camcab::check {

// The ranges the needles and the motor sounds are checked over.
struct CheckRanges {
    float topSpeedKmh = 160.0f;   // the speed the motor sounds' voice limits are made for
    float pressureLKpa = 500.0f;  // BC display (held at 320 kPa) and SAP
    float pressureRKpa = 900.0f;  // brake pipe and main reservoir
    float voltageLowV = 1310.0f;  // the line voltage is held within 1310..1700 V
    float voltageHighV = 1700.0f;
};

enum class FileStatus { Read, Missing, Unreadable };

struct FileInfo {
    std::wstring path;
    FileStatus status = FileStatus::Read;
};

struct CurveInfo {
    std::wstring name;  // "power current 0", "power volume 2", "needle Speed", ...
    std::wstring file;
    uint64_t column = 0;
    size_t points = 0;
    float xMin = 0.0f, xMax = 0.0f, yMin = 0.0f, yMax = 0.0f;  // when it has points
    bool outOfOrder = false;
    std::wstring role;  // what the camshaft does with a notch table curve; empty for others
};

struct SoundInfo {
    std::wstring name;  // "motor 0", "resetSound", ...
    std::wstring file;
    int32_t code = 0;  // as the start-up log shows it
    bool decoded = false;
    uint16_t formatTag = 0, channels = 0, bitsPerSample = 0;
    uint32_t sampleRate = 0;
    uint64_t frames = 0;
    float maxFrequencyRatio = 0.0f;  // the voice's limit (motor sounds; 2.0 for the others)
    // The format as the file stores it (its RIFF "fmt " chunk; an extensible format by its
    // subformat), when the file has one. Where it differs from the decoded format, the
    // decoder converted the samples.
    std::optional<uint16_t> storedFormatTag;
    uint16_t storedBitsPerSample = 0;

    bool Converted() const {
        return decoded && storedFormatTag &&
               (*storedFormatTag != formatTag || storedBitsPerSample != bitsPerSample);
    }
};

// PluginItself: the entry names the vehicle's own plug-in, which its loader skips.
enum class ModuleStatus { Missing, NotLoadable, Loaded, PluginItself };

struct ModuleInfo {
    uint64_t line = 0;
    std::wstring entry;
    std::wstring path;
    ModuleStatus status = ModuleStatus::Missing;
    int exports = 0;             // of the sixteen
    bool answersElapse = false;  // only Elapse's answer reaches the returned handles
    std::optional<int32_t> version;
};

struct CheckReport {
    std::wstring folder;  // with a trailing separator
    std::vector<config::Diagnostic> findings;
    std::vector<FileInfo> files;
    std::vector<CurveInfo> curves;
    std::vector<SoundInfo> sounds;
    std::vector<ModuleInfo> modules;

    size_t Count(config::Severity severity) const;
};

// Checks the vehicle folder `folder` (it must exist).
CheckReport CheckVehicleFolder(const std::wstring& folder, const CheckRanges& ranges);

}  // namespace camcab::check
