#include "ReportSound.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "FileBytes.h"
#include "ScratchFolder.h"
#include "SoxCommand.h"
#include "platform/FileSystem.h"
#include "platform/WideText.h"

namespace camcab::run {
namespace {

// A WAV above this size gets no player when it cannot be compressed.
constexpr uintmax_t kLargestInlineWavBytes = 20u << 20;
// Spectrogram image: pixels per second of sound, within a width range.
constexpr double kSpectrogramPixelsPerSecond = 50.0;
constexpr int kSpectrogramMinWidth = 800;
constexpr int kSpectrogramMaxWidth = 8000;
constexpr int kSpectrogramHeight = 257;

uint32_t LittleEndian(const unsigned char* bytes, int count) {
    uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) {
        value = value << 8 | bytes[i];
    }
    return value;
}

// The length of a RIFF WAVE file's sound in seconds, from its "fmt " and "data" chunks (a
// data size beyond the file's end counts up to the end); 0 when it cannot be told.
double WaveSeconds(const std::wstring& path) {
    std::FILE* file = platform::OpenForReading(path);
    if (file == nullptr) {
        return 0.0;
    }
    platform::UniqueFile owner(file);
    unsigned char header[12];
    if (std::fread(header, 1, 12, file) != 12 || std::memcmp(header, "RIFF", 4) != 0 ||
        std::memcmp(header + 8, "WAVE", 4) != 0) {
        return 0.0;
    }
    uint32_t rate = 0;
    uint32_t blockAlign = 0;
    unsigned char chunk[8];
    int64_t position = 12;
    while (std::fread(chunk, 1, 8, file) == 8) {
        const uint32_t size = LittleEndian(chunk + 4, 4);
        position += 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0 && size >= 16) {
            unsigned char format[16];
            if (std::fread(format, 1, 16, file) != 16) {
                return 0.0;
            }
            rate = LittleEndian(format + 4, 4);
            blockAlign = LittleEndian(format + 12, 2);
            if (std::fseek(file, static_cast<long>(size - 16 + (size & 1)), SEEK_CUR) != 0) {
                return 0.0;
            }
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (rate == 0 || blockAlign == 0 || std::fseek(file, 0, SEEK_END) != 0) {
                return 0.0;
            }
            const int64_t available = std::max<int64_t>(0, std::ftell(file) - position);
            const int64_t bytes = std::min<int64_t>(size, available);
            return static_cast<double>(bytes / blockAlign) / rate;
        } else if (std::fseek(file, static_cast<long>(size + (size & 1)), SEEK_CUR) != 0) {
            return 0.0;
        }
        position += size + (size & 1);
    }
    return 0.0;
}

}  // namespace

RenderedSound RenderSound(const std::wstring& audioPath) {
    RenderedSound sound;
    if (audioPath.empty()) {
        sound.playerNote = "No sound was rendered for this drive.";
        sound.spectrogramNote = "No spectrogram: no sound was rendered.";
        return sound;
    }
    sound.seconds = WaveSeconds(audioPath);
    if (sound.seconds <= 0.0) {
        sound.spectrogramNote = sound.playerNote =
            "The rendered sound cannot be read as a WAV file.";
        return sound;
    }
    ScratchFolder scratch;
    std::string error = "no temporary folder";
    std::string wav = platform::NativeNameFromWide(audioPath);
    if (wav.front() == '-') {
        wav.insert(0, "./");  // not an option of sox
    }
    if (scratch.Made()) {
        const int width = std::clamp(static_cast<int>(sound.seconds * kSpectrogramPixelsPerSecond),
                                     kSpectrogramMinWidth, kSpectrogramMaxWidth);
        const std::filesystem::path png = scratch.File("spectrogram.png");
        if (RunSox({wav, "-n", "remix", "-", "rate", std::to_string(kSpectrogramRateHz),
                    "spectrogram", "-r", "-x", std::to_string(width), "-y",
                    std::to_string(kSpectrogramHeight), "-o", png.string()},
                   error)) {
            sound.spectrogramPng = host::ReadFileBytes(png);
        }
    }
    if (sound.spectrogramPng.empty()) {
        sound.spectrogramNote = "No spectrogram: " + error + ".";
    }

    if (scratch.Made()) {
        const std::filesystem::path ogg = scratch.File("sound.ogg");
        if (RunSox({wav, "-C", "4", ogg.string()}, error)) {
            sound.playerBytes = host::ReadFileBytes(ogg);
            if (!sound.playerBytes.empty()) {
                sound.playerMime = "audio/ogg";
                return sound;
            }
            error = "sox wrote no Ogg Vorbis file";
        }
    }
    std::error_code failure;
    const uintmax_t wavBytes = std::filesystem::file_size(wav, failure);
    if (!failure && wavBytes > kLargestInlineWavBytes) {
        sound.playerNote = "No player: the sound could not be compressed (" + error +
                           ") and the WAV file is too large to hold in the page.";
        return sound;
    }
    sound.playerBytes = host::ReadFileBytes(host::NativePath(audioPath));
    if (sound.playerBytes.empty()) {
        sound.playerNote = "No player: the sound could not be compressed (" + error +
                           ") and the WAV file cannot be read.";
        return sound;
    }
    sound.playerMime = "audio/wav";
    sound.playerNote =
        "The sound could not be compressed (" + error + "), so the page holds the WAV file itself.";
    return sound;
}

}  // namespace camcab::run
