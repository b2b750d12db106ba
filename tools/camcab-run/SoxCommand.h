// Runs the sox sound tool for the drive report: the spectrogram and the compressed copy of
// the rendered sound.
#pragma once

#include <string>
#include <vector>

namespace camcab::run {

// Runs `sox` (found through PATH) with `arguments` (file names in the system's encoding),
// its output discarded, and waits for it. False with a reason in `error` when it cannot be
// started or does not end with status 0. The Windows build renders no sound and never runs
// sox: there it always answers false.
bool RunSox(const std::vector<std::string>& arguments, std::string& error);

}  // namespace camcab::run
