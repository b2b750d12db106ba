#include "platform/StartUpLog.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cwchar>

namespace camcab::platform {
namespace {

// The C runtime's wide stream in _O_U8TEXT mode: UTF-8 without BOM, "\n" written as CRLF.
class WideTextLog final : public StartUpLog {
  public:
    explicit WideTextLog(std::FILE* file) : file_(file) {}
    ~WideTextLog() override { std::fclose(file_); }
    void Write(const std::wstring& text) override {
        fwprintf(file_, L"%ls", text.c_str());
        std::fflush(file_);  // a crash later in the start-up leaves every line written so far
    }

  private:
    std::FILE* file_;
};

}  // namespace

std::unique_ptr<StartUpLog> OpenStartUpLog(const std::wstring& path) {
    std::FILE* file = nullptr;
    if (_wfopen_s(&file, path.c_str(), L"w") != 0 || file == nullptr) {
        return nullptr;
    }
    _setmode(_fileno(file), _O_U8TEXT);
    return std::make_unique<WideTextLog>(file);
}

}  // namespace camcab::platform
