#include "ReportPage.h"

#include <cmath>
#include <cstdio>

#include "platform/WideText.h"

namespace camcab::run {

// The charting library, embedded from Debian's libjs-dygraphs at build time, the pages' style
// and the script that plots drives (report/report.css, report/plots.js).
extern const char kDygraphScript[];
extern const std::size_t kDygraphScriptSize;
extern const char kDygraphStyle[];
extern const std::size_t kDygraphStyleSize;
extern const char kReportStyle[];
extern const std::size_t kReportStyleSize;
extern const char kPlotsScript[];
extern const std::size_t kPlotsScriptSize;

namespace {

// The embedded library without its source-map comment, which would name a file that the
// page does not have.
std::string_view WithoutSourceMap(const char* bytes, size_t size) {
    std::string_view text(bytes, size);
    for (const char* marker : {"//# sourceMappingURL=", "/*# sourceMappingURL="}) {
        const size_t at = text.rfind(marker);
        if (at != std::string_view::npos) {
            text = text.substr(0, at);
        }
    }
    return text;
}

}  // namespace

std::string HtmlEscape(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                escaped += "&amp;";
                break;
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            case '"':
                escaped += "&quot;";
                break;
            case '\'':
                escaped += "&#39;";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

std::string HtmlText(const std::wstring& text) {
    return HtmlEscape(platform::EncodeUtf8(text));
}

std::string SecondsText(double seconds) {
    char text[64];
    if (seconds >= 60.0 && seconds < 1e12) {
        const double minutes = std::floor(seconds / 60.0);
        std::snprintf(text, sizeof text, "%.2f s (%.0f min %.2f s)", seconds, minutes,
                      seconds - 60.0 * minutes);
    } else {
        std::snprintf(text, sizeof text, "%.2f s", seconds);
    }
    return text;
}

void WritePageHead(OutputFile& out, const std::string& title) {
    out.Write("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
              HtmlEscape(title) + "</title>\n<style>\n");
    // Found once: the library is a few hundred kilobytes.
    static const std::string_view dygraphStyle = WithoutSourceMap(kDygraphStyle, kDygraphStyleSize);
    static const std::string_view dygraphScript =
        WithoutSourceMap(kDygraphScript, kDygraphScriptSize);
    out.Write(dygraphStyle);
    out.Write("\n");
    out.Write(std::string_view(kReportStyle, kReportStyleSize));
    out.Write("</style>\n<script>\n");
    out.Write(dygraphScript);
    out.Write("\n</script>\n</head>\n<body>\n<h1>" + HtmlEscape(title) + "</h1>\n");
}

void AppendPlot(std::string& html, const char* id, const char* title, const char* caption,
                bool tall) {
    html += "<h2>";
    html += title;
    html += "</h2>\n";
    if (caption != nullptr) {
        html += "<p class=\"caption\">";
        html += caption;
        html += "</p>\n";
    }
    html += "<div id=\"" + std::string(id) + "\" class=\"plot" + (tall ? " tall" : "") +
            "\"></div><div id=\"" + id + "-legend\" class=\"legend\"></div>\n";
}

bool WritePageEnd(OutputFile& out, const std::string& data, std::string_view pageScript,
                  const std::wstring& path, std::string& error) {
    out.Write("<pre id=\"report-status\" hidden></pre>\n<script>\n");
    out.Write(data);
    out.Write("\n");
    out.Write(std::string_view(kPlotsScript, kPlotsScriptSize));
    out.Write(pageScript);
    out.Write("</script>\n</body>\n</html>\n");
    if (!out.Close()) {
        error = "cannot write " + platform::EncodeUtf8(path);
        return false;
    }
    return true;
}

}  // namespace camcab::run
