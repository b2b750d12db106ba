#include "config/PanelTest.h"

#include "config/ConfigText.h"
#include "config/VehicleFolder.h"
#include "platform/FileSystem.h"

namespace camcab::config {

bool TestPanelModify(const std::wstring& pluginDirectory, Diagnostics* diagnostics) {
    // Only existence counts; every failure to tell counts as absent.
    const std::wstring path = JoinPath(pluginDirectory, kPanelModifyFile);
    const bool present = platform::PathExists(path);
    if (diagnostics != nullptr) {
        diagnostics->FileLookedFor(path, present);
    }
    if (present && diagnostics != nullptr) {
        diagnostics->Report(Diagnostic{path, 0, Severity::Warning,
                                       L"present: the panel test mode is on (host keys 0, 5 and 6 "
                                       L"put raw values on the needles)",
                                       std::nullopt});
    }
    return present;
}

}  // namespace camcab::config
