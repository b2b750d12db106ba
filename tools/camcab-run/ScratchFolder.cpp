#include "ScratchFolder.h"

#include <random>
#include <string>
#include <system_error>

namespace camcab::run {

ScratchFolder::ScratchFolder() {
    std::error_code failure;
    const std::filesystem::path base = std::filesystem::temp_directory_path(failure);
    if (failure) {
        return;
    }
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 16; ++attempt) {
        const auto candidate = base / ("camcab-run-" + std::to_string(random()));
        if (std::filesystem::create_directory(candidate, failure)) {
            path_ = candidate;
            return;
        }
    }
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    if (!path_.empty()) {
        std::filesystem::remove_all(path_, ignored);
    }
}

}  // namespace camcab::run
