#include "platform/FileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/WideText.h"
#include "platform/posix/RegularFile.h"

namespace camcab::platform {

namespace {

// Keeps a descriptor opened without waiting only if it is a regular file, and makes it wait
// (block) again for its reads and writes.
int KeepIfRegular(int descriptor) {
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

}  // namespace

int OpenRegularFile(const char* name) {
    // Told by its name first, so that no device is opened (opening one may act on it); then
    // opened without waiting (a FIFO put there meanwhile would wait for a writer) and told
    // again by what was opened.
    struct stat info {};
    if (::stat(name, &info) != 0) {
        return -1;
    }
    if (!S_ISREG(info.st_mode)) {
        errno = S_ISDIR(info.st_mode) ? EISDIR : ENODEV;
        return -1;
    }
    const int flags = O_RDONLY | O_CLOEXEC | O_NOCTTY;
    int descriptor = ::open(name, flags | O_NONBLOCK);
    if (descriptor < 0 && errno == EWOULDBLOCK) {
        // A regular file under another process's lease: wait for it, as a plain open does.
        descriptor = ::open(name, flags);
    }
    return KeepIfRegular(descriptor);
}

bool LeadsToDevice(const std::wstring& path) {
    struct stat info {};
    return ::stat(NativeNameFromWide(path).c_str(), &info) == 0 && !S_ISREG(info.st_mode) &&
           !S_ISDIR(info.st_mode);
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
    // Opening a FIFO for writing without waiting fails while it has no reader.
    const int descriptor = KeepIfRegular(
        ::open(NativeNameFromWide(path).c_str(),
               O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666));
    if (descriptor < 0) {
        return nullptr;
    }
    std::FILE* file = ::fdopen(descriptor, "wb");
    if (file == nullptr) {
        ::close(descriptor);
    }
    return file;
}

NewFile::Opened NewFile::Create(const std::wstring& path) {
    Close();
    failure_.clear();
    const int descriptor = ::open(NativeNameFromWide(path).c_str(),
                                  O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (descriptor < 0) {
        failure_ = std::strerror(errno);
        return errno == EEXIST ? Opened::NameTaken : Opened::Failed;
    }
    handle_ = descriptor;
    return Opened::Created;
}

bool NewFile::Write(const char* bytes, size_t size) {
    while (size > 0 && IsOpen()) {
        const ssize_t written = ::write(static_cast<int>(handle_), bytes, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            failure_ = written < 0 ? std::strerror(errno) : "nothing written";
            return false;
        }
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return size == 0;
}

bool NewFile::Truncate(uint64_t size) {
    const int descriptor = static_cast<int>(handle_);
    if (!IsOpen() || ::ftruncate(descriptor, static_cast<off_t>(size)) != 0 ||
        ::lseek(descriptor, static_cast<off_t>(size), SEEK_SET) < 0) {
        failure_ = IsOpen() ? std::strerror(errno) : "not open";
        return false;
    }
    return true;
}

bool NewFile::Close() {
    if (!IsOpen()) {
        return true;
    }
    const int result = ::close(static_cast<int>(handle_));
    handle_ = -1;
    if (result != 0 && errno != EINTR) {
        failure_ = std::strerror(errno);
        return false;
    }
    return true;
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
