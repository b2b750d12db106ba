// Files and paths as the library sees them: wide strings, relative to the plug-in's folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace camcab::platform {

#ifdef _WIN32
inline constexpr wchar_t kPathSeparator = L'\\';
#else
inline constexpr wchar_t kPathSeparator = L'/';
#endif

// True when a file-system object (file or folder) of that name exists. Every failure to tell
// (not found, path not found, bad network path, invalid name, access denied, ...) counts as
// absent.
bool PathExists(const std::wstring& path);

// True when the name leads to something that is neither a file nor a folder: a FIFO, socket,
// device, a named pipe or a Windows device name such as "CON". Told without opening it, since
// opening such a thing may wait or act on it. A name that leads nowhere gives false.
bool LeadsToDevice(const std::wstring& path);

// Opens a regular file for reading in binary mode, shared with other readers and writers.
// Returns null when it cannot be opened, and for anything that is not a regular file: a
// folder, a FIFO, socket or device, a named pipe, a Windows device name such as "CON" (their
// reading could block or never end). The caller closes it with std::fclose.
std::FILE* OpenForReading(const std::wstring& path);

// Closes a file when its owner goes.
struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

#ifndef _WIN32
// Opens (creating or truncating) a regular file for writing in binary mode; null on failure,
// and for anything that is not a regular file (writing to a FIFO could wait for a reader).
// The POSIX start-up log writes through it; on Windows the log opens its file itself.
std::FILE* OpenForWriting(const std::wstring& path);
#endif

// A file made afresh for writing, written straight through: the caller keeps its own buffer.
// It never replaces, truncates or follows anything that already exists under its name.
class NewFile {
  public:
    enum class Opened { Created, NameTaken, Failed };

    NewFile() = default;
    ~NewFile() { Close(); }
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    // Creates the file. NameTaken when anything of that name exists (a file, a folder, a link).
    Opened Create(const std::wstring& path);
    bool IsOpen() const { return handle_ != -1; }
    // Writes every byte, or returns false with the reason in Failure().
    bool Write(const char* bytes, size_t size);
    // Cuts the file back to its first `size` bytes; writing goes on from there.
    bool Truncate(uint64_t size);
    // Closes the file; false when the system reports that written data was lost.
    bool Close();
    // The system's words for the last failure.
    const std::string& Failure() const { return failure_; }

  private:
    std::intptr_t handle_ = -1;  // a descriptor or a file handle; -1 when closed
    std::string failure_;
};

// True when the name is absolute in the platform's sense (drive and root, or a network
// share, on Windows; a leading '/' on POSIX).
bool IsAbsolutePath(const std::wstring& path);

// The standard library's path-append rule: a relative name is appended after one separator;
// an absolute name replaces the folder; on Windows a name that begins with a separator but
// names no drive keeps only the folder's drive.
std::wstring AppendPath(const std::wstring& folder, const std::wstring& name);

// A name from a configuration file in the platform's spelling: on POSIX each '\' is read
// as '/'. Unchanged on Windows.
std::wstring NativeSeparators(std::wstring name);

// The folder of a file path, with its trailing separator kept: C:\a\b\lib.dll gives C:\a\b\ .
std::wstring FolderOf(const std::wstring& filePath);

}  // namespace camcab::platform
