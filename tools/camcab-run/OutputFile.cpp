#include "OutputFile.h"

#include "FileBytes.h"

namespace camcab::run {

OutputFile::OutputFile(const std::wstring& path) {
    out_.open(host::NativePath(path), std::ios::binary | std::ios::trunc);
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
