// The list file of detail modules: UTF-8 text, one library per line, each line used
// unchanged (no trimming, no comments, no quoting), read the way a text-mode stream reads it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>

#include "config/Diagnostics.h"
#include "platform/FileSystem.h"
#include "platform/Module.h"

namespace camcab::chain {

class ModuleList {
  public:
    // Reads from an open file; the caller keeps ownership and closes it. With a sink, lines
    // that yield no usable entry are reported under `path`.
    explicit ModuleList(std::FILE* file, config::Diagnostics* diagnostics = nullptr,
                        std::wstring path = {})
        : file_(file), diagnostics_(diagnostics), path_(std::move(path)) {}

    // The next entry, without its line end. Carriage return plus line feed ends a line like
    // a line feed. End of file is tested before each line, so a file that ends with a line
    // feed (or an empty file) yields a last, empty entry. A byte-order mark is kept as
    // U+FEFF. False at the end of the file, and at the first invalid UTF-8 sequence, which
    // ends the reading there: the line holding it is not used. The file ends after
    // kMaxModuleListBytes; an entry cut short there is not used.
    bool Next(std::wstring& entry);

    // The line of the entry read last, from 1.
    uint64_t LineNumber() const { return lineNumber_; }

  private:
    void Report(config::Severity severity, const wchar_t* message) const;

    std::FILE* file_;
    config::Diagnostics* diagnostics_;
    std::wstring path_;
    std::size_t bytesRead_ = 0;
    uint64_t lineNumber_ = 0;
    bool atEnd_ = false;
};

// Lines longer than this name no file on any platform; they are read past and yield an
// entry that loads nothing.
inline constexpr std::size_t kMaxModuleListLineBytes = 65536;
// At most this many bytes of the list are read; the rest is left unread, as if the file
// ended there. A list names a few libraries.
inline constexpr std::size_t kMaxModuleListBytes = std::size_t{1} << 20;

// Opens the list file of the plug-in's folder; null when there is none or it cannot be read
// (no list: no module, as most vehicles intend). With a sink, the file is reported opened or
// not, and a list that exists but cannot be read is reported.
platform::UniqueFile OpenModuleList(const std::wstring& pluginDirectory,
                                    config::Diagnostics* diagnostics = nullptr);

// What an entry of the list names, told before anything is loaded.
enum class ModuleEntryKind {
    NoFileName,  // a NUL inside would cut the name short on every platform
    Missing,
    Device,   // a FIFO, socket or device: loading it would wait on it for ever
    Library,  // something to load: a file, or a folder (the empty entry names the plug-in's
              // own folder, which loads nothing)
};

struct ModuleEntry {
    ModuleEntryKind kind = ModuleEntryKind::NoFileName;
    // The entry with the platform's separators, joined to the plug-in's folder; empty for
    // NoFileName.
    std::wstring path;
};

ModuleEntry ResolveModuleEntry(const std::wstring& pluginDirectory, const std::wstring& entry);

// Whether a loaded library is the plug-in itself for its chain: `self` (whatever spelling or
// link named it), or any library still inside its own Load, such as a copy of the plug-in
// that loads this one. Chaining either would run a Load inside itself without end.
bool IsPluginItself(platform::ModuleHandle module, platform::ModuleHandle self);

}  // namespace camcab::chain
