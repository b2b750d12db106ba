// The panel test mode: switched on by the presence of "PanelModify.txt".
#pragma once

#include <cstdint>
#include <string>

namespace camcab::config {

struct PanelTest {
    bool PanelModifyEnabled = false;
    int32_t selection = 0;  // 0 none, 1..7 the needle output under test
    int32_t value = 0;      // raw panel value put on the selected output
};

// True when a file or folder named "PanelModify.txt" exists in `pluginDirectory`.
bool TestPanelModify(const std::wstring& pluginDirectory);

}  // namespace camcab::config
