// What the operating system tells the library when it attaches it to the process.
#pragma once

#include <string>

namespace camcab::platform {

// The full file name of this library, recorded at process attach. Empty when the code runs
// linked into a program rather than as the attached plug-in.
std::wstring AttachedLibraryPath();

}  // namespace camcab::platform
