// What the recording test modules report, and the built test modules themselves.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/HostRecords.h"
#include "platform/Module.h"
#include "support/TempFolder.h"

namespace camcab::test {

// Every call the attached recording modules reported, in order. It lives as long as the
// program, since a module reports its own release whenever that happens.
std::vector<std::string>& ModuleCalls();
// Run for each reported call at the moment it is made (to look at the library meanwhile).
std::function<void(const std::string&)>& OnModuleCall();

// A recording module attached to the log under a tag. It holds one reference on the library
// while it lives, so that the attachment is in place before the chain loads the library.
class RecordingModule {
  public:
    RecordingModule(const std::filesystem::path& file, const std::string& tag);
    ~RecordingModule();
    RecordingModule(const RecordingModule&) = delete;
    RecordingModule& operator=(const RecordingModule&) = delete;

    // Makes its Elapse answer `answer` from now on.
    void Answer(const Handles& answer);
    // Makes the exports named in `entries` ("*" for all) fail from now on, after reporting.
    void Fail(const std::string& entries, int failure);
    platform::ModuleHandle handle() const { return handle_; }

  private:
    platform::ModuleHandle handle_ = nullptr;
};

// The file name of a library on this platform: "recA" gives "recA.so" or "recA.dll".
std::wstring LibraryName(const std::wstring& stem);

// A library's file name as a list file entry (UTF-8).
std::string ListEntry(const std::wstring& stem);

// The built test modules.
std::filesystem::path RecorderFile();    // all sixteen exports
std::filesystem::path FewExportsFile();  // Load, Dispose, SetPower, SetBrake, KeyDown
std::filesystem::path NoExportsFile();   // none of the sixteen
std::filesystem::path OldVersionFile();  // answers version 0x10000
std::filesystem::path AlteringFile();    // changes the records it is given
std::filesystem::path PluginFile();      // the plug-in itself

// Copies a built module into `folder` as `stem` plus the library suffix, attaches it to the
// log under `tag`, and keeps it attached while the returned object lives.
std::unique_ptr<RecordingModule> PlaceRecorder(const TempFolder& folder,
                                               const std::filesystem::path& built,
                                               const std::wstring& stem, const std::string& tag);

}  // namespace camcab::test
