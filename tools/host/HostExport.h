// A function the host process offers the plug-in by name: a C function of the process on
// Linux, an export of the program on Windows.
#pragma once

#ifdef _WIN32
#define CAMCAB_HOST_EXPORT __declspec(dllexport)
#else
#define CAMCAB_HOST_EXPORT __attribute__((visibility("default")))
#endif
