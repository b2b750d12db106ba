// The plug-in's own sound as the host hears it, frame by frame: the audio clock advanced by
// each frame's time (rendering that frame's samples), the frame's level, and when a sound
// starts or falls silent. The Windows build renders no sound: its sounds keep the drive's time,
// but every frame is unheard.
#pragma once

#include <cstdint>
#include <string>

namespace camcab::run {

struct HeardFrame {
    std::string change;  // " audio on -20 dBFS", " audio up ...", " audio off", or empty
    double rms = -1.0;   // RMS of the frame's sound; < 0: not rendered
    bool onset = false;  // a sound starts in this frame ("on" or "up")
};

// What camcab's own sounds kept time by during the drive, for the report and the console.
std::string DriveClock();

class AudioWatch {
  public:
    // Advances the audio clock by `frameMs` and listens to what it rendered.
    HeardFrame Frame(int32_t frameMs);

  private:
    bool audible_ = false;
    int32_t silentMs_ = 0;
    double recentEdgeRms_ = 0.0;  // the difference level of the last few frames
};

}  // namespace camcab::run
