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
// The page's end: the status element the page's script fills, `data` (the data statement),
// the script that plots drives (report/plots.js) and `pageScript`. False, with `error`, when
// the page at `path` could not be written whole.
bool WritePageEnd(OutputFile& out, const std::string& data, std::string_view pageScript,
                  const std::wstring& path, std::string& error);

}  // namespace camcab::run
