// The panel test mode: switched on by the presence of "PanelModify.txt".
#pragma once

#include <cstdint>
#include <string>

#include "config/Diagnostics.h"

namespace camcab::config {

struct PanelTest {
    bool PanelModifyEnabled = false;
};

// True when a file or folder named "PanelModify.txt" exists in `pluginDirectory`.
// With a sink, a present file is reported: a vehicle is rarely meant to ship in test mode.
bool TestPanelModify(const std::wstring& pluginDirectory, Diagnostics* diagnostics = nullptr);

}  // namespace camcab::config
