// Reading the list file, loading, version check and release, through real chained modules.
#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <random>
#include <stdexcept>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "chain/DetailModuleChain.h"
#include "chain/ModuleList.h"
#include "chain/ModuleLog.h"
#include "platform/Module.h"
#include "platform/WideText.h"

namespace camcab::chain {
namespace {

using test::ModuleCalls;
using test::PlaceRecorder;
using test::RecorderFile;
using Calls = std::vector<std::string>;

class LoaderTest : public ::testing::Test {
  protected:
    void SetUp() override { ModuleCalls().clear(); }
    void TearDown() override { chain.UnloadModules(); }

    void WriteList(std::string_view bytes) { folder.Write(kModuleListFileName, bytes); }
    static std::string Entry(const std::wstring& stem) { return test::ListEntry(stem); }
    std::unique_ptr<test::RecordingModule> Recorder(const std::wstring& stem,
                                                    const std::string& tag) {
        return PlaceRecorder(folder, RecorderFile(), stem, tag);
    }

    test::TempFolder folder;
    DetailModuleChain chain;
};

TEST_F(LoaderTest, NoListFileLoadsNothingAndPassesTheVersionCheck) {
    chain.LoadModules(folder.Directory());
    EXPECT_TRUE(chain.modules().empty());
    EXPECT_NO_THROW(chain.CheckVersions());
    chain.ForwardKeyDown(5);
    const Handles merged = chain.Run(VehicleState{}, nullptr, nullptr, ChainInputs{3, 2, 1, true});
    EXPECT_EQ(merged.Brake, 0);
    EXPECT_EQ(merged.Power, 0);
    EXPECT_EQ(merged.Reverser, 0);
    EXPECT_EQ(merged.ConstantSpeed, 0);
    EXPECT_TRUE(chain.primeModules);
}

TEST_F(LoaderTest, EmptyListFileLoadsNothing) {
    WriteList("");
    chain.LoadModules(folder.Directory());
    EXPECT_TRUE(chain.modules().empty());
    EXPECT_NO_THROW(chain.CheckVersions());
}

TEST_F(LoaderTest, LinesAreLoadedInOrderEachLoadRunningBeforeTheNextLine) {
    auto a = Recorder(L"recA", "A");
    auto b = Recorder(L"recB", "B");
    WriteList(Entry(L"recA") + "\r\n" + Entry(L"recB") + "\r\n");
    chain.LoadModules(folder.Directory());
    ASSERT_EQ(chain.modules().size(), 2u);
    EXPECT_EQ(chain.modules()[0].module, a->handle());
    EXPECT_EQ(chain.modules()[1].module, b->handle());
    EXPECT_EQ(ModuleCalls(), (Calls{"A Load", "B Load"}));
    for (const DetailModule& m : chain.modules()) {
        EXPECT_EQ(m.lastSentBrake, 0);
        EXPECT_EQ(m.lastSentPower, 0);
        EXPECT_EQ(m.lastSentReverser, 0);
        EXPECT_NE(m.Elapse, nullptr);
        EXPECT_NE(m.SetBeaconData, nullptr);
    }
}

TEST_F(LoaderTest, LastLineWithoutLineFeedIsLoaded) {
    auto a = Recorder(L"recA", "A");
    auto b = Recorder(L"recB", "B");
    WriteList(Entry(L"recA") + "\n" + Entry(L"recB"));
    chain.LoadModules(folder.Directory());
    EXPECT_EQ(ModuleCalls(), (Calls{"A Load", "B Load"}));
}

TEST_F(LoaderTest, ByteOrderMarkSpoilsOnlyTheFirstEntry) {
    auto a = Recorder(L"recA", "A");
    auto b = Recorder(L"recB", "B");
    WriteList("\xEF\xBB\xBF" + Entry(L"recA") + "\n" + Entry(L"recB") + "\n");
    chain.LoadModules(folder.Directory());
    ASSERT_EQ(chain.modules().size(), 1u);
    EXPECT_EQ(ModuleCalls(), (Calls{"B Load"}));
}

TEST_F(LoaderTest, BlanksBelongToTheEntry) {
    // Only the file whose name begins with a blank exists.
    auto a = Recorder(L" recA", "A");
    folder.Copy(RecorderFile(), test::LibraryName(L"recB"));
    WriteList(" " + Entry(L"recA") + "\n " + Entry(L"recB") + "\n\t" + Entry(L"recB") + "\n");
    chain.LoadModules(folder.Directory());
    ASSERT_EQ(chain.modules().size(), 1u);
    EXPECT_EQ(chain.modules()[0].module, a->handle());
}

#ifndef _WIN32
// Windows drops trailing blanks from a file name itself, so only POSIX can show the entry
// being used with its trailing blank.
TEST_F(LoaderTest, TrailingBlankBelongsToTheEntry) {
    auto a = Recorder(L"recA ", "A");
    folder.Copy(RecorderFile(), test::LibraryName(L"recB"));
    WriteList(Entry(L"recA ") + "\n" + Entry(L"recB") + " \n");
    chain.LoadModules(folder.Directory());
    ASSERT_EQ(chain.modules().size(), 1u);
    EXPECT_EQ(chain.modules()[0].module, a->handle());
}
#endif

TEST_F(LoaderTest, AbsoluteEntryLoadsWhereverItLies) {
    test::TempFolder elsewhere;
    auto a = PlaceRecorder(elsewhere, RecorderFile(), L"recA", "A");
    WriteList(platform::EncodeUtf8(elsewhere.FileString(test::LibraryName(L"recA"))));
    chain.LoadModules(folder.Directory());
    ASSERT_EQ(chain.modules().size(), 1u);
    EXPECT_EQ(chain.modules()[0].module, a->handle());
}

TEST_F(LoaderTest, BackslashSeparatesFoldersInAnEntry) {
    folder.MakeFolder(L"sub");
    auto a = Recorder(L"sub\\recA", "A");
    WriteList("sub\\" + Entry(L"recA"));
    chain.LoadModules(folder.Directory());
    ASSERT_EQ(chain.modules().size(), 1u);
    EXPECT_EQ(chain.modules()[0].module, a->handle());
}

TEST_F(LoaderTest, EntriesNamingNoLibraryAreSkippedAndReadingGoesOn) {
    auto b = Recorder(L"recB", "B");
    folder.MakeFolder(L"folder");
    folder.Write(test::LibraryName(L"text"), "not a library\n");
    folder.Write(test::LibraryName(L"empty"), "");
    WriteList("\n" + Entry(L"missing") + "\nfolder\n" + Entry(L"text") + "\n" + Entry(L"empty") +
              "\n" + std::string("nul\0name", 8) + "\n" + Entry(L"recB"));
    chain.LoadModules(folder.Directory());
    ASSERT_EQ(chain.modules().size(), 1u);
    EXPECT_EQ(chain.modules()[0].module, b->handle());
    EXPECT_EQ(ModuleCalls(), (Calls{"B Load"}));
}

TEST_F(LoaderTest, InvalidUtf8EndsTheReadingAndDropsItsLine) {
    auto a = Recorder(L"recA", "A");
    auto b = Recorder(L"recB", "B");
    auto c = Recorder(L"recC", "C");
    // The bad byte follows a complete name: the cut line would still name a library.
    WriteList(Entry(L"recA") + "\n" + Entry(L"recB") + "\xFF\n" + Entry(L"recC") + "\n");
    chain.LoadModules(folder.Directory());
    EXPECT_EQ(ModuleCalls(), (Calls{"A Load"}));
}

TEST_F(LoaderTest, OverlongLineIsReadPastAndLoadsNothing) {
    auto b = Recorder(L"recB", "B");
    WriteList(std::string(kMaxModuleListLineBytes + 10, 'x') + "\n" + Entry(L"recB"));
    chain.LoadModules(folder.Directory());
    EXPECT_EQ(ModuleCalls(), (Calls{"B Load"}));
}

TEST_F(LoaderTest, ListFileThatIsAFolderLoadsNothing) {
    folder.MakeFolder(kModuleListFileName);
    chain.LoadModules(folder.Directory());
    EXPECT_TRUE(chain.modules().empty());
}

TEST_F(LoaderTest, AnyBytesAreReadWithoutFault) {
    std::mt19937 random(7);
    const char pieces[] = {'\n', '\r', '\0', '\\', '/', '.', 'a', '\x1A'};
    for (int round = 0; round < 200; ++round) {
        std::string bytes(random() % 600, '\0');
        for (char& c : bytes) {
            c = random() % 3 == 0 ? pieces[random() % sizeof pieces] : static_cast<char>(random());
        }
        WriteList(bytes);
        chain.LoadModules(folder.Directory());
    }
    EXPECT_TRUE(chain.modules().empty());
}

TEST_F(LoaderTest, ListThatIsNoRegularFileLoadsNothingAndReadingEndsAtItsBound) {
    auto a = Recorder(L"recA", "A");
#ifndef _WIN32
    ASSERT_EQ(::mkfifo(folder.File(kModuleListFileName).c_str(), 0600), 0);
    chain.LoadModules(folder.Directory());
    EXPECT_TRUE(chain.modules().empty());
    std::filesystem::remove(folder.File(kModuleListFileName));
#endif
    // The entry after the bound is not read.
    WriteList(Entry(L"recA") + "\n" + std::string(kMaxModuleListBytes, 'x') + "\n" +
              Entry(L"recA"));
    chain.LoadModules(folder.Directory());
    EXPECT_EQ(chain.modules().size(), 1u);
    chain.UnloadModules();

    // An entry that the bound cuts short ("recA.so.bak" as "recA.so") names nothing.
    const std::string cut = Entry(L"recA");
    WriteList(std::string(kMaxModuleListBytes - cut.size() - 1, 'x') + "\n" + cut + ".bak\n");
    chain.LoadModules(folder.Directory());
    EXPECT_TRUE(chain.modules().empty());
}

TEST_F(LoaderTest, SameLibraryTwiceStandsTwiceAndIsReleasedTwice) {
    auto a = Recorder(L"recA", "A");
    WriteList(Entry(L"recA") + "\n" + Entry(L"recA"));
    chain.LoadModules(folder.Directory());
    ASSERT_EQ(chain.modules().size(), 2u);
    EXPECT_EQ(chain.modules()[0].module, chain.modules()[1].module);
    chain.ForwardKeyDown(5);
    a.reset();  // the chain alone holds the library now
    chain.UnloadModules();
    EXPECT_EQ(ModuleCalls(), (Calls{"A Load", "A Load", "A KeyDown 5", "A KeyDown 5", "A Dispose",
                                    "A Dispose", "A unloaded"}));
    EXPECT_TRUE(chain.modules().empty());
}

TEST_F(LoaderTest, SecondLoadWithoutDisposeAppendsAgain) {
    auto a = Recorder(L"recA", "A");
    WriteList(Entry(L"recA"));
    chain.LoadModules(folder.Directory());
    chain.LoadModules(folder.Directory());
    ASSERT_EQ(chain.modules().size(), 2u);
    EXPECT_EQ(ModuleCalls(), (Calls{"A Load", "A Load"}));
}

TEST_F(LoaderTest, LibraryWithoutTheSixteenNamesIsKeptAndReleased) {
    auto none = PlaceRecorder(folder, test::NoExportsFile(), L"none", "N");
    WriteList(Entry(L"none"));
    chain.LoadModules(folder.Directory());
    ASSERT_EQ(chain.modules().size(), 1u);
    const DetailModule& m = chain.modules()[0];
    EXPECT_EQ(m.Load, nullptr);
    EXPECT_EQ(m.Elapse, nullptr);
    EXPECT_EQ(m.SetBeaconData, nullptr);
    none.reset();
    chain.ForwardKeyDown(1);
    chain.Run(VehicleState{}, nullptr, nullptr, ChainInputs{});
    EXPECT_NO_THROW(chain.CheckVersions());
    chain.UnloadModules();
    EXPECT_EQ(ModuleCalls(), (Calls{"N unloaded"}));
}

TEST_F(LoaderTest, DisposeReleasesEachModuleBeforeTheNextOnesDispose) {
    auto a = Recorder(L"recA", "A");
    auto few = PlaceRecorder(folder, test::FewExportsFile(), L"few", "F");
    auto b = Recorder(L"recB", "B");
    WriteList(Entry(L"recA") + "\n" + Entry(L"few") + "\n" + Entry(L"recB"));
    chain.LoadModules(folder.Directory());
    a.reset();
    few.reset();
    b.reset();
    ModuleCalls().clear();
    chain.UnloadModules();
    EXPECT_EQ(ModuleCalls(), (Calls{"A Dispose", "A unloaded", "F Dispose", "F unloaded",
                                    "B Dispose", "B unloaded"}));
    EXPECT_TRUE(chain.modules().empty());
}

// The message the host sees: the module's path in the current multibyte encoding, then
// "のバージョンが不正です。" in code page 932.
const std::string kInvalidVersionBytes =
    "\x82\xcc\x83\x6f\x81\x5b\x83\x57\x83\x87\x83\x93\x82\xaa\x95\x73\x90\xb3\x82\xc5\x82\xb7"
    "\x81\x42";

TEST_F(LoaderTest, OtherVersionStopsTheCheckAndNamesTheModule) {
    auto a = Recorder(L"recA", "A");
    auto old = PlaceRecorder(folder, test::OldVersionFile(), L"old", "O");
    auto b = Recorder(L"recB", "B");
    WriteList(Entry(L"recA") + "\n" + Entry(L"old") + "\n" + Entry(L"recB"));
    chain.LoadModules(folder.Directory());
    ModuleCalls().clear();
    const std::wstring oldPath = platform::ModuleFileName(old->handle());
    ASSERT_FALSE(oldPath.empty());
    try {
        chain.CheckVersions();
        FAIL() << "no error raised";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()), VersionMismatchMessage(oldPath));
    }
    EXPECT_EQ(ModuleCalls(), (Calls{"A GetPluginVersion", "O GetPluginVersion"}));
    // The module stays loaded and keeps receiving calls.
    EXPECT_EQ(chain.modules().size(), 3u);
}

