// What the workbench's report pages share: escaping, the page's head with its charting
// library and style, a plot's place, and the script that plots drives.
#pragma once

#include <string>
#include <string_view>

#include "OutputFile.h"

namespace camcab::run {

std::string HtmlEscape(std::string_view text);
std::string HtmlText(const std::wstring& text);
// "12.00 s", or with minutes: "75.00 s (1 min 15.00 s)".
std::string SecondsText(double seconds);

// The page's start up to its body's heading: the charting library (dygraphs, embedded from
// Debian's libjs-dygraphs at build time) and the pages' style.
void WritePageHead(OutputFile& out, const std::string& title);
// A plot's heading, caption (markup; may be null) and place, filled by the page's script.
void AppendPlot(std::string& html, const char* id, const char* title, const char* caption,
                bool tall = false);
// The script that plots drives (report/plots.js), for the page's script element.
std::string_view PlotsScript();

}  // namespace camcab::run
