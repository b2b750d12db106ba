// Loading the modules named in the list file and releasing them again.
#include "chain/DetailModuleChain.h"
#include "chain/ModuleList.h"
#include "platform/ContainedCall.h"
#include "platform/Module.h"

namespace camcab::chain {
namespace {

template <typename EntryPoint>
void Bind(platform::ModuleHandle module, int index, EntryPoint& entryPoint) {
    entryPoint = reinterpret_cast<EntryPoint>(platform::FindExport(module, kExportNames[index]));
}

}  // namespace

DetailModule BindDetailModule(platform::ModuleHandle module) {
    DetailModule m;
    m.module = module;
    Bind(module, 0, m.Load);
    Bind(module, 1, m.Dispose);
    Bind(module, 2, m.GetPluginVersion);
    Bind(module, 3, m.SetVehicleSpec);
    Bind(module, 4, m.Initialize);
    Bind(module, 5, m.Elapse);
    Bind(module, 6, m.SetPower);
    Bind(module, 7, m.SetBrake);
    Bind(module, 8, m.SetReverser);
    Bind(module, 9, m.KeyDown);
    Bind(module, 10, m.KeyUp);
    Bind(module, 11, m.HornBlow);
    Bind(module, 12, m.DoorOpen);
    Bind(module, 13, m.DoorClose);
    Bind(module, 14, m.SetSignal);
    Bind(module, 15, m.SetBeaconData);
    return m;
}

void DetailModuleChain::LoadModules(const std::wstring& pluginDirectory) {
    // Without its own folder the library would read the list from the host's current folder.
    if (pluginDirectory.empty()) {
        return;
    }
    const platform::UniqueFile file = OpenModuleList(pluginDirectory);
    if (file != nullptr) {
        // Entries naming this library are skipped by the handle the platform answers for
        // them. A copy of the plug-in at another path is another library: while this Load
        // runs, the mark lets such a copy (loaded by a module below) skip this library in its
        // own list likewise.
        const platform::ModuleHandle self = platform::OwnModule();
        const platform::LoadingMark loading(self);
        ModuleList list(file.get());
        std::wstring entry;
        while (list.Next(entry)) {
            const ModuleEntry resolved = ResolveModuleEntry(pluginDirectory, entry);
            if (resolved.kind != ModuleEntryKind::Library) {
                continue;
            }
            const platform::ModuleHandle module = platform::LoadModule(resolved.path);
            if (module == nullptr) {
                continue;
            }
            if (IsPluginItself(module, self)) {
                platform::UnloadModule(module);
                continue;
            }
            // A module that fails in its Load is left out, as one that cannot be loaded is.
            DetailModule record = BindDetailModule(module);
            if (record.Load != nullptr && !platform::Contained([&] { record.Load(); })) {
                TellFailure(module, "Load");
                platform::UnloadModule(module);
                continue;
            }
            detailModules.push_back(record);
        }
    }
    detailModules.shrink_to_fit();
}

void DetailModuleChain::UnloadModules() {
    // Each module is released right after its own Dispose, before the next one's. Its record
    // leaves the list before its Dispose runs, so that whatever the module calls meanwhile
    // reaches only modules still loaded, and no record of a released library stays behind. A
    // module that fails in its Dispose is released all the same, and the next one disposed.
    while (!detailModules.empty()) {
        const DetailModule record = detailModules.front();
        detailModules.erase(detailModules.begin());
        if (record.Dispose != nullptr && !platform::Contained([&] { record.Dispose(); })) {
            TellFailure(record.module, "Dispose");
        }
        platform::UnloadModule(record.module);
    }
}

}  // namespace camcab::chain
