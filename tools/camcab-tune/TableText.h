// A table file's text as written, whose cells can be changed one at a time: every other byte
// (the heading, comments, spacing, line ends) stays as it was.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace camcab::tune {

class TableText {
  public:
    static std::optional<TableText> Read(const std::filesystem::path& path);
    bool Write(const std::filesystem::path& path) const;
    // Whether the whole text is UTF-8: the table reader stops reading where it stops being so.
    bool IsUtf8() const;

    // The lines (from 0) whose first field reads as `speedKmh`, as the table readers read it:
    // the heading (the first line) is none of them.
    std::vector<size_t> RowsAt(float speedKmh) const;
    size_t LineCount() const { return lines_.size(); }
    // A field (from 0) of a line without its spaces; nothing where the line has no such field.
    std::optional<std::string> Cell(size_t line, size_t field) const;
    // Replaces the field's text, keeping the spaces around it. False where there is none.
    bool SetCell(size_t line, size_t field, const std::string& text);

  private:
    std::vector<std::string> lines_;  // each with its line end
};

}  // namespace camcab::tune
