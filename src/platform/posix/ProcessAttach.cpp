// Process attach for the shared object: a library constructor records the library's own
// file name. It may run before the C++ dynamic initialisers, so it fills only constant-
// initialised storage.
#include "platform/ProcessAttach.h"

#include <dlfcn.h>

#include <climits>
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
    char* resolved = ::realpath(info.dli_fname, nullptr);
    attachedLibraryPath = resolved != nullptr ? resolved : ::strdup(info.dli_fname);
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
