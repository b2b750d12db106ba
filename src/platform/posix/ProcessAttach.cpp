// Process attach for the shared object: a library constructor records the library's own
// file name, as the library was loaded: symbolic links are not resolved, as on Windows, so
// a vehicle folder that links to a shared library reads its own files. A relative name is
// taken from the current folder at attach time. The constructor may run before the C++
// dynamic initialisers, so it fills only constant-initialised storage.
#include "platform/ProcessAttach.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/WideText.h"

namespace {
constinit char* attachedLibraryPath = nullptr;
}

__attribute__((constructor)) static void OnProcessAttach() {
    Dl_info info;
    if (::dladdr(reinterpret_cast<void*>(&OnProcessAttach), &info) == 0 ||
        info.dli_fname == nullptr) {
        return;
    }
    const char* name = info.dli_fname;
    if (name[0] == '/') {
        attachedLibraryPath = ::strdup(name);
        return;
    }
    // A relative name is relative to the current folder; without it the library has no
    // folder of its own.
    char* current = ::getcwd(nullptr, 0);
    if (current == nullptr) {
        return;
    }
    const size_t length = std::strlen(current) + 1 + std::strlen(name) + 1;
    attachedLibraryPath = static_cast<char*>(std::malloc(length));
    if (attachedLibraryPath != nullptr) {
        std::snprintf(attachedLibraryPath, length, "%s/%s", current, name);
    }
    std::free(current);
}

// The recorded name is the library's own storage: give it back when the library is unloaded,
// so that a host loading and unloading it repeatedly loses nothing.
__attribute__((destructor)) static void OnUnload() {
    std::free(attachedLibraryPath);
    attachedLibraryPath = nullptr;
}

namespace camcab::platform {

std::wstring AttachedLibraryPath() {
    return attachedLibraryPath != nullptr ? WideFromNativeName(attachedLibraryPath)
                                          : std::wstring();
}

}  // namespace camcab::platform
