// Heap allocations counted on one thread, while the program replaces the allocator: each is
// told apart as the audio engine's own (its immediate caller lies in FAudio or SDL) or ours,
// and the call stacks of ours are kept so they can be found.
#pragma once

#include <cstddef>
#include <cstdint>

namespace heap {

struct Tally {
    uint64_t allocations = 0;
    uint64_t engineAllocations = 0;
    uint64_t unrecordedSites = 0;  // ours beyond the stacks kept
    static constexpr int kDepth = 24;
    static constexpr int kMaxSites = 16;
    struct Site {
        void* frames[kDepth];
        int depth;
        uint64_t count;
    };
    int siteCount = 0;
    Site sites[kMaxSites];

    uint64_t Ours() const { return allocations - engineAllocations; }
};

// The unwinder loads its library at the first backtrace: do that before anything is counted.
void PrepareBacktrace();

// Counts this thread's allocations into `tally` until StopCounting.
void StartCounting(Tally& tally);
void StopCounting();

// Prints each stack of ours that allocated, with function, file and line.
void PrintOurSites(const char* title, const Tally& tally, size_t frames);

}  // namespace heap
