// camcab-check: reads a vehicle folder with the plug-in's own readers and reports what the
// plug-in would silently skip, keep at a default or hold at a limit.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "Checker.h"
#include "platform/FileSystem.h"
#include "platform/WideText.h"
#include "sound/SoundSlot.h"

namespace camcab::check {
namespace {

using config::Severity;

void PrintUsage(std::FILE* out) {
    std::fprintf(
        out,
        "Usage: camcab-check [--json] [--brief] [--top-speed KMH] FOLDER\n"
        "\n"
        "Reads the vehicle folder FOLDER (the folder of camcab.dll) exactly as the plug-in's\n"
        "Load does, with the plug-in's own readers, and reports what the plug-in would silently\n"
        "skip, keep at a default or hold at a limit: files missing or unreadable; lines skipped,\n"
        "ignored or not converted; keys in the wrong section and unknown sections; curve rows\n"
        "out of order (they are used sorted); motor sound numbers without a file; sound files\n"
        "that do not decode, with the code the start-up log gives; motor frequency ratios\n"
        "beyond the voice's limit; needle tables that do not cover their range; and each entry\n"
        "of detailmodulesx64.txt: whether it exists, loads, exports the sixteen entry points and\n"
        "answers interface version 0x20000 (each module is loaded and asked GetPluginVersion,\n"
        "nothing else).\n"
        "\n"
        "  --json           print the findings and the per-file, per-curve, per-sound and\n"
        "                   per-module information as one JSON object (below)\n"
        "  --brief          list only the findings, not every file, curve, sound and\n"
        "                   module read\n"
        "  --top-speed KMH  the top speed checked (default 160 km/h)\n"
        "  --help           show this text\n"
        "\n"
        "Ranges checked (beyond them a needle follows the line of its first or last two rows):\n"
        "  Speed.csv      0 .. the top speed, km/h\n"
        "  Current.csv    0 .. the largest current of the notch current curves up to the top\n"
        "                 speed, A\n"
        "  PressureL.csv  0 .. 500 kPa (brake cylinder display, held at 320, and straight air)\n"
        "  PressureR.csv  0 .. 900 kPa (brake pipe and main reservoir)\n"
        "  Voltage.csv    1310 .. 1700 V (the line voltage is held within these)\n"
        "  motor frequency curves: 0 .. the top speed, against the voice's limit (the highest\n"
        "                 point of the sound's three frequency curves and their values at\n"
        "                 160 km/h, at most 1024) and the engine's smallest ratio 1/1024\n"
        "\n"
        "Output: one finding per line, FILE:LINE: error|warning|note: MESSAGE (FILE relative\n"
        "to FOLDER; no LINE when the finding concerns the whole file); then (unless --brief)\n"
        "every file read, missing or unreadable, every curve with its points, ranges and row\n"
        "order, every sound with its format and length, and every module entry; then a\n"
        "summary line. An error loses something the vehicle needs (a notch file or a sound\n"
        "that is missing or unreadable, a number that does not read, a sound that does not\n"
        "decode or gets no voice, a module that cannot be loaded, exports none of the entry\n"
        "points or answers another version); a warning is read but probably not meant (a key\n"
        "in the wrong section, an unknown section or key, rows out of order, a ratio held at\n"
        "a limit, AtsMotorConfig.txt or a needle table missing or short of its range, a\n"
        "module missing from the folder or lacking some entry points); a note is ignored as\n"
        "the format says (a heading row in a parameter file, a library of the other\n"
        "platform, an entry naming the plug-in itself).\n"
        "\n"
        "JSON: {\"folder\": S, \"findings\": [{\"severity\": \"error\"|\"warning\"|\"note\",\n"
        "  \"file\": S, \"line\": N|null, \"column\": N|null, \"message\": S}],\n"
        "  \"files\": [{\"file\": S, \"status\": \"read\"|\"missing\"|\"unreadable\"}],\n"
        "  \"curves\": [{\"name\": S, \"file\": S, \"column\": N, \"points\": N, \"xMin\": X,\n"
        "    \"xMax\": X, \"yMin\": X, \"yMax\": X, \"outOfOrder\": B, \"role\": S}],\n"
        "  \"sounds\": [{\"name\": S, \"file\": S, \"decoded\": B, \"code\": S, \"formatTag\": N,\n"
        "    \"channels\": N, \"sampleRate\": N, \"bitsPerSample\": N, \"frames\": N,\n"
        "    \"seconds\": X, \"maxFrequencyRatio\": X, \"storedFormatTag\": N|null,\n"
        "    \"storedBitsPerSample\": N|null, \"converted\": B}],\n"
        "  \"modules\": [{\"line\": N, \"entry\": S, \"file\": S, \"status\":\n"
        "    \"missing\"|\"not loadable\"|\"loaded\"|\"the plug-in itself\", \"exports\": N, "
        "\"version\": N|null}],\n"
        "  \"errors\": N, \"warnings\": N, \"notes\": N}\n"
        "File names are relative to FOLDER; xMin..yMax are 0 for a curve without points; a\n"
        "finding about a whole file has line null. storedFormatTag and storedBitsPerSample\n"
        "are the file's own (null when it is not RIFF WAVE); converted: the decoder changed\n"
        "them (formatTag and bitsPerSample are what the plug-in plays).\n"
        "\n"
        "Exit status: 0 when no error was found (warnings and notes alone give 0); 1 when an\n"
        "error was found; 2 on bad usage or when FOLDER is not a folder.\n");
}

const char* SeverityName(Severity severity) {
    switch (severity) {
        case Severity::Note:
            return "note";
        case Severity::Warning:
            return "warning";
        default:
            return "error";
    }
}

// A file name relative to the checked folder, with '/' on every platform.
// (A sound's path is in its normal form, with '\\' for '/' on Windows.)
std::string Shown(const std::wstring& path, const std::wstring& folder) {
    const auto slashed = [](std::wstring text) {
        for (wchar_t& c : text) {
            if (c == L'\\') {
                c = L'/';
            }
        }
        return text;
    };
    std::wstring shown = slashed(path);
    const std::wstring base = slashed(folder);
    if (shown.size() >= base.size() && shown.compare(0, base.size(), base) == 0) {
        shown = shown.substr(base.size());
    }
    // An empty file name in a configuration line names the folder itself.
    return shown.empty() ? std::string(".") : platform::EncodeUtf8(shown);
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string JsonNumber(double value) {
    if (!std::isfinite(value)) {
        return "null";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}

const char* FileStatusName(FileStatus status) {
    switch (status) {
        case FileStatus::Read:
            return "read";
        case FileStatus::Missing:
            return "missing";
        default:
            return "unreadable";
    }
}

const char* ModuleStatusName(ModuleStatus status) {
    switch (status) {
        case ModuleStatus::Loaded:
            return "loaded";
        case ModuleStatus::NotLoadable:
            return "not loadable";
        case ModuleStatus::PluginItself:
            return "the plug-in itself";
        default:
            return "missing";
    }
}

double Seconds(const SoundInfo& sound) {
    return sound.sampleRate != 0 ? static_cast<double>(sound.frames) / sound.sampleRate : 0.0;
}

void PrintJson(const CheckReport& report) {
    const auto file = [&](const std::wstring& path) {
        return JsonString(Shown(path, report.folder));
    };
    std::string out = "{\"folder\": " + JsonString(platform::EncodeUtf8(report.folder));
    out += ",\n\"findings\": [";
    for (size_t i = 0; i < report.findings.size(); ++i) {
        const config::Diagnostic& d = report.findings[i];
        out += std::string(i == 0 ? "\n" : ",\n") + " {\"severity\": \"" +
               SeverityName(d.severity) + "\", \"file\": " + file(d.file) +
               ", \"line\": " + (d.line != 0 ? std::to_string(d.line) : "null") +
               ", \"column\": " + (d.column ? std::to_string(*d.column) : "null") +
               ", \"message\": " + JsonString(platform::EncodeUtf8(d.message)) + "}";
    }
    out += "],\n\"files\": [";
    for (size_t i = 0; i < report.files.size(); ++i) {
        out += std::string(i == 0 ? "\n" : ",\n") + " {\"file\": " + file(report.files[i].path) +
               ", \"status\": \"" + FileStatusName(report.files[i].status) + "\"}";
    }
    out += "],\n\"curves\": [";
    for (size_t i = 0; i < report.curves.size(); ++i) {
        const CurveInfo& c = report.curves[i];
        out += std::string(i == 0 ? "\n" : ",\n") +
               " {\"name\": " + JsonString(platform::EncodeUtf8(c.name)) +
               ", \"file\": " + file(c.file) + ", \"column\": " + std::to_string(c.column) +
               ", \"points\": " + std::to_string(c.points) + ", \"xMin\": " + JsonNumber(c.xMin) +
               ", \"xMax\": " + JsonNumber(c.xMax) + ", \"yMin\": " + JsonNumber(c.yMin) +
               ", \"yMax\": " + JsonNumber(c.yMax) +
               ", \"outOfOrder\": " + (c.outOfOrder ? "true" : "false") +
               ", \"role\": " + JsonString(platform::EncodeUtf8(c.role)) + "}";
    }
    out += "],\n\"sounds\": [";
    for (size_t i = 0; i < report.sounds.size(); ++i) {
        const SoundInfo& s = report.sounds[i];
        out += std::string(i == 0 ? "\n" : ",\n") +
               " {\"name\": " + JsonString(platform::EncodeUtf8(s.name)) +
               ", \"file\": " + file(s.file) + ", \"decoded\": " + (s.decoded ? "true" : "false") +
               ", \"code\": " + JsonString(platform::EncodeUtf8(sound::FormatCode(s.code, true))) +
               ", \"formatTag\": " + std::to_string(s.formatTag) +
               ", \"channels\": " + std::to_string(s.channels) +
               ", \"sampleRate\": " + std::to_string(s.sampleRate) +
               ", \"bitsPerSample\": " + std::to_string(s.bitsPerSample) +
               ", \"frames\": " + std::to_string(s.frames) +
               ", \"seconds\": " + JsonNumber(Seconds(s)) +
               ", \"maxFrequencyRatio\": " + JsonNumber(s.maxFrequencyRatio) +
               ", \"storedFormatTag\": " +
               (s.storedFormatTag ? std::to_string(*s.storedFormatTag) : "null") +
               ", \"storedBitsPerSample\": " +
               (s.storedFormatTag ? std::to_string(s.storedBitsPerSample) : "null") +
               ", \"converted\": " + (s.Converted() ? "true" : "false") + "}";
    }
    out += "],\n\"modules\": [";
    for (size_t i = 0; i < report.modules.size(); ++i) {
        const ModuleInfo& m = report.modules[i];
        out += std::string(i == 0 ? "\n" : ",\n") + " {\"line\": " + std::to_string(m.line) +
               ", \"entry\": " + JsonString(platform::EncodeUtf8(m.entry)) +
               ", \"file\": " + file(m.path) + ", \"status\": \"" + ModuleStatusName(m.status) +
               "\", \"exports\": " + std::to_string(m.exports) +
               ", \"version\": " + (m.version ? std::to_string(*m.version) : "null") + "}";
    }
    out += "],\n\"errors\": " + std::to_string(report.Count(Severity::Error)) +
           ", \"warnings\": " + std::to_string(report.Count(Severity::Warning)) +
           ", \"notes\": " + std::to_string(report.Count(Severity::Note)) + "}\n";
    std::fputs(out.c_str(), stdout);
}

// ", converted from 24-bit PCM" where the decoder changed the stored samples' format.
std::string ConvertedFrom(const SoundInfo& s) {
    if (!s.Converted()) {
        return "";
    }
    const uint16_t tag = *s.storedFormatTag;
    const char* name = tag == 1      ? "PCM"
                       : tag == 3    ? "IEEE float"
                       : tag == 2    ? "MS ADPCM"
                       : tag == 0x11 ? "IMA ADPCM"
                       : tag == 6    ? "A-law"
                       : tag == 7    ? "mu-law"
                                     : nullptr;
    if (name == nullptr) {
        return ", converted from format " + std::to_string(tag);
    }
    return ", converted from " + std::to_string(s.storedBitsPerSample) + "-bit " + name;
}

void PrintText(const CheckReport& report, bool brief) {
    for (const config::Diagnostic& d : report.findings) {
        const std::string where =
            Shown(d.file, report.folder) + (d.line != 0 ? ":" + std::to_string(d.line) : "");
        std::printf("%s: %s: %s\n", where.c_str(), SeverityName(d.severity),
                    platform::EncodeUtf8(d.message).c_str());
    }
    if (!brief) {
        for (const FileInfo& f : report.files) {
            std::printf("file %s: %s\n", Shown(f.path, report.folder).c_str(),
                        FileStatusName(f.status));
        }
        for (const CurveInfo& c : report.curves) {
            std::printf("curve %s: %s column %llu, %zu points, x %g..%g, y %g..%g%s%s%s\n",
                        platform::EncodeUtf8(c.name).c_str(), Shown(c.file, report.folder).c_str(),
                        static_cast<unsigned long long>(c.column), c.points,
                        static_cast<double>(c.xMin), static_cast<double>(c.xMax),
                        static_cast<double>(c.yMin), static_cast<double>(c.yMax),
                        c.outOfOrder ? ", rows out of order (used sorted)" : "",
                        c.role.empty() ? "" : "; ", platform::EncodeUtf8(c.role).c_str());
        }
        for (const SoundInfo& s : report.sounds) {
            if (s.decoded) {
                std::printf(
                    "sound %s: %s, format %u, %u channels, %u Hz, %u bits, %llu frames "
                    "(%.3f s), frequency ratio limit %g%s\n",
                    platform::EncodeUtf8(s.name).c_str(), Shown(s.file, report.folder).c_str(),
                    s.formatTag, s.channels, s.sampleRate, s.bitsPerSample,
                    static_cast<unsigned long long>(s.frames), Seconds(s),
                    static_cast<double>(s.maxFrequencyRatio), ConvertedFrom(s).c_str());
            } else {
                std::printf("sound %s: %s, not decoded, code %s\n",
                            platform::EncodeUtf8(s.name).c_str(),
                            Shown(s.file, report.folder).c_str(),
                            platform::EncodeUtf8(sound::FormatCode(s.code, true)).c_str());
            }
        }
        for (const ModuleInfo& m : report.modules) {
            std::printf(
                "module line %llu %s: %s, %d exports\n", static_cast<unsigned long long>(m.line),
                platform::EncodeUtf8(m.entry).c_str(), ModuleStatusName(m.status), m.exports);
        }
    }
    size_t read = 0;
    for (const FileInfo& f : report.files) {
        read += f.status == FileStatus::Read ? 1 : 0;
    }
    size_t decoded = 0;
    for (const SoundInfo& s : report.sounds) {
        decoded += s.decoded ? 1 : 0;
    }
    std::printf(
        "camcab-check: %zu of %zu files read, %zu curves, %zu of %zu sounds decoded, "
        "%zu modules listed: %zu errors, %zu warnings, %zu notes\n",
        read, report.files.size(), report.curves.size(), decoded, report.sounds.size(),
        report.modules.size(), report.Count(Severity::Error), report.Count(Severity::Warning),
        report.Count(Severity::Note));
}

int Main(const std::vector<std::wstring>& arguments) {
    bool json = false;
    bool brief = false;
    CheckRanges ranges;
    std::wstring folder;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::wstring& argument = arguments[i];
        if (argument == L"--help") {
            PrintUsage(stdout);
            return 0;
        }
        if (argument == L"--json") {
            json = true;
        } else if (argument == L"--brief") {
            brief = true;
        } else if (argument == L"--top-speed" && i + 1 < arguments.size()) {
            const std::string value = platform::EncodeUtf8(arguments[++i]);
            char* end = nullptr;
            const double kmh = std::strtod(value.c_str(), &end);
            if (end == value.c_str() || *end != '\0' || !(kmh > 0.0 && kmh < 1000.0)) {
                std::fprintf(stderr,
                             "camcab-check: --top-speed wants a speed in km/h, "
                             "above 0 and below 1000\n");
                return 2;
            }
            ranges.topSpeedKmh = static_cast<float>(kmh);
        } else if (argument.empty() || argument[0] == L'-' || !folder.empty()) {
            std::fprintf(stderr, "camcab-check: unexpected argument %s\n",
                         platform::EncodeUtf8(argument).c_str());
            PrintUsage(stderr);
            return 2;
        } else {
            folder = argument;
        }
    }
    if (folder.empty()) {
        PrintUsage(stderr);
        return 2;
    }
    std::error_code error;
#ifdef _WIN32
    const std::filesystem::path folderPath(folder);
#else
    const std::filesystem::path folderPath(platform::NativeNameFromWide(folder));
#endif
    if (!std::filesystem::is_directory(folderPath, error)) {
        std::fprintf(stderr, "camcab-check: %s is not a folder\n",
                     platform::EncodeUtf8(folder).c_str());
        return 2;
    }
    if (folder.back() != L'/' && folder.back() != platform::kPathSeparator) {
        folder += platform::kPathSeparator;
    }
    const CheckReport report = CheckVehicleFolder(folder, ranges);
    if (json) {
        PrintJson(report);
    } else {
        PrintText(report, brief);
    }
    return report.Count(Severity::Error) != 0 ? 1 : 0;
}

}  // namespace
}  // namespace camcab::check

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    std::vector<std::wstring> arguments(argv + 1, argv + argc);
    return camcab::check::Main(arguments);
}
#else
int main(int argc, char** argv) {
    std::vector<std::wstring> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.push_back(camcab::platform::WideFromNativeName(argv[i]));
    }
    return camcab::check::Main(arguments);
}
#endif
