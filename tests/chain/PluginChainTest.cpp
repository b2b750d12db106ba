// The chain as the host meets it: the built plug-in loaded from a folder with its list file,
// and the library's own work against what it forwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <stdexcept>

#include "chain/DetailModuleChain.h"
#include "chain/ModuleLog.h"
#include "chain/modules/RecordingModuleApi.h"
#include "platform/FileSystem.h"
#include "platform/Module.h"
#include "platform/WideText.h"
#include "plugin/Plugin.h"
#include "sound/SoundSystem.h"

namespace camcab::chain {
namespace {

using test::ListEntry;
using test::ModuleCalls;
using Calls = std::vector<std::string>;

const std::string kInvalidVersionBytes =
    "\x82\xcc\x83\x6f\x81\x5b\x83\x57\x83\x87\x83\x93\x82\xaa\x95\x73\x90\xb3\x82\xc5\x82\xb7"
    "\x81\x42";

// A copy of the built plug-in in its own folder, loaded the way the host loads it. Each copy
// is a library of its own, with fresh process-wide state.
class HostedPlugin {
  public:
    explicit HostedPlugin(const test::TempFolder& folder)
        : name_(test::PluginFile().filename().wstring()) {
        folder.Copy(test::PluginFile(), name_);
        handle_ = platform::LoadModule(folder.FileString(name_));
        if (handle_ == nullptr) {
            throw std::runtime_error("cannot load the plug-in: " + platform::LastModuleError());
        }
        exports = BindDetailModule(handle_);
    }
    ~HostedPlugin() { platform::UnloadModule(handle_); }
    const std::wstring& name() const { return name_; }

    DetailModule exports;  // the sixteen exports, looked up by name

  private:
    std::wstring name_;
    platform::ModuleHandle handle_ = nullptr;
};

class PluginChainTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ModuleCalls().clear();
        test::OnModuleCall() = nullptr;
    }
    void TearDown() override { test::OnModuleCall() = nullptr; }

    std::unique_ptr<test::RecordingModule> Recorder(const std::wstring& stem,
                                                    const std::string& tag) {
        return test::PlaceRecorder(folder, test::RecorderFile(), stem, tag);
    }
    Calls Take() {
        Calls calls = ModuleCalls();
        ModuleCalls().clear();
        return calls;
    }

    test::TempFolder folder;
    int32_t panel[kHostArrayIndexLimit] = {};
    int32_t sound[kHostArrayIndexLimit] = {};
};

TEST_F(PluginChainTest, WithoutListFileThePluginRunsAlone) {
    HostedPlugin plugin(folder);
    const DetailModule& host = plugin.exports;
    host.Load();
    EXPECT_EQ(host.GetPluginVersion(), kInterfaceVersion);
    host.SetVehicleSpec(VehicleSpec{8, 5, 7, 3, 10});
    host.Initialize(0);
    host.SetPower(3);
    const Handles handles = host.Elapse(VehicleState{}, panel, sound);
    EXPECT_EQ(handles.Brake, 0);
    EXPECT_EQ(handles.Reverser, 0);
    EXPECT_EQ(handles.ConstantSpeed, 0);
    host.Dispose();
}

