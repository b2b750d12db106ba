#include "HeapCount.h"

#include <dlfcn.h>
#include <execinfo.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <string>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);
void __libc_free(void* pointer);
void* __libc_memalign(size_t alignment, size_t size);
}

namespace heap {
namespace {

constexpr int kHookFrames = 3;  // RecordSite, Note and the allocation function itself

// Constant-initialised thread-locals of the program itself: reading them never allocates.
thread_local Tally* counting = nullptr;
thread_local bool inside = false;

bool InEngineLibrary(const void* address) {
    Dl_info info{};
    if (::dladdr(address, &info) == 0 || info.dli_fname == nullptr) {
        return false;
    }
    return std::strstr(info.dli_fname, "libFAudio") != nullptr ||
           std::strstr(info.dli_fname, "libSDL2") != nullptr;
}

__attribute__((noinline)) void RecordSite(Tally& tally) {
    void* frames[Tally::kDepth];
    const int depth = ::backtrace(frames, Tally::kDepth);
    for (int i = 0; i < tally.siteCount; ++i) {
        Tally::Site& site = tally.sites[i];
        if (site.depth == depth && std::equal(frames, frames + depth, site.frames)) {
            ++site.count;
            return;
        }
    }
    if (tally.siteCount == Tally::kMaxSites) {
        ++tally.unrecordedSites;
        return;
    }
    Tally::Site& site = tally.sites[tally.siteCount++];
    std::copy(frames, frames + depth, site.frames);
    site.depth = depth;
    site.count = 1;
}

__attribute__((noinline)) void Note(const void* caller) {
    if (counting == nullptr || inside) {
        return;
    }
    inside = true;  // what the bookkeeping itself allocates is not counted
    Tally& tally = *counting;
    ++tally.allocations;
    if (InEngineLibrary(caller)) {
        ++tally.engineAllocations;
    } else {
        RecordSite(tally);
    }
    inside = false;
}

void* Allocate(size_t size, size_t alignment) {
    return alignment <= __STDCPP_DEFAULT_NEW_ALIGNMENT__ ? __libc_malloc(size == 0 ? 1 : size)
                                                         : __libc_memalign(alignment, size);
}

// "function at file:line (object)" of a return address, through addr2line.
std::string Describe(void* returnAddress) {
    Dl_info info{};
    if (::dladdr(returnAddress, &info) == 0 || info.dli_fname == nullptr) {
        return "?";
    }
    char command[1024];
    std::snprintf(command, sizeof command, "addr2line -C -f -p -e '%s' 0x%zx 2>/dev/null",
                  info.dli_fname,
                  static_cast<size_t>(reinterpret_cast<uintptr_t>(returnAddress) - 1 -
                                      reinterpret_cast<uintptr_t>(info.dli_fbase)));
    std::string where;
    if (FILE* pipe = ::popen(command, "r")) {
        char line[512];
        while (std::fgets(line, sizeof line, pipe) != nullptr) {
            where += line;
        }
        ::pclose(pipe);
    }
    while (!where.empty() && where.back() == '\n') {
        where.pop_back();
    }
    if (where.empty() || where.rfind("??", 0) == 0) {
        where = info.dli_sname != nullptr ? info.dli_sname : "?";
    }
    return where + " (" + std::filesystem::path(info.dli_fname).filename().string() + ")";
}

}  // namespace

void PrepareBacktrace() {
    void* frames[4];
    ::backtrace(frames, 4);
}

void StartCounting(Tally& tally) {
    counting = &tally;
}

void StopCounting() {
    counting = nullptr;
}

void PrintOurSites(const char* title, const Tally& tally, size_t frames) {
    std::fprintf(stderr, "%s: %llu allocations of ours in %zu frames\n", title,
                 static_cast<unsigned long long>(tally.Ours()), frames);
    for (int i = 0; i < tally.siteCount; ++i) {
        const Tally::Site& site = tally.sites[i];
        std::fprintf(stderr, "  %llu times:\n", static_cast<unsigned long long>(site.count));
        for (int k = kHookFrames; k < site.depth && k < kHookFrames + 12; ++k) {
            std::fprintf(stderr, "    %s\n", Describe(site.frames[k]).c_str());
        }
    }
    if (tally.unrecordedSites > 0) {
        std::fprintf(stderr, "  %llu from further stacks\n",
                     static_cast<unsigned long long>(tally.unrecordedSites));
    }
}

}  // namespace heap

// Every allocation function of the process comes here.

extern "C" {

void* malloc(size_t size) noexcept {
    void* p = __libc_malloc(size);
    heap::Note(__builtin_return_address(0));
    return p;
}

void* calloc(size_t count, size_t size) noexcept {
    void* p = __libc_calloc(count, size);
    heap::Note(__builtin_return_address(0));
    return p;
}

void* realloc(void* pointer, size_t size) noexcept {
    void* p = __libc_realloc(pointer, size);
    heap::Note(__builtin_return_address(0));
    return p;
}

void free(void* pointer) noexcept {
    __libc_free(pointer);
}

void* memalign(size_t alignment, size_t size) noexcept {
    void* p = __libc_memalign(alignment, size);
    heap::Note(__builtin_return_address(0));
    return p;
}

void* aligned_alloc(size_t alignment, size_t size) noexcept {
    void* p = __libc_memalign(alignment, size);
    heap::Note(__builtin_return_address(0));
    return p;
}

int posix_memalign(void** result, size_t alignment, size_t size) noexcept {
    if (alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0) {
        return EINVAL;
    }
    void* p = __libc_memalign(alignment, size);
    heap::Note(__builtin_return_address(0));
    if (p == nullptr) {
        return ENOMEM;
    }
    *result = p;
    return 0;
}

}  // extern "C"

// Every form of operator new: each notes its own caller, not itself. The library's operator
// delete frees through free, so it needs no replacement.
#define CAMCAB_NEW(signature, alignment)           \
    void* operator new signature {                 \
        void* p = heap::Allocate(size, alignment); \
        if (p == nullptr) {                        \
            throw std::bad_alloc();                \
        }                                          \
        heap::Note(__builtin_return_address(0));   \
        return p;                                  \
    }
#define CAMCAB_NEW_NOTHROW(signature, alignment)   \
    void* operator new signature noexcept {        \
        void* p = heap::Allocate(size, alignment); \
        heap::Note(__builtin_return_address(0));   \
        return p;                                  \
    }
CAMCAB_NEW((size_t size), 0)
CAMCAB_NEW([](size_t size), 0)
CAMCAB_NEW((size_t size, std::align_val_t a), static_cast<size_t>(a))
CAMCAB_NEW([](size_t size, std::align_val_t a), static_cast<size_t>(a))
CAMCAB_NEW_NOTHROW((size_t size, const std::nothrow_t&), 0)
CAMCAB_NEW_NOTHROW([](size_t size, const std::nothrow_t&), 0)
CAMCAB_NEW_NOTHROW((size_t size, std::align_val_t a, const std::nothrow_t&), static_cast<size_t>(a))
CAMCAB_NEW_NOTHROW([](size_t size, std::align_val_t a, const std::nothrow_t&),
                   static_cast<size_t>(a))
