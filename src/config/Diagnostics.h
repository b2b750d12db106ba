// What a reader skipped, ignored or could not convert, for tools that check a vehicle folder.
// The plug-in passes no sink: the readers then build no message and behave exactly alike.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace camcab::config {

enum class Severity {
    Note,     // ignored as the file format says (a heading row, another platform's library)
    Warning,  // read, but probably not what the author meant
    Error,    // something the vehicle needs is lost: a missing file, a number that does not read
};

// What a finding is about, where a tool tells findings apart.
enum class FindingKind {
    Other,
    RowsOutOfOrder,  // a curve's rows are not in the order of x; `column` says which curve
};

struct Diagnostic {
    std::wstring file;  // full path
    uint64_t line = 0;  // 1-based; 0 when the finding concerns the file as a whole
    Severity severity = Severity::Warning;
    std::wstring message;
    std::optional<uint64_t> column;  // the table column a finding concerns, if one
    FindingKind kind = FindingKind::Other;
};

class Diagnostics {
  public:
    virtual void Report(const Diagnostic& diagnostic) = 0;
    // A named configuration file a reader opened and read (`opened`), or could not open.
    virtual void FileOpened(const std::wstring& /*path*/, bool /*opened*/) {}
    // A named file or folder whose presence alone counts, looked for and `present` or not.
    virtual void FileLookedFor(const std::wstring& /*path*/, bool /*present*/) {}

  protected:
    ~Diagnostics() = default;
};

}  // namespace camcab::config
