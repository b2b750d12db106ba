// The chain inside Elapse and the forwarding of host calls, through real chained modules.
#include <gtest/gtest.h>

#include "chain/DetailModuleChain.h"
#include "chain/ModuleLog.h"
#include "chain/modules/RecordingModuleApi.h"

namespace camcab::chain {
namespace {

using test::ListEntry;
using test::ModuleCalls;
using Calls = std::vector<std::string>;

const VehicleState kState{1234.5, 80.5f, 36000000, 1.0f, 2.0f, 3.0f, 4.0f, 5.0f, -6.0f};

// The line a recorder reports for an Elapse with kState and the reported array elements.
std::string ElapseLine(const std::string& tag, int panel = 0, int sound = 0) {
    return tag + " Elapse 1234.5 80.5 36000000 1 2 3 4 5 -6 panel=" + std::to_string(panel) +
           " sound=" + std::to_string(sound);
}

void ExpectHandles(const Handles& h, int32_t brake, int32_t power, int32_t reverser,
                   int32_t constantSpeed) {
    EXPECT_EQ(h.Brake, brake);
    EXPECT_EQ(h.Power, power);
    EXPECT_EQ(h.Reverser, reverser);
    EXPECT_EQ(h.ConstantSpeed, constantSpeed);
}

class HandleChainTest : public ::testing::Test {
  protected:
    void SetUp() override { ModuleCalls().clear(); }
    void TearDown() override { chain.UnloadModules(); }

    // Places the modules, writes the list in this order and loads it.
    void Load(const std::vector<std::pair<std::filesystem::path, std::wstring>>& modules,
              const std::vector<std::string>& tags) {
        std::string list;
        for (std::size_t i = 0; i < modules.size(); ++i) {
            recorders.push_back(
                test::PlaceRecorder(folder, modules[i].first, modules[i].second, tags[i]));
            list += ListEntry(modules[i].second) + "\n";
        }
        folder.Write(kModuleListFileName, list);
        chain.LoadModules(folder.Directory());
        ModuleCalls().clear();
    }
    Handles Frame(int32_t power, int32_t brake, int32_t reverser, bool passBrake = true) {
        return chain.Run(kState, panel, sound, ChainInputs{power, brake, reverser, passBrake});
    }
    // The calls reported since the last look.
    Calls Take() {
        Calls calls = ModuleCalls();
        ModuleCalls().clear();
        return calls;
    }

