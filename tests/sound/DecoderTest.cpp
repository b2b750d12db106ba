// Decoding real WAV files written in the shapes found in the wild.
#include <gtest/gtest.h>

#include <cstring>

#include "SoundTestSupport.h"
#include "platform/AudioDecoder.h"
#include "support/TempFolder.h"

namespace camcab::test {
namespace {

using hostaudio::Chunk;
using hostaudio::FormatChunkBody;
using hostaudio::RiffWave;
using hostaudio::WaveLayout;

struct Decoded {
    int32_t code = 0;
    platform::WaveFormat format{};
    std::vector<uint8_t> pcm;
};

Decoded Decode(const std::wstring& path) {
    Decoded result;
    std::unique_ptr<platform::AudioFileReader> reader;
    result.code = platform::OpenAudioFile(path, reader);
    if (platform::Failed(result.code)) {
        return result;
    }
    result.code = reader->DecodedFormat(result.format);
    bool end = false;
    while (!platform::Failed(result.code) && !end) {
        result.code = reader->ReadSample(result.pcm, end);
    }
    return result;
}

Decoded DecodeBytes(const std::string& bytes) {
    TempFolder folder(L"camcab-decode");
    folder.Write(L"sound.wav", bytes);
    return Decode(folder.FileString(L"sound.wav"));
}

std::vector<int16_t> Shorts(const std::vector<uint8_t>& pcm) {
    std::vector<int16_t> values(pcm.size() / 2);
    std::memcpy(values.data(), pcm.data(), values.size() * 2);
    return values;
}

std::string Bytes(const std::vector<uint8_t>& pcm) {
    return std::string(pcm.begin(), pcm.end());
}

WaveLayout Layout(uint16_t tag, uint16_t channels, uint16_t bits, bool extensible = false) {
    WaveLayout layout;
    layout.formatTag = tag;
    layout.channels = channels;
    layout.bitsPerSample = bits;
    layout.extensible = extensible;
    return layout;
}

void ExpectPcmFormat(const platform::WaveFormat& format, uint16_t channels, uint16_t bits) {
    EXPECT_EQ(format.wFormatTag, platform::kWaveFormatPcm);
    EXPECT_EQ(format.nChannels, channels);
    EXPECT_EQ(format.nSamplesPerSec, 48000u);
    EXPECT_EQ(format.wBitsPerSample, bits);
    EXPECT_EQ(format.nBlockAlign, channels * bits / 8);
    EXPECT_EQ(format.nAvgBytesPerSec, 48000u * channels * bits / 8);
    EXPECT_EQ(format.cbSize, 0);
}

TEST(Decoder, SixteenAndEightBitPcmPassThroughByteForByte) {
    const WaveLayout stereo16 = Layout(hostaudio::kFormatPcm, 2, 16);
    const std::string samples16 = hostaudio::EncodeSamples(stereo16, Tone(1000, 2, 440.0, 0.7f));
    Decoded decoded = DecodeBytes(hostaudio::WaveBytes(stereo16, samples16));
    ASSERT_EQ(decoded.code, 0);
    ExpectPcmFormat(decoded.format, 2, 16);
    EXPECT_EQ(Bytes(decoded.pcm), samples16);

    const WaveLayout mono8 = Layout(hostaudio::kFormatPcm, 1, 8);
    const std::string samples8 = hostaudio::EncodeSamples(mono8, Tone(999, 1, 300.0, 0.9f));
    decoded = DecodeBytes(hostaudio::WaveBytes(mono8, samples8));
    ASSERT_EQ(decoded.code, 0);
    ExpectPcmFormat(decoded.format, 1, 8);
    EXPECT_EQ(Bytes(decoded.pcm), samples8);
}

TEST(Decoder, WiderIntegerAndFloatSamplesBecomeSixteenBit) {
    const std::vector<float> values = {0.0f, 0.5f, -0.5f, 0.25f, -1.0f, 0.999f};
    for (const WaveLayout& layout :
         {Layout(hostaudio::kFormatPcm, 1, 24), Layout(hostaudio::kFormatPcm, 1, 32),
          Layout(hostaudio::kFormatFloat, 1, 32)}) {
        SCOPED_TRACE(layout.bitsPerSample + layout.formatTag * 100);
        const Decoded decoded =
            DecodeBytes(hostaudio::WaveBytes(layout, hostaudio::EncodeSamples(layout, values)));
        ASSERT_EQ(decoded.code, 0);
        ExpectPcmFormat(decoded.format, 1, 16);
        const std::vector<int16_t> shorts = Shorts(decoded.pcm);
        ASSERT_EQ(shorts.size(), values.size());
        for (size_t i = 0; i < values.size(); ++i) {
            EXPECT_NEAR(shorts[i], values[i] * 32768.0f, 1.5) << i;
        }
    }
}

TEST(Decoder, FloatBeyondFullScaleIsClipped) {
    const WaveLayout layout = Layout(hostaudio::kFormatFloat, 1, 32);
    const Decoded decoded = DecodeBytes(
        hostaudio::WaveBytes(layout, hostaudio::EncodeSamples(layout, {3.0f, -7.0f, 1.0f})));
    ASSERT_EQ(decoded.code, 0);
    EXPECT_EQ(Shorts(decoded.pcm), (std::vector<int16_t>{32767, -32768, 32767}));
}

TEST(Decoder, ExtensibleFilesBecomePlainSixteenBitPcm) {
    const WaveLayout layout = Layout(hostaudio::kFormatPcm, 2, 16, true);
    const std::string samples = hostaudio::EncodeSamples(layout, Tone(480, 2, 440.0, 0.5f));
    Decoded decoded = DecodeBytes(hostaudio::WaveBytes(layout, samples));
    ASSERT_EQ(decoded.code, 0);
    ExpectPcmFormat(decoded.format, 2, 16);
    EXPECT_EQ(Bytes(decoded.pcm), samples);

    const WaveLayout floatLayout = Layout(hostaudio::kFormatFloat, 1, 32, true);
    decoded = DecodeBytes(
        hostaudio::WaveBytes(floatLayout, hostaudio::EncodeSamples(floatLayout, {0.5f, -0.25f})));
    ASSERT_EQ(decoded.code, 0);
    ExpectPcmFormat(decoded.format, 1, 16);
    EXPECT_EQ(Shorts(decoded.pcm), (std::vector<int16_t>{16384, -8192}));
}

TEST(Decoder, ImaAdpcmBecomesSixteenBitPcm) {
    // One IMA ADPCM block: header sample 1000, step index 0, then zero codes, which hold the
    // sample where it is.
    std::string fmt;
    auto put16 = [&fmt](uint16_t v) {
        fmt.append({static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)});
    };
    auto put32 = [&](uint32_t v) { put16(v & 0xFFFF), put16(v >> 16); };
    put16(0x11);
    put16(1);
    put32(48000);
    put32(48000 * 256 / 505);
    put16(256);
    put16(4);
    put16(2);
    put16(505);
    std::string block = {static_cast<char>(1000 & 0xFF), static_cast<char>(1000 >> 8), 0, 0};
    block.append(252, '\0');
    std::string fact;
    fact.append({static_cast<char>(505 & 0xFF), static_cast<char>(505 >> 8), 0, 0});
    const Decoded decoded =
        DecodeBytes(RiffWave({Chunk("fmt ", fmt), Chunk("fact", fact), Chunk("data", block)}));
    ASSERT_EQ(decoded.code, 0);
    ExpectPcmFormat(decoded.format, 1, 16);
    const std::vector<int16_t> shorts = Shorts(decoded.pcm);
    ASSERT_EQ(shorts.size(), 505u);
    for (int16_t value : shorts) {
        EXPECT_NEAR(value, 1000, 8);
    }
}

TEST(Decoder, MoreThanTwoChannelsAreDescribedAsExtensible) {
    const Decoded decoded = DecodeBytes(ToneWave(100, 3));
    ASSERT_EQ(decoded.code, 0);
    EXPECT_EQ(decoded.format.wFormatTag, platform::kWaveFormatExtensible);
    EXPECT_EQ(decoded.format.nChannels, 3);
    EXPECT_EQ(decoded.pcm.size(), 600u);
}

TEST(Decoder, ChunksInUnusualPlacesAndSizes) {
    const WaveLayout layout = Layout(hostaudio::kFormatPcm, 1, 16);
    const std::string samples = hostaudio::EncodeSamples(layout, Tone(301, 1, 440.0, 0.5f));
    const std::string fmt = Chunk("fmt ", FormatChunkBody(layout));
    const std::string list = Chunk("LIST", std::string("INFOINAM\x05\0\0\0camcab", 17));
    const std::string odd = Chunk("junk", "abc");  // odd size, padded

    for (const std::string& file : {RiffWave({list, fmt, Chunk("data", samples)}),
                                    RiffWave({fmt, odd, Chunk("data", samples)}),
                                    RiffWave({odd, list, fmt, odd, Chunk("data", samples), odd})}) {
        const Decoded decoded = DecodeBytes(file);
        ASSERT_EQ(decoded.code, 0);
        EXPECT_EQ(Bytes(decoded.pcm), samples);
    }
}

TEST(Decoder, TruncatedLyingAndEmptyFilesDecodeWhatIsThere) {
    const WaveLayout layout = Layout(hostaudio::kFormatPcm, 1, 16);
    const std::string samples = hostaudio::EncodeSamples(layout, Tone(1000, 1, 440.0, 0.5f));
    const std::string whole = hostaudio::WaveBytes(layout, samples);

    // The data chunk is cut off half way (odd byte count included).
    Decoded decoded = DecodeBytes(whole.substr(0, whole.size() - 1001));
    ASSERT_EQ(decoded.code, 0);
    EXPECT_EQ(decoded.pcm.size(), (samples.size() - 1001) / 2 * 2);
    EXPECT_EQ(Bytes(decoded.pcm), samples.substr(0, decoded.pcm.size()));

    // RIFF and data sizes that claim far more than the file holds.
    std::string lying = whole;
    lying.replace(4, 4, "\xFF\xFF\xFF\x7F", 4);
    lying.replace(lying.size() - samples.size() - 4, 4, "\xF0\xFF\xFF\x7F", 4);
    decoded = DecodeBytes(lying);
    ASSERT_EQ(decoded.code, 0);
    EXPECT_EQ(Bytes(decoded.pcm), samples);

    // And one that claims less.
    std::string small = whole;
    small.replace(4, 4, "\x10\0\0\0", 4);
    decoded = DecodeBytes(small);
    if (!platform::Failed(decoded.code)) {
        EXPECT_LE(decoded.pcm.size(), samples.size());
    }

    // No frames at all.
    decoded = DecodeBytes(hostaudio::WaveBytes(layout, ""));
    if (!platform::Failed(decoded.code)) {
        EXPECT_TRUE(decoded.pcm.empty());
    }
}

// Reads `bytes` into a vector that already holds `reserved` bytes of capacity, as a slot
// reserves it from the expected size.
Decoded DecodeIntoReserved(const std::string& bytes, size_t reserved, uint64_t* expected,
                           bool* reallocated) {
    TempFolder folder(L"camcab-decode");
    folder.Write(L"sound.wav", bytes);
    Decoded result;
    std::unique_ptr<platform::AudioFileReader> reader;
    result.code = platform::OpenAudioFile(folder.FileString(L"sound.wav"), reader);
    if (platform::Failed(result.code)) {
        return result;
    }
    result.code = reader->DecodedFormat(result.format);
    *expected = reader->ExpectedPcmBytes();
    result.pcm.reserve(reserved);
    const uint8_t* storage = result.pcm.data();
    *reallocated = false;
    bool end = false;
    while (!platform::Failed(result.code) && !end) {
        result.code = reader->ReadSample(result.pcm, end);
        *reallocated = *reallocated || result.pcm.data() != storage;
    }
    return result;
}

TEST(Decoder, ReservedRoomIsFilledWithoutReallocationAndNoByteIsLost) {
    // Raw bytes, integers converted to 16 bits, and floats converted, each longer than one
    // piece of reading.
    const std::vector<std::string> files = {ToneWave(70001, 2, 16), ToneWave(40003, 1, 8),
                                            ToneWave(50001, 2, 24),
                                            ToneWave(30001, 1, 32, 0.5f, hostaudio::kFormatFloat)};
    for (const std::string& file : files) {
        const Decoded plain = DecodeBytes(file);
        ASSERT_EQ(plain.code, 0);
        const size_t size = plain.pcm.size();
        for (const size_t reserved :
             {size_t{0}, size_t{1}, size_t{3}, size / 2 + 1, size, size + 7, 3 * size}) {
            SCOPED_TRACE(std::to_string(size) + " in " + std::to_string(reserved));
            uint64_t expected = 0;
            bool reallocated = false;
            const Decoded decoded = DecodeIntoReserved(file, reserved, &expected, &reallocated);
            ASSERT_EQ(decoded.code, 0);
            EXPECT_EQ(decoded.pcm, plain.pcm);
            // libsndfile knows every test file's length: the slot reserves exactly.
            EXPECT_EQ(expected, size);
            if (reserved >= size) {
                EXPECT_FALSE(reallocated);
            }
        }
    }
}

TEST(Decoder, SizeHintOfAFileCutShortOrLyingIsNoMoreThanItHolds) {
    const WaveLayout layout = Layout(hostaudio::kFormatPcm, 2, 16);
    const std::string samples = hostaudio::EncodeSamples(layout, Tone(1000, 2, 440.0, 0.5f));
    const std::string whole = hostaudio::WaveBytes(layout, samples);
    std::string lying = whole;
    lying.replace(4, 4, "\xFF\xFF\xFF\x7F", 4);
    lying.replace(lying.size() - samples.size() - 4, 4, "\xF0\xFF\xFF\x7F", 4);
    for (const std::string& file : {whole.substr(0, whole.size() - 1001), lying}) {
        uint64_t expected = 0;
        bool reallocated = false;
        const Decoded decoded = DecodeIntoReserved(file, 0, &expected, &reallocated);
        ASSERT_EQ(decoded.code, 0);
        EXPECT_EQ(Bytes(decoded.pcm), samples.substr(0, decoded.pcm.size()));
        EXPECT_TRUE(expected == platform::kUnknownPcmBytes || expected <= file.size()) << expected;
    }
}

TEST(Decoder, UnreadableInputsFailWithTheirCodes) {
    TempFolder folder(L"camcab-decode");
    EXPECT_EQ(static_cast<uint32_t>(Decode(folder.FileString(L"missing.wav")).code), 0x80070002u);
    EXPECT_EQ(static_cast<uint32_t>(Decode(folder.FileString(L"no\\such\\folder.wav")).code) &
                  0xFFFF0000u,
              0x80070000u);
    folder.MakeFolder(L"folder.wav");
    EXPECT_TRUE(platform::Failed(Decode(folder.FileString(L"folder.wav")).code));
    EXPECT_TRUE(platform::Failed(Decode(L"").code));

    const std::string whole = ToneWave(100);
    std::string garbage(4096, '\0');
    for (size_t i = 0; i < garbage.size(); ++i) {
        garbage[i] = static_cast<char>((i * 7919u) >> 3);
    }
    for (const std::string& bytes : {std::string(), std::string("RIFF"), whole.substr(0, 30),
                                     garbage, std::string("RIFF\x04\0\0\0WAVE", 12)}) {
        const Decoded decoded = DecodeBytes(bytes);
        EXPECT_TRUE(platform::Failed(decoded.code) || decoded.pcm.empty());
    }
}

TEST(Decoder, OnlyRiffWaveFilesAreDecoded) {
    // A 16-bit mono AIFF file that any general decoder reads: a FORM of COMM and SSND.
    auto be16 = [](uint16_t v) {
        return std::string{static_cast<char>(v >> 8), static_cast<char>(v)};
    };
    auto be32 = [&](uint32_t v) { return be16(static_cast<uint16_t>(v >> 16)) + be16(v & 0xFFFF); };
    auto aiffChunk = [&](const std::string& id, const std::string& body) {
        return id + be32(static_cast<uint32_t>(body.size())) + body;
    };
    const std::string rate48k("\x40\x0E\xBB\x80\0\0\0\0\0\0", 10);  // 80-bit 48000
    const std::string comm = be16(1) + be32(100) + be16(16) + rate48k;
    const std::string ssnd = be32(0) + be32(0) + std::string(200, '\x10');
    const std::string body = "AIFF" + aiffChunk("COMM", comm) + aiffChunk("SSND", ssnd);
    const std::string aiff = "FORM" + be32(static_cast<uint32_t>(body.size())) + body;

    const std::string wave = ToneWave(100);
    std::string rf64 = wave;  // the same chunks under another RIFF form
    rf64.replace(0, 4, "RF64");
    std::string notWave = wave;
    notWave.replace(8, 4, "AVI ");
    const std::string ogg = "OggS" + std::string(60, '\0');
    const std::string flac = "fLaC" + std::string(60, '\0');

    // Refused the way Media Foundation refuses a byte stream it cannot read.
    for (const std::string& bytes : {aiff, rf64, notWave, ogg, flac}) {
        EXPECT_EQ(static_cast<uint32_t>(DecodeBytes(bytes).code), 0xC00D36C4u);
    }
    EXPECT_EQ(DecodeBytes(wave).code, 0);
}

TEST(Decoder, EveryPrefixOfAFileIsHandled) {
    // Cutting a file anywhere must never crash or hang the reader.
    const std::string whole =
        RiffWave({Chunk("LIST", "INFOxx"),
                  Chunk("fmt ", FormatChunkBody(Layout(hostaudio::kFormatFloat, 2, 32))),
                  Chunk("data", std::string(64, '\x3f'))});
    for (size_t length = 0; length <= whole.size(); ++length) {
        const Decoded decoded = DecodeBytes(whole.substr(0, length));
        if (!platform::Failed(decoded.code)) {
            EXPECT_EQ(decoded.pcm.size() % 4, 0u);
        }
    }
}

}  // namespace
}  // namespace camcab::test
