// The rendered sound as the drive report shows it: its length, a spectrogram and a compressed
// copy for the page's player, both made by sox.
#pragma once

#include <string>

namespace camcab::run {

// The sound is resampled to this rate for the spectrogram: it shows 0 to half of it.
inline constexpr int kSpectrogramRateHz = 16000;

struct RenderedSound {
    double seconds = 0.0;
    std::string spectrogramPng;  // empty: none, `spectrogramNote` tells why
    std::string spectrogramNote;
    std::string playerMime;  // empty: no player, `playerNote` tells why
    std::string playerBytes;
    std::string playerNote;
};

// Reads the WAV file at `audioPath` (empty: no sound was rendered) and makes what the page
// shows of it. What cannot be made is left empty, with a note that says why.
RenderedSound RenderSound(const std::wstring& audioPath);

}  // namespace camcab::run
