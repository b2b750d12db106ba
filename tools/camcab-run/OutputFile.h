// A file that the workbench writes (trace, report), named by a wide path on both platforms.
#pragma once

#include <fstream>
#include <string>
#include <string_view>

namespace camcab::run {

class OutputFile {
  public:
    explicit OutputFile(const std::wstring& path);
    void Write(std::string_view bytes);
    // Flushes and closes; false when opening or any write failed.
    bool Close();

  private:
    std::ofstream out_;
};

}  // namespace camcab::run
