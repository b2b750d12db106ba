#include "OutputFile.h"

#include <filesystem>

#include "platform/WideText.h"

namespace camcab::run {

OutputFile::OutputFile(const std::wstring& path) {
#ifdef _WIN32
    out_.open(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
#else
    out_.open(platform::NativeNameFromWide(path), std::ios::binary | std::ios::trunc);
#endif
}

void OutputFile::Write(std::string_view bytes) {
    if (out_) {
        out_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
}

bool OutputFile::Close() {
    if (!out_.is_open()) {
        return false;
    }
    out_.flush();
    const bool good = static_cast<bool>(out_);
    out_.close();
    return good && !out_.fail();
}

}  // namespace camcab::run
