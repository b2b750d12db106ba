#include "DriveReport.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "OutputFile.h"
#include "PageEncoding.h"
#include "ReportData.h"
#include "ReportPage.h"
#include "ReportSound.h"
#include "platform/WideText.h"

namespace camcab::run {

// The drive page's own script (report/report.js), embedded at build time.
extern const char kReportScript[];
extern const std::size_t kReportScriptSize;

namespace {

// The last part of a path.
std::wstring FileName(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"/\\");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// A file name as a relative URL: every byte but the unreserved ones percent-encoded.
std::string UrlPath(std::string_view name) {
    std::string url;
    for (char c : name) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '.' || c == '_' || c == '~') {
            url += c;
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
            url += escaped;
        }
    }
    return url;
}

// Scenario time from the first frame's start to the last frame's end: the frames' span plus
// one step (the first two frames tell the step).
double DriveSeconds(const std::vector<TraceFrame>& frames) {
    if (frames.size() < 2) {
        return 0.0;
    }
    const int64_t first = frames.front().state.Time;
    const int64_t step = frames[1].state.Time - first;
    return static_cast<double>(frames.back().state.Time - first + step) / 1000.0;
}

std::string Summary(const DriveTrace& trace, const ReportInfo& info) {
    const double driveSeconds = DriveSeconds(trace.Frames());
    std::string html = "<table class=\"summary\">\n";
    const auto row = [&html](const char* name, const std::string& valueHtml) {
        html += "<tr><th>";
        html += name;
        html += "</th><td>" + valueHtml + "</td></tr>\n";
    };
    row("Frames", std::to_string(trace.Frames().size()));
    row("Drive time (scenario)", SecondsText(driveSeconds));
    row("Run time", std::isfinite(info.runSeconds) && info.runSeconds >= 0.0
                        ? SecondsText(info.runSeconds)
                        : "unknown");
    if (std::isfinite(info.runSeconds) && info.runSeconds > 0.0 && driveSeconds > 0.0) {
        char text[64];
        std::snprintf(text, sizeof text, "%.1f &times; real time", driveSeconds / info.runSeconds);
        row("Render speed", text);
    } else {
        row("Render speed", "unknown");
    }
    row("Sound clock", info.clock.empty() ? std::string("unknown") : HtmlEscape(info.clock));
    row("Plug-in", "<code>" + HtmlText(info.pluginPath) + "</code>");
    row("Scenario", info.scenarioPath.empty() ? std::string("none (one frame at rest)")
                                              : "<code>" + HtmlText(info.scenarioPath) + "</code>");
    row("Rendered sound", info.audioPath.empty() ? std::string("none")
                          : !info.audioKept
                              ? std::string("rendered for this page, not kept (--audio keeps it)")
                              : "<code>" + HtmlText(info.audioPath) + "</code>");
    std::string files = std::to_string(info.filesRead.size());
    if (!info.filesRead.empty()) {
        files = "<details><summary>" + files + " files</summary><ol>";
        for (const std::wstring& file : info.filesRead) {
            files += "<li><code>" + HtmlText(file) + "</code></li>";
        }
        files += "</ol></details>";
    }
    row("Files read", files);
    html += "</table>\n";
    return html;
}

// For every camshaft stage: when it fired, or where it did not, the powering current's nearest
// approach to its curve (how far from the window, at what speed and time).
std::string WhyNotTable(const DriveTrace& trace) {
    const std::vector<TraceFrame>& frames = trace.Frames();
    std::string html =
        "<h2>The camshaft's stages</h2>\n<table class=\"stages\">\n<tr><th>Stage</th>"
        "<th>Curve</th><th>Fired</th><th>Where it did not: the nearest approach</th></tr>\n";
    for (const StageOutcome& outcome : StageOutcomes(trace)) {
        char text[200];
        html += std::string("<tr><td>") + outcome.stage + "</td><td>" + outcome.curve + "</td>";
        if (outcome.firedFrame >= 0) {
            const TraceFrame& f = frames[static_cast<size_t>(outcome.firedFrame)];
            std::snprintf(text, sizeof text, "at %.2f s, %.1f km/h, %.1f A", f.state.Time / 1000.0,
                          static_cast<double>(f.state.Speed), static_cast<double>(f.state.Current));
            html += std::string("<td>") + text + "</td><td></td></tr>\n";
        } else if (outcome.nearestFrame >= 0) {
            const TraceFrame& f = frames[static_cast<size_t>(outcome.nearestFrame)];
            std::snprintf(text, sizeof text,
                          "%.1f A from %s (%.1f A outside its &plusmn;%.1f A window) at %.1f km/h, "
                          "%.2f s",
                          outcome.nearestA, outcome.curve,
                          std::max(0.0, outcome.nearestA - outcome.windowA), outcome.windowA,
                          static_cast<double>(f.state.Speed), f.state.Time / 1000.0);
            html += std::string("<td>never</td><td>") + text + "</td></tr>\n";
        } else {
            html += "<td>never</td><td>no powering current in this drive</td></tr>\n";
        }
    }
    return html + "</table>\n";
}

}  // namespace

