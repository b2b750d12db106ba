#include "platform/ContainedCall.h"

#include <windows.h>

#include <cstdint>

// windows/ContainedCall.S: calls `call(context)` inside a guarded scope whose filter is
// camcab_ContainedCallFilter; 0 when the call returned, 1 when the filter took an exception
// and the stack was unwound back to the scope.
extern "C" int camcab_RunGuarded(void (*call)(void*), void* context);

namespace {

// GCC's own exceptions (thrown, unwinding to a catch, forced unwinding), which the C++ catch
// around the guarded scope takes, running every destructor on the way.
constexpr DWORD kGccThrow = 0x20474343;
constexpr DWORD kGccUnwind = 0x21474343;
constexpr DWORD kGccForcedUnwind = 0x22474343;
// Raised on purpose without the customer bit: Delphi's exceptions, and MSVC's delay-load
// helper finding a module's delay-loaded DLL or one of its functions missing.
constexpr DWORD kDelphiException = 0x0EEDFADE;
constexpr DWORD kDelayLoadModuleMissing = 0xC06D007E;
constexpr DWORD kDelayLoadProcedureMissing = 0xC06D007F;
// Set in every code that software defines for itself (MSVC's C++ exceptions, 0xE06D7363,
// and .NET's, 0xE0434352); clear in the system's own codes, its faults among them.
constexpr DWORD kCustomerBit = 0x20000000;

}  // namespace

extern "C" LONG camcab_ContainedCallFilter(EXCEPTION_POINTERS* exception, void*) {
    const DWORD code = exception->ExceptionRecord->ExceptionCode;
    if (code == kGccThrow || code == kGccUnwind || code == kGccForcedUnwind) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    if ((code & kCustomerBit) != 0 || code == kDelphiException || code == kDelayLoadModuleMissing ||
        code == kDelayLoadProcedureMissing) {
        return EXCEPTION_EXECUTE_HANDLER;
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

namespace camcab::platform {

bool CallContained(void (*call)(void*), void* context) noexcept {
    try {
        return camcab_RunGuarded(call, context) == 0;
    } catch (...) {
        return false;
    }
}

}  // namespace camcab::platform
