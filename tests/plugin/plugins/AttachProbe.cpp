// A library built with the plug-in's own process-attach code, answering the folder it
// recorded, so that a test can see what a plug-in in an unusual folder would use.
#include <cstring>

#include "platform/FileSystem.h"
#include "platform/ProcessAttach.h"
#include "platform/WideText.h"
#include "plugin/plugins/TestExport.h"

// Writes the recorded folder as UTF-8 (with a terminating NUL) and returns its length, or
// -1 when it does not fit.
TEST_PLUGIN_EXPORT int CamcabProbeDirectory(char* out, int capacity) {
    const std::string folder = camcab::platform::EncodeUtf8(
        camcab::platform::FolderOf(camcab::platform::AttachedLibraryPath()));
    if (static_cast<int>(folder.size()) + 1 > capacity) {
        return -1;
    }
    std::memcpy(out, folder.c_str(), folder.size() + 1);
    return static_cast<int>(folder.size());
}
