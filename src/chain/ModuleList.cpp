#include "chain/ModuleList.h"

#include "platform/FileSystem.h"
#include "platform/WideText.h"

namespace camcab::chain {

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
    if (!endedByLineFeed && bytesRead_ >= kMaxModuleListBytes) {
        atEnd_ = true;
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
        return false;
    }
    if (overlong) {
        // Far beyond any file name: an entry that names nothing.
        entry.assign(1, L'\0');
    }
    return true;
}

std::optional<std::wstring> ModuleEntryPath(const std::wstring& pluginDirectory,
                                            const std::wstring& entry) {
    if (entry.find(L'\0') != std::wstring::npos) {
        return std::nullopt;
    }
    return platform::AppendPath(pluginDirectory, platform::NativeSeparators(entry));
}

}  // namespace camcab::chain
