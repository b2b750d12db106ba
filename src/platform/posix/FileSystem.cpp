#include "platform/FileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/WideText.h"
#include "platform/posix/RegularFile.h"

namespace camcab::platform {

int OpenRegularFile(const char* name) {
    // Without O_NONBLOCK, opening a FIFO waits for a writer.
    const int descriptor = ::open(name, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (descriptor < 0) {
        return -1;
    }
    struct stat info {};
    if (::fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
        const int error = S_ISDIR(info.st_mode) ? EISDIR : ENODEV;
        ::close(descriptor);
        errno = error;
        return -1;
    }
    const int flags = ::fcntl(descriptor, F_GETFL);
    if (flags != -1) {
        ::fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK);
    }
    return descriptor;
}

bool PathExists(const std::wstring& path) {
    struct stat info;
    return ::stat(NativeNameFromWide(path).c_str(), &info) == 0;
}

std::FILE* OpenForReading(const std::wstring& path) {
    const std::string name = NativeNameFromWide(path);
    if (name.empty()) {
        return nullptr;
    }
    const int descriptor = OpenRegularFile(name.c_str());
    if (descriptor < 0) {
        return nullptr;
    }
    std::FILE* file = ::fdopen(descriptor, "rb");
    if (file == nullptr) {
        ::close(descriptor);
    }
    return file;
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
