#include "platform/Module.h"

#include <windows.h>

#include <cstdint>

#include "platform/WideText.h"

namespace camcab::platform {

ModuleHandle LoadModule(const std::wstring& path) {
    return reinterpret_cast<ModuleHandle>(LoadLibraryW(path.c_str()));
}

void* FindExport(ModuleHandle module, const char* name) {
    if (module == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void UnloadModule(ModuleHandle module) {
    if (module != nullptr) {
        FreeLibrary(static_cast<HMODULE>(module));
    }
}

std::wstring ModuleFileName(ModuleHandle module) {
    // GetModuleFileNameW truncates silently; grow the buffer until the whole name fits.
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(static_cast<HMODULE>(module), name.data(),
                                                static_cast<DWORD>(name.size()));
        if (length == 0) {
            return std::wstring();
        }
        if (length < name.size()) {
            name.resize(length);
            return name;
        }
        if (name.size() >= 32768) {
            return std::wstring();
        }
        name.resize(name.size() * 2);
    }
}

ModuleHandle OwnModule() {
    HMODULE module = nullptr;
    const DWORD flags =
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
    if (!GetModuleHandleExW(flags, reinterpret_cast<LPCWSTR>(&OwnModule), &module)) {
        return nullptr;
    }
    return reinterpret_cast<ModuleHandle>(module);
}

namespace {

// Named after the process and the library's handle; "Local" keeps it in this session.
std::wstring LoadingName(ModuleHandle module) {
    return L"Local\\camcab-loading-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(reinterpret_cast<std::uintptr_t>(module));
}

}  // namespace

LoadingMark::LoadingMark(ModuleHandle module) {
    const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, LoadingName(module).c_str());
    if (event != nullptr) {
        token_ = reinterpret_cast<std::intptr_t>(event);
    }
}

LoadingMark::~LoadingMark() {
    if (token_ != -1) {
        CloseHandle(reinterpret_cast<HANDLE>(token_));
    }
}

bool IsMarkedLoading(ModuleHandle module) {
    const HANDLE event = OpenEventW(SYNCHRONIZE, FALSE, LoadingName(module).c_str());
    if (event == nullptr) {
        return false;
    }
    CloseHandle(event);
    return true;
}

std::string LastModuleError() {
    const DWORD code = GetLastError();
    wchar_t* text = nullptr;
    FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message = "error " + std::to_string(code);
    if (text != nullptr) {
        std::wstring wide(text);
        LocalFree(text);
        while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r')) {
            wide.pop_back();
        }
        message += ": " + EncodeUtf8(wide);
    }
    return message;
}

void* FindHostFunction(const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(nullptr), name));
}

}  // namespace camcab::platform
