#include "platform/FileSystem.h"

#include <windows.h>

#include <share.h>

#include <filesystem>

namespace camcab::platform {
namespace {

// Paths of MAX_PATH units or more need the extended-length form for the file APIs.
std::wstring ForFileApi(const std::wstring& path) {
    if (path.size() < MAX_PATH || path.rfind(L"\\\\?\\", 0) == 0) {
        return path;
    }
    const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) {
        return path;
    }
    std::wstring full(needed, L'\0');
    const DWORD written = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    if (written == 0 || written >= needed) {
        return path;
    }
    full.resize(written);
    if (full.rfind(L"\\\\", 0) == 0) {
        return L"\\\\?\\UNC\\" + full.substr(2);
    }
    return L"\\\\?\\" + full;
}

}  // namespace

bool PathExists(const std::wstring& path) {
    return GetFileAttributesW(ForFileApi(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::FILE* OpenForReading(const std::wstring& path) {
    return _wfsopen(ForFileApi(path).c_str(), L"rb", _SH_DENYNO);
}

std::FILE* OpenForWriting(const std::wstring& path) {
    return _wfsopen(ForFileApi(path).c_str(), L"wb", _SH_DENYNO);
}

bool IsAbsolutePath(const std::wstring& path) {
    return std::filesystem::path(path).is_absolute();
}

std::wstring AppendPath(const std::wstring& folder, const std::wstring& name) {
    return (std::filesystem::path(folder) / std::filesystem::path(name)).wstring();
}

}  // namespace camcab::platform
