// The host side of the plug-in's event channel. A program linking this library exports
// CamcabHostEvent, so a plug-in loaded into it tells what it does: its own sounds starting,
// stopping and ending, the camshaft's stages, regeneration, a chained module that failed.
#pragma once

#include <string>
#include <vector>

namespace camcab::hostevents {

// The events told since the last call, in the order told.
std::vector<std::string> Take();

}  // namespace camcab::hostevents
