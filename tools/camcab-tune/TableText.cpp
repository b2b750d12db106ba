#include "TableText.h"

#include <algorithm>

#include "FileBytes.h"
#include "WaveFile.h"
#include "config/ConfigText.h"
#include "platform/WideText.h"

namespace camcab::tune {
namespace {

// The character that starts at byte `at` (UTF-8), and its length in bytes.
std::pair<wchar_t, size_t> CharAt(const std::string& line, size_t at) {
    const auto lead = static_cast<unsigned char>(line[at]);
    size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    length = std::min(length, line.size() - at);
    const std::wstring text = platform::DecodeUtf8(line.substr(at, length));
    return {text.size() == 1 ? text[0] : L'\0', length};
}

// Where a line's fields begin and end (before any comment and its line feed), each without the
// white space the table reader trims: a carriage return before the line feed, and any other
// space character (a full-width space too).
std::vector<std::pair<size_t, size_t>> Fields(const std::string& line) {
    size_t end = line.find_first_of(";#\n");
    if (end == std::string::npos) {
        end = line.size();
    }
    std::vector<std::pair<size_t, size_t>> fields;
    for (size_t start = 0;;) {
        const size_t comma = line.find(',', start);
        const size_t stop = comma == std::string::npos || comma > end ? end : comma;
        size_t first = start;
        size_t last = stop;
        while (first < last) {
            const auto [c, length] = CharAt(line, first);
            if (!config::IsConfigSpace(c) || first + length > last) {
                break;
            }
            first += length;
        }
        while (last > first) {
            size_t lead = last - 1;
            while (lead > first && (static_cast<unsigned char>(line[lead]) & 0xC0) == 0x80) {
                --lead;
            }
            const auto [c, length] = CharAt(line, lead);
            if (!config::IsConfigSpace(c) || lead + length != last) {
                break;
            }
            last = lead;
        }
        fields.emplace_back(first, last);
        if (stop == end) {
            return fields;
        }
        start = stop + 1;
    }
}

}  // namespace

std::optional<TableText> TableText::Read(const std::filesystem::path& path) {
    std::string bytes;
    if (!host::ReadFileBytes(path, bytes)) {
        return std::nullopt;
    }
    TableText table;
    for (size_t start = 0; start < bytes.size();) {
        const size_t end = bytes.find('\n', start);
        const size_t next = end == std::string::npos ? bytes.size() : end + 1;
        table.lines_.push_back(bytes.substr(start, next - start));
        start = next;
    }
    return table;
}

bool TableText::Write(const std::filesystem::path& path) const {
    std::string bytes;
    for (const std::string& line : lines_) {
        bytes += line;
    }
    return hostaudio::WriteFileBytes(path, bytes);
}

bool TableText::IsUtf8() const {
    bool complete = true;
    for (const std::string& line : lines_) {
        platform::DecodeUtf8(line, &complete);
        if (!complete) {
            return false;
        }
    }
    return true;
}

std::vector<size_t> TableText::RowsAt(float speedKmh) const {
    std::vector<size_t> rows;
    for (size_t l = 1; l < lines_.size(); ++l) {  // the first line is the heading
        const std::optional<std::string> first = Cell(l, 0);
        const std::optional<float> speed =
            first ? config::ToFloat(platform::DecodeUtf8(*first)) : std::nullopt;
        if (speed && *speed == speedKmh) {
            rows.push_back(l);
        }
    }
    return rows;
}

std::optional<std::string> TableText::Cell(size_t line, size_t field) const {
    if (line >= lines_.size()) {
        return std::nullopt;
    }
    const auto fields = Fields(lines_[line]);
    if (field >= fields.size()) {
        return std::nullopt;
    }
    return lines_[line].substr(fields[field].first, fields[field].second - fields[field].first);
}

bool TableText::SetCell(size_t line, size_t field, const std::string& text) {
    if (line >= lines_.size()) {
        return false;
    }
    const auto fields = Fields(lines_[line]);
    if (field >= fields.size()) {
        return false;
    }
    lines_[line].replace(fields[field].first, fields[field].second - fields[field].first, text);
    return true;
}

}  // namespace camcab::tune
