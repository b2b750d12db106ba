// The sample vehicle's sounds, synthesised: clicks and thumps of the camshaft, bursts and
// hiss of the air, and motor hums with harmonics. Deterministic, small, in mixed formats.
#pragma once

#include <string>
#include <vector>

namespace camcab::samples {

struct SampleSound {
    std::wstring name;  // relative to the vehicle folder, '/' separated
    std::string bytes;  // the whole WAV file
};

std::vector<SampleSound> MakeSampleSounds();

}  // namespace camcab::samples
