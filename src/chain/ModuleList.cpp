#include "chain/ModuleList.h"

#include "config/ConfigText.h"
#include "config/VehicleFolder.h"
#include "platform/FileSystem.h"
#include "platform/WideText.h"

namespace camcab::chain {

void ModuleList::Report(config::Severity severity, const wchar_t* message) const {
    if (diagnostics_ != nullptr) {
        diagnostics_->Report(config::Diagnostic{path_, lineNumber_, severity, message, {}});
    }
}

bool ModuleList::Next(std::wstring& entry) {
    entry.clear();
    if (atEnd_ || file_ == nullptr) {
        return false;
    }
    std::string line;
    bool overlong = false;
    bool endedByLineFeed = false;
    for (;;) {
        const int c = bytesRead_ < kMaxModuleListBytes ? std::fgetc(file_) : EOF;
        if (c == EOF) {
            atEnd_ = true;
            break;
        }
        ++bytesRead_;
        if (c == '\n') {
            endedByLineFeed = true;
            break;
        }
        if (line.size() < kMaxModuleListLineBytes) {
            line.push_back(static_cast<char>(c));
        } else {
            overlong = true;
        }
    }
    // An entry cut by the bound on the bytes read would name another file (a.dll.bak as a.dll).
    ++lineNumber_;
    if (!endedByLineFeed && bytesRead_ >= kMaxModuleListBytes) {
        atEnd_ = true;
        Report(config::Severity::Error, L"the list is longer than 1 MiB: the rest is not read");
        return false;
    }
    // Text mode reads carriage return plus line feed as a line feed; a lone one stays.
    if (endedByLineFeed && !overlong && !line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    bool complete = false;
    entry = platform::DecodeUtf8(line, &complete);
    if (!complete && !overlong) {
        atEnd_ = true;
        entry.clear();
        Report(config::Severity::Error,
               L"invalid UTF-8: this entry and the rest of the list are not used");
        return false;
    }
    if (overlong) {
        Report(config::Severity::Error, L"entry longer than 64 KiB: it names no file");
        // Far beyond any file name: an entry that names nothing.
        entry.assign(1, L'\0');
    }
    return true;
}

platform::UniqueFile OpenModuleList(const std::wstring& pluginDirectory,
                                    config::Diagnostics* diagnostics) {
    const std::wstring path = config::JoinPath(pluginDirectory, config::kModuleListFile);
    platform::UniqueFile file(platform::OpenForReading(path));
    if (diagnostics != nullptr) {
        diagnostics->FileOpened(path, file != nullptr);
        if (file == nullptr && platform::PathExists(path)) {
            diagnostics->Report(config::Diagnostic{
                path, 0, config::Severity::Error,
                L"cannot be read: not a regular file, or no permission", std::nullopt});
        }
    }
    return file;
}

ModuleEntry ResolveModuleEntry(const std::wstring& pluginDirectory, const std::wstring& entry) {
    if (entry.find(L'\0') != std::wstring::npos) {
        return {ModuleEntryKind::NoFileName, {}};
    }
    std::wstring path = platform::AppendPath(pluginDirectory, platform::NativeSeparators(entry));
    const ModuleEntryKind kind = !platform::PathExists(path)     ? ModuleEntryKind::Missing
                                 : platform::LeadsToDevice(path) ? ModuleEntryKind::Device
                                                                 : ModuleEntryKind::Library;
    return {kind, std::move(path)};
}

bool IsPluginItself(platform::ModuleHandle module, platform::ModuleHandle self) {
    return module == self || platform::IsMarkedLoading(module);
}

}  // namespace camcab::chain
