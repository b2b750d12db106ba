#include "sound/NormalPath.h"

#include <vector>

#include "platform/FileSystem.h"

namespace camcab::sound {
namespace {

bool IsSeparator(wchar_t c) {
    return c == L'/' || c == L'\\';
}

}  // namespace

std::wstring NormalPath(const std::wstring& path) {
    const wchar_t separator = platform::kPathSeparator;
    size_t position = 0;
    std::wstring root;
    // A drive letter ("C:").
    if (path.size() >= 2 && path[1] == L':' &&
        ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'))) {
        root = path.substr(0, 2);
        position = 2;
    }
    bool rooted = false;
    if (position < path.size() && IsSeparator(path[position])) {
        rooted = true;
        // A network share keeps its two leading separators.
        if (root.empty() && path.size() >= 2 && IsSeparator(path[1]) &&
            (path.size() == 2 || !IsSeparator(path[2]))) {
            root.assign(2, separator);
            position = 2;
        } else {
            root.push_back(separator);
        }
        while (position < path.size() && IsSeparator(path[position])) {
            ++position;
        }
    }
    std::vector<std::wstring> elements;
    bool trailingSeparator = false;
    while (position < path.size()) {
        size_t end = position;
        while (end < path.size() && !IsSeparator(path[end])) {
            ++end;
        }
        std::wstring element = path.substr(position, end - position);
        trailingSeparator = end < path.size();
        while (end < path.size() && IsSeparator(path[end])) {
            ++end;
        }
        position = end;
        if (element == L".") {
            trailingSeparator = true;
            continue;
        }
        if (element == L"..") {
            if (!elements.empty() && elements.back() != L"..") {
                elements.pop_back();
                trailingSeparator = true;
                continue;
            }
            if (rooted) {
                continue;  // nothing above the root
            }
        }
        elements.push_back(std::move(element));
    }
    std::wstring normal = root;
    for (size_t i = 0; i < elements.size(); ++i) {
        if (i > 0) {
            normal.push_back(separator);
        }
        normal += elements[i];
    }
    if (trailingSeparator && !elements.empty()) {
        normal.push_back(separator);
    }
    return normal;
}

}  // namespace camcab::sound
