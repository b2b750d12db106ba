#include "CompareReport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "DriveDifferences.h"
#include "OutputFile.h"
#include "PageEncoding.h"
#include "ReportData.h"
#include "ReportPage.h"
#include "platform/WideText.h"

namespace camcab::run {

// The A/B page's own script (report/compare.js), embedded at build time.
extern const char kCompareScript[];
extern const std::size_t kCompareScriptSize;

namespace {

// One drive's per-frame values on the page's `frames` frames: a drive with fewer frames
// (one that ended early) has null after its last.
template <typename Value>
std::string PackFrames(const DriveTrace& trace, size_t frames, Value value) {
    std::vector<double> values(frames, std::nan(""));
    for (size_t f = 0; f < std::min(frames, trace.Frames().size()); ++f) {
        values[f] = static_cast<double>(value(trace.Frames()[f]));
    }
    return '"' + PackColumn(values) + '"';
}

// A drive as the page's script plots it: its speed, current, curves, returned handles, own
// sounds (on `soundFiles`, the two drives' together) and stage markers.
std::string DriveObject(const DriveTrace& trace, size_t frames,
                        const std::vector<std::string>& soundFiles) {
    std::string js =
        "{speed:" + PackFrames(trace, frames, [](const TraceFrame& f) { return f.state.Speed; });
    js += ",current:" +
          PackFrames(trace, frames, [](const TraceFrame& f) { return f.state.Current; });
    js += ",curves:[";
    for (size_t c = 0; c < kTracedPowerCurves.size(); ++c) {
        js += PackFrames(trace, frames, [c](const TraceFrame& f) { return f.powerCurvesA[c]; });
        js += ',';
    }
    js += "],handles:[" +
          PackFrames(trace, frames, [](const TraceFrame& f) { return f.returned.Power; }) + ',' +
          PackFrames(trace, frames, [](const TraceFrame& f) { return f.returned.Brake; }) + ',' +
          PackFrames(trace, frames, [](const TraceFrame& f) { return f.returned.Reverser; }) +
          "],ownSounds:[";
    for (std::vector<double>& column : SoundsPlaying(trace, soundFiles)) {
        column.resize(frames, std::nan(""));
        js += '"' + PackColumn(column) + "\",";
    }
    return js + "],markers:" + MarkersData(trace) + "}";
}

std::string CompareData(const DriveTrace& a, const DriveTrace& b) {
    // The longer drive's frames give the time axis: one scenario gives both drives its times.
    const DriveTrace& longer = a.Frames().size() >= b.Frames().size() ? a : b;
    const size_t frames = longer.Frames().size();
    std::vector<std::string> soundFiles = SoundFilesTold(a);
    for (const std::string& file : SoundFilesTold(b)) {
        if (std::find(soundFiles.begin(), soundFiles.end(), file) == soundFiles.end()) {
            soundFiles.push_back(file);
        }
    }
    std::string js = "window.compareData={frames:" + std::to_string(frames) + ",t:";
    js += PackFrames(longer, frames, [](const TraceFrame& f) { return f.state.Time / 1000.0; });
    js += ",curveNames:[";
    for (int curve : kTracedPowerCurves) {
        js += "\"c" + std::to_string(curve) + "\",";
    }
    js += "],soundFiles:" + FileNamesData(soundFiles);
    js += ",a:" + DriveObject(a, frames, soundFiles);
    js += ",b:" + DriveObject(b, frames, soundFiles);
    return js + "};\n";
}

std::string Summary(const DriveTrace& a, const DriveTrace& b, const CompareInfo& info,
                    size_t differences) {
    std::string html = "<table class=\"summary\">\n";
    const auto row = [&html](const char* name, const std::string& valueHtml) {
        html += "<tr><th>" + std::string(name) + "</th><td>" + valueHtml + "</td></tr>\n";
    };
    row("A: plug-in", "<code>" + HtmlText(info.pluginPathA) + "</code>");
    row("B: plug-in", "<code>" + HtmlText(info.pluginPathB) + "</code>");
    row("Scenario", info.scenarioPath.empty() ? std::string("none (one frame at rest)")
                                              : "<code>" + HtmlText(info.scenarioPath) + "</code>");
    row("Frames",
        "A " + std::to_string(a.Frames().size()) + ", B " + std::to_string(b.Frames().size()));
    row("Run time", "A " + SecondsText(info.runSecondsA) + ", B " + SecondsText(info.runSecondsB));
    row("Files that differ", std::to_string(info.files.size()));
    row("Differences in what the drives did", std::to_string(differences));
    return html + "</table>\n";
}

std::string FilesTable(const CompareInfo& info) {
    std::string html = "<h2>Files that differ</h2>\n";
    if (info.files.empty()) {
        return html + "<p class=\"note\">The two folders hold the same files.</p>\n";
    }
    html += "<table class=\"stages\">\n<tr><th>File</th><th>How</th></tr>\n";
    for (const FileDifference& file : info.files) {
        html += "<tr><td><code>" + HtmlEscape(FileNameText(file.file)) + "</code></td><td>";
        if (file.kind == FileDifference::Kind::OnlyA) {
            html += "only in A";
        } else if (file.kind == FileDifference::Kind::OnlyB) {
            html += "only in B";
        } else if (!file.text) {
            html += "other bytes";
        } else {
            html += "<ul>";
            for (const CellChange& cell : file.cells) {
                html += "<li>line " + std::to_string(cell.line) +
                        (cell.field == 0 ? std::string(" (only in one)")
                                         : ", field " + std::to_string(cell.field)) +
                        ": <code>" + HtmlEscape(cell.a) + "</code> &rarr; <code>" +
                        HtmlEscape(cell.b) + "</code></li>";
            }
            if (file.moreCells > 0) {
                html += "<li>and " + std::to_string(file.moreCells) + " more</li>";
            }
            html += "</ul>";
        }
        html += "</td></tr>\n";
    }
    return html + "</table>\n";
}

std::string DifferencesTable(const std::vector<Difference>& differences) {
    std::string html =
        "<h2>What the drives did differently</h2>\n<p class=\"caption\">Each stage, event, sound "
        "of camcab's and returned handle change that one drive has and the other has not, or "
        "has at another time (each time A did it paired, in order, with the nearest time B did "
        "it within 10 s).</p>\n";
    if (differences.empty()) {
        return html + "<p class=\"note\">The two drives did the same at the same times.</p>\n";
    }
    html +=
        "<table class=\"stages\">\n<tr><th>What</th><th>A</th><th>B</th><th>B &minus; A</th>"
        "</tr>\n";
    for (size_t k = 0; k < differences.size() && k < kMostDifferencesShown; ++k) {
        const Difference& d = differences[k];
        char a[32] = "never";
        char b[32] = "never";
        char shift[32] = "";
        if (d.timeA) {
            std::snprintf(a, sizeof a, "%.2f s", *d.timeA);
        }
        if (d.timeB) {
            std::snprintf(b, sizeof b, "%.2f s", *d.timeB);
        }
        if (d.timeA && d.timeB) {
            std::snprintf(shift, sizeof shift, "%+.2f s", *d.timeB - *d.timeA);
        }
        html += "<tr><td>" + HtmlEscape(d.what) + "</td><td>" + a + "</td><td>" + b + "</td><td>" +
                shift + "</td></tr>\n";
    }
    html += "</table>\n";
    if (differences.size() > kMostDifferencesShown) {
        html += "<p class=\"note\">" + std::to_string(differences.size() - kMostDifferencesShown) +
                " more differences are not shown.</p>\n";
    }
    return html;
}

}  // namespace

bool WriteCompareReport(const std::wstring& path, const DriveTrace& a, const DriveTrace& b,
                        const CompareInfo& info, std::string& error) {
    const std::vector<Difference> differences = CompareHappenings(Happenings(a), Happenings(b));
    OutputFile out(path);
    WritePageHead(out, "camcab A/B drive report");
    std::string html = Summary(a, b, info, differences.size());
    html += FilesTable(info);
    html += DifferencesTable(differences);
    html +=
        "<p class=\"hint\">Drag across a plot to zoom in on a time range, shift-drag to pan, "
        "double-click to zoom out: every plot follows. Solid: drive A; dashed: drive B.</p>\n";
    AppendPlot(html, "speed", "Speed", nullptr);
    AppendPlot(html, "current", "Current and the camshaft's curves",
               "Each drive's motor current (A black, B red) with its power curves c0 to c8 and "
               "c10 at its own speed.",
               true);
    AppendPlot(html, "stages", "The camshaft's stages",
               "Where each drive told a stage reached (A, T, B, C, D), regeneration released "
               "(R), the first brake curve met (N) or the camshaft held (H): drive A on the "
               "lower line of each, drive B on the upper.",
               true);
    AppendPlot(html, "own-sounds", "camcab's own sounds",
               "Each sound file on a line of its own, raised while it plays: drive A, then drive "
               "B just above it.",
               true);
    AppendPlot(html, "handles", "Returned handles", "Solid: drive A. Dashed: drive B.");
    out.Write(html);
    return WritePageEnd(out, CompareData(a, b),
                        std::string_view(kCompareScript, kCompareScriptSize), path, error);
}

}  // namespace camcab::run
