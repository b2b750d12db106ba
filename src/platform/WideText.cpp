#include "platform/WideText.h"

#include <cstdint>

namespace camcab::platform {
namespace {

// Decodes one UTF-8 sequence at `pos`; returns the code point or -1 when it is invalid.
long DecodeOne(std::string_view bytes, size_t& pos) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(pos);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    int length;
    long codePoint;
    long minimum;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        codePoint = lead & 0x1F;
        minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        codePoint = lead & 0x0F;
        minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        codePoint = lead & 0x07;
        minimum = 0x10000;
    } else {
        return -1;
    }
    if (pos + length > bytes.size()) {
        return -1;
    }
    for (int i = 1; i < length; ++i) {
        const unsigned char next = byte(pos + i);
        if ((next & 0xC0) != 0x80) {
            return -1;
        }
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF ||
        (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
        return -1;
    }
    pos += length;
    return codePoint;
}

void AppendCodePoint(std::wstring& out, long codePoint) {
    if constexpr (sizeof(wchar_t) == 2) {
        if (codePoint >= 0x10000) {
            codePoint -= 0x10000;
            out.push_back(static_cast<wchar_t>(0xD800 + (codePoint >> 10)));
            out.push_back(static_cast<wchar_t>(0xDC00 + (codePoint & 0x3FF)));
            return;
        }
    }
    out.push_back(static_cast<wchar_t>(codePoint));
}

void AppendUtf8(std::string& out, uint32_t codePoint) {
    if (codePoint < 0x80) {
        out.push_back(static_cast<char>(codePoint));
    } else if (codePoint < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else if (codePoint < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    }
}

// Reads one code point of wide text, joining surrogate pairs; unpaired surrogates are
// returned as they are.
uint32_t NextCodePoint(std::wstring_view text, size_t& pos) {
    uint32_t unit = static_cast<uint32_t>(text[pos++]);
    if (unit >= 0xD800 && unit <= 0xDBFF && pos < text.size()) {
        const uint32_t low = static_cast<uint32_t>(text[pos]);
        if (low >= 0xDC00 && low <= 0xDFFF) {
            ++pos;
            return 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
        }
    }
    return unit;
}

}  // namespace

std::wstring DecodeUtf8(std::string_view bytes, bool* complete) {
    std::wstring out;
    out.reserve(bytes.size());
    size_t pos = 0;
    while (pos < bytes.size()) {
        const long codePoint = DecodeOne(bytes, pos);
        if (codePoint < 0) {
            break;
        }
        AppendCodePoint(out, codePoint);
    }
    if (complete != nullptr) {
        *complete = pos == bytes.size();
    }
    return out;
}

std::string EncodeUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    size_t pos = 0;
    while (pos < text.size()) {
        uint32_t codePoint = NextCodePoint(text, pos);
        if ((codePoint >= 0xD800 && codePoint <= 0xDFFF) || codePoint > 0x10FFFF) {
            codePoint = 0xFFFD;
        }
        AppendUtf8(out, codePoint);
    }
    return out;
}

std::wstring WideFromNativeName(std::string_view bytes) {
    std::wstring out;
    out.reserve(bytes.size());
    size_t pos = 0;
    while (pos < bytes.size()) {
        const size_t start = pos;
        const long codePoint = DecodeOne(bytes, pos);
        if (codePoint < 0) {
            out.push_back(static_cast<wchar_t>(0xDC00 + static_cast<unsigned char>(bytes[start])));
            pos = start + 1;
        } else {
            AppendCodePoint(out, codePoint);
        }
    }
    return out;
}

std::string NativeNameFromWide(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    size_t pos = 0;
    while (pos < text.size()) {
        const uint32_t codePoint = NextCodePoint(text, pos);
        if (codePoint >= 0xDC80 && codePoint <= 0xDCFF) {
            out.push_back(static_cast<char>(codePoint - 0xDC00));
        } else if (codePoint >= 0xD800 && codePoint <= 0xDFFF) {
            AppendUtf8(out, 0xFFFD);
        } else {
            AppendUtf8(out, codePoint);
        }
    }
    return out;
}

}  // namespace camcab::platform
