#include "chain/ModuleLog.h"

#include <memory>
#include <stdexcept>

#include "chain/modules/RecordingModuleApi.h"
#include "platform/WideText.h"

namespace camcab::test {
namespace {

extern "C" void RecordCall(void*, const char* line) {
    const std::string call(line);
    ModuleCalls().push_back(call);
    if (OnModuleCall()) {
        OnModuleCall()(call);
    }
}

}  // namespace

std::vector<std::string>& ModuleCalls() {
    static auto* calls = new std::vector<std::string>();
    return *calls;
}

std::function<void(const std::string&)>& OnModuleCall() {
    static auto* hook = new std::function<void(const std::string&)>();
    return *hook;
}

RecordingModule::RecordingModule(const std::filesystem::path& file, const std::string& tag) {
    handle_ = platform::LoadModule(file.wstring());
    if (handle_ == nullptr) {
        throw std::runtime_error("cannot load " + file.string() + ": " +
                                 platform::LastModuleError());
    }
    auto attach =
        reinterpret_cast<RecorderAttachFn>(platform::FindExport(handle_, kRecorderAttachName));
    if (attach == nullptr) {
        throw std::runtime_error("not a recording module: " + file.string());
    }
    attach(&RecordCall, nullptr, tag.c_str());
}

RecordingModule::~RecordingModule() {
    platform::UnloadModule(handle_);
}

void RecordingModule::Answer(const Handles& answer) {
    auto set =
        reinterpret_cast<RecorderAnswerFn>(platform::FindExport(handle_, kRecorderAnswerName));
    if (set != nullptr) {
        set(&answer);
    }
}

void RecordingModule::Fail(const std::string& entries, int failure) {
    auto fail = reinterpret_cast<RecorderFailFn>(platform::FindExport(handle_, kRecorderFailName));
    if (fail == nullptr) {
        throw std::runtime_error("the recording module cannot fail");
    }
    fail(entries.c_str(), failure);
}

std::wstring LibraryName(const std::wstring& stem) {
    return stem + L"" CAMCAB_LIBRARY_SUFFIX;
}

std::string ListEntry(const std::wstring& stem) {
    return platform::EncodeUtf8(LibraryName(stem));
}

std::filesystem::path RecorderFile() {
    return BuiltFile(CAMCAB_RECORDER_FILE);
}
std::filesystem::path FewExportsFile() {
    return BuiltFile(CAMCAB_FEW_EXPORTS_FILE);
}
std::filesystem::path NoExportsFile() {
    return BuiltFile(CAMCAB_NO_EXPORTS_FILE);
}
std::filesystem::path OldVersionFile() {
    return BuiltFile(CAMCAB_OLD_VERSION_FILE);
}
std::filesystem::path AlteringFile() {
    return BuiltFile(CAMCAB_ALTERING_FILE);
}
std::filesystem::path PluginFile() {
    return BuiltFile(CAMCAB_PLUGIN_FILE);
}

std::unique_ptr<RecordingModule> PlaceRecorder(const TempFolder& folder,
                                               const std::filesystem::path& built,
                                               const std::wstring& stem, const std::string& tag) {
    const std::wstring name = LibraryName(stem);
    folder.Copy(built, name);
    return std::make_unique<RecordingModule>(folder.File(name), tag);
}

}  // namespace camcab::test
