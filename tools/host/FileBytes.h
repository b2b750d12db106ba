// Reading a whole file, and naming files by the wide paths the tools take on both platforms.
#pragma once

#include <filesystem>
#include <string>

namespace camcab::host {

// A wide name as the file system takes it: the wide name itself on Windows, its bytes in the
// system's encoding on POSIX.
std::filesystem::path NativePath(const std::wstring& name);

// Reads every byte of a file. False when it cannot be opened.
bool ReadFileBytes(const std::filesystem::path& path, std::string& bytes);

// Every byte of a file; empty when it cannot be read.
std::string ReadFileBytes(const std::filesystem::path& path);

}  // namespace camcab::host
