#include "platform/Module.h"

#include <dlfcn.h>
#include <link.h>

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

std::string LastModuleError() {
    const char* error = ::dlerror();
    return error != nullptr ? std::string(error) : std::string("unknown error");
}

}  // namespace camcab::platform
