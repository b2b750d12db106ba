#include "HostPlugin.h"

#include "platform/FileSystem.h"
#include "platform/WideText.h"

namespace camcab::host {

bool LoadHostPlugin(const std::wstring& path, HostPlugin& plugin, std::string& error) {
    const std::string shownPath = platform::EncodeUtf8(path);
    plugin = HostPlugin{};
    if (!platform::PathExists(path)) {
        error = "plug-in not found: " + shownPath;
        return false;
    }
    const platform::ModuleHandle module = platform::LoadModule(path);
    if (module == nullptr) {
        error = "plug-in cannot be loaded: " + shownPath + " (" + platform::LastModuleError() + ")";
        return false;
    }
    plugin = chain::BindDetailModule(module);
    // The entry points in the order of their export names.
    const void* const entryPoints[16] = {reinterpret_cast<const void*>(plugin.Load),
                                         reinterpret_cast<const void*>(plugin.Dispose),
                                         reinterpret_cast<const void*>(plugin.GetPluginVersion),
                                         reinterpret_cast<const void*>(plugin.SetVehicleSpec),
                                         reinterpret_cast<const void*>(plugin.Initialize),
                                         reinterpret_cast<const void*>(plugin.Elapse),
                                         reinterpret_cast<const void*>(plugin.SetPower),
                                         reinterpret_cast<const void*>(plugin.SetBrake),
                                         reinterpret_cast<const void*>(plugin.SetReverser),
                                         reinterpret_cast<const void*>(plugin.KeyDown),
                                         reinterpret_cast<const void*>(plugin.KeyUp),
                                         reinterpret_cast<const void*>(plugin.HornBlow),
                                         reinterpret_cast<const void*>(plugin.DoorOpen),
                                         reinterpret_cast<const void*>(plugin.DoorClose),
                                         reinterpret_cast<const void*>(plugin.SetSignal),
                                         reinterpret_cast<const void*>(plugin.SetBeaconData)};
    std::string missing;
    for (int i = 0; i < 16; ++i) {
        if (entryPoints[i] == nullptr) {
            missing += (missing.empty() ? "" : ", ") + std::string(kExportNames[i]);
        }
    }
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

}  // namespace camcab::host
