#include "config/PanelTest.h"

#include "config/ConfigText.h"
#include "platform/FileSystem.h"

namespace camcab::config {

bool TestPanelModify(const std::wstring& pluginDirectory) {
    // Only existence counts; every failure to tell counts as absent.
    return platform::PathExists(JoinPath(pluginDirectory, L"PanelModify.txt"));
}

}  // namespace camcab::config
