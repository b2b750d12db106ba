// The panel test mode: switched on by the presence of "PanelModify.txt".
#pragma once

#include <cstdint>
#include <string>

namespace camcab::config {

struct PanelTest {
    bool PanelModifyEnabled = false;
};

// True when a file or folder named "PanelModify.txt" exists in `pluginDirectory`.
bool TestPanelModify(const std::wstring& pluginDirectory);

}  // namespace camcab::config
