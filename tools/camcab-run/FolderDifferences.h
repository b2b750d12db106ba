// How two vehicle folders differ: the files only one holds, and in the files both hold but
// with other bytes, each changed cell of a table (its line and field) or, for a file that is
// not text, that it differs.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace camcab::run {

struct CellChange {
    uint64_t line = 0;  // from 1
    size_t field = 0;   // from 1; 0: the whole line is only in one file
    std::string a, b;   // the field as each file has it (empty where it has none)
};

struct FileDifference {
    std::filesystem::path file;  // relative to the folders
    enum class Kind { OnlyA, OnlyB, Changed } kind = Kind::Changed;
    bool text = false;              // compared cell by cell
    std::vector<CellChange> cells;  // at most kMostCellChanges
    size_t moreCells = 0;           // changed cells beyond those
};

inline constexpr size_t kMostCellChanges = 40;

// The differences of the regular files under the two folders, by relative path, in path
// order. The plug-in's own start-up log, which it writes at every Load, is left out.
// A relative path as UTF-8 with '/' between its parts, whatever the locale and platform.
std::string FileNameText(const std::filesystem::path& file);

std::vector<FileDifference> CompareFolders(const std::filesystem::path& a,
                                           const std::filesystem::path& b);

}  // namespace camcab::run
