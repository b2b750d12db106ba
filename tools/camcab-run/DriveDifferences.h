// What one drive did and another did not, or did at another time: the camshaft's stages and
// camcab's other events (its sounds by file, notch-off, regeneration, ...) as it told them, and
// each change of a returned handle.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "DriveTrace.h"

namespace camcab::run {

// Something a drive did, at a scenario time.
struct Happening {
    double timeS = 0.0;
    std::string what;  // "stage B", "sound kamujiku\notchoff.wav start", "power 3", ...
};

// The events told and the returned handles' changes (from 0 0 0 before the first frame), in
// the order they happened.
std::vector<Happening> Happenings(const DriveTrace& trace);

struct Difference {
    std::string what;
    std::optional<double> timeA;  // none: drive A never did it
    std::optional<double> timeB;
};

// The times drive A did something are paired, in order, with the times drive B did the same,
// each with the nearest within kPairingWindowS (so that one extra early time does not shift
// every later pairing). What one drive did and the other did not, or did at another time, is a
// difference; in the order of the earlier of its times.
inline constexpr double kPairingWindowS = 10.0;
std::vector<Difference> CompareHappenings(const std::vector<Happening>& a,
                                          const std::vector<Happening>& b);

// Scenario time as a time of day, as the report's axes show it: "8:00:12.34".
std::string ClockText(double timeS);

// One line of text for a difference: "stage B: A at 8:00:12.34, B at 8:00:13.1 (+0.76 s)".
std::string DescribeDifference(const Difference& difference);

// Prints the differences on standard output, a line each, up to the first `most` (the rest
// counted): "N differences between drive A and drive B", or as `heading` names the drives.
void PrintDifferences(const std::vector<Difference>& differences, const char* heading,
                      size_t most = 40);

}  // namespace camcab::run
