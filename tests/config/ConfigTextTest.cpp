// The shared text rules, exercised on files written to a scratch folder.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

#include "config/ConfigText.h"
#include "support/TempFolder.h"

namespace camcab::config {
namespace {

std::vector<std::wstring> ReadAllLines(const std::wstring& path) {
    ConfigFile file = OpenConfigFile(path);
    std::vector<std::wstring> lines;
    std::wstring line;
    while (ReadConfigLine(file, line)) {
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::wstring> LinesOf(std::string_view bytes) {
    test::TempFolder folder;
    folder.Write(L"file.txt", bytes);
    return ReadAllLines(folder.FileString(L"file.txt"));
}

std::vector<std::wstring> Fields(std::wstring_view line) {
    std::vector<std::wstring> fields;
    for (const std::wstring_view field : SplitFields(line)) {
        fields.emplace_back(field);
    }
    return fields;
}

TEST(ConfigLineReader, CutsAtLineFeedsAndDropsCarriageReturnBeforeThem) {
    EXPECT_EQ(LinesOf("a\r\nb\nc"), (std::vector<std::wstring>{L"a", L"b", L"c"}));
    EXPECT_EQ(LinesOf("a\rb\n\n"), (std::vector<std::wstring>{L"a\rb", L""}));
    EXPECT_TRUE(LinesOf("").empty());
}

TEST(ConfigLineReader, DecodesUtf8AndKeepsTheByteOrderMark) {
    EXPECT_EQ(LinesOf("\xEF\xBB\xBF[Power]\n\xE3\x83\x8E\xE3\x83\x83\xE3\x83\x81\n"),
              (std::vector<std::wstring>{L"\uFEFF[Power]", L"\u30CE\u30C3\u30C1"}));
}

TEST(ConfigLineReader, InvalidUtf8EndsTheFileAfterTheTextBeforeIt) {
    EXPECT_EQ(LinesOf("one\ntw\xFFo\nthree\n"), (std::vector<std::wstring>{L"one", L"tw"}));
    // A sequence cut by the line feed is invalid too.
    EXPECT_EQ(LinesOf("x\xE3\x83\ny\n"), (std::vector<std::wstring>{L"x"}));
}

TEST(ConfigLineReader, KeepsNulBytesInsideLines) {
    const std::vector<std::wstring> lines = LinesOf(std::string("a\0b\n\0\n", 6));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], std::wstring(L"a\0b", 3));
    EXPECT_EQ(lines[1], std::wstring(L"\0", 1));
}

TEST(ConfigLineReader, MissingFileReadsNoLines) {
    test::TempFolder folder;
    EXPECT_TRUE(ReadAllLines(folder.FileString(L"absent.txt")).empty());
    EXPECT_TRUE(ReadAllLines(L"").empty());
    EXPECT_TRUE(ReadAllLines(folder.Directory()).empty());  // a folder reads as nothing
}

TEST(ConfigLineReader, OverLongLineReadsAsEmptyAndLaterLinesSurvive) {
    std::string bytes = "head\n";
    bytes.append(kMaxConfigLineBytes + 10, 'x');
    bytes += "\r\ntail\n";
    EXPECT_EQ(LinesOf(bytes), (std::vector<std::wstring>{L"head", L"", L"tail"}));
    // Exactly at the limit the line is still read.
    const std::string longest(kMaxConfigLineBytes, '7');
    const std::vector<std::wstring> lines = LinesOf(longest + "\n");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].size(), kMaxConfigLineBytes);
}

TEST(ConfigLineReader, OverlongLineIsReadPastAndTheFileEndsAtItsBound) {
    test::TempFolder folder;
    // A line beyond the line bound reads as an empty line; the bytes beyond the file bound
    // are not read, and the line they cut short is not used.
    std::string bytes(kMaxConfigFileBytes - 8, ',');
    bytes += "\nlast\nbeyond\nunread\n";
    folder.Write(L"huge.csv", bytes);
    bytes = std::string();
    EXPECT_EQ(ReadAllLines(folder.FileString(L"huge.csv")),
              (std::vector<std::wstring>{L"", L"last"}));
}

