// A plug-in loaded the way the host loads it: by full path, its sixteen exports looked up
// by name, exactly as the library looks up its own chained modules.
#pragma once

#include <string>

#include "chain/DetailModule.h"

namespace camcab::host {

using HostPlugin = chain::DetailModule;

// Loads the plug-in and every export. On failure returns false with a message naming the
// path and what is wrong (missing file, not loadable, missing exports); nothing stays loaded.
bool LoadHostPlugin(const std::wstring& path, HostPlugin& plugin, std::string& error);

void UnloadHostPlugin(HostPlugin& plugin);

}  // namespace camcab::host