    test::TempFolder folder;
    std::vector<std::unique_ptr<test::RecordingModule>> recorders;
    DetailModuleChain chain;
    int32_t panel[kHostArrayIndexLimit] = {};
    int32_t sound[kHostArrayIndexLimit] = {};
};

TEST_F(HandleChainTest, PrimingRunSendsEveryValueEvenWhileTheBrakeIsHeld) {
    Load({{test::RecorderFile(), L"recA"}}, {"A"});
    recorders[0]->Answer(Handles{4, 2, 1, 9});
    ExpectHandles(Frame(3, 5, 1, false), 4, 2, 1, 9);
    EXPECT_EQ(Take(), (Calls{"A SetPower 3", "A SetBrake 5", "A SetReverser 1", ElapseLine("A")}));
    EXPECT_FALSE(chain.primeModules);
    const DetailModule& m = chain.modules()[0];
    EXPECT_EQ(m.lastSentPower, 3);
    EXPECT_EQ(m.lastSentBrake, 5);
    EXPECT_EQ(m.lastSentReverser, 1);
}

TEST_F(HandleChainTest, PrimingRunSendsZeros) {
    Load({{test::RecorderFile(), L"recA"}}, {"A"});
    ExpectHandles(Frame(0, 0, 0), 0, 0, 0, 0);
    EXPECT_EQ(Take(), (Calls{"A SetPower 0", "A SetBrake 0", "A SetReverser 0", ElapseLine("A")}));
}

TEST_F(HandleChainTest, LaterFramesSendOnlyChangedValues) {
    Load({{test::RecorderFile(), L"recA"}}, {"A"});
    Frame(1, 2, 1);
    Take();
    ExpectHandles(Frame(1, 2, 1), 2, 1, 1, 0);
    EXPECT_EQ(Take(), (Calls{ElapseLine("A")}));
    ExpectHandles(Frame(4, 2, 1), 2, 4, 1, 0);
    EXPECT_EQ(Take(), (Calls{"A SetPower 4", ElapseLine("A")}));
    ExpectHandles(Frame(4, 3, -1), 3, 4, -1, 0);
    EXPECT_EQ(Take(), (Calls{"A SetBrake 3", "A SetReverser -1", ElapseLine("A")}));
}

TEST_F(HandleChainTest, HeldBrakeChangeWaitsForAFrameThatPassesIt) {
    Load({{test::RecorderFile(), L"recA"}}, {"A"});
    Frame(0, 0, 0);
    Take();
    Frame(2, 3, 0, false);
    EXPECT_EQ(Take(), (Calls{"A SetPower 2", ElapseLine("A")}));
    EXPECT_EQ(chain.modules()[0].lastSentBrake, 0);
    Frame(2, 3, 0, false);
    EXPECT_EQ(Take(), (Calls{ElapseLine("A")}));
    Frame(2, 3, 0, true);
    EXPECT_EQ(Take(), (Calls{"A SetBrake 3", ElapseLine("A")}));
    // A change that is taken back before it may pass is never sent.
    Frame(2, 5, 0, false);
    Frame(2, 3, 0, true);
    EXPECT_EQ(Take(), (Calls{ElapseLine("A"), ElapseLine("A")}));
}

TEST_F(HandleChainTest, EachFollowingModuleGetsTheChangedValuesOfTheAnswerBeforeIt) {
    Load({{test::RecorderFile(), L"recA"}, {test::RecorderFile(), L"recB"}}, {"A", "B"});
    recorders[0]->Answer(Handles{2, 3, 1, 7});
    // Priming: every module hears the library's own values.
    ExpectHandles(Frame(1, 0, 0), 0, 1, 0, 0);
    EXPECT_EQ(Take(), (Calls{"A SetPower 1", "A SetBrake 0", "A SetReverser 0", ElapseLine("A"),
                             "B SetPower 1", "B SetBrake 0", "B SetReverser 0", ElapseLine("B")}));
    // Then B hears A's answer where it differs from what B last got; A's constant-speed
    // command only travels in the merged record, which B's answer replaces.
    ExpectHandles(Frame(1, 0, 0), 2, 3, 1, 0);
    EXPECT_EQ(Take(), (Calls{ElapseLine("A"), "B SetPower 3", "B SetBrake 2", "B SetReverser 1",
                             ElapseLine("B")}));
    // The keyboard filter holds only the library's own brake, not an answer's.
    recorders[0]->Answer(Handles{4, 3, 1, 7});
    ExpectHandles(Frame(1, 6, 0, false), 4, 3, 1, 0);
    EXPECT_EQ(Take(), (Calls{ElapseLine("A"), "B SetBrake 4", ElapseLine("B")}));
}

TEST_F(HandleChainTest, ModuleWithoutElapseLeavesTheNextComparingWithThePreviousFrame) {
    Load({{test::FewExportsFile(), L"few"}, {test::RecorderFile(), L"recB"}}, {"F", "B"});
    recorders[1]->Answer(Handles{5, 6, -1, 0});
    ExpectHandles(Frame(2, 0, 1), 5, 6, -1, 0);
    EXPECT_EQ(Take(), (Calls{"F SetPower 2", "F SetBrake 0", "B SetPower 2", "B SetBrake 0",
                             "B SetReverser 1", ElapseLine("B")}));
    // The last-sent value follows even where the module has no setter.
    EXPECT_EQ(chain.modules()[0].lastSentReverser, 1);
    // B now compares with its own answer of the previous frame.
    ExpectHandles(Frame(2, 0, 1), 5, 6, -1, 0);
    EXPECT_EQ(Take(), (Calls{"B SetPower 6", "B SetBrake 5", "B SetReverser -1", ElapseLine("B")}));
    ExpectHandles(Frame(3, 0, -1), 5, 6, -1, 0);
    EXPECT_EQ(Take(), (Calls{"F SetPower 3", ElapseLine("B")}));
    EXPECT_EQ(chain.modules()[0].lastSentReverser, -1);
}

TEST_F(HandleChainTest, MergedAnswerOutlivesDisposeAndPrimingHappensOnce) {
    Load({{test::RecorderFile(), L"recA"}}, {"A"});
    recorders[0]->Answer(Handles{4, 2, 1, 9});
    Frame(0, 0, 0);
    chain.UnloadModules();
    ExpectHandles(Frame(0, 0, 0), 4, 2, 1, 9);
    chain.LoadModules(folder.Directory());
    Take();
    // A fresh record starts from zeros and the chain does not prime again.
    recorders[0]->Answer(Handles{1, 1, 1, 1});
    ExpectHandles(Frame(0, 3, 0), 1, 1, 1, 1);
    EXPECT_EQ(Take(), (Calls{"A SetBrake 3", ElapseLine("A")}));
}

TEST_F(HandleChainTest, AlteredCopiesDoNotReachTheNextModuleButArrayWritesDo) {
    Load({{test::AlteringFile(), L"alter"}, {test::RecorderFile(), L"recB"}}, {"X", "B"});
    Frame(0, 0, 0);
    EXPECT_EQ(Take(), (Calls{"X SetPower 0", "X SetBrake 0", "X SetReverser 0", ElapseLine("X"),
                             "B SetPower 0", "B SetBrake 0", "B SetReverser 0",
                             ElapseLine("B", 3003, kSoundPlayOnce)}));
    EXPECT_EQ(panel[kReportedPanelIndex], 3003);
    EXPECT_EQ(sound[kReportedSoundIndex], kSoundPlayOnce);

    chain.ForwardSetVehicleSpec(VehicleSpec{8, 5, 7, 3, 10});
    chain.ForwardSetBeaconData(BeaconData{1, 2, 350.5f, -4});
    EXPECT_EQ(Take(), (Calls{"X SetVehicleSpec 8 5 7 3 10", "B SetVehicleSpec 8 5 7 3 10",
                             "X SetBeaconData 1 2 350.5 -4", "B SetBeaconData 1 2 350.5 -4"}));
}

TEST_F(HandleChainTest, HostCallsReachEveryModuleInListOrderSkippingMissingEntryPoints) {
    Load({{test::RecorderFile(), L"recA"},
          {test::FewExportsFile(), L"few"},
          {test::RecorderFile(), L"recB"}},
         {"A", "F", "B"});
    chain.ForwardSetVehicleSpec(VehicleSpec{8, 5, 7, 3, 10});
    chain.ForwardInitialize(-1);
    chain.ForwardKeyDown(5);
    chain.ForwardKeyUp(6);
    chain.ForwardHornBlow(1);
    chain.ForwardDoorOpen();
    chain.ForwardDoorClose();
    chain.ForwardSetSignal(3);
    chain.ForwardSetBeaconData(BeaconData{1, 2, 350.5f, -4});
    EXPECT_EQ(Take(), (Calls{"A SetVehicleSpec 8 5 7 3 10", "B SetVehicleSpec 8 5 7 3 10",
                             "A Initialize -1", "B Initialize -1", "A KeyDown 5", "F KeyDown 5",
                             "B KeyDown 5", "A KeyUp 6", "B KeyUp 6", "A HornBlow 1",
                             "B HornBlow 1", "A DoorOpen", "B DoorOpen", "A DoorClose",
                             "B DoorClose", "A SetSignal 3", "B SetSignal 3",
                             "A SetBeaconData 1 2 350.5 -4", "B SetBeaconData 1 2 350.5 -4"}));
}

TEST_F(HandleChainTest, ModuleThatChangesTheListInTheMiddleOfTheChain) {
    Load({{test::RecorderFile(), L"recA"}, {test::RecorderFile(), L"recB"}}, {"A", "B"});
    Frame(0, 0, 0);
    // A module that has the list read again from inside its setter: the list grows and its
    // records move.
    bool reloaded = false;
    test::OnModuleCall() = [&](const std::string& call) {
        if (call == "A SetPower 4" && !reloaded) {
            reloaded = true;
            chain.LoadModules(folder.Directory());
        }
    };
    Frame(4, 0, 0);
    ASSERT_EQ(chain.modules().size(), 4u);
    EXPECT_EQ(chain.modules()[0].lastSentPower, 4);
    // One that has the list emptied from inside its Elapse: the chain ends there.
    test::OnModuleCall() = [&](const std::string& call) {
        if (call == ElapseLine("A")) {
            chain.UnloadModules();
        }
    };
    Take();
    Frame(5, 0, 0);
    test::OnModuleCall() = nullptr;
    EXPECT_TRUE(chain.modules().empty());
    EXPECT_EQ(Take(), (Calls{"A SetPower 5", ElapseLine("A"), "A Dispose", "B Dispose", "A Dispose",
                             "B Dispose"}));
}

}  // namespace
}  // namespace camcab::chain
