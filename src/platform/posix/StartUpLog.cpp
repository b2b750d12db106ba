#include "platform/StartUpLog.h"

#include <cstdio>

#include "platform/FileSystem.h"
#include "platform/WideText.h"

namespace camcab::platform {
namespace {

// The same bytes as a Windows wide stream in _O_U8TEXT mode: UTF-8, no BOM, "\n" as CRLF.
class Utf8CrlfLog final : public StartUpLog {
  public:
    explicit Utf8CrlfLog(std::FILE* file) : file_(file) {}
    ~Utf8CrlfLog() override { std::fclose(file_); }

    void Write(const std::wstring& text) override {
        std::wstring crlf;
        crlf.reserve(text.size() + 8);
        for (wchar_t c : text) {
            if (c == L'\n') {
                crlf.push_back(L'\r');
            }
            crlf.push_back(c);
        }
        const std::string bytes = EncodeUtf8(crlf);
        std::fwrite(bytes.data(), 1, bytes.size(), file_);
        std::fflush(file_);  // a crash later in the start-up leaves every line written so far
    }

  private:
    std::FILE* file_;
};

}  // namespace

std::unique_ptr<StartUpLog> OpenStartUpLog(const std::wstring& path) {
    std::FILE* file = OpenForWriting(path);
    if (file == nullptr) {
        return nullptr;
    }
    return std::make_unique<Utf8CrlfLog>(file);
}

}  // namespace camcab::platform
