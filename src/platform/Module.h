// Loading shared libraries (DLLs on Windows, shared objects on POSIX) by full path.
#pragma once

#include <cstdint>
#include <string>

namespace camcab::platform {

using ModuleHandle = void*;

// Loads the library at `path`; null when it cannot be loaded (missing, not a library, other
// architecture, missing dependencies, a folder).
ModuleHandle LoadModule(const std::wstring& path);

// The address of an exported name, or null when the library does not export it.
void* FindExport(ModuleHandle module, const char* name);

// A function the host process offers by name: a C function of the process on POSIX, an
// export of the host program on Windows. Null when it offers none.
void* FindHostFunction(const char* name);

// Drops one reference on a loaded library.
void UnloadModule(ModuleHandle module);

// The full file name of a loaded library, any length.
std::wstring ModuleFileName(ModuleHandle module);

// The loaded library (or program) that holds this code, without taking a reference; null
// when it cannot be told.
ModuleHandle OwnModule();

// A process-wide mark that a loaded library is inside its Load. Every library in the
// process sees it, whatever its own state, so that a copy of the plug-in at another path,
// loaded by a chained module, can tell that a library it is asked to chain is still loading
// (and would otherwise be loaded into its own chain without end). It is a named kernel object:
// an event named after the process and the library's handle on Windows, an abstract socket
// name on Linux. It vanishes with its owner, or with the process.
class LoadingMark {
  public:
    explicit LoadingMark(ModuleHandle module);
    ~LoadingMark();
    LoadingMark(const LoadingMark&) = delete;
    LoadingMark& operator=(const LoadingMark&) = delete;

  private:
    std::intptr_t token_ = -1;  // the kernel object; -1 when it could not be made
};

// True while a LoadingMark of that library lives in this process.
bool IsMarkedLoading(ModuleHandle module);

// Why the last LoadModule failed, in the platform's words (for tools).
std::string LastModuleError();

}  // namespace camcab::platform
