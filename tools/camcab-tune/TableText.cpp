#include "TableText.h"

#include "FileBytes.h"
#include "WaveFile.h"
#include "config/ConfigText.h"
#include "platform/WideText.h"

namespace camcab::tune {
namespace {

// Where a line's fields begin and end (before any comment and line end).
std::vector<std::pair<size_t, size_t>> Fields(const std::string& line) {
    size_t end = line.find_first_of(";#\r\n");
    if (end == std::string::npos) {
        end = line.size();
    }
    std::vector<std::pair<size_t, size_t>> fields;
    for (size_t start = 0;;) {
        const size_t comma = line.find(',', start);
        const size_t stop = comma == std::string::npos || comma > end ? end : comma;
        size_t first = start;
        size_t last = stop;
        while (first < last && (line[first] == ' ' || line[first] == '\t')) {
            ++first;
        }
        while (last > first && (line[last - 1] == ' ' || line[last - 1] == '\t')) {
            --last;
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
