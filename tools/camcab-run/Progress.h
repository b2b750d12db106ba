// A progress bar for long drives, drawn on standard error only when that is a terminal.
#pragma once

#include <chrono>
#include <cstdint>

namespace camcab::run {

class Progress {
  public:
    // `totalFrames` 0 draws nothing.
    explicit Progress(int64_t totalFrames);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // Frame `frame` of the total is done; `driveMs` of scenario time have passed.
    void Update(int64_t frame, double driveMs);
    // Removes the bar, so that what follows starts on a clean line.
    void Finish();

  private:
    using Clock = std::chrono::steady_clock;
    const int64_t totalFrames_;
    const bool shown_;
    bool drawn_ = false;
    Clock::time_point start_;
    Clock::time_point lastDrawn_;
};

}  // namespace camcab::run
