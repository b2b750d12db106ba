// How the report page carries bytes and long columns of numbers as text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace camcab::run {

std::string Base64(std::string_view bytes);

// A column of numbers packed for the page's script, which unpacks it (report.js, `unpack`):
// base64 of a stream of codes, each a little-endian base-128 number:
//   0      null (NaN and infinities)
//   1, n   the value before (or null) n more times
//   2      a double as it is, its 8 bytes little-endian following: beyond what a count of
//          thousandths can hold exactly in the page's numbers
//   k >= 3 the next value: the last counted value plus (k - 3) zig-zag thousandths
// Every other value is rounded to a thousandth, as the page shows it. A drive's columns mostly
// change little from frame to frame, or not at all, so most frames take one byte or none.
std::string PackColumn(const std::vector<double>& values);

}  // namespace camcab::run