bool WriteDriveReport(const std::wstring& path, const DriveTrace& trace, const ReportInfo& info,
                      std::string& error) {
    const RenderedSound sound = RenderSound(info.audioPath);

    OutputFile out(path);
    WritePageHead(out, "camcab drive report");
    out.Write(Summary(trace, info));

    std::string html = "<h2>Sound</h2>\n";
    if (!sound.playerMime.empty() && sound.playerBytes.size() > info.largestEmbeddedSoundBytes) {
        // Too long to hold in the page: the player plays a file beside it.
        const std::wstring soundPath = path + (sound.playerMime == "audio/ogg" ? L".ogg" : L".wav");
        OutputFile beside(soundPath);
        beside.Write(sound.playerBytes);
        if (!beside.Close()) {
            error = "cannot write " + platform::EncodeUtf8(soundPath);
            return false;
        }
        const std::string name = platform::EncodeUtf8(FileName(soundPath));
        html += "<audio id=\"player\" controls preload=\"metadata\" src=\"" + UrlPath(name) +
                "\"></audio>\n<p class=\"note\">The sound is too long to hold in the page: the "
                "player plays <code>" +
                HtmlEscape(name) + "</code> beside this page (keep the two together).</p>\n";
    } else if (!sound.playerMime.empty()) {
        html +=
            "<audio id=\"player\" controls preload=\"metadata\" src=\"data:" + sound.playerMime +
            ";base64,";
        out.Write(html);
        out.Write(Base64(sound.playerBytes));
        html = "\"></audio>\n";
    }
    if (!sound.playerNote.empty()) {
        html += "<p class=\"note\">" + HtmlEscape(sound.playerNote) + "</p>\n";
    }
    if (trace.Frames().empty()) {
        html += "<p class=\"note\">The drive recorded no frames.</p>\n";
    }
    html +=
        "<p class=\"hint\">Drag across a plot to zoom in on a time range, shift-drag to pan, "
        "double-click to zoom out: every plot and the spectrogram follow (dragging up or down "
        "zooms one plot's values). Clicking a plot plays the sound from that moment. A link "
        "can name a range: <code>report.html#zoom=FROM,TO</code> in seconds of the day.</p>\n";
    AppendPlot(html, "speed", "Speed", nullptr);
    html += "<h2>Spectrogram of the rendered sound</h2>\n";
    if (!sound.spectrogramPng.empty()) {
        html += "<p class=\"caption\">The plug-in's own sound, 0 to " +
                std::to_string(kSpectrogramRateHz / 2000) +
                " kHz, on the plots' time axis: the motor's pitch follows the speed.</p>\n"
                "<canvas id=\"spectrogram\"></canvas>\n"
                "<img id=\"spectrogram-image\" hidden alt=\"\" src=\"data:image/png;base64,";
        out.Write(html);
        out.Write(Base64(sound.spectrogramPng));
        html = "\">\n";
    } else {
        html += "<p class=\"note\">" + HtmlEscape(sound.spectrogramNote) + "</p>\n";
    }
    AppendPlot(html, "current", "Current and the camshaft's curves",
               "The motor current (black) with the power curves c0 to c8 and c10 at the frame's "
               "speed, each drawn as a band of &plusmn;2 A around its value (c2, the transition: "
               "&plusmn;0.5 A): a stage is reached when the current enters the band of its "
               "curve. The first and last brake curves are drawn negated (&minus;value), where "
               "the regenerative current runs, as bands of &plusmn;10 A: the camshaft holds "
               "within the last one's. Zoom in to see the bands.",
               true);
    html += WhyNotTable(trace);
    AppendPlot(html, "own-sounds", "camcab's own sounds",
               "Each of camcab's own sounds, by its file, raised while it plays (as camcab told "
               "the workbench).",
               true);
    AppendPlot(html, "handles", "Handles",
               "Dashed: as the driver set them. Solid: as the plug-in returned them.");
    AppendPlot(html, "lamps", "Panel: lamps",
               "Panel entries that only take 0 and 1, one line each (raised when lit).", true);
    html +=
        "<h2>Panel: needles, digits and other values</h2>\n<p class=\"caption\">One plot "
        "per group of like values, each on its own axis.</p>\n<div id=\"needle-groups\">"
        "</div>\n";
    AppendPlot(html, "sounds", "Host sound commands",
               "Each change of a host sound entry, one row per sound index: P play once, "
               "L looping, S stop, C continue, V any other value.");
    const std::vector<TraceFrame>& frames = trace.Frames();
    if (std::any_of(frames.begin(), frames.end(),
                    [](const TraceFrame& frame) { return frame.audioRms >= 0.0; })) {
        AppendPlot(html, "level", "Sound level", "RMS level of the plug-in's own sound per frame.");
    } else {
        html += "<h2>Sound level</h2>\n<p class=\"note\">No level: no sound was rendered.</p>\n";
    }
    out.Write(html);
    return WritePageEnd(
        out, DriveData(trace, info.audioStartTimeMs, sound.seconds, info.regenerationLimitA),
        std::string_view(kReportScript, kReportScriptSize), path, error);
}

}  // namespace camcab::run
