#include "support/TempFolder.h"

#include <fstream>
#include <random>

#include "platform/WideText.h"

namespace camcab::test {
// On POSIX std::filesystem converts wide names through the C locale, which cannot hold
// Japanese; go through UTF-8 explicitly.
std::filesystem::path PathFromWide(const std::wstring& name) {
#ifdef _WIN32
    return std::filesystem::path(name);
#else
    return std::filesystem::path(platform::NativeNameFromWide(name));
#endif
}

std::wstring WideFromPath(const std::filesystem::path& path) {
#ifdef _WIN32
    return path.wstring();
#else
    return platform::WideFromNativeName(path.native());
#endif
}

namespace {

std::filesystem::path Relative(std::wstring_view relative) {
    std::wstring name(relative);
    for (wchar_t& c : name) {
        if (c == L'\\') {
            c = L'/';
        }
    }
    return PathFromWide(name).make_preferred();
}

}  // namespace

TempFolder::TempFolder(const std::wstring& name) {
    std::random_device random;
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::wstringstream unique;
        unique << name << L'-' << std::hex << random() << random();
        path_ = base / PathFromWide(unique.str());
        if (std::filesystem::create_directories(path_)) {
            return;
        }
    }
    throw std::runtime_error("cannot make a temporary folder");
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::wstring TempFolder::Directory() const {
    std::wstring directory = WideFromPath(path_);
    directory.push_back(static_cast<wchar_t>(std::filesystem::path::preferred_separator));
    return directory;
}

std::filesystem::path TempFolder::File(std::wstring_view relative) const {
    return path_ / Relative(relative);
}

std::wstring TempFolder::FileString(std::wstring_view relative) const {
    return WideFromPath(File(relative));
}

void TempFolder::Write(std::wstring_view relative, std::string_view bytes) const {
    const std::filesystem::path file = File(relative);
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write a test file");
    }
}

void TempFolder::MakeFolder(std::wstring_view relative) const {
    std::filesystem::create_directories(File(relative));
}

void TempFolder::Copy(const std::filesystem::path& from, std::wstring_view relative) const {
    const std::filesystem::path to = File(relative);
    std::filesystem::create_directories(to.parent_path());
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
}

std::filesystem::path BuiltFile(const char* buildPath) {
#ifdef _WIN32
    // Wine shows the build machine's root as drive Z:.
    std::string path = std::string("Z:") + buildPath;
    return std::filesystem::path(path).make_preferred();
#else
    return std::filesystem::path(buildPath);
#endif
}

}  // namespace camcab::test
