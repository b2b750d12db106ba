#include "platform/FileSystem.h"

#include <windows.h>

#include <share.h>

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

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// Length of the root name: a drive ("C:") or a network share's server ("\\server").
size_t RootNameLength(const std::wstring& path) {
    if (path.size() >= 2 && path[1] == L':' &&
        ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'))) {
        return 2;
    }
    if (path.size() >= 3 && IsSeparator(path[0]) && IsSeparator(path[1]) && !IsSeparator(path[2])) {
        size_t end = 2;
        while (end < path.size() && !IsSeparator(path[end])) {
            ++end;
        }
        return end;
    }
    return 0;
}

bool HasRootDirectory(const std::wstring& path) {
    const size_t root = RootNameLength(path);
    return root < path.size() && IsSeparator(path[root]);
}

bool SameRootName(const std::wstring& a, const std::wstring& b) {
    const size_t length = RootNameLength(a);
    if (length != RootNameLength(b)) {
        return false;
    }
    return CompareStringOrdinal(a.c_str(), static_cast<int>(length), b.c_str(),
                                static_cast<int>(length), TRUE) == CSTR_EQUAL;
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
    return RootNameLength(path) > 0 && HasRootDirectory(path);
}

// The standard library's append rule for Windows paths, written out so that network shares
// count as absolute.
std::wstring AppendPath(const std::wstring& folder, const std::wstring& name) {
    const size_t nameRoot = RootNameLength(name);
    if (IsAbsolutePath(name) || (nameRoot > 0 && !SameRootName(name, folder))) {
        return name;
    }
    const size_t folderRoot = RootNameLength(folder);
    if (HasRootDirectory(name)) {
        return folder.substr(0, folderRoot) + name.substr(nameRoot);
    }
    std::wstring joined = folder;
    const bool folderHasFileName =
        !folder.empty() && !IsSeparator(folder.back()) && folder.size() > folderRoot;
    if (folderHasFileName ||
        (folderRoot > 0 && !HasRootDirectory(folder) && IsAbsolutePath(folder))) {
        joined.push_back(L'\\');
    }
    joined += name.substr(nameRoot);
    return joined;
}

}  // namespace camcab::platform
