#include "HostPlugin.h"

#include "platform/FileSystem.h"
#include "platform/WideText.h"

namespace camcab::run {
namespace {

template <typename Fn>
void Find(HostPlugin& plugin, const char* name, Fn& entry, std::string& missing) {
    entry = reinterpret_cast<Fn>(platform::FindExport(plugin.module, name));
    if (entry == nullptr) {
        missing += missing.empty() ? name : std::string(", ") + name;
    }
}

}  // namespace

bool LoadHostPlugin(const std::wstring& path, HostPlugin& plugin, std::string& error) {
    const std::string shownPath = platform::EncodeUtf8(path);
    if (!platform::PathExists(path)) {
        error = "plug-in not found: " + shownPath;
        return false;
    }
    plugin = HostPlugin{};
    plugin.module = platform::LoadModule(path);
    if (plugin.module == nullptr) {
        error = "plug-in cannot be loaded: " + shownPath + " (" + platform::LastModuleError() + ")";
        return false;
    }
    std::string missing;
    Find(plugin, "Load", plugin.Load, missing);
    Find(plugin, "Dispose", plugin.Dispose, missing);
    Find(plugin, "GetPluginVersion", plugin.GetPluginVersion, missing);
    Find(plugin, "SetVehicleSpec", plugin.SetVehicleSpec, missing);
    Find(plugin, "Initialize", plugin.Initialize, missing);
    Find(plugin, "Elapse", plugin.Elapse, missing);
    Find(plugin, "SetPower", plugin.SetPower, missing);
    Find(plugin, "SetBrake", plugin.SetBrake, missing);
    Find(plugin, "SetReverser", plugin.SetReverser, missing);
    Find(plugin, "KeyDown", plugin.KeyDown, missing);
    Find(plugin, "KeyUp", plugin.KeyUp, missing);
    Find(plugin, "HornBlow", plugin.HornBlow, missing);
    Find(plugin, "DoorOpen", plugin.DoorOpen, missing);
    Find(plugin, "DoorClose", plugin.DoorClose, missing);
    Find(plugin, "SetSignal", plugin.SetSignal, missing);
    Find(plugin, "SetBeaconData", plugin.SetBeaconData, missing);
    if (!missing.empty()) {
        error = "plug-in lacks exports: " + shownPath + " (missing " + missing + ")";
        UnloadHostPlugin(plugin);
        return false;
    }
    return true;
}

void UnloadHostPlugin(HostPlugin& plugin) {
    platform::UnloadModule(plugin.module);
    plugin = HostPlugin{};
}

}  // namespace camcab::run
