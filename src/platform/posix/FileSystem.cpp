#include "platform/FileSystem.h"

#include <sys/stat.h>

#include "platform/WideText.h"

namespace camcab::platform {

bool PathExists(const std::wstring& path) {
    struct stat info;
    return ::stat(NativeNameFromWide(path).c_str(), &info) == 0;
}

std::FILE* OpenForReading(const std::wstring& path) {
    return std::fopen(NativeNameFromWide(path).c_str(), "rb");
}

std::FILE* OpenForWriting(const std::wstring& path) {
    return std::fopen(NativeNameFromWide(path).c_str(), "wb");
}

bool IsAbsolutePath(const std::wstring& path) {
    return !path.empty() && path[0] == L'/';
}

std::wstring AppendPath(const std::wstring& folder, const std::wstring& name) {
    if (IsAbsolutePath(name)) {
        return name;
    }
    if (folder.empty()) {
        return name;
    }
    if (folder.back() == L'/') {
        return folder + name;
    }
    return folder + L'/' + name;
}

}  // namespace camcab::platform
