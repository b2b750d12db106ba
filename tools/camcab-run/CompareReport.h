// The A/B report: one scenario driven through two vehicle folders, on one page. Both currents
// against both sets of curves, both drives' stages and own sounds, both returned handle
// series, what one drive did and the other did not (or did at another time), and how the two
// folders' files differ.
#pragma once

#include <string>
#include <vector>

#include "DriveTrace.h"
#include "FolderDifferences.h"

namespace camcab::run {

struct CompareInfo {
    std::wstring pluginPathA;
    std::wstring pluginPathB;
    std::wstring scenarioPath;  // empty: no scenario
    double runSecondsA = 0.0;
    double runSecondsB = 0.0;
    std::vector<FileDifference> files;
};

// The page shows at most this many differences (the summary counts them all).
inline constexpr size_t kMostDifferencesShown = 1000;

// Writes the page to `path`. False with a reason in `error` when it cannot be written.
bool WriteCompareReport(const std::wstring& path, const DriveTrace& a, const DriveTrace& b,
                        const CompareInfo& info, std::string& error);

}  // namespace camcab::run
