// Loading shared libraries (DLLs on Windows, shared objects on POSIX) by full path.
#pragma once

#include <string>

namespace camcab::platform {

using ModuleHandle = void*;

// Loads the library at `path`; null when it cannot be loaded (missing, not a library, other
// architecture, missing dependencies, a folder).
ModuleHandle LoadModule(const std::wstring& path);

// The address of an exported name, or null when the library does not export it.
void* FindExport(ModuleHandle module, const char* name);

// Drops one reference on a loaded library.
void UnloadModule(ModuleHandle module);

// The full file name of a loaded library, any length.
std::wstring ModuleFileName(ModuleHandle module);

// The loaded library (or program) that holds this code, without taking a reference; null
// when it cannot be told.
ModuleHandle OwnModule();

// Why the last LoadModule failed, in the platform's words (for tools).
std::string LastModuleError();

}  // namespace camcab::platform
