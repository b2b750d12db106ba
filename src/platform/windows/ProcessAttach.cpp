// Process attach for the DLL: DllMain records the library's own full file name, however long.
// Thread attach and thread detach do nothing; attach always succeeds.
#include "platform/ProcessAttach.h"

#include <windows.h>

namespace {
constinit wchar_t* attachedLibraryPath = nullptr;

void RecordOwnFileName(HMODULE self) {
    DWORD capacity = MAX_PATH;
    while (capacity <= 32768) {
        auto* buffer =
            static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, capacity * sizeof(wchar_t)));
        if (buffer == nullptr) {
            return;
        }
        const DWORD length = GetModuleFileNameW(self, buffer, capacity);
        if (length > 0 && length < capacity) {
            attachedLibraryPath = buffer;
            return;
        }
        HeapFree(GetProcessHeap(), 0, buffer);
        if (length == 0) {
            return;
        }
        capacity *= 2;
    }
}
}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        RecordOwnFileName(instance);
    } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr &&
               attachedLibraryPath != nullptr) {
        // Unloaded by FreeLibrary (not process exit): give the recorded name back, so that a
        // host loading and unloading the library repeatedly loses nothing.
        HeapFree(GetProcessHeap(), 0, attachedLibraryPath);
        attachedLibraryPath = nullptr;
    }
    return TRUE;
}

namespace camcab::platform {

std::wstring AttachedLibraryPath() {
    return attachedLibraryPath != nullptr ? std::wstring(attachedLibraryPath) : std::wstring();
}

}  // namespace camcab::platform
