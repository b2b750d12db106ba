// The detail-module list: every entry resolved to the file it names and tested for
// existence, as the loader does, but nothing is loaded.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "FuzzFiles.h"
#include "chain/ModuleList.h"
#include "platform/FileSystem.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace camcab;
    // A module the sample list names exists, so entries can resolve to a real file.
    static const bool moduleWritten = (fuzz::Scratch().Write("camcab-passthrough.so", ""), true);
    (void)moduleWritten;
    fuzz::Scratch().Write("detailmodulesx64.txt",
                          std::string_view(reinterpret_cast<const char*>(data), size));
    std::FILE* file = platform::OpenForReading(fuzz::Scratch().File("detailmodulesx64.txt"));
    if (file == nullptr) {
        std::abort();
    }
    const std::wstring directory = fuzz::Scratch().Directory();
    chain::ModuleList list(file);
    std::wstring entry;
    size_t entries = 0;
    while (list.Next(entry)) {
        // Every entry costs at least its line feed, but one: the last line.
        if (++entries > size + 1) {
            std::abort();
        }
        chain::ResolveModuleEntry(directory, entry);
    }
    std::fclose(file);
    return 0;
}