TEST(ConfigLineReader, OnlyRegularFilesAreRead) {
    // Each of these would block reading, or never end; each reads as a missing file.
    test::TempFolder folder;
    folder.MakeFolder(L"folder.csv");
    std::vector<std::wstring> refused = {folder.FileString(L"folder.csv")};
#ifdef _WIN32
    refused.push_back(L"CON");
    refused.push_back(folder.FileString(L"con.csv"));
    refused.push_back(folder.FileString(L"COM1"));
    refused.push_back(L"\\\\.\\pipe\\camcab-config-test");
    refused.push_back(L"\\\\?\\pipe\\camcab-config-test");
    refused.push_back(L"\\\\localhost\\pipe\\camcab-config-test");
    // A pipe with a server that never writes.
    const HANDLE pipe =
        CreateNamedPipeW(L"\\\\.\\pipe\\camcab-config-test", PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE,
                         PIPE_UNLIMITED_INSTANCES, 64, 64, 0, nullptr);
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
#else
    refused.push_back(L"/dev/zero");
    refused.push_back(L"/dev/tty");
    ASSERT_EQ(::mkfifo(folder.File(L"fifo.csv").c_str(), 0600), 0);
    refused.push_back(folder.FileString(L"fifo.csv"));
#endif
    for (const std::wstring& path : refused) {
        ConfigFile file = OpenConfigFile(path);
        EXPECT_FALSE(file.IsOpen());
        EXPECT_TRUE(ReadAllLines(path).empty());
    }
#ifdef _WIN32
    CloseHandle(pipe);
#endif
}

TEST(ConfigLineReader, MillionLines) {
    std::string bytes;
    for (int i = 0; i < 1000000; ++i) {
        bytes += "1,2\n";
    }
    const std::vector<std::wstring> lines = LinesOf(bytes);
    ASSERT_EQ(lines.size(), 1000000u);
    EXPECT_EQ(lines.back(), L"1,2");
}

TEST(ConfigLineRules, CommentsAndWhiteSpace) {
    EXPECT_EQ(StripComment(L"Volume = a#b;c"), L"Volume = a");
    EXPECT_EQ(StripComment(L"; all comment"), L"");
    EXPECT_EQ(TrimLine(L" \t\u3000\u00A0x y\u2003\r "), L"x y");
    EXPECT_EQ(TrimLine(L"\uFEFF[Power]"), L"[Power]");
    EXPECT_EQ(TrimLine(L" \t "), L"");
    // The header with blanks around it and a comment behind it.
    EXPECT_TRUE(MatchSection(TrimLine(StripComment(L"   [Brake]  ; brake files")), L"[Brake]"));
}

TEST(ConfigLineRules, SectionsAndKeysIgnoreCaseButNotBlanks) {
    EXPECT_TRUE(MatchSection(L"[power]", L"[Power]"));
    EXPECT_TRUE(MatchSection(L"[POWER]", L"[Power]"));
    EXPECT_FALSE(MatchSection(L"[ Power ]", L"[Power]"));
    EXPECT_FALSE(MatchSection(L"[Power]x", L"[Power]"));
    EXPECT_TRUE(MatchSection(L"[\u017Found]", L"[Sound]"));  // long s upper-cases to S
    EXPECT_TRUE(MatchKey(L"VOLUME", L"Volume"));
    EXPECT_FALSE(MatchKey(L"Volumes", L"Volume"));
    EXPECT_FALSE(MatchKey(L"\uFF36olume", L"Volume"));  // full-width V is another letter
    EXPECT_EQ(ToUpperCase(L'\uFF41'), L'\uFF21');
    EXPECT_EQ(ToUpperCase(L'\u00E9'), L'\u00C9');
    EXPECT_EQ(ToUpperCase(L'\u00F7'), L'\u00F7');
}

TEST(ConfigLineRules, KeyValueCutsAtTheFirstEquals) {
    const auto entry = SplitKeyValue(L"Volume = a=b");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->key, L"Volume");
    EXPECT_EQ(entry->value, L"a=b");
    EXPECT_FALSE(SplitKeyValue(L"no equals here"));
    const auto empty = SplitKeyValue(L"=");
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->key, L"");
    EXPECT_EQ(empty->value, L"");
}

TEST(ConfigLineRules, PrefixIsCaseSensitive) {
    EXPECT_TRUE(HasPrefix(L"RequiredNotch_UpX, 1", L"RequiredNotch_Up"));
    EXPECT_FALSE(HasPrefix(L"requirednotch_up, 1", L"RequiredNotch_Up"));
    EXPECT_FALSE(HasPrefix(L"Required", L"RequiredNotch_Up"));
}

