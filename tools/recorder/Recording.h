// The recording file of one drive: made afresh beside the module, written through a buffer of
// its own. The first failure to write stops it for good, so a full disk or a refused folder
// never slows the drive down.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/FileSystem.h"
#include "platform/LocalTime.h"

namespace camcab::recorder {

class Recording {
  public:
    // Lines wait here until it is full; the drive's frames never wait for the disk otherwise.
    static constexpr size_t kBufferBytes = 64 * 1024;
    // Numeric suffixes tried when recordings of the same second exist.
    static constexpr int kMaxSuffix = 999;

    Recording() = default;
    // A host that unloads the module without Dispose still gets what was buffered.
    ~Recording();
    Recording(const Recording&) = delete;
    Recording& operator=(const Recording&) = delete;

    // Creates "camcab-recording-YYYYMMDD-HHMMSS.txt" in `folder` (with "-2", "-3", ... before
    // ".txt" when that name is taken). False when no file could be made.
    bool Start(const std::wstring& folder, const platform::LocalTime& now);
    // Adds one line; the line end is added here.
    void WriteLine(std::string_view line);
    // Writes what is buffered and closes the file.
    void Finish();

    bool IsRecording() const { return recording_; }
    const std::wstring& Path() const { return path_; }

    // The file name that Start tries first.
    static std::wstring FileName(const platform::LocalTime& now, int suffix);

  private:
    bool Flush();
    // Ends the recording after a failed write: the file is cut back to its last whole line and
    // one last attempt is made to say why there.
    void Stop(const std::string& reason);

    platform::NewFile file_;
    std::wstring path_;
    std::string buffer_;
    uint64_t writtenBytes_ = 0;  // bytes that reached the file, whole lines only
    bool recording_ = false;
};

}  // namespace camcab::recorder
