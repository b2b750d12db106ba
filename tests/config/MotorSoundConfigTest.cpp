// The motor sound bank's configuration: sections, sound numbers and the six tables.
#include <gtest/gtest.h>

#include <string>

#include "config/MotorSoundConfig.h"
#include "support/TempFolder.h"

namespace camcab::config {
namespace {

MotorSoundConfig LoadFrom(const test::TempFolder& folder) {
    MotorSoundConfig config;
    LoadMotorSoundConfig(config, folder.Directory());
    return config;
}

MotorSoundConfig LoadText(std::string_view text) {
    test::TempFolder folder;
    folder.Write(L"AtsMotorConfig.txt", text);
    return LoadFrom(folder);
}

void ExpectCurveCounts(const MotorSoundConfig& config, size_t count) {
    EXPECT_EQ(config.MotorSoundCount, count);
    EXPECT_EQ(config.MotorSoundFiles.size(), count);
    for (const auto* list : {&config.PowerVolumeCurves, &config.BrakeVolumeCurves,
                             &config.NeutralVolumeCurves, &config.PowerFrequencyCurves,
                             &config.BrakeFrequencyCurves, &config.NeutralFrequencyCurves}) {
        EXPECT_EQ(list->size(), count);
    }
}

TEST(MotorSoundConfig, MissingFileGivesAnEmptyBank) {
    test::TempFolder folder;
    const MotorSoundConfig config = LoadFrom(folder);
    ExpectCurveCounts(config, 0);
}

TEST(MotorSoundConfig, SoundNumbersNeedNotBeConsecutive) {
    test::TempFolder folder;
    folder.Write(L"AtsMotorConfig.txt",
                 "[sound]\n2 = b.wav\n1 = motor\\a.wav\n[Power]\nVOLUME = pv.csv\n");
    folder.Write(L"pv.csv", "speed, s0, s1, s2\n0, 0.1, 0.2, 0.3\n10, 0.5, , 0.7\n");
    const MotorSoundConfig config = LoadFrom(folder);
    ExpectCurveCounts(config, 3);
    EXPECT_EQ(config.MotorSoundFiles[0], L"");
    EXPECT_EQ(config.MotorSoundFiles[1], folder.FileString(L"motor\\a.wav"));
    EXPECT_EQ(config.MotorSoundFiles[2], folder.FileString(L"b.wav"));
    // Sound 0 reads column 1.
    EXPECT_EQ(config.PowerVolumeCurves[0], (Curve{{0.0f, 0.1f}, {10.0f, 0.5f}}));
    EXPECT_EQ(config.PowerVolumeCurves[1], (Curve{{0.0f, 0.2f}}));
    EXPECT_EQ(config.PowerVolumeCurves[2], (Curve{{0.0f, 0.3f}, {10.0f, 0.7f}}));
    EXPECT_TRUE(config.BrakeVolumeCurves[0].empty());
}

TEST(MotorSoundConfig, SoundKeysMustBeDigitsOnly) {
    const MotorSoundConfig config = LoadText(
        "[Sound]\n007 = seven.wav\n+1 = plus.wav\n1 2 = blank.wav\n-3 = minus.wav\n"
        "= empty-key.wav\nx = letter.wav\n\uFF11 = fullwidth.wav\n"
        "7 = seven-again.wav\n3 =\n");
    ExpectCurveCounts(config, 8);
    EXPECT_NE(config.MotorSoundFiles[7].find(L"seven-again.wav"), std::wstring::npos);
    EXPECT_FALSE(config.MotorSoundFiles[3].empty());  // an empty value names the folder itself
    EXPECT_EQ(config.MotorSoundFiles[1], L"");
}

TEST(MotorSoundConfig, HugeSoundNumbersAreIgnored) {
    std::string text =
        "[Sound]\n4000000000 = x.wav\n18446744073709551615 = y.wav\n"
        "99999999999999999999999999 = z.wav\n";
    text += std::to_string(kMaxMotorSoundNumber + 1) + " = over.wav\n";
    text += std::to_string(kMaxMotorSoundNumber) + " = last.wav\n";
    const MotorSoundConfig config = LoadText(text);
    ExpectCurveCounts(config, kMaxMotorSoundNumber + 1);
}

TEST(MotorSoundConfig, SectionsAndTables) {
    test::TempFolder folder;
    folder.Write(L"AtsMotorConfig.txt",
                 "Volume = nv.csv ; before any header: neutral\n"
                 "[Brake]\nFrequency = bf1.csv\nFrequency = bf.csv\nvolume=bv.csv\n"
                 "[ Power ]\nVolume = still-brake.csv\n"
                 "[Power]\nFrequency = sub\\pf.csv\nPitch = ignored.csv\n"
                 "[Neutral]\nFrequency = nf.csv\n"
                 "[Sound]\nVolume = not-a-table.csv\n0 = m0.wav\n1 = m1.wav\n");
    const std::string table = "speed, a, b\n0, 1, 2\n";
    for (const wchar_t* name : {L"nv.csv", L"bf.csv", L"bv.csv", L"sub\\pf.csv", L"nf.csv"}) {
        folder.Write(name, table);
    }
    const MotorSoundConfig config = LoadFrom(folder);
    EXPECT_EQ(config.neutralVolumeTable, folder.FileString(L"nv.csv"));
    EXPECT_EQ(config.brakeFrequencyTable, folder.FileString(L"bf.csv"));
    EXPECT_EQ(config.brakeVolumeTable, folder.FileString(L"still-brake.csv"));
    EXPECT_EQ(config.powerVolumeTable, L"");
    EXPECT_EQ(config.powerFrequencyTable, folder.FileString(L"sub\\pf.csv"));
    EXPECT_EQ(config.neutralFrequencyTable, folder.FileString(L"nf.csv"));
    ExpectCurveCounts(config, 2);
    EXPECT_EQ(config.NeutralVolumeCurves[1], (Curve{{0.0f, 2.0f}}));
    EXPECT_EQ(config.PowerFrequencyCurves[0], (Curve{{0.0f, 1.0f}}));
    EXPECT_TRUE(config.BrakeVolumeCurves[0].empty());  // still-brake.csv does not exist
    EXPECT_TRUE(config.PowerVolumeCurves[1].empty());
}

TEST(MotorSoundConfig, ShortRowsGiveEmptyCurvesBeyondTheLastColumn) {
    test::TempFolder folder;
    folder.Write(L"AtsMotorConfig.txt", "[Sound]\n0=a\n1=b\n2=c\n3=d\n[Neutral]\nVolume=v.csv\n");
    folder.Write(L"v.csv", "speed, a, b, c, d\n0, 1, 2\n10, 3\n");
    const MotorSoundConfig config = LoadFrom(folder);
    ExpectCurveCounts(config, 4);
    EXPECT_EQ(config.NeutralVolumeCurves[0].size(), 2u);
    EXPECT_EQ(config.NeutralVolumeCurves[1].size(), 1u);
    EXPECT_TRUE(config.NeutralVolumeCurves[2].empty());
    EXPECT_TRUE(config.NeutralVolumeCurves[3].empty());
}

TEST(MotorSoundConfig, HostileFiles) {
    std::string garbage = "[Sound]\n0 = a.wav\n";
    uint32_t seed = 7;
    for (int i = 0; i < 300000; ++i) {
        seed = seed * 1664525u + 1013904223u;
        garbage.push_back(static_cast<char>(seed >> 24));
    }
    ExpectCurveCounts(LoadText(garbage), 1);
    ExpectCurveCounts(LoadText(std::string("[Sound]\n1\0 = a.wav\n\0\n", 20)), 0);
    ExpectCurveCounts(LoadText("\xEF\xBB\xBF[Sound]\n2 = a.wav\n"), 3);  // byte-order mark
    ExpectCurveCounts(LoadText("[Sound]\n0 = a.wav\n\xC0\xAF\n1 = b.wav\n"), 1);

    std::string manyLines = "[Sound]\n";
    for (int i = 0; i < 1000000; ++i) {
        manyLines += std::to_string(i % 300) + " = m.wav\n";
    }
    ExpectCurveCounts(LoadText(manyLines), kMaxMotorSoundNumber + 1);
}

}  // namespace
}  // namespace camcab::config
