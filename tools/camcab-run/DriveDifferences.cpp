#include "DriveDifferences.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

#include "ReportData.h"

namespace camcab::run {
namespace {

// An event as it would read in either vehicle folder: a module's failure names the module by
// its file name, not its path.
std::string SameInEitherFolder(std::string_view event) {
    const size_t failed = event.rfind(" failed in ");
    if (event.rfind("module ", 0) != 0 || failed == std::string_view::npos) {
        return std::string(event);
    }
    const std::string_view path = event.substr(7, failed - 7);
    const size_t slash = path.find_last_of("/\\");
    return "module " +
           std::string(slash == std::string_view::npos ? path : path.substr(slash + 1)) +
           std::string(event.substr(failed));
}

}  // namespace

std::string ClockText(double timeS) {
    const double day = std::fmod(std::fmod(timeS, 86400.0) + 86400.0, 86400.0);
    const int hours = static_cast<int>(day / 3600.0);
    const int minutes = static_cast<int>(day / 60.0) % 60;
    char text[32];
    std::snprintf(text, sizeof text, "%d:%02d:%05.2f", hours, minutes,
                  day - 3600.0 * hours - 60.0 * minutes);
    return text;
}

std::vector<Happening> Happenings(const DriveTrace& trace) {
    std::vector<Happening> happenings;
    Handles before{};
    for (const TraceFrame& frame : trace.Frames()) {
        const double timeS = frame.state.Time / 1000.0;
        for (std::string_view event : FrameEvents(frame.events)) {
            happenings.push_back({timeS, SameInEitherFolder(event)});
        }
        const Handles& now = frame.returned;
        for (const auto& [name, was, is] :
             {std::tuple{"power ", before.Power, now.Power},
              std::tuple{"brake ", before.Brake, now.Brake},
              std::tuple{"reverser ", before.Reverser, now.Reverser}}) {
            if (is != was) {
                happenings.push_back({timeS, name + std::to_string(is)});
            }
        }
        before = now;
    }
    return happenings;
}

std::vector<Difference> CompareHappenings(const std::vector<Happening>& a,
                                          const std::vector<Happening>& b) {
    // Each drive's times of each happening, in order.
    std::map<std::string, std::pair<std::vector<double>, std::vector<double>>> times;
    for (const Happening& happening : a) {
        times[happening.what].first.push_back(happening.timeS);
    }
    for (const Happening& happening : b) {
        times[happening.what].second.push_back(happening.timeS);
    }
    std::vector<Difference> differences;
    for (const auto& [what, both] : times) {
        const auto& [timesA, timesB] = both;
        const auto only = [&, name = what](std::optional<double> timeA,
                                           std::optional<double> timeB) {
            differences.push_back({name, timeA, timeB});
        };
        size_t i = 0;
        size_t j = 0;
        while (i < timesA.size() && j < timesB.size()) {
            const double atA = timesA[i];
            const double atB = timesB[j];
            if (std::fabs(atB - atA) > kPairingWindowS) {
                atA < atB ? only(timesA[i++], std::nullopt) : only(std::nullopt, timesB[j++]);
            } else if (i + 1 < timesA.size() && timesA[i + 1] <= atB &&
                       std::fabs(atB - timesA[i + 1]) < std::fabs(atB - atA)) {
                only(timesA[i++], std::nullopt);  // A's next time is B's pair
            } else if (j + 1 < timesB.size() && timesB[j + 1] <= atA &&
                       std::fabs(timesB[j + 1] - atA) < std::fabs(atB - atA)) {
                only(std::nullopt, timesB[j++]);
            } else {
                if (atA != atB) {
                    only(atA, atB);
                }
                ++i;
                ++j;
            }
        }
        for (; i < timesA.size(); ++i) {
            only(timesA[i], std::nullopt);
        }
        for (; j < timesB.size(); ++j) {
            only(std::nullopt, timesB[j]);
        }
    }
    const auto earlier = [](const Difference& d) {
        return std::min(d.timeA.value_or(INFINITY), d.timeB.value_or(INFINITY));
    };
    std::stable_sort(
        differences.begin(), differences.end(),
        [&](const Difference& x, const Difference& y) { return earlier(x) < earlier(y); });
    return differences;
}

std::string DescribeDifference(const Difference& difference) {
    std::string text = difference.what + ": ";
    if (!difference.timeB) {
        return text + "only A, at " + ClockText(*difference.timeA);
    }
    if (!difference.timeA) {
        return text + "only B, at " + ClockText(*difference.timeB);
    }
    char shift[32];
    std::snprintf(shift, sizeof shift, " (%+.2f s)", *difference.timeB - *difference.timeA);
    return text + "A at " + ClockText(*difference.timeA) + ", B at " +
           ClockText(*difference.timeB) + shift;
}

void PrintDifferences(const std::vector<Difference>& differences, const char* heading,
                      size_t most) {
    std::printf("%zu differences between %s\n", differences.size(), heading);
    for (size_t k = 0; k < differences.size() && k < most; ++k) {
        std::printf("  %s\n", DescribeDifference(differences[k]).c_str());
    }
    if (differences.size() > most) {
        std::printf("  and %zu more (the A/B report lists them all)\n", differences.size() - most);
    }
}

}  // namespace camcab::run