TEST_F(LoaderTest, ModuleWithoutVersionExportPasses) {
    auto few = PlaceRecorder(folder, test::FewExportsFile(), L"few", "F");
    auto b = Recorder(L"recB", "B");
    WriteList(Entry(L"few") + "\n" + Entry(L"recB"));
    chain.LoadModules(folder.Directory());
    ModuleCalls().clear();
    EXPECT_NO_THROW(chain.CheckVersions());
    EXPECT_EQ(ModuleCalls(), (Calls{"B GetPluginVersion"}));
}

TEST(VersionMismatchMessageTest, PathThenTheTextInCodePage932) {
    EXPECT_EQ(VersionMismatchMessage(L"C:\\train\\old.dll"),
              "C:\\train\\old.dll" + kInvalidVersionBytes);
    EXPECT_EQ(VersionMismatchMessage(L""), kInvalidVersionBytes);
}

TEST(VersionMismatchMessageTest, LongPathKeepsItsFirst235Bytes) {
    const std::wstring path = L"/" + std::wstring(300, L'a');
    const std::string message = VersionMismatchMessage(path);
    ASSERT_EQ(message.size(), 235u + 24u);
    EXPECT_EQ(message, "/" + std::string(234, 'a') + kInvalidVersionBytes);
}

TEST(VersionMismatchMessageTest, UnconvertibleCharacterLeavesThePathEmpty) {
    // The library never changes the locale: the program's is the "C" one, which holds no
    // kana. The character lies past the cut, and still empties the path.
    ASSERT_STREQ(std::setlocale(LC_CTYPE, nullptr), "C");
    EXPECT_EQ(VersionMismatchMessage(L"/folder/\u30C6\u30B9\u30C8.dll"), kInvalidVersionBytes);
    EXPECT_EQ(VersionMismatchMessage(L"/" + std::wstring(300, L'a') + L"\u30C6"),
              kInvalidVersionBytes);
}

}  // namespace
}  // namespace camcab::chain
