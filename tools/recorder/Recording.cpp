#include "Recording.h"

#include <cstdio>

namespace camcab::recorder {

std::wstring Recording::FileName(const platform::LocalTime& now, int suffix) {
    wchar_t name[64];
    std::swprintf(name, sizeof name / sizeof name[0], L"camcab-recording-%04d%02d%02d-%02d%02d%02d",
                  now.year, now.month, now.day, now.hour, now.minute, now.second);
    std::wstring fileName = name;
    if (suffix > 1) {
        fileName += L"-" + std::to_wstring(suffix);
    }
    return fileName + L".txt";
}

Recording::~Recording() {
    try {
        Finish();
    } catch (...) {
    }
}

bool Recording::Start(const std::wstring& folder, const platform::LocalTime& now) {
    Finish();
    buffer_.clear();
    buffer_.reserve(kBufferBytes);
    writtenBytes_ = 0;
    for (int suffix = 1; suffix <= kMaxSuffix; ++suffix) {
        path_ = platform::AppendPath(folder, FileName(now, suffix));
        const platform::NewFile::Opened opened = file_.Create(path_);
        if (opened == platform::NewFile::Opened::Created) {
            recording_ = true;
            return true;
        }
        if (opened == platform::NewFile::Opened::Failed) {
            break;
        }
    }
    path_.clear();
    return false;
}

void Recording::WriteLine(std::string_view line) {
    if (!recording_) {
        return;
    }
    if (buffer_.size() + line.size() + 1 > kBufferBytes && !Flush()) {
        return;
    }
    buffer_.append(line);
    buffer_.push_back('\n');
}

bool Recording::Flush() {
    if (!recording_ || buffer_.empty()) {
        return recording_;
    }
    if (!file_.Write(buffer_.data(), buffer_.size())) {
        Stop(file_.Failure());
        return false;
    }
    writtenBytes_ += buffer_.size();
    buffer_.clear();
    return true;
}

void Recording::Stop(const std::string& reason) {
    recording_ = false;
    buffer_.clear();
    const std::string note = "# recording stopped: cannot write: " + reason + "\n";
    if (file_.Truncate(writtenBytes_)) {
        file_.Write(note.data(), note.size());
    }
    file_.Close();
}

void Recording::Finish() {
    if (recording_) {
        Flush();
    }
    recording_ = false;
    file_.Close();
}

}  // namespace camcab::recorder
