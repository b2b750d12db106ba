// Marks the C exports of a test plug-in.
#pragma once

#ifdef _WIN32
#define TEST_PLUGIN_EXPORT extern "C" __declspec(dllexport)
#else
#define TEST_PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))
#endif
