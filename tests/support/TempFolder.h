// A scratch folder for one test: a vehicle folder, a plug-in folder or a set of config files.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "FileBytes.h"

namespace camcab::test {

class TempFolder {
  public:
    // `name` may hold any characters the file system accepts (blanks, Japanese).
    explicit TempFolder(const std::wstring& name = L"camcab-test");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // The folder as the library names its own folder: wide, with a trailing separator.
    std::wstring Directory() const;
    // A file inside the folder; '\' in `relative` separates folders on every platform.
    std::filesystem::path File(std::wstring_view relative) const;
    std::wstring FileString(std::wstring_view relative) const;
    // Writes `bytes` to a file inside the folder, creating the folders on the way.
    void Write(std::wstring_view relative, std::string_view bytes) const;
    // Makes a sub-folder.
    void MakeFolder(std::wstring_view relative) const;
    // Copies a file into the folder under a new name.
    void Copy(const std::filesystem::path& from, std::wstring_view relative) const;

  private:
    std::filesystem::path path_;
};

// Wide names and std::filesystem paths, converted through UTF-8 on POSIX.
std::filesystem::path PathFromWide(const std::wstring& name);
std::wstring WideFromPath(const std::filesystem::path& path);

// Reads a whole file as bytes; empty when it cannot be read.
using host::ReadFileBytes;

// A file produced by the build, named by its build-machine path (a Unix path under Wine).
std::filesystem::path BuiltFile(const char* buildPath);

}  // namespace camcab::test
