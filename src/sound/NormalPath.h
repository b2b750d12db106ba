// The lexically normal form of a sound file's path: the form that is opened and logged.
#pragma once

#include <string>

namespace camcab::sound {

// Both '/' and '\' separate elements and become the platform's separator; "." elements are
// dropped; an element followed by ".." is removed together with it. The root (a drive, a
// leading separator, or a network share's leading pair) is kept, and ".." cannot climb above
// it; a relative path keeps its leading ".." elements.
std::wstring NormalPath(const std::wstring& path);

}  // namespace camcab::sound
