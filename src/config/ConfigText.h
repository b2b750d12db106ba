// The text rules shared by every configuration reader: UTF-8 lines, comments, white space,
// section headers, key and value lines, prefix lines, comma-separated fields, numbers and
// file names.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/Diagnostics.h"

namespace camcab::config {

// A line longer than this many bytes is no configuration line: it reads as an empty line,
// which every reader skips, and memory stays bounded whatever the file holds.
inline constexpr size_t kMaxConfigLineBytes = size_t{1} << 20;

// At most this many bytes of one configuration file are read; the rest is left unread, as
// if the file ended there. Real files are a few kilobytes.
inline constexpr size_t kMaxConfigFileBytes = size_t{16} << 20;

// An open configuration file, read line by line as UTF-8. Reading ends at the end of the
// file, at a read error, at kMaxConfigFileBytes (a line it cuts short is not used), or at the
// first invalid UTF-8 sequence (the text before it is the last line).
class ConfigFile {
  public:
    ConfigFile() = default;
    explicit ConfigFile(std::FILE* file) : file_(file) {}
    ~ConfigFile();
    ConfigFile(ConfigFile&& other) noexcept;
    ConfigFile& operator=(ConfigFile&& other) noexcept;
    ConfigFile(const ConfigFile&) = delete;
    ConfigFile& operator=(const ConfigFile&) = delete;

    bool IsOpen() const { return file_ != nullptr; }

    // Whether findings go anywhere: a reader builds a message only then.
    bool Reporting() const { return diagnostics_ != nullptr; }
    // Reports a finding at the line read last (line 0 before the first).
    void Report(Severity severity, std::wstring message,
                std::optional<uint64_t> column = std::nullopt,
                FindingKind kind = FindingKind::Other) const;
    // Reports a finding about the file as a whole (line 0).
    void ReportWhole(Severity severity, std::wstring message) const;
    uint64_t LineNumber() const { return lineNumber_; }

  private:
    friend bool ReadConfigLine(ConfigFile& file, std::wstring& line);
    friend ConfigFile OpenConfigFile(const std::wstring& path, Diagnostics* diagnostics,
                                     Severity ifMissing);
    bool FillBuffer();

    std::FILE* file_ = nullptr;
    std::vector<char> buffer_;
    size_t bufferPos_ = 0;
    size_t bufferEnd_ = 0;
    size_t bytesRead_ = 0;
    bool ended_ = false;
    uint64_t lineNumber_ = 0;
    Diagnostics* diagnostics_ = nullptr;
    std::wstring path_;  // kept only while reporting
};

// Opens a regular file for reading. A file that cannot be opened, and anything that is no
// regular file (a folder, FIFO, device or pipe), gives a file that reads no lines. With a
// sink, a named file that cannot be opened is reported with `ifMissing`, and the file's lines
// that cannot be used are reported as it is read.
ConfigFile OpenConfigFile(const std::wstring& path, Diagnostics* diagnostics = nullptr,
                          Severity ifMissing = Severity::Error);

// The next line, without its line feed and without a carriage return before it; a byte-order
// mark stays as U+FEFF. False once the file has no more lines.
bool ReadConfigLine(ConfigFile& file, std::wstring& line);

// White space of the configuration files: the Unicode space characters (space, tab, the line
// and paragraph breaks, no-break and ideographic spaces). U+FEFF counts as white space, so a
// file saved with a byte-order mark reads like one without.
bool IsConfigSpace(wchar_t c);

// Everything from the first ';' or '#' is removed.
std::wstring_view StripComment(std::wstring_view line);
// Leading and trailing white space is removed.
std::wstring_view TrimLine(std::wstring_view line);
// Cut at every ',', each field trimmed. A ',' at the very end gives no empty last field; an
// empty line gives no fields.
std::vector<std::wstring_view> SplitFields(std::wstring_view line);

struct KeyValue {
    std::wstring_view key;
    std::wstring_view value;
};
// Cut at the first '='; key and value trimmed. Empty when the line has no '='.
std::optional<KeyValue> SplitKeyValue(std::wstring_view line);

// Upper-case mapping used for headers and keys.
wchar_t ToUpperCase(wchar_t c);
// A trimmed line equals `header` (brackets included) ignoring letter case.
bool MatchSection(std::wstring_view line, std::wstring_view header);
// A trimmed key equals `name` ignoring letter case.
bool MatchKey(std::wstring_view key, std::wstring_view name);
// The line begins with `name` exactly, letter case distinguished.
bool HasPrefix(std::wstring_view line, std::wstring_view name);

// A configured file name joined to a folder: an absolute name replaces the folder, otherwise
// one separator goes between them. '\' in the name separates folders on every platform.
std::wstring JoinPath(const std::wstring& folder, std::wstring_view name);

// Decimal integer: optional sign, digits; stops at the first other character. Empty on no
// digits or a value out of range (a negative value is out of range for the unsigned type).
std::optional<int32_t> ToInt32(std::wstring_view field);
std::optional<uint64_t> ToUint64(std::wstring_view field);
// Real number in the C locale's notation (point, optional exponent); stops at the first
// character that cannot continue it. Empty when no number begins the field, when it is out
// of the float range, and for infinities and NaN, which no characteristic can use.
std::optional<float> ToFloat(std::wstring_view field);

// The same conversions of a field of `file`'s current line, reporting a field that is no
// number (an error) or that holds more text after its number (a warning: the number counts).
std::optional<int32_t> ToInt32(std::wstring_view field, const ConfigFile& file,
                               std::optional<uint64_t> column = std::nullopt);
std::optional<uint64_t> ToUint64(std::wstring_view field, const ConfigFile& file,
                                 std::optional<uint64_t> column = std::nullopt);
std::optional<float> ToFloat(std::wstring_view field, const ConfigFile& file,
                             std::optional<uint64_t> column = std::nullopt);

}  // namespace camcab::config
