// The files a fuzz target hands to a reader: one scratch folder per process, made on first use
// and removed at exit, and an input split into the files of a group.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/WideText.h"

namespace camcab::fuzz {

// Between the files of one input. It starts with '#', so should it stand inside a file it
// reads as a comment.
inline constexpr std::string_view kFileSeparator = "\n#%%\n";

class ScratchFolder {
  public:
    ScratchFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "camcab-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // The folder as the readers name a folder: wide, with a trailing separator.
    std::wstring Directory() const { return platform::WideFromNativeName(path_.string() + "/"); }
    std::wstring File(const std::string& name) const {
        return platform::WideFromNativeName((path_ / name).string());
    }
    void Write(const std::string& name, std::string_view bytes) const {
        std::ofstream out(path_ / name, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            std::abort();
        }
    }
    void Remove(const std::string& name) const {
        std::error_code ignored;
        std::filesystem::remove(path_ / name, ignored);
    }

  private:
    std::filesystem::path path_;
};

// The process's scratch folder.
inline const ScratchFolder& Scratch() {
    static const ScratchFolder folder;
    return folder;
}

// The input cut at every separator; the last part runs to the end.
inline std::vector<std::string_view> SplitInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (;;) {
        const size_t found = input.find(kFileSeparator, start);
        if (found == std::string_view::npos) {
            parts.push_back(input.substr(start));
            return parts;
        }
        parts.push_back(input.substr(start, found - start));
        start = found + kFileSeparator.size();
    }
}

// Writes the parts to the named files, in order; a file without a part is removed, so each
// input sees exactly its own files.
inline void WriteGroup(const std::vector<std::string_view>& parts,
                       const std::vector<std::string>& names) {
    for (size_t i = 0; i < names.size(); ++i) {
        if (i < parts.size()) {
            Scratch().Write(names[i], parts[i]);
        } else {
            Scratch().Remove(names[i]);
        }
    }
}

}  // namespace camcab::fuzz
