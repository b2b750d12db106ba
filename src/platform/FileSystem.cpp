#include "platform/FileSystem.h"

namespace camcab::platform {

std::wstring NativeSeparators(std::wstring name) {
#ifndef _WIN32
    for (wchar_t& c : name) {
        if (c == L'\\') {
            c = L'/';
        }
    }
#endif
    return name;
}

std::wstring FolderOf(const std::wstring& filePath) {
#ifdef _WIN32
    const size_t last = filePath.find_last_of(L"\\/");
#else
    const size_t last = filePath.find_last_of(L'/');
#endif
    if (last == std::wstring::npos) {
        return std::wstring();
    }
    return filePath.substr(0, last + 1);
}

}  // namespace camcab::platform
