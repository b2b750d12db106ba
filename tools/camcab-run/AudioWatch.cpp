#include "AudioWatch.h"

#include "HostAudio.h"

#ifndef _WIN32
#include <cmath>
#include <cstdio>
#include <vector>
#endif

namespace camcab::run {

std::string DriveClock() {
    if (!hostaudio::WasAttached()) {
        return "none: camcab started no audio engine (its start-up log says why), so no sound "
               "of its own held the drive";
    }
#ifdef _WIN32
    return "the drive's own: camcab's sounds kept the drive's time, frame by frame, without "
           "being rendered (as on Linux, not on the sound device's real time)";
#else
    return "the drive's own: camcab's sounds were rendered frame by frame in step with the drive";
#endif
}

#ifdef _WIN32

// The sounds keep the drive's time; their quanta are silent and not kept.
HeardFrame AudioWatch::Frame(int32_t frameMs) {
    hostaudio::Advance(frameMs);
    hostaudio::ClearCapture();
    return {};
}

#else

namespace {

// A frame whose rendered sound is below -60 dBFS counts as silent.
constexpr double kAudibleRms = 0.001;
constexpr int32_t kSilenceMs = 100;
// A frame whose difference level is this many times that of the last few (6 dB) starts a new
// sound.
constexpr double kOnsetFactor = 2.0;

// Root mean square of the differences between successive samples of each channel.
double EdgeRms(size_t beginFrame, size_t endFrame) {
    const std::vector<float>& samples = hostaudio::Captured();
    const size_t channels = hostaudio::Channels();
    const size_t first = hostaudio::FirstCapturedFrame();
    if (beginFrame <= first || channels == 0 || endFrame > hostaudio::CapturedFrames() ||
        beginFrame >= endFrame) {
        return 0.0;
    }
    double sum = 0.0;
    for (size_t i = (beginFrame - first) * channels; i < (endFrame - first) * channels; ++i) {
        const double difference = static_cast<double>(samples[i]) - samples[i - channels];
        sum += difference * difference;
    }
    return std::sqrt(sum / static_cast<double>((endFrame - beginFrame) * channels));
}

}  // namespace

// The plug-in's own sound starting ("on"), a new sound over what was already heard ("up": a
// camshaft or air sound over the motors), or silence for a while ("off"; short gaps inside a
// sound do not count); with the frame's level. New sounds are told by the level of the
// sample-to-sample differences, which the clicks and hiss of the camshaft and air sounds raise
// far more than the low hum of the motors.
HeardFrame AudioWatch::Frame(int32_t frameMs) {
    const size_t beginFrame = hostaudio::CapturedFrames();
    hostaudio::Advance(frameMs);
    const size_t endFrame = hostaudio::CapturedFrames();
    HeardFrame heard;
    heard.rms = hostaudio::CapturedRms(beginFrame, endFrame);
    const double edgeRms = EdgeRms(beginFrame, endFrame);
    // The next frame's differences start from this frame's last samples.
    hostaudio::ForgetCaptureBefore(endFrame == 0 ? 0 : endFrame - 1);
    const double recentEdgeRms = recentEdgeRms_;
    recentEdgeRms_ = 0.7 * recentEdgeRms_ + 0.3 * edgeRms;
    if (heard.rms >= kAudibleRms) {
        silentMs_ = 0;
        const char* change = !audible_ ? "on"
                             : edgeRms >= kAudibleRms && edgeRms >= kOnsetFactor * recentEdgeRms
                                 ? "up"
                                 : nullptr;
        audible_ = true;
        heard.onset = change != nullptr;
        if (change != nullptr) {
            char text[40];
            std::snprintf(text, sizeof text, " audio %s %.0f dBFS", change,
                          20.0 * std::log10(heard.rms));
            heard.change = text;
        }
        return heard;
    }
    silentMs_ += frameMs;
    if (audible_ && silentMs_ >= kSilenceMs) {
        audible_ = false;
        heard.change = " audio off";
    }
    return heard;
}

#endif

}  // namespace camcab::run
