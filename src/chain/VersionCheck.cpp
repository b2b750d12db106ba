// Every chained module must speak the library's interface version; the first that does not
// is named to the host in a runtime error.
#include <cstdlib>
#include <stdexcept>

#include "chain/DetailModuleChain.h"
#include "platform/ContainedCall.h"
#include "platform/Module.h"

namespace camcab::chain {
namespace {

// "のバージョンが不正です。" in code page 932.
constexpr char kInvalidVersionText[] =
    "\x82\xcc\x83\x6f\x81\x5b\x83\x57\x83\x87\x83\x93\x82\xaa\x95\x73\x90\xb3\x82\xc5\x82\xb7"
    "\x81\x42";
static_assert(sizeof(kInvalidVersionText) - 1 == 24);

// The message buffer holds 260 bytes: the text and its terminator leave 235 for the path.
constexpr std::size_t kMaxPathBytes = 260 - (sizeof(kInvalidVersionText) - 1) - 1;

}  // namespace

std::string VersionMismatchMessage(const std::wstring& modulePath) {
    std::string message;
    // A path with a character the current encoding cannot hold leaves the path part empty.
    // The whole path is converted for that test (a C library may skip the test when only
    // asked for the length).
    std::string whole(modulePath.size() * MB_CUR_MAX + 1, '\0');
    if (std::wcstombs(whole.data(), modulePath.c_str(), whole.size()) !=
        static_cast<std::size_t>(-1)) {
        // A longer path keeps its first 235 bytes: the conversion stores whole characters
        // only, so a multibyte character is never cut.
        char buffer[kMaxPathBytes + 1];
        const std::size_t length = std::wcstombs(buffer, modulePath.c_str(), kMaxPathBytes);
        if (length != static_cast<std::size_t>(-1)) {
            message.assign(buffer, length);
        }
    }
    message.append(kInvalidVersionText, sizeof(kInvalidVersionText) - 1);
    return message;
}

void DetailModuleChain::CheckVersions() const {
    // A copy of the record: the module may call back into the plug-in while it answers. One
    // that fails to answer is taken as one without the export: it names no other version.
    for (std::size_t i = 0; i < detailModules.size(); ++i) {
        const DetailModule m = detailModules[i];
        int32_t version = kInterfaceVersion;
        if (m.GetPluginVersion == nullptr) {
            continue;
        }
        if (!platform::Contained([&] { version = m.GetPluginVersion(); })) {
            TellFailure(m.module, "GetPluginVersion");
        } else if (version != kInterfaceVersion) {
            throw std::runtime_error(VersionMismatchMessage(platform::ModuleFileName(m.module)));
        }
    }
}

}  // namespace camcab::chain
