// A folder of its own under the system's temporary folder, removed with everything in it:
// where the workbench keeps the files it makes only on the way to another (sox's input and
// output, a WAV rendered only for the report), so that no file of the user's is touched.
#pragma once

#include <filesystem>

namespace camcab::run {

class ScratchFolder {
  public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // False when no folder could be made.
    bool Made() const { return !path_.empty(); }
    std::filesystem::path File(const char* name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

}  // namespace camcab::run
