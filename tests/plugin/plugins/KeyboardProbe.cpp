// A plug-in that shows in its handles what it reads from the keyboard, through the same
// platform calls as the product: Power is 1 while the pause key P is down (GetKeyState),
// Brake is the number of keys down in GetKeyboardState (-1 when that fails).
#include <array>

#include "host/HostRecords.h"
#include "platform/Keyboard.h"
#include "plugin/plugins/TestExport.h"

using namespace camcab;

TEST_PLUGIN_EXPORT Handles Elapse(VehicleState, int32_t*, int32_t*) {
    Handles handles{};
    handles.Power = platform::IsKeyDown(platform::kVirtualKeyP) ? 1 : 0;
    std::array<uint8_t, 256> keys{};
    if (platform::KeyboardState(keys)) {
        for (uint8_t key : keys) {
            handles.Brake += (key & 0x80) != 0 ? 1 : 0;
        }
    } else {
        handles.Brake = -1;
    }
    return handles;
}

TEST_PLUGIN_EXPORT void Load() {}
TEST_PLUGIN_EXPORT void Dispose() {}
TEST_PLUGIN_EXPORT int32_t GetPluginVersion() {
    return kInterfaceVersion;
}
TEST_PLUGIN_EXPORT void SetVehicleSpec(VehicleSpec) {}
TEST_PLUGIN_EXPORT void Initialize(int32_t) {}
TEST_PLUGIN_EXPORT void SetPower(int32_t) {}
TEST_PLUGIN_EXPORT void SetBrake(int32_t) {}
TEST_PLUGIN_EXPORT void SetReverser(int32_t) {}
TEST_PLUGIN_EXPORT void KeyDown(int32_t) {}
TEST_PLUGIN_EXPORT void KeyUp(int32_t) {}
TEST_PLUGIN_EXPORT void HornBlow(int32_t) {}
TEST_PLUGIN_EXPORT void DoorOpen() {}
TEST_PLUGIN_EXPORT void DoorClose() {}
TEST_PLUGIN_EXPORT void SetSignal(int32_t) {}
TEST_PLUGIN_EXPORT void SetBeaconData(BeaconData) {}
