#include "platform/Module.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "platform/WideText.h"

namespace camcab::platform {

ModuleHandle LoadModule(const std::wstring& path) {
    return ::dlopen(NativeNameFromWide(path).c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* FindExport(ModuleHandle module, const char* name) {
    if (module == nullptr) {
        return nullptr;
    }
    return ::dlsym(module, name);
}

void UnloadModule(ModuleHandle module) {
    if (module != nullptr) {
        ::dlclose(module);
    }
}

std::wstring ModuleFileName(ModuleHandle module) {
    struct link_map* map = nullptr;
    if (module == nullptr || ::dlinfo(module, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr ||
        map->l_name == nullptr) {
        return std::wstring();
    }
    return WideFromNativeName(map->l_name);
}

ModuleHandle OwnModule() {
    Dl_info info;
    if (::dladdr(reinterpret_cast<void*>(&OwnModule), &info) == 0 || info.dli_fname == nullptr) {
        return nullptr;
    }
    // RTLD_NOLOAD only finds the loaded object; the reference it adds is dropped at once,
    // which leaves the object loaded, since it holds this code.
    void* handle =
        ::dlopen(info.dli_fname[0] != '\0' ? info.dli_fname : nullptr, RTLD_LAZY | RTLD_NOLOAD);
    if (handle != nullptr) {
        ::dlclose(handle);
    }
    return handle;
}

namespace {

// A socket in the abstract namespace: its name lives exactly as long as the socket, and the
// process id keeps the names of different processes apart.
int BindLoadingName(ModuleHandle module) {
    const int socket = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (socket < 0) {
        return -1;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const int length =
        std::snprintf(address.sun_path + 1, sizeof address.sun_path - 1, "camcab-loading/%ld/%p",
                      static_cast<long>(::getpid()), module);
    const socklen_t size =
        static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + static_cast<size_t>(length));
    if (::bind(socket, reinterpret_cast<const sockaddr*>(&address), size) != 0) {
        const int error = errno;
        ::close(socket);
        errno = error;
        return -1;
    }
    return socket;
}

}  // namespace

LoadingMark::LoadingMark(ModuleHandle module) : token_(BindLoadingName(module)) {}

LoadingMark::~LoadingMark() {
    if (token_ >= 0) {
        ::close(static_cast<int>(token_));
    }
}

bool IsMarkedLoading(ModuleHandle module) {
    // The name is taken while the mark lives.
    const int probe = BindLoadingName(module);
    if (probe >= 0) {
        ::close(probe);
        return false;
    }
    return errno == EADDRINUSE;
}

std::string LastModuleError() {
    const char* error = ::dlerror();
    return error != nullptr ? std::string(error) : std::string("unknown error");
}

void* FindHostFunction(const char* name) {
    return ::dlsym(RTLD_DEFAULT, name);
}

}  // namespace camcab::platform
