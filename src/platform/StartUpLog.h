// The audio start-up log: UTF-8 text without byte-order mark, each "\n" written as CRLF.
// On Windows it is the C runtime's wide text stream in _O_U8TEXT mode.
#pragma once

#include <memory>
#include <string>

namespace camcab::platform {

class StartUpLog {
  public:
    virtual ~StartUpLog() = default;  // closes the file
    // Each text reaches the file before Write returns.
    virtual void Write(const std::wstring& text) = 0;
};

// Opens (creating or truncating) the log file for writing; null when it cannot be opened.
std::unique_ptr<StartUpLog> OpenStartUpLog(const std::wstring& path);

}  // namespace camcab::platform
