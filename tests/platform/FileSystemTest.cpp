#include "platform/FileSystem.h"

#include <gtest/gtest.h>

#include "support/TempFolder.h"

namespace camcab::platform {
namespace {

TEST(PathExists, FilesAndFoldersExistOtherNamesDoNot) {
    test::TempFolder folder(L"camcab fs テスト");
    folder.Write(L"file.txt", "x");
    folder.MakeFolder(L"sub");
    EXPECT_TRUE(PathExists(folder.FileString(L"file.txt")));
    EXPECT_TRUE(PathExists(folder.FileString(L"sub")));
    EXPECT_FALSE(PathExists(folder.FileString(L"missing.txt")));
    EXPECT_FALSE(PathExists(folder.FileString(L"missing\\deeper\\file.txt")));
    EXPECT_FALSE(PathExists(folder.FileString(L"file.txt\\below-a-file")));
    EXPECT_FALSE(PathExists(std::wstring(L"bad\0name", 8)));
    EXPECT_FALSE(PathExists(L""));
}

TEST(PathExists, LongPathsBeyondTheClassicLimit) {
    test::TempFolder folder;
    std::wstring relative;
    for (int i = 0; i < 12; ++i) {
        relative += std::wstring(30, static_cast<wchar_t>(L'a' + i)) + L"\\";
    }
    relative += L"deep.txt";
    folder.Write(relative, "x");
    const std::wstring path = folder.FileString(relative);
    ASSERT_GT(path.size(), 300u);
    EXPECT_TRUE(PathExists(path));
    std::FILE* file = OpenForReading(path);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(std::fgetc(file), 'x');
    std::fclose(file);
}

TEST(AppendPath, RelativeNamesAppendAbsoluteNamesReplace) {
#ifdef _WIN32
    EXPECT_EQ(AppendPath(L"C:\\a\\b\\", L"x.txt"), L"C:\\a\\b\\x.txt");
    EXPECT_EQ(AppendPath(L"C:\\a\\b\\", L"notch\\notch.txt"), L"C:\\a\\b\\notch\\notch.txt");
    EXPECT_EQ(AppendPath(L"C:\\a\\b\\", L"D:\\other\\m.dll"), L"D:\\other\\m.dll");
    EXPECT_EQ(AppendPath(L"C:\\a\\b\\", L"\\\\server\\share\\m.dll"), L"\\\\server\\share\\m.dll");
    EXPECT_EQ(AppendPath(L"C:\\a\\b\\", L"\\root.dll"), L"C:\\root.dll");
    EXPECT_EQ(AppendPath(L"C:\\a\\b\\", L""), L"C:\\a\\b\\");
    EXPECT_EQ(AppendPath(L"C:\\a\\b", L"x.txt"), L"C:\\a\\b\\x.txt");
    EXPECT_EQ(AppendPath(L"\\\\server\\share\\", L"\\x.dll"), L"\\\\server\\x.dll");
    EXPECT_TRUE(IsAbsolutePath(L"\\\\server\\share\\m.dll"));
    EXPECT_FALSE(IsAbsolutePath(L"C:m.dll"));
    EXPECT_FALSE(IsAbsolutePath(L"\\m.dll"));
#else
    EXPECT_EQ(AppendPath(L"/a/b/", L"x.txt"), L"/a/b/x.txt");
    EXPECT_EQ(AppendPath(L"/a/b", L"x.txt"), L"/a/b/x.txt");
    EXPECT_EQ(AppendPath(L"/a/b/", L"/other/m.so"), L"/other/m.so");
    EXPECT_EQ(AppendPath(L"/a/b/", NativeSeparators(L"notch\\notch.txt")), L"/a/b/notch/notch.txt");
    EXPECT_EQ(AppendPath(L"/a/b/", L""), L"/a/b/");
#endif
}

TEST(FolderOf, KeepsTheTrailingSeparator) {
#ifdef _WIN32
    EXPECT_EQ(FolderOf(L"C:\\a\\b\\lib.dll"), L"C:\\a\\b\\");
#else
    EXPECT_EQ(FolderOf(L"/a/b/lib.so"), L"/a/b/");
#endif
    EXPECT_EQ(FolderOf(L"lib.so"), L"");
}

}  // namespace
}  // namespace camcab::platform
