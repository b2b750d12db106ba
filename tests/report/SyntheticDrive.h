// A made-up drive for the drive report: powering through the curves, coasting and braking
// with regeneration, with lamps, needles, host sound commands and a rendered sound whose
// pitch follows the speed.
#pragma once

#include <cmath>
#include <string>

#include "DriveTrace.h"
#include "WaveFile.h"

namespace camcab::test {

inline constexpr int32_t kSyntheticStartMs = 8 * 3600 * 1000;  // 08:00
inline constexpr int32_t kSyntheticStepMs = 20;
inline constexpr uint32_t kSyntheticRateHz = 16000;

struct SyntheticDrive {
    run::DriveTrace trace;
    std::string wavBytes;  // 16-bit mono, from the first frame's start
};

// `hostileValues`: one frame a third of the way holds NaN, infinities and a huge value.
inline SyntheticDrive MakeSyntheticDrive(size_t frameCount, bool hostileValues = false) {
    SyntheticDrive drive;
    std::vector<float> samples;
    const size_t samplesPerFrame = kSyntheticRateHz * kSyntheticStepMs / 1000;
    double phase = 0.0;
    int32_t panel[kHostArrayIndexLimit] = {};
    int32_t sound[kHostArrayIndexLimit] = {};
    const double n = static_cast<double>(frameCount);
    for (size_t f = 0; f < frameCount; ++f) {
        const double share = static_cast<double>(f) / n;  // 0..1 through the drive
        const bool powering = share < 0.4;
        const bool braking = share >= 0.6;
        const double speedKmh = powering  ? 200.0 * share
                                : braking ? 80.0 * (1.0 - share) / 0.4
                                          : 80.0;
        const int notch = powering ? 1 + static_cast<int>(share * 10.0) : 0;
        run::TraceFrame frame;
        frame.state.Time = kSyntheticStartMs + static_cast<int32_t>(f + 1) * kSyntheticStepMs;
        frame.state.Speed = static_cast<float>(speedKmh);
        frame.state.Location = speedKmh * 0.02 * static_cast<double>(f) / 3.6;
        for (size_t c = 0; c < frame.powerCurvesA.size(); ++c) {
            frame.powerCurvesA[c] =
                static_cast<float>(120.0 + 18.0 * run::kTracedPowerCurves[c] + 1.5 * speedKmh);
        }
        frame.brakeFirstA = static_cast<float>(100.0 + speedKmh);
        frame.brakeLastA = static_cast<float>(300.0 + speedKmh);
        frame.state.Current = powering  ? frame.powerCurvesA[static_cast<size_t>(notch - 1)]
                              : braking ? -frame.brakeLastA
                                        : 0.0f;
        frame.driver = Handles{braking ? 4 : 0, notch, 1, 0};
        frame.returned = Handles{braking ? 4 : 0, braking ? -4 : notch + (notch > 1 ? 1 : 0), 1, 0};
        panel[3] = powering ? 1 : 0;                              // power lamp
        panel[4] = braking ? 1 : 0;                               // regeneration lamp
        panel[10] = static_cast<int32_t>(std::lround(speedKmh));  // speed needle
        panel[20] = static_cast<int32_t>(frame.state.Current);    // current digits
        // A one-shot at every notch change, a loop from the start to the brake's release.
        if (f > 0 && notch != drive.trace.Frames().back().driver.Power) {
            sound[5] = 1;
        } else if (sound[5] == 1) {
            sound[5] = 2;
        }
        sound[7] = f == 0 ? 0 : braking && f + 10 >= frameCount ? -10000 : sound[7];
        sound[9] = f == frameCount / 2 ? -2500 : sound[9];

        const double frequencyHz = 150.0 + 25.0 * speedKmh;
        const double amplitude = speedKmh > 0.5 ? 0.3 : 0.0;
        for (size_t s = 0; s < samplesPerFrame; ++s) {
            phase += 2.0 * 3.141592653589793 * frequencyHz / kSyntheticRateHz;
            samples.push_back(static_cast<float>(amplitude * std::sin(phase)));
        }
        frame.audioRms = amplitude / std::sqrt(2.0);
        if (hostileValues && f == frameCount / 3) {
            frame.state.Speed = std::nanf("");
            frame.state.Current = -INFINITY;
            frame.powerCurvesA[0] = 3.0e38f;
            frame.audioRms = std::nan("");
        }
        drive.trace.Record(frame, panel, sound);
    }
    hostaudio::WaveLayout layout;
    layout.sampleRate = kSyntheticRateHz;
    drive.wavBytes = hostaudio::WaveBytes(layout, hostaudio::EncodeSamples(layout, samples));
    return drive;
}

}  // namespace camcab::test