TEST_F(PluginChainTest, HostCallsReachTheModulesInListOrder) {
    HostedPlugin plugin(folder);
    auto a = Recorder(L"recA", "A");
    auto b = Recorder(L"recB", "B");
    folder.Write(kModuleListFileName, ListEntry(L"recA") + "\r\n" + ListEntry(L"recB") + "\r\n");
    const DetailModule& host = plugin.exports;

    host.Load();
    EXPECT_EQ(Take(), (Calls{"A Load", "B Load"}));
    EXPECT_EQ(host.GetPluginVersion(), kInterfaceVersion);
    host.SetVehicleSpec(VehicleSpec{8, 5, 7, 3, 10});
    host.Initialize(1);
    EXPECT_EQ(Take(),
              (Calls{"A GetPluginVersion", "B GetPluginVersion", "A SetVehicleSpec 8 5 7 3 10",
                     "B SetVehicleSpec 8 5 7 3 10", "A Initialize 1", "B Initialize 1"}));

    // Handle calls reach the modules only inside the next frame, with the values then held.
    host.SetPower(3);
    host.SetPower(4);
    host.SetBrake(2);
    host.SetReverser(1);
    EXPECT_TRUE(Take().empty());
    const VehicleState state{10.0, 20.0f, 1000, 0, 0, 0, 0, 0, 0};
    const Handles handles = host.Elapse(state, panel, sound);
    EXPECT_EQ(handles.Brake, 2);
    EXPECT_EQ(handles.Power, 4);
    EXPECT_EQ(handles.Reverser, 0);  // the doors have not been closed yet
    const std::string elapse = " Elapse 10 20 1000 0 0 0 0 0 0 panel=0 sound=0";
    EXPECT_EQ(Take(), (Calls{"A SetPower 4", "A SetBrake 2", "A SetReverser 1", "A" + elapse,
                             "B SetPower 4", "B SetBrake 2", "B SetReverser 1", "B" + elapse}));
    host.SetPower(5);
    host.Elapse(state, panel, sound);
    EXPECT_EQ(Take(), (Calls{"A SetPower 5", "A" + elapse, "B SetPower 5", "B" + elapse}));

    host.KeyDown(5);
    host.KeyUp(5);
    host.HornBlow(2);
    host.DoorOpen();
    host.DoorClose();
    host.SetSignal(4);
    host.SetBeaconData(BeaconData{7, 4, 120.25f, 33});
    EXPECT_EQ(Take(), (Calls{"A KeyDown 5", "B KeyDown 5", "A KeyUp 5", "B KeyUp 5", "A HornBlow 2",
                             "B HornBlow 2", "A DoorOpen", "B DoorOpen", "A DoorClose",
                             "B DoorClose", "A SetSignal 4", "B SetSignal 4",
                             "A SetBeaconData 7 4 120.25 33", "B SetBeaconData 7 4 120.25 33"}));

    a.reset();
    b.reset();
    host.Dispose();
    EXPECT_EQ(Take(), (Calls{"A Dispose", "A unloaded", "B Dispose", "B unloaded"}));
}

TEST_F(PluginChainTest, EntryNamingThePluginItselfIsSkipped) {
    HostedPlugin plugin(folder);
    auto a = Recorder(L"recA", "A");
    const std::string self = platform::EncodeUtf8(plugin.name());
    const char separator = static_cast<char>(platform::kPathSeparator);
    folder.Write(kModuleListFileName, self + "\n." + std::string(1, separator) + self + "\n" +
                                          ListEntry(L"recA") + "\n" + self);
    const DetailModule& host = plugin.exports;
    host.Load();
    host.KeyDown(5);
    EXPECT_EQ(Take(), (Calls{"A Load", "A KeyDown 5"}));
    host.Dispose();
}

TEST_F(PluginChainTest, ModuleCallingBackFromItsDisposeChangesNothing) {
    HostedPlugin plugin(folder);
    auto a = Recorder(L"recA", "A");
    auto b = Recorder(L"recB", "B");
    folder.Write(kModuleListFileName, ListEntry(L"recA") + "\n" + ListEntry(L"recB"));
    const DetailModule& host = plugin.exports;
    host.Load();
    a.reset();
    b.reset();
    Take();
    test::OnModuleCall() = [&](const std::string& call) {
        if (call == "A Dispose") {
            host.Dispose();   // does nothing: the plug-in is disposing
            host.Load();      // likewise
            host.KeyDown(7);  // and any other call back into the plug-in
        }
    };
    host.Dispose();
    test::OnModuleCall() = nullptr;
    EXPECT_EQ(Take(), (Calls{"A Dispose", "A unloaded", "B Dispose", "B unloaded"}));

    // Load and Dispose work again afterwards.
    a = Recorder(L"recA", "A");
    host.Load();
    a.reset();
    host.Dispose();
    EXPECT_EQ(Take(), (Calls{"A Load", "A Dispose", "A unloaded"}));
}

TEST_F(PluginChainTest, TwoCopiesWhoseListsNameEachOtherChainEachOtherOnce) {
    HostedPlugin first(folder);
    test::TempFolder otherFolder;
    otherFolder.Copy(test::PluginFile(), first.name());
    auto r = Recorder(L"recR", "R");
    const std::string firstPath = platform::EncodeUtf8(folder.FileString(first.name()));
    const std::string secondPath = platform::EncodeUtf8(otherFolder.FileString(first.name()));
    const std::string recorderPath =
        platform::EncodeUtf8(folder.FileString(L"recR" CAMCAB_LIBRARY_SUFFIX));
    folder.Write(kModuleListFileName, secondPath + "\n" + recorderPath);
    otherFolder.Write(kModuleListFileName, firstPath + "\n" + recorderPath);
    const DetailModule& host = first.exports;

    // The second copy, loaded by the first, skips the first, which is still loading.
    host.Load();
    EXPECT_EQ(Take(), (Calls{"R Load", "R Load"}));
    host.KeyDown(5);
    EXPECT_EQ(Take(), (Calls{"R KeyDown 5", "R KeyDown 5"}));
    r.reset();
    host.Dispose();
    EXPECT_EQ(Take(), (Calls{"R Dispose", "R Dispose", "R unloaded"}));
}

