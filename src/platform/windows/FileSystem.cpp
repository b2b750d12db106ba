#include "platform/FileSystem.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <share.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/WideText.h"

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

bool EqualsAscii(std::wstring_view text, std::wstring_view ascii) {
    return CompareStringOrdinal(text.data(), static_cast<int>(text.size()), ascii.data(),
                                static_cast<int>(ascii.size()), TRUE) == CSTR_EQUAL;
}

// The reserved device names: CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9, CONIN$ and
// CONOUT$, with any extension and trailing dots or blanks, name a device in every folder.
bool IsReservedDeviceName(std::wstring_view name) {
    name = name.substr(0, name.find(L'.'));
    while (!name.empty() && name.back() == L' ') {
        name.remove_suffix(1);
    }
    for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"}) {
        if (EqualsAscii(name, device)) {
            return true;
        }
    }
    return name.size() == 4 &&
           (EqualsAscii(name.substr(0, 3), L"COM") || EqualsAscii(name.substr(0, 3), L"LPT")) &&
           name[3] >= L'1' && name[3] <= L'9';
}

// Names that lead to a device rather than a file: the device namespaces "\\.\" and "\\?\"
// (except a drive or a network share below "\\?\"), a share named "pipe" (the named pipes
// of a machine) and a reserved device name as the last element.
bool NamesDevice(const std::wstring& path) {
    std::wstring_view rest(path);
    std::wstring_view network;  // "server\share\..." of a network name
    if (rest.size() >= 4 && IsSeparator(rest[0]) && IsSeparator(rest[1]) &&
        (rest[2] == L'.' || rest[2] == L'?') && IsSeparator(rest[3])) {
        if (rest[2] == L'.') {
            return true;
        }
        rest.remove_prefix(4);
        if (rest.size() >= 4 && EqualsAscii(rest.substr(0, 3), L"UNC") && IsSeparator(rest[3])) {
            network = rest.substr(4);
        } else if (!(rest.size() >= 3 && rest[1] == L':' && IsSeparator(rest[2]))) {
            return true;
        }
    } else if (rest.size() >= 2 && IsSeparator(rest[0]) && IsSeparator(rest[1])) {
        network = rest.substr(2);
    }
    const size_t server = network.find_first_of(L"\\/");
    if (server != std::wstring_view::npos) {
        const std::wstring_view share = network.substr(server + 1);
        if (EqualsAscii(share.substr(0, share.find_first_of(L"\\/")), L"pipe")) {
            return true;
        }
    }
    const size_t last = path.find_last_of(L"\\/:");
    return IsReservedDeviceName(std::wstring_view(path).substr(last + 1));
}

}  // namespace

bool PathExists(const std::wstring& path) {
    return GetFileAttributesW(ForFileApi(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool LeadsToDevice(const std::wstring& path) {
    if (path.empty()) {
        return false;
    }
    if (NamesDevice(path)) {
        return true;
    }
    const DWORD attributes = GetFileAttributesW(ForFileApi(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DEVICE) != 0;
}

std::FILE* OpenForReading(const std::wstring& path) {
    if (path.empty() || NamesDevice(path)) {
        return nullptr;
    }
    const HANDLE handle =
        CreateFileW(ForFileApi(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    // Only a file on a disk: no pipe, console or other character device, whatever its name.
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        CloseHandle(handle);
        return nullptr;
    }
    const int descriptor =
        _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (descriptor == -1) {
        CloseHandle(handle);
        return nullptr;
    }
    std::FILE* file = _fdopen(descriptor, "rb");
    if (file == nullptr) {
        _close(descriptor);
    }
    return file;
}

namespace {

std::string SystemMessage(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = length > 0 && text != nullptr ? std::wstring(text, length) : L"";
    LocalFree(text);
    while (!message.empty() && (message.back() == L'\r' || message.back() == L'\n' ||
                                message.back() == L' ' || message.back() == L'.')) {
        message.pop_back();
    }
    return "error " + std::to_string(error) + (message.empty() ? "" : ": " + EncodeUtf8(message));
}

HANDLE AsHandle(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

}  // namespace

NewFile::Opened NewFile::Create(const std::wstring& path) {
    Close();
    failure_.clear();
    if (path.empty() || NamesDevice(path)) {
        failure_ = "not a file name";
        return Opened::Failed;
    }
    const HANDLE file =
        CreateFileW(ForFileApi(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                    nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        failure_ = SystemMessage(error);
        return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? Opened::NameTaken
                                                                           : Opened::Failed;
    }
    handle_ = reinterpret_cast<std::intptr_t>(file);
    return Opened::Created;
}

bool NewFile::Write(const char* bytes, size_t size) {
    while (size > 0 && IsOpen()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(AsHandle(handle_), bytes, chunk, &written, nullptr) || written == 0) {
            failure_ = SystemMessage(GetLastError());
            return false;
        }
        bytes += written;
        size -= written;
    }
    return size == 0;
}

bool NewFile::Truncate(uint64_t size) {
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(size);
    if (!IsOpen() || !SetFilePointerEx(AsHandle(handle_), position, nullptr, FILE_BEGIN) ||
        !SetEndOfFile(AsHandle(handle_))) {
        failure_ = IsOpen() ? SystemMessage(GetLastError()) : "not open";
        return false;
    }
    return true;
}

bool NewFile::Close() {
    if (!IsOpen()) {
        return true;
    }
    const BOOL closed = CloseHandle(AsHandle(handle_));
    handle_ = -1;
    if (!closed) {
        failure_ = SystemMessage(GetLastError());
        return false;
    }
    return true;
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
