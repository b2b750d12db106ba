// A plug-in that exports only two of the sixteen names.
#include "host/HostRecords.h"
#include "plugin/plugins/TestExport.h"

TEST_PLUGIN_EXPORT void Load() {}

TEST_PLUGIN_EXPORT camcab::Handles Elapse(camcab::VehicleState, int32_t*, int32_t*) {
    return camcab::Handles{};
}