#ifndef _WIN32
TEST_F(PluginChainTest, FolderIsThePathTheLibraryWasLoadedByWithLinksUnresolved) {
    // The vehicle folder links to a library kept elsewhere; its own list is read.
    test::TempFolder store;
    const std::wstring name = test::PluginFile().filename().wstring();
    store.Copy(test::PluginFile(), name);
    std::filesystem::create_symlink(store.File(name), folder.File(name));
    auto a = Recorder(L"recA", "A");
    folder.Write(kModuleListFileName, ListEntry(L"recA"));
    const platform::ModuleHandle handle = platform::LoadModule(folder.FileString(name));
    ASSERT_NE(handle, nullptr);
    const DetailModule host = BindDetailModule(handle);
    host.Load();
    host.Dispose();
    platform::UnloadModule(handle);
    EXPECT_EQ(Take(), (Calls{"A Load", "A Dispose"}));
}
#endif

TEST_F(PluginChainTest, OtherVersionReachesTheHostAsRuntimeErrorWithTheModulePath) {
    HostedPlugin plugin(folder);
    auto old = test::PlaceRecorder(folder, test::OldVersionFile(), L"old", "O");
    auto a = Recorder(L"recA", "A");
    folder.Write(kModuleListFileName, ListEntry(L"old") + "\n" + ListEntry(L"recA"));
    const DetailModule& host = plugin.exports;
    host.Load();
    Take();

    // The scratch folder's path is plain ASCII, so the C locale converts it byte for byte.
    const std::wstring oldPath = platform::ModuleFileName(old->handle());
    std::string expected;
    for (wchar_t c : oldPath) {
        ASSERT_LT(static_cast<unsigned>(c), 0x80u);
        expected.push_back(static_cast<char>(c));
    }
    expected += kInvalidVersionBytes;
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            host.GetPluginVersion();
            ADD_FAILURE() << "GetPluginVersion returned";
        } catch (const std::runtime_error& error) {
            EXPECT_EQ(std::string(error.what()), expected);
        }
        EXPECT_EQ(Take(), (Calls{"O GetPluginVersion"}));
    }
    // The module stays in the chain.
    host.KeyDown(5);
    EXPECT_EQ(Take(), (Calls{"O KeyDown 5", "A KeyDown 5"}));
    host.Dispose();
}

// The sample vehicle's list names the pass-through module for both platforms; the one that
// exists here is chained, and the driver's brake notch comes back to the host through it.
TEST_F(PluginChainTest, SampleVehicleListChainsThePassThroughModuleAndTheBrakeComesBack) {
    HostedPlugin plugin(folder);
    folder.Copy(test::BuiltFile(CAMCAB_SAMPLE_VEHICLE "/detailmodulesx64.txt"),
                kModuleListFileName);
    const std::filesystem::path passThrough = test::BuiltFile(CAMCAB_PASSTHROUGH_FILE);
    folder.Copy(passThrough, test::WideFromPath(passThrough.filename()));
    const DetailModule& host = plugin.exports;
    host.Load();
    EXPECT_EQ(host.GetPluginVersion(), kInterfaceVersion);
    host.SetVehicleSpec(VehicleSpec{8, 5, 9, 6, 4});
    host.Initialize(0);
    EXPECT_EQ(host.Elapse(VehicleState{}, panel, sound).Brake, 0);
    host.SetBrake(3);
    EXPECT_EQ(host.Elapse(VehicleState{}, panel, sound).Brake, 3);
    host.SetBrake(9);
    EXPECT_EQ(host.Elapse(VehicleState{}, panel, sound).Brake, 9);
    host.SetBrake(0);
    EXPECT_EQ(host.Elapse(VehicleState{}, panel, sound).Brake, 0);
    host.Dispose();
}

