#include "config/ConfigText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <utility>

#include "platform/FileSystem.h"
#include "platform/WideText.h"

namespace camcab::config {
namespace {

constexpr size_t kReadChunkBytes = 64 * 1024;

// The ASCII characters at the start of a field: a number is ASCII, and its conversion stops
// at the first other character anyway.
std::string AsciiPrefix(std::wstring_view field) {
    std::string ascii;
    for (const wchar_t c : field) {
        if (c <= 0 || c >= 0x80) {
            break;
        }
        ascii.push_back(static_cast<char>(c));
    }
    return ascii;
}

bool IsDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

// The sign and digits at the start of a field: what an integer conversion reads.
std::string IntegerText(std::wstring_view field) {
    std::string text;
    size_t pos = 0;
    if (pos < field.size() && (field[pos] == L'+' || field[pos] == L'-')) {
        text.push_back(static_cast<char>(field[pos]));
        ++pos;
    }
    while (pos < field.size() && IsDigit(field[pos])) {
        text.push_back(static_cast<char>(field[pos]));
        ++pos;
    }
    return text;
}

bool EqualIgnoringCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (ToUpperCase(a[i]) != ToUpperCase(b[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

ConfigFile::~ConfigFile() {
    if (file_ != nullptr) {
        std::fclose(file_);
    }
}

ConfigFile::ConfigFile(ConfigFile&& other) noexcept
    : file_(std::exchange(other.file_, nullptr)),
      buffer_(std::move(other.buffer_)),
      bufferPos_(other.bufferPos_),
      bufferEnd_(other.bufferEnd_),
      bytesRead_(other.bytesRead_),
      ended_(other.ended_),
      lineNumber_(other.lineNumber_),
      diagnostics_(other.diagnostics_),
      path_(std::move(other.path_)) {}

ConfigFile& ConfigFile::operator=(ConfigFile&& other) noexcept {
    if (this != &other) {
        if (file_ != nullptr) {
            std::fclose(file_);
        }
        file_ = std::exchange(other.file_, nullptr);
        buffer_ = std::move(other.buffer_);
        bufferPos_ = other.bufferPos_;
        bufferEnd_ = other.bufferEnd_;
        bytesRead_ = other.bytesRead_;
        ended_ = other.ended_;
        lineNumber_ = other.lineNumber_;
        diagnostics_ = other.diagnostics_;
        path_ = std::move(other.path_);
    }
    return *this;
}

bool ConfigFile::FillBuffer() {
    if (file_ == nullptr || ended_) {
        return false;
    }
    if (buffer_.empty()) {
        buffer_.resize(kReadChunkBytes);
    }
    bufferPos_ = 0;
    const size_t wanted = std::min(buffer_.size(), kMaxConfigFileBytes - bytesRead_);
    bufferEnd_ = wanted > 0 ? std::fread(buffer_.data(), 1, wanted, file_) : 0;
    bytesRead_ += bufferEnd_;
    if (bufferEnd_ == 0) {
        ended_ = true;
        return false;
    }
    return true;
}

void ConfigFile::Report(Severity severity, std::wstring message, std::optional<uint64_t> column,
                        FindingKind kind) const {
    if (diagnostics_ != nullptr) {
        diagnostics_->Report(
            Diagnostic{path_, lineNumber_, severity, std::move(message), column, kind});
    }
}

void ConfigFile::ReportWhole(Severity severity, std::wstring message) const {
    if (diagnostics_ != nullptr) {
        diagnostics_->Report(Diagnostic{path_, 0, severity, std::move(message), std::nullopt});
    }
}

ConfigFile OpenConfigFile(const std::wstring& path, Diagnostics* diagnostics, Severity ifMissing) {
    if (path.empty()) {
        return ConfigFile();
    }
    ConfigFile file(platform::OpenForReading(path));
    if (diagnostics != nullptr) {
        file.diagnostics_ = diagnostics;
        file.path_ = path;
        diagnostics->FileOpened(path, file.IsOpen());
        if (!file.IsOpen()) {
            file.Report(ifMissing, platform::PathExists(path)
                                       ? L"cannot be read: not a regular file, or no permission"
                                       : L"missing");
        }
    }
    return file;
}

bool ReadConfigLine(ConfigFile& file, std::wstring& line) {
    line.clear();
    if (file.file_ == nullptr || (file.ended_ && file.bufferPos_ >= file.bufferEnd_)) {
        return false;
    }
    std::string bytes;
    bool overLong = false;
    bool any = false;
    bool sawLineFeed = false;
    while (true) {
        if (file.bufferPos_ >= file.bufferEnd_ && !file.FillBuffer()) {
            break;
        }
        any = true;
        const char* begin = file.buffer_.data() + file.bufferPos_;
        const size_t available = file.bufferEnd_ - file.bufferPos_;
        const void* found = std::memchr(begin, '\n', available);
        const size_t take = found != nullptr
                                ? static_cast<size_t>(static_cast<const char*>(found) - begin)
                                : available;
        if (!overLong) {
            if (bytes.size() + take > kMaxConfigLineBytes) {
                overLong = true;
                bytes = std::string();
            } else {
                bytes.append(begin, take);
            }
        }
        file.bufferPos_ += take;
        if (found != nullptr) {
            ++file.bufferPos_;
            sawLineFeed = true;
            break;
        }
    }
    if (!any) {
        return false;
    }
    // A last line cut by the bound on the bytes read is not the line the file holds: a
    // number cut short would read as another number.
    if (!sawLineFeed && file.bytesRead_ >= kMaxConfigFileBytes) {
        line.clear();
        if (file.Reporting()) {
            file.Report(Severity::Error, L"the file is longer than 16 MiB: the rest is not read");
        }
        return false;
    }
    ++file.lineNumber_;
    if (overLong) {
        if (file.Reporting()) {
            file.Report(Severity::Error, L"line longer than 1 MiB: ignored");
        }
        return true;
    }
    if (sawLineFeed && !bytes.empty() && bytes.back() == '\r') {
        bytes.pop_back();
    }
    bool complete = true;
    line = platform::DecodeUtf8(bytes, &complete);
    if (!complete) {
        // Invalid UTF-8 ends the file here; the text before it is still a line.
        file.ended_ = true;
        file.bufferPos_ = file.bufferEnd_;
        if (file.Reporting()) {
            file.Report(
                Severity::Error,
                L"invalid UTF-8: the line is cut there and the rest of the file is not read");
        }
    }
    return true;
}

bool IsConfigSpace(wchar_t c) {
    const auto u = static_cast<uint32_t>(c);
    return (u >= 0x09 && u <= 0x0D) || u == 0x20 || u == 0x85 || u == 0xA0 || u == 0x1680 ||
           (u >= 0x2000 && u <= 0x200A) || u == 0x2028 || u == 0x2029 || u == 0x202F ||
           u == 0x205F || u == 0x3000 || u == 0xFEFF;
}

std::wstring_view StripComment(std::wstring_view line) {
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == L';' || line[i] == L'#') {
            return line.substr(0, i);
        }
    }
    return line;
}

std::wstring_view TrimLine(std::wstring_view line) {
    size_t begin = 0;
    size_t end = line.size();
    while (begin < end && IsConfigSpace(line[begin])) {
        ++begin;
    }
    while (end > begin && IsConfigSpace(line[end - 1])) {
        --end;
    }
    return line.substr(begin, end - begin);
}

std::vector<std::wstring_view> SplitFields(std::wstring_view line) {
    std::vector<std::wstring_view> fields;
    size_t start = 0;
    while (start < line.size()) {
        const size_t comma = line.find(L',', start);
        if (comma == std::wstring_view::npos) {
            fields.push_back(TrimLine(line.substr(start)));
            break;
        }
        fields.push_back(TrimLine(line.substr(start, comma - start)));
        start = comma + 1;
    }
    return fields;
}

std::optional<KeyValue> SplitKeyValue(std::wstring_view line) {
    const size_t equals = line.find(L'=');
    if (equals == std::wstring_view::npos) {
        return std::nullopt;
    }
    return KeyValue{TrimLine(line.substr(0, equals)), TrimLine(line.substr(equals + 1))};
}

wchar_t ToUpperCase(wchar_t c) {
    const auto u = static_cast<uint32_t>(c);
    if (u >= L'a' && u <= L'z') {
        return static_cast<wchar_t>(u - 0x20);
    }
    if ((u >= 0xE0 && u <= 0xFE && u != 0xF7) || (u >= 0xFF41 && u <= 0xFF5A)) {
        return static_cast<wchar_t>(u - 0x20);  // Latin-1 and full-width letters
    }
    switch (u) {
        case 0xFF:
            return static_cast<wchar_t>(0x178);
        case 0x131:  // dotless i
            return L'I';
        case 0x17F:  // long s
            return L'S';
        default:
            return c;
    }
}

bool MatchSection(std::wstring_view line, std::wstring_view header) {
    return EqualIgnoringCase(line, header);
}

bool MatchKey(std::wstring_view key, std::wstring_view name) {
    return EqualIgnoringCase(key, name);
}

bool HasPrefix(std::wstring_view line, std::wstring_view name) {
    return line.size() >= name.size() && line.substr(0, name.size()) == name;
}

std::wstring JoinPath(const std::wstring& folder, std::wstring_view name) {
    return platform::AppendPath(folder, platform::NativeSeparators(std::wstring(name)));
}

namespace {

// Each conversion also tells how many characters of the field its number took.
std::optional<int32_t> ConvertInt32(std::wstring_view field, size_t& used) {
    const std::string text = IntegerText(field);
    used = text.size();
    const char* first = text.data();
    if (!text.empty() && text[0] == '+') {
        ++first;
    }
    int32_t value = 0;
    const auto [end, error] = std::from_chars(first, text.data() + text.size(), value);
    if (error != std::errc() || end == first) {
        return std::nullopt;
    }
    return value;
}

std::optional<uint64_t> ConvertUint64(std::wstring_view field, size_t& used) {
    const std::string text = IntegerText(field);
    used = text.size();
    if (text.empty()) {
        return std::nullopt;
    }
    const bool negative = text[0] == '-';
    const char* first = text.data() + ((text[0] == '+' || negative) ? 1 : 0);
    uint64_t value = 0;
    const auto [end, error] = std::from_chars(first, text.data() + text.size(), value);
    if (error != std::errc() || end == first || (negative && value != 0)) {
        return std::nullopt;
    }
    return value;
}

std::optional<float> ConvertFloat(std::wstring_view field, size_t& used) {
    const std::string text = AsciiPrefix(field);
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+') {
        ++first;
        if (first != last && (*first == '+' || *first == '-')) {
            return std::nullopt;
        }
    }
    float value = 0.0f;
    const auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
    if (error != std::errc() || end == first || !std::isfinite(value)) {
        return std::nullopt;
    }
    used = static_cast<size_t>(end - text.data());
    return value;
}

template <typename Number>
std::optional<Number> ConvertReporting(std::optional<Number> (*convert)(std::wstring_view, size_t&),
                                       std::wstring_view field, const ConfigFile& file,
                                       std::optional<uint64_t> column, const wchar_t* kind) {
    size_t used = 0;
    const std::optional<Number> value = convert(field, used);
    if (!file.Reporting()) {
        return value;
    }
    const std::wstring where =
        column ? L"column " + std::to_wstring(*column) + L": " : std::wstring();
    if (!value) {
        file.Report(
            Severity::Error,
            where + L"'" + std::wstring(field) + L"' is not " + kind + L" (or out of range)",
            column);
    } else if (used < field.size()) {
        file.Report(Severity::Warning,
                    where + L"'" + std::wstring(field) + L"' reads as '" +
                        std::wstring(field.substr(0, used)) + L"': the rest is ignored",
                    column);
    }
    return value;
}

}  // namespace

std::optional<int32_t> ToInt32(std::wstring_view field) {
    size_t used = 0;
    return ConvertInt32(field, used);
}

std::optional<uint64_t> ToUint64(std::wstring_view field) {
    size_t used = 0;
    return ConvertUint64(field, used);
}

std::optional<float> ToFloat(std::wstring_view field) {
    size_t used = 0;
    return ConvertFloat(field, used);
}

std::optional<int32_t> ToInt32(std::wstring_view field, const ConfigFile& file,
                               std::optional<uint64_t> column) {
    return ConvertReporting(&ConvertInt32, field, file, column, L"an integer");
}

std::optional<uint64_t> ToUint64(std::wstring_view field, const ConfigFile& file,
                                 std::optional<uint64_t> column) {
    return ConvertReporting(&ConvertUint64, field, file, column, L"an unsigned integer");
}

std::optional<float> ToFloat(std::wstring_view field, const ConfigFile& file,
                             std::optional<uint64_t> column) {
    return ConvertReporting(&ConvertFloat, field, file, column, L"a number");
}

}  // namespace camcab::config