TEST(ConfigLineRules, FieldsSplitAtEveryComma) {
    EXPECT_EQ(Fields(L"1, 2,,3,"), (std::vector<std::wstring>{L"1", L"2", L"", L"3"}));
    EXPECT_EQ(Fields(L"1,2, "), (std::vector<std::wstring>{L"1", L"2", L""}));
    EXPECT_EQ(Fields(L"single"), (std::vector<std::wstring>{L"single"}));
    EXPECT_EQ(Fields(L","), (std::vector<std::wstring>{L""}));
    EXPECT_EQ(Fields(L"  "), (std::vector<std::wstring>{L""}));
    EXPECT_TRUE(Fields(L"").empty());
}

TEST(ConfigLineRules, JoinPathAppendsRelativeNamesAndKeepsAbsoluteOnes) {
    test::TempFolder folder;
    const std::wstring directory = folder.Directory();
    EXPECT_EQ(JoinPath(directory, L"motor\\motor0.wav"), folder.FileString(L"motor\\motor0.wav"));
    const std::wstring withoutSeparator = directory.substr(0, directory.size() - 1);
    EXPECT_EQ(JoinPath(withoutSeparator, L"a.csv"), folder.FileString(L"a.csv"));
    const std::wstring absolute = folder.FileString(L"elsewhere\\b.csv");
    EXPECT_EQ(JoinPath(L"unrelated", absolute), absolute);
}

TEST(ConfigNumbers, IntegersStopAtTheFirstOtherCharacter) {
    EXPECT_EQ(ToInt32(L"12abc"), 12);
    EXPECT_EQ(ToInt32(L"3.5"), 3);
    EXPECT_EQ(ToInt32(L"-7"), -7);
    EXPECT_EQ(ToInt32(L"+7"), 7);
    EXPECT_EQ(ToInt32(L"2147483647"), 2147483647);
    EXPECT_EQ(ToInt32(L"-2147483648"), INT32_MIN);
    EXPECT_FALSE(ToInt32(L"2147483648"));
    EXPECT_FALSE(ToInt32(L"99999999999999999999999"));
    EXPECT_FALSE(ToInt32(L""));
    EXPECT_FALSE(ToInt32(L"x1"));
    EXPECT_FALSE(ToInt32(L"+-1"));
    EXPECT_FALSE(ToInt32(L"\uFF11"));  // a full-width digit is no digit
    EXPECT_EQ(ToUint64(L"18446744073709551615"), UINT64_MAX);
    EXPECT_FALSE(ToUint64(L"18446744073709551616"));
    EXPECT_FALSE(ToUint64(L"-1"));
    EXPECT_EQ(ToUint64(L"-0"), 0u);
    EXPECT_EQ(ToUint64(L"007"), 7u);
}

TEST(ConfigNumbers, RealsInTheCLocaleNotation) {
    EXPECT_EQ(ToFloat(L"0.25"), 0.25f);
    EXPECT_EQ(ToFloat(L"-1.5e2"), -150.0f);
    EXPECT_EQ(ToFloat(L"+.5"), 0.5f);
    EXPECT_EQ(ToFloat(L"7."), 7.0f);
    EXPECT_EQ(ToFloat(L"12km/h"), 12.0f);
    EXPECT_EQ(ToFloat(L"1e"), 1.0f);
    EXPECT_EQ(ToFloat(L"1,5"), 1.0f);
    EXPECT_EQ(ToFloat(L"0.1"), 0.1f);  // correctly rounded to single precision
    EXPECT_FALSE(ToFloat(L""));
    EXPECT_FALSE(ToFloat(L"abc"));
    EXPECT_FALSE(ToFloat(L"+-1"));
    EXPECT_FALSE(ToFloat(L"1e39"));
    EXPECT_FALSE(ToFloat(L"-1e39"));
    EXPECT_FALSE(ToFloat(L"nan"));
    EXPECT_FALSE(ToFloat(L"inf"));
    EXPECT_FALSE(ToFloat(L"-Infinity"));
    EXPECT_EQ(ToFloat(std::wstring(100000, L'0') + L"1"), 1.0f);
}

}  // namespace
}  // namespace camcab::config
