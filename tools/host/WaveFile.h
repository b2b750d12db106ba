// Writing RIFF WAVE files: the sample vehicle's sounds, rendered audio and test files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace camcab::hostaudio {

inline constexpr uint16_t kFormatPcm = 1;
inline constexpr uint16_t kFormatFloat = 3;

struct WaveLayout {
    uint16_t formatTag = kFormatPcm;
    uint16_t channels = 1;
    uint32_t sampleRate = 48000;
    uint16_t bitsPerSample = 16;
    // Describe the format as WAVE_FORMAT_EXTENSIBLE with `formatTag` as its sub-format.
    bool extensible = false;
};

// The "fmt " chunk's body for `layout`.
std::string FormatChunkBody(const WaveLayout& layout);
// One chunk: identifier, little-endian size, body, and a pad byte after an odd-sized body.
std::string Chunk(const std::string& id, const std::string& body);
// A whole file: "RIFF" size "WAVE", the chunks given, in order.
std::string RiffWave(const std::vector<std::string>& chunks);
// The most sample bytes a plain file of `layout` holds: its RIFF and data sizes are 32-bit
// counts, so past this they would wrap. Whole sample frames only.
uint64_t MaxWaveDataBytes(const WaveLayout& layout);
// A plain file: "fmt " then "data".
std::string WaveBytes(const WaveLayout& layout, const std::string& sampleBytes);

// Sample bytes from values in -1..1, in the layout's encoding (8-bit unsigned, 16/24/32-bit
// signed little-endian, or 32-bit float), interleaved as given.
std::string EncodeSamples(const WaveLayout& layout, const std::vector<float>& interleaved);

bool WriteFileBytes(const std::filesystem::path& path, const std::string& bytes);

}  // namespace camcab::hostaudio
