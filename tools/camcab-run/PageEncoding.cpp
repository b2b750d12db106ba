#include "PageEncoding.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace camcab::run {
namespace {

// Counts of thousandths up to this size, and their changes, stay exact in the page's numbers
// (doubles, exact to 2^53).
constexpr double kLargestThousandths = 1125899906842624.0;  // 2^50

void AppendCode(std::string& bytes, uint64_t code) {
    while (code >= 0x80) {
        bytes += static_cast<char>((code & 0x7F) | 0x80);
        code >>= 7;
    }
    bytes += static_cast<char>(code);
}

}  // namespace

std::string Base64(std::string_view bytes) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const uint32_t n = static_cast<uint8_t>(bytes[i]) << 16 |
                           static_cast<uint8_t>(bytes[i + 1]) << 8 |
                           static_cast<uint8_t>(bytes[i + 2]);
        text += kAlphabet[n >> 18];
        text += kAlphabet[(n >> 12) & 63];
        text += kAlphabet[(n >> 6) & 63];
        text += kAlphabet[n & 63];
    }
    if (i < bytes.size()) {
        const bool two = i + 1 < bytes.size();
        const uint32_t n = static_cast<uint8_t>(bytes[i]) << 16 |
                           (two ? static_cast<uint8_t>(bytes[i + 1]) << 8 : 0);
        text += kAlphabet[n >> 18];
        text += kAlphabet[(n >> 12) & 63];
        text += two ? kAlphabet[(n >> 6) & 63] : '=';
        text += '=';
    }
    return text;
}

std::string PackColumn(const std::vector<double>& values) {
    std::string bytes;
    int64_t counted = 0;  // the last value told as a change, in thousandths
    // The value before, as its code would tell it again: kind 0 null, 2 as it is, 3 counted.
    int lastKind = -1;
    double lastValue = 0.0;
    uint64_t repeats = 0;
    const auto flush = [&] {
        if (repeats > 0) {
            AppendCode(bytes, 1);
            AppendCode(bytes, repeats);
            repeats = 0;
        }
    };
    for (const double value : values) {
        const double thousandths = std::round(value * 1000.0);
        const int kind = !std::isfinite(value)                          ? 0
                         : std::fabs(thousandths) > kLargestThousandths ? 2
                                                                        : 3;
        const double shown = kind == 3 ? thousandths : value;
        if (kind == lastKind && (kind == 0 || std::memcmp(&shown, &lastValue, sizeof shown) == 0 ||
                                 (kind == 3 && shown == lastValue))) {
            ++repeats;
            continue;
        }
        flush();
        lastKind = kind;
        lastValue = shown;
        if (kind == 0) {
            AppendCode(bytes, 0);
        } else if (kind == 2) {
            AppendCode(bytes, 2);
            uint64_t bits;
            std::memcpy(&bits, &value, sizeof bits);
            for (int i = 0; i < 8; ++i) {
                bytes += static_cast<char>((bits >> (8 * i)) & 0xFF);
            }
        } else {
            const int64_t next = static_cast<int64_t>(thousandths);
            const int64_t change = next - counted;
            counted = next;
            AppendCode(bytes, (change >= 0 ? static_cast<uint64_t>(change) * 2
                                           : static_cast<uint64_t>(-change) * 2 - 1) +
                                  3);
        }
    }
    flush();
    return Base64(bytes);
}

}  // namespace camcab::run
