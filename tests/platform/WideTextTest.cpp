#include "platform/WideText.h"

#include <gtest/gtest.h>

namespace camcab::platform {
namespace {

TEST(DecodeUtf8, DecodesJapaneseAndStopsAtInvalidSequence) {
    bool complete = false;
    EXPECT_EQ(DecodeUtf8("\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88", &complete), L"テスト");
    EXPECT_TRUE(complete);

    EXPECT_EQ(DecodeUtf8("ab\xFF"
                         "cd",
                         &complete),
              L"ab");
    EXPECT_FALSE(complete);
    // Overlong encoding of '/', a lone surrogate and a truncated sequence are all invalid.
    EXPECT_EQ(DecodeUtf8("x\xC0\xAF", &complete), L"x");
    EXPECT_FALSE(complete);
    EXPECT_EQ(DecodeUtf8("x\xED\xA0\x80", &complete), L"x");
    EXPECT_FALSE(complete);
    EXPECT_EQ(DecodeUtf8("x\xE3\x83", &complete), L"x");
    EXPECT_FALSE(complete);
}

TEST(DecodeUtf8, KeepsByteOrderMarkAndNulCharacters) {
    const std::string bytes(
        "\xEF\xBB\xBF"
        "a\0b",
        6);
    const std::wstring text = DecodeUtf8(bytes);
    ASSERT_EQ(text.size(), 4u);
    EXPECT_EQ(text[0], L'\xFEFF');
    EXPECT_EQ(text[2], L'\0');
}

TEST(EncodeUtf8, RoundTripsAstralCharacters) {
    const std::string emoji = "\xF0\x9F\x9A\x83";  // a railway car
    const std::wstring wide = DecodeUtf8(emoji);
    EXPECT_EQ(wide.size(), sizeof(wchar_t) == 2 ? 2u : 1u);
    EXPECT_EQ(EncodeUtf8(wide), emoji);
}

TEST(NativeNames, InvalidBytesSurviveTheRoundTrip) {
    const std::string name("dir\xFF\xFE/\xE6\x97\xA5.dll");
    EXPECT_EQ(NativeNameFromWide(WideFromNativeName(name)), name);
}

}  // namespace
}  // namespace camcab::platform
