#include "Progress.h"

#include <cstdio>
#include <string>
#ifdef _WIN32
#include <io.h>
#define CAMCAB_ISATTY(fd) _isatty(fd)
#define CAMCAB_FILENO(f) _fileno(f)
#else
#include <unistd.h>
#define CAMCAB_ISATTY(fd) isatty(fd)
#define CAMCAB_FILENO(f) fileno(f)
#endif

namespace camcab::run {
namespace {

constexpr int kBarWidth = 30;
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);

}  // namespace

Progress::Progress(int64_t totalFrames)
    : totalFrames_(totalFrames),
      shown_(totalFrames > 0 && CAMCAB_ISATTY(CAMCAB_FILENO(stderr)) != 0),
      start_(Clock::now()),
      lastDrawn_(start_) {}

Progress::~Progress() {
    Finish();
}

void Progress::Update(int64_t frame, double driveMs) {
    if (!shown_) {
        return;
    }
    const Clock::time_point now = Clock::now();
    if (now - lastDrawn_ < kRedrawEvery && frame < totalFrames_) {
        return;
    }
    lastDrawn_ = now;
    const double fraction =
        totalFrames_ > 0 ? static_cast<double>(frame) / static_cast<double>(totalFrames_) : 1.0;
    const int filled = static_cast<int>(fraction * kBarWidth);
    const double wallSeconds = std::chrono::duration<double>(now - start_).count();
    std::string bar(static_cast<size_t>(kBarWidth), ' ');
    for (int i = 0; i < filled && i < kBarWidth; ++i) {
        bar[static_cast<size_t>(i)] = '#';
    }
    std::fprintf(stderr, "\r[%s] %3.0f%% frame %lld/%lld, %.0f s driven, %.0fx real time ",
                 bar.c_str(), fraction * 100.0, static_cast<long long>(frame),
                 static_cast<long long>(totalFrames_), driveMs / 1000.0,
                 wallSeconds > 0.0 ? driveMs / 1000.0 / wallSeconds : 0.0);
    std::fflush(stderr);
    drawn_ = true;
}

void Progress::Finish() {
    if (drawn_) {
        std::fprintf(stderr, "\r%*s\r", kBarWidth + 70, "");
        std::fflush(stderr);
        drawn_ = false;
    }
}

}  // namespace camcab::run
