// Writes the sample vehicle's WAV files into the folder given (examples/vehicle).
#include <cstdio>
#include <filesystem>

#include "SampleSounds.h"
#include "WaveFile.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-sample-sounds <vehicle folder>\n");
        return 2;
    }
    const std::filesystem::path folder(argv[1]);
    int failures = 0;
    for (const camcab::samples::SampleSound& sound : camcab::samples::MakeSampleSounds()) {
        const std::filesystem::path file = folder / std::filesystem::path(sound.name);
        if (!camcab::hostaudio::WriteFileBytes(file, sound.bytes)) {
            std::fprintf(stderr, "cannot write %s\n", file.string().c_str());
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
