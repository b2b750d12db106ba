#include "HostEvents.h"

#include <utility>

#include "HostExport.h"

namespace camcab::hostevents {
namespace {

std::vector<std::string>& Told() {
    static std::vector<std::string> told;
    return told;
}

}  // namespace

std::vector<std::string> Take() {
    return std::exchange(Told(), {});
}

}  // namespace camcab::hostevents

extern "C" {
// Looked up by name in the host process by the plug-in.
CAMCAB_HOST_EXPORT void CamcabHostEvent(const char* event) {
    if (event != nullptr) {
        camcab::hostevents::Told().emplace_back(event);
    }
}
}