// The library's own work on a host call comes after the modules have heard it.
TEST_F(PluginChainTest, ModulesHearACallBeforeTheLibraryActsOnIt) {
    auto a = Recorder(L"recA", "A");
    folder.Write(kModuleListFileName, ListEntry(L"recA"));
    Plugin plugin(folder.Directory());
    plugin.Load();
    plugin.DoorClose();
    for (int frame = 0; frame < 2; ++frame) {
        plugin.Elapse(VehicleState{}, nullptr, nullptr);  // the first stops, the second chimes
    }

    std::vector<std::string> seen;
    test::OnModuleCall() = [&](const std::string& call) {
        const sim::Simulation& s = plugin.sim;
        seen.push_back(call + " doorsClosed=" + std::to_string(s.DoorsClosed()) +
                       " play95=" + std::to_string(s.hostSounds[sim::kHostSoundDoorClose].play) +
                       " play96=" + std::to_string(s.hostSounds[sim::kHostSoundDoorOpen].play) +
                       " brakeNotchCount=" + std::to_string(s.handles.BrakeNotchCount()) +
                       " start1Armed=" + std::to_string(s.camshaft.Start1Armed()));
    };
    plugin.DoorOpen();
    plugin.DoorClose();
    plugin.SetVehicleSpec(VehicleSpec{8, 5, 7, 3, 10});
    plugin.Initialize(0);
    EXPECT_EQ(seen,
              (Calls{
                  "A DoorOpen doorsClosed=1 play95=0 play96=0 brakeNotchCount=0 start1Armed=0",
                  "A DoorClose doorsClosed=0 play95=0 play96=1 brakeNotchCount=0 start1Armed=0",
                  "A SetVehicleSpec 8 5 7 3 10 doorsClosed=1 play95=1 play96=1 "
                  "brakeNotchCount=0 start1Armed=0",
                  "A Initialize 0 doorsClosed=1 play95=1 play96=1 brakeNotchCount=8 "
                  "start1Armed=0",
              }));
    EXPECT_TRUE(plugin.sim.camshaft.Start1Armed());
    test::OnModuleCall() = nullptr;
    plugin.Dispose();
}

// Chained modules that fail, as a module written by someone else may: by throwing a C++
// exception, one of a type nobody names, or (on Windows) MSVC's exception.
class ModuleFailureTest : public PluginChainTest, public ::testing::WithParamInterface<int> {
  protected:
    void WriteListAB() {
        folder.Write(kModuleListFileName,
                     ListEntry(L"recA") + "\r\n" + ListEntry(L"recB") + "\r\n");
    }
    // The calls taken so far that module A reported, and those of B.
    static Calls Of(const Calls& calls, const std::string& tag) {
        Calls of;
        for (const std::string& call : calls) {
            if (call.rfind(tag + " ", 0) == 0) {
                of.push_back(call);
            }
        }
        return of;
    }
};

// A module failing in its Load is left out as one that cannot be loaded; the modules after it
// are chained and the library's own start-up runs.
TEST_P(ModuleFailureTest, FailingInLoadLeavesOutThatModuleAlone) {
    HostedPlugin plugin(folder);
    auto a = Recorder(L"recA", "A");
    auto b = Recorder(L"recB", "B");
    a->Fail("Load", GetParam());
    WriteListAB();
    const DetailModule& host = plugin.exports;

    host.Load();
    EXPECT_EQ(Take(), (Calls{"A Load", "B Load"}));
    EXPECT_TRUE(std::filesystem::exists(folder.File(sound::kStartUpLogName)));
    a.reset();  // the chain holds no reference on A: it is released at once
    EXPECT_EQ(Take(), (Calls{"A unloaded"}));
    host.SetPower(2);
    EXPECT_EQ(host.Elapse(VehicleState{}, panel, sound).Power, 2);
    const Calls frame = Take();
    EXPECT_TRUE(Of(frame, "A").empty());
    EXPECT_EQ(Of(frame, "B").size(), 4u);
    b.reset();
    host.Dispose();
}

