#include "FileBytes.h"

#include <fstream>
#include <sstream>

#include "platform/WideText.h"

namespace camcab::host {

std::filesystem::path NativePath(const std::wstring& name) {
#ifdef _WIN32
    return std::filesystem::path(name);
#else
    return std::filesystem::path(platform::NativeNameFromWide(name));
#endif
}

bool ReadFileBytes(const std::filesystem::path& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    std::ostringstream read;
    read << in.rdbuf();
    bytes = read.str();
    return true;
}

std::string ReadFileBytes(const std::filesystem::path& path) {
    std::string bytes;
    ReadFileBytes(path, bytes);
    return bytes;
}

}  // namespace camcab::host
