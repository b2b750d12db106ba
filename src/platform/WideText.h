// Conversions between the library's wide strings and byte encodings.
#pragma once

#include <string>
#include <string_view>

namespace camcab::platform {

// Decodes UTF-8. Stops at the first invalid or truncated sequence; `complete` tells whether
// the whole input was decoded. Code points beyond U+FFFF become surrogate pairs where
// wchar_t is 16 bits wide.
std::wstring DecodeUtf8(std::string_view bytes, bool* complete = nullptr);

// Encodes as UTF-8. Unpaired surrogates become U+FFFD.
std::string EncodeUtf8(std::wstring_view text);

// File names of the operating system as wide text and back. On POSIX a file name is any
// byte string: bytes that are not valid UTF-8 are kept as U+DC80..U+DCFF, so the round trip
// is exact. On Windows file names are already wide.
std::wstring WideFromNativeName(std::string_view bytes);
std::string NativeNameFromWide(std::wstring_view text);

}  // namespace camcab::platform