// A module failing in every later call misses only those calls: the others hear every call,
// the chain goes on as if the failing module had answered nothing new, and the library's own
// panel work runs.
TEST_P(ModuleFailureTest, FailingInEveryCallCostsOnlyThatModule) {
    HostedPlugin plugin(folder);
    auto a = Recorder(L"recA", "A");
    auto b = Recorder(L"recB", "B");
    WriteListAB();
    const DetailModule& host = plugin.exports;
    host.Load();
    a->Fail("*", GetParam());
    Take();

    EXPECT_EQ(host.GetPluginVersion(), kInterfaceVersion);
    host.SetVehicleSpec(VehicleSpec{8, 5, 7, 3, 10});
    host.Initialize(0);
    EXPECT_EQ(Take(),
              (Calls{"A GetPluginVersion", "B GetPluginVersion", "A SetVehicleSpec 8 5 7 3 10",
                     "B SetVehicleSpec 8 5 7 3 10", "A Initialize 0", "B Initialize 0"}));
    host.SetBrake(3);
    EXPECT_EQ(host.Elapse(VehicleState{}, panel, sound).Brake, 3);
    const std::string elapse = " Elapse 0 0 0 0 0 0 0 0 0 panel=0 sound=0";
    EXPECT_EQ(Take(), (Calls{"A SetPower 0", "A SetBrake 3", "A SetReverser 0", "A" + elapse,
                             "B SetPower 0", "B SetBrake 3", "B SetReverser 0", "B" + elapse}));
    EXPECT_EQ(panel[220], 10);  // a blank digit: the library's own panel work ran

    // A fails again: the answer it owes stays the chain's last, which B holds to.
    host.SetBrake(5);
    EXPECT_EQ(host.Elapse(VehicleState{}, panel, sound).Brake, 3);
    const Calls secondFrame = Take();
    EXPECT_EQ(Of(secondFrame, "A").size(), 2u);  // SetBrake 5 and Elapse, both failing
    ASSERT_EQ(Of(secondFrame, "B").size(), 1u);
    EXPECT_EQ(Of(secondFrame, "B")[0].rfind("B Elapse", 0), 0u);

    host.KeyDown(5);
    host.HornBlow(2);
    host.DoorOpen();
    host.SetSignal(4);
    host.SetBeaconData(BeaconData{7, 4, 120.25f, 33});
    EXPECT_EQ(Of(Take(), "B"), (Calls{"B KeyDown 5", "B HornBlow 2", "B DoorOpen", "B SetSignal 4",
                                      "B SetBeaconData 7 4 120.25 33"}));
    a.reset();
    b.reset();
    host.Dispose();
    EXPECT_EQ(Take(), (Calls{"A Dispose", "A unloaded", "B Dispose", "B unloaded"}));
}

// Dispose reaches every module and shuts the engine down whatever one module does, and the
// next Load chains each module once.
// Where the host offers the event channel (the workbench), each failure is told there.
std::vector<std::string> toldEvents;
void Tell(const char* event) {
    toldEvents.emplace_back(event);
}

// Dispose reaches every module and shuts the engine down whatever one module does, the next
// Load chains each module once, and every failure is told on the event channel.
TEST_P(ModuleFailureTest, FailingInDisposeStillDisposesEverything) {
    auto a = Recorder(L"recA", "A");
    auto b = Recorder(L"recB", "B");
    WriteListAB();
    Plugin plugin(folder.Directory());
    plugin.Load();
    plugin.sim.events.Attach(&Tell);
    toldEvents.clear();
    a->Fail("SetPower Elapse Dispose", GetParam());
    plugin.SetPower(1);
    plugin.Elapse(VehicleState{}, panel, sound);
    a.reset();
    b.reset();
    Take();
    plugin.Dispose();
    EXPECT_EQ(Take(), (Calls{"A Dispose", "A unloaded", "B Dispose", "B unloaded"}));
    EXPECT_FALSE(plugin.sound.audioEngine);
    const std::string module =
        "module " + platform::EncodeUtf8(folder.FileString(test::LibraryName(L"recA")));
    Calls failures;
    std::copy_if(toldEvents.begin(), toldEvents.end(), std::back_inserter(failures),
                 [](const std::string& event) { return event.rfind("module ", 0) == 0; });
    EXPECT_EQ(failures, (Calls{module + " failed in SetPower", module + " failed in Elapse",
                               module + " failed in Dispose"}));

    a = Recorder(L"recA", "A");
    b = Recorder(L"recB", "B");
    plugin.Load();
    plugin.Elapse(VehicleState{}, panel, sound);
    const Calls calls = Take();
    for (const char* tag : {"A", "B"}) {  // chained once: one Load, one Elapse a frame
        const auto count = [&](const std::string& call) {
            return std::count_if(calls.begin(), calls.end(), [&](const std::string& c) {
                return c.rfind(std::string(tag) + " " + call, 0) == 0;
            });
        };
        EXPECT_EQ(count("Load"), 1) << tag;
        EXPECT_EQ(count("Elapse"), 1) << tag;
    }
    plugin.Dispose();
}

std::vector<int> FailuresOfThisPlatform() {
#ifdef _WIN32
    return {kFailWithCppException, kFailWithUnknownType, kFailWithMsvcException};
#else
    return {kFailWithCppException, kFailWithUnknownType};
#endif
}

INSTANTIATE_TEST_SUITE_P(EachFailure, ModuleFailureTest,
                         ::testing::ValuesIn(FailuresOfThisPlatform()));

}  // namespace
}  // namespace camcab::chain
