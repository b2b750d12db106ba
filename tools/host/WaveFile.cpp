#include "WaveFile.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>

namespace camcab::hostaudio {
namespace {

void Put16(std::string& out, uint32_t value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

void Put32(std::string& out, uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

int32_t Quantize(float value, int bits) {
    const double limit = std::ldexp(1.0, bits - 1);
    double scaled = std::nearbyint(static_cast<double>(value) * limit);
    if (scaled > limit - 1.0) {
        scaled = limit - 1.0;
    }
    if (scaled < -limit) {
        scaled = -limit;
    }
    return static_cast<int32_t>(scaled);
}

}  // namespace

std::string FormatChunkBody(const WaveLayout& layout) {
    std::string body;
    const uint32_t blockAlign = layout.channels * layout.bitsPerSample / 8u;
    Put16(body, layout.extensible ? 0xFFFEu : layout.formatTag);
    Put16(body, layout.channels);
    Put32(body, layout.sampleRate);
    Put32(body, layout.sampleRate * blockAlign);
    Put16(body, blockAlign);
    Put16(body, layout.bitsPerSample);
    if (layout.extensible) {
        Put16(body, 22);
        Put16(body, layout.bitsPerSample);                                        // valid bits
        Put32(body, layout.channels == 2 ? 3u : layout.channels == 1 ? 4u : 0u);  // channel mask
        // The sub-format GUID: the format tag in the base GUID of audio formats.
        Put32(body, layout.formatTag);
        const unsigned char tail[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00,
                                        0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
        body.append(reinterpret_cast<const char*>(tail), sizeof(tail));
    } else if (layout.formatTag != kFormatPcm) {
        Put16(body, 0);
    }
    return body;
}

std::string Chunk(const std::string& id, const std::string& body) {
    std::string out = id.substr(0, 4);
    Put32(out, static_cast<uint32_t>(body.size()));
    out += body;
    if (body.size() % 2 != 0) {
        out.push_back('\0');
    }
    return out;
}

std::string RiffWave(const std::vector<std::string>& chunks) {
    std::string body = "WAVE";
    for (const std::string& chunk : chunks) {
        body += chunk;
    }
    std::string out = "RIFF";
    Put32(out, static_cast<uint32_t>(body.size()));
    return out + body;
}

uint64_t MaxWaveDataBytes(const WaveLayout& layout) {
    // "WAVE", the "fmt " chunk and the data chunk's header come before the samples in the
    // RIFF size.
    const uint64_t header = 4 + 8 + FormatChunkBody(layout).size() + 8;
    const uint64_t blockAlign = std::max(1u, layout.channels * layout.bitsPerSample / 8u);
    const uint64_t room = uint64_t{UINT32_MAX} - header;
    return room - room % blockAlign;
}

std::string WaveBytes(const WaveLayout& layout, const std::string& sampleBytes) {
    return RiffWave({Chunk("fmt ", FormatChunkBody(layout)), Chunk("data", sampleBytes)});
}

std::string EncodeSamples(const WaveLayout& layout, const std::vector<float>& interleaved) {
    std::string out;
    out.reserve(interleaved.size() * layout.bitsPerSample / 8);
    for (float value : interleaved) {
        if (layout.formatTag == kFormatFloat) {
            uint32_t bits;
            std::memcpy(&bits, &value, sizeof(bits));
            Put32(out, bits);
            continue;
        }
        switch (layout.bitsPerSample) {
            case 8:
                out.push_back(static_cast<char>(Quantize(value, 8) + 128));
                break;
            case 16:
                Put16(out, static_cast<uint32_t>(Quantize(value, 16)));
                break;
            case 24: {
                const uint32_t sample = static_cast<uint32_t>(Quantize(value, 24));
                Put16(out, sample & 0xFFFF);
                out.push_back(static_cast<char>((sample >> 16) & 0xFF));
                break;
            }
            default:
                Put32(out, static_cast<uint32_t>(Quantize(value, 32)));
                break;
        }
    }
    return out;
}

bool WriteFileBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::error_code ignored;
    if (path.has_parent_path()) {
        std::filesystem::create_directories(path.parent_path(), ignored);
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

}  // namespace camcab::hostaudio
