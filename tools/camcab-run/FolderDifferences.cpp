#include "FolderDifferences.h"

#include <algorithm>
#include <map>
#include <string_view>
#include <system_error>

#include "FileBytes.h"
#include "platform/WideText.h"
#include "sound/SoundSystem.h"

namespace camcab::run {
namespace {

namespace fs = std::filesystem;

// Files past this many under a folder are not compared (a vehicle holds a few dozen).
constexpr size_t kMostFiles = 20000;

// A path's name as UTF-8, whatever the locale (the folders hold Japanese names).
std::string Utf8(const fs::path& path) {
    const std::u8string name = path.u8string();
    return {name.begin(), name.end()};
}

std::map<fs::path, fs::path> RegularFiles(const fs::path& folder) {
    static const std::string logName = platform::EncodeUtf8(sound::kStartUpLogName);
    std::map<fs::path, fs::path> files;
    std::error_code error;
    fs::recursive_directory_iterator walk(folder, error);
    for (; !error && walk != fs::recursive_directory_iterator() && files.size() < kMostFiles;
         walk.increment(error)) {
        std::error_code kindError;
        if (walk->is_regular_file(kindError)) {
            const fs::path relative = walk->path().lexically_relative(folder);
            if (Utf8(relative.filename()) != logName) {
                files.emplace(relative, walk->path());
            }
        }
    }
    return files;
}

// A file the tables and lists are written in: compared field by field.
bool IsText(const fs::path& file) {
    std::string extension = Utf8(file.extension());
    std::transform(extension.begin(), extension.end(), extension.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return extension == ".csv" || extension == ".txt";
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (size_t start = 0;;) {
        const size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) {
            return parts;
        }
        start = end + 1;
    }
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

// A file's lines; the end of the last line starts none.
std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines = Split(text, '\n');
    if (lines.size() > 1 && lines.back().empty()) {
        lines.pop_back();
    }
    return lines;
}

void CompareCells(const std::string& a, const std::string& b, FileDifference& difference) {
    const std::vector<std::string_view> linesA = Lines(a);
    const std::vector<std::string_view> linesB = Lines(b);
    const auto add = [&difference](CellChange change) {
        if (difference.cells.size() < kMostCellChanges) {
            difference.cells.push_back(std::move(change));
        } else {
            ++difference.moreCells;
        }
    };
    for (size_t l = 0; l < std::max(linesA.size(), linesB.size()); ++l) {
        if (l >= linesA.size() || l >= linesB.size()) {
            add({l + 1, 0, std::string(l < linesA.size() ? Trimmed(linesA[l]) : ""),
                 std::string(l < linesB.size() ? Trimmed(linesB[l]) : "")});
            continue;
        }
        if (Trimmed(linesA[l]) == Trimmed(linesB[l])) {
            continue;
        }
        const std::vector<std::string_view> fieldsA = Split(linesA[l], ',');
        const std::vector<std::string_view> fieldsB = Split(linesB[l], ',');
        for (size_t f = 0; f < std::max(fieldsA.size(), fieldsB.size()); ++f) {
            const std::string_view fieldA = f < fieldsA.size() ? Trimmed(fieldsA[f]) : "";
            const std::string_view fieldB = f < fieldsB.size() ? Trimmed(fieldsB[f]) : "";
            if (fieldA != fieldB || (f < fieldsA.size()) != (f < fieldsB.size())) {
                add({l + 1, f + 1, std::string(fieldA), std::string(fieldB)});
            }
        }
    }
}

}  // namespace

std::string FileNameText(const fs::path& file) {
    const std::u8string name = file.generic_u8string();
    return {name.begin(), name.end()};
}

std::vector<FileDifference> CompareFolders(const fs::path& a, const fs::path& b) {
    const std::map<fs::path, fs::path> filesA = RegularFiles(a);
    const std::map<fs::path, fs::path> filesB = RegularFiles(b);
    std::vector<FileDifference> differences;
    for (const auto& [relative, path] : filesA) {
        const auto other = filesB.find(relative);
        FileDifference difference;
        difference.file = relative;
        if (other == filesB.end()) {
            difference.kind = FileDifference::Kind::OnlyA;
            differences.push_back(std::move(difference));
            continue;
        }
        const std::string bytesA = host::ReadFileBytes(path);
        const std::string bytesB = host::ReadFileBytes(other->second);
        if (bytesA == bytesB) {
            continue;
        }
        difference.text = IsText(relative);
        if (difference.text) {
            CompareCells(bytesA, bytesB, difference);
        }
        differences.push_back(std::move(difference));
    }
    for (const auto& [relative, path] : filesB) {
        if (filesA.count(relative) == 0) {
            FileDifference difference;
            difference.file = relative;
            difference.kind = FileDifference::Kind::OnlyB;
            differences.push_back(std::move(difference));
        }
    }
    std::stable_sort(
        differences.begin(), differences.end(),
        [](const FileDifference& x, const FileDifference& y) { return x.file < y.file; });
    return differences;
}

}  // namespace camcab::run
