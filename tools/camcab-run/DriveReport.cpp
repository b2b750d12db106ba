#include "DriveReport.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string_view>
#include <system_error>

#include "OutputFile.h"
#include "ScratchFolder.h"
#include "SoxCommand.h"
#include "platform/FileSystem.h"
#include "platform/WideText.h"
#include "sim/Camshaft.h"

namespace camcab::run {

// The charting library, embedded from Debian's libjs-dygraphs at build time.
extern const char kDygraphScript[];
extern const std::size_t kDygraphScriptSize;
extern const char kDygraphStyle[];
extern const std::size_t kDygraphStyleSize;

namespace {

// A WAV above this size gets no player when it cannot be compressed.
constexpr uintmax_t kLargestInlineWavBytes = 20u << 20;
// Spectrogram image: pixels per second of sound, within a width range.
constexpr double kSpectrogramPixelsPerSecond = 50.0;
constexpr int kSpectrogramMinWidth = 800;
constexpr int kSpectrogramMaxWidth = 8000;
constexpr int kSpectrogramHeight = 257;
// The sound is resampled to this rate for the spectrogram: it shows 0 to half of it.
constexpr int kSpectrogramRateHz = 16000;
// Sound levels below this (and silence) are drawn at this level.
constexpr double kLevelFloorDbfs = -120.0;
// The bands around the curves are the camshaft's own windows.
constexpr double kStageToleranceA = sim::kStageNearA;
constexpr double kTransitionToleranceA = sim::kTransitionNearA;
constexpr double kBrakeToleranceA = sim::kBrakeCurveNearA;
constexpr int kTransitionCurve = 2;
// Annotations are page elements: beyond this many sound commands only points are drawn.
constexpr size_t kMostSoundAnnotations = 1000;

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

// A JavaScript number in its shortest form, to a thousandth; null for NaN and infinities.
void AppendNumber(std::string& text, double value) {
    if (!std::isfinite(value)) {
        text += "null";
        return;
    }
    const double rounded = std::round(value * 1000.0) / 1000.0;
    if (std::isfinite(rounded)) {
        value = rounded == 0.0 ? 0.0 : rounded;  // no "-0"
    }
    char digits[32];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    text.append(digits, result.ptr);
}

void AppendInteger(std::string& text, int64_t value) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    text.append(digits, result.ptr);
}

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

std::string ReadBytes(std::FILE* file) {
    std::string bytes;
    if (file == nullptr) {
        return bytes;
    }
    char buffer[1 << 16];
    size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes.append(buffer, count);
    }
    std::fclose(file);
    return bytes;
}

std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint32_t LittleEndian(const unsigned char* bytes, int count) {
    uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) {
        value = value << 8 | bytes[i];
    }
    return value;
}

// The length of a RIFF WAVE file's sound in seconds, from its "fmt " and "data" chunks (a
// data size beyond the file's end counts up to the end); 0 when it cannot be told.
double WaveSeconds(const std::wstring& path) {
    std::FILE* file = platform::OpenForReading(path);
    if (file == nullptr) {
        return 0.0;
    }
    platform::UniqueFile owner(file);
    unsigned char header[12];
    if (std::fread(header, 1, 12, file) != 12 || std::memcmp(header, "RIFF", 4) != 0 ||
        std::memcmp(header + 8, "WAVE", 4) != 0) {
        return 0.0;
    }
    uint32_t rate = 0;
    uint32_t blockAlign = 0;
    unsigned char chunk[8];
    int64_t position = 12;
    while (std::fread(chunk, 1, 8, file) == 8) {
        const uint32_t size = LittleEndian(chunk + 4, 4);
        position += 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0 && size >= 16) {
            unsigned char format[16];
            if (std::fread(format, 1, 16, file) != 16) {
                return 0.0;
            }
            rate = LittleEndian(format + 4, 4);
            blockAlign = LittleEndian(format + 12, 2);
            if (std::fseek(file, static_cast<long>(size - 16 + (size & 1)), SEEK_CUR) != 0) {
                return 0.0;
            }
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (rate == 0 || blockAlign == 0 || std::fseek(file, 0, SEEK_END) != 0) {
                return 0.0;
            }
            const int64_t available = std::max<int64_t>(0, std::ftell(file) - position);
            const int64_t bytes = std::min<int64_t>(size, available);
            return static_cast<double>(bytes / blockAlign) / rate;
        } else if (std::fseek(file, static_cast<long>(size + (size & 1)), SEEK_CUR) != 0) {
            return 0.0;
        }
        position += size + (size & 1);
    }
    return 0.0;
}

struct RenderedSound {
    double seconds = 0.0;
    std::string spectrogramPng;  // empty: none, `spectrogramNote` tells why
    std::string spectrogramNote;
    std::string playerMime;  // empty: no player, `playerNote` tells why
    std::string playerBytes;
    std::string playerNote;
};

RenderedSound RenderSound(const std::wstring& audioPath) {
    RenderedSound sound;
    if (audioPath.empty()) {
        sound.playerNote = "No sound was rendered for this drive.";
        sound.spectrogramNote = "No spectrogram: no sound was rendered.";
        return sound;
    }
    sound.seconds = WaveSeconds(audioPath);
    if (sound.seconds <= 0.0) {
        sound.spectrogramNote = sound.playerNote =
            "The rendered sound cannot be read as a WAV file.";
        return sound;
    }
    ScratchFolder scratch;
    std::string error = "no temporary folder";
    std::string wav = platform::NativeNameFromWide(audioPath);
    if (wav.front() == '-') {
        wav.insert(0, "./");  // not an option of sox
    }
    if (scratch.Made()) {
        const int width = std::clamp(static_cast<int>(sound.seconds * kSpectrogramPixelsPerSecond),
                                     kSpectrogramMinWidth, kSpectrogramMaxWidth);
        const std::filesystem::path png = scratch.File("spectrogram.png");
        if (RunSox({wav, "-n", "remix", "-", "rate", std::to_string(kSpectrogramRateHz),
                    "spectrogram", "-r", "-x", std::to_string(width), "-y",
                    std::to_string(kSpectrogramHeight), "-o", png.string()},
                   error)) {
            sound.spectrogramPng = ReadBytes(png);
        }
    }
    if (sound.spectrogramPng.empty()) {
        sound.spectrogramNote = "No spectrogram: " + error + ".";
    }

    if (scratch.Made()) {
        const std::filesystem::path ogg = scratch.File("sound.ogg");
        if (RunSox({wav, "-C", "4", ogg.string()}, error)) {
            sound.playerBytes = ReadBytes(ogg);
            if (!sound.playerBytes.empty()) {
                sound.playerMime = "audio/ogg";
                return sound;
            }
            error = "sox wrote no Ogg Vorbis file";
        }
    }
    std::error_code failure;
    const uintmax_t wavBytes = std::filesystem::file_size(wav, failure);
    if (!failure && wavBytes > kLargestInlineWavBytes) {
        sound.playerNote = "No player: the sound could not be compressed (" + error +
                           ") and the WAV file is too large to hold in the page.";
        return sound;
    }
    sound.playerBytes = ReadBytes(platform::OpenForReading(audioPath));
    if (sound.playerBytes.empty()) {
        sound.playerNote = "No player: the sound could not be compressed (" + error +
                           ") and the WAV file cannot be read.";
        return sound;
    }
    sound.playerMime = "audio/wav";
    sound.playerNote =
        "The sound could not be compressed (" + error + "), so the page holds the WAV file itself.";
    return sound;
}

std::string SecondsText(double seconds) {
    char text[64];
    if (seconds >= 60.0) {
        const long minutes = static_cast<long>(seconds / 60.0);
        std::snprintf(text, sizeof text, "%.2f s (%ld min %.2f s)", seconds, minutes,
                      seconds - 60.0 * static_cast<double>(minutes));
    } else {
        std::snprintf(text, sizeof text, "%.2f s", seconds);
    }
    return text;
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

// The panel entries as rows of a step plot: one row at the first frame, at every frame where
// one of `indices` changed and at the last frame; each row [time ms, value...].
void AppendPanelRows(std::string& js, const DriveTrace& trace, const std::vector<int>& indices) {
    const std::vector<TraceFrame>& frames = trace.Frames();
    std::vector<int32_t> values(kHostArrayIndexLimit, 0);
    std::vector<bool> wanted(kHostArrayIndexLimit, false);
    for (int index : indices) {
        wanted[static_cast<size_t>(index)] = true;
    }
    const std::vector<EntryChange>& changes = trace.PanelChanges();
    js += '[';
    size_t next = 0;
    for (size_t f = 0; f < frames.size(); ++f) {
        bool changed = f == 0 || f + 1 == frames.size();
        for (; next < changes.size() && changes[next].frame == f; ++next) {
            const EntryChange& change = changes[next];
            if (wanted[static_cast<size_t>(change.index)]) {
                values[static_cast<size_t>(change.index)] = change.value;
                changed = true;
            }
        }
        if (!changed) {
            continue;
        }
        js += '[';
        AppendInteger(js, frames[f].state.Time);
        for (int index : indices) {
            js += ',';
            AppendInteger(js, values[static_cast<size_t>(index)]);
        }
        js += "],";
    }
    js += ']';
}

void AppendHandleRows(std::string& js, const std::vector<TraceFrame>& frames) {
    js += '[';
    for (size_t f = 0; f < frames.size(); ++f) {
        const TraceFrame& frame = frames[f];
        const std::array<int32_t, 6> values = {frame.driver.Power,    frame.driver.Brake,
                                               frame.driver.Reverser, frame.returned.Power,
                                               frame.returned.Brake,  frame.returned.Reverser};
        if (f != 0 && f + 1 != frames.size()) {
            const TraceFrame& before = frames[f - 1];
            const std::array<int32_t, 6> previous = {
                before.driver.Power,   before.driver.Brake,   before.driver.Reverser,
                before.returned.Power, before.returned.Brake, before.returned.Reverser};
            if (values == previous) {
                continue;
            }
        }
        js += '[';
        AppendInteger(js, frame.state.Time);
        for (int32_t value : values) {
            js += ',';
            AppendInteger(js, value);
        }
        js += "],";
    }
    js += ']';
}

template <typename Value>
void AppendColumn(std::string& js, const std::vector<TraceFrame>& frames, Value value) {
    js += '[';
    for (const TraceFrame& frame : frames) {
        AppendNumber(js, value(frame));
        js += ',';
    }
    js += ']';
}

void AppendIntegers(std::string& js, const std::vector<int>& values) {
    js += '[';
    for (int value : values) {
        AppendInteger(js, value);
        js += ',';
    }
    js += ']';
}

// The drive as one JavaScript object of numbers: per-frame columns, step-plot rows and the
// sound commands.
std::string DriveData(const DriveTrace& trace, const ReportInfo& info, double soundSeconds) {
    const std::vector<TraceFrame>& frames = trace.Frames();
    std::string js = "window.driveData={t:";
    AppendColumn(js, frames, [](const TraceFrame& f) { return f.state.Time; });
    js += ",speed:";
    AppendColumn(js, frames, [](const TraceFrame& f) { return f.state.Speed; });
    js += ",current:";
    AppendColumn(js, frames, [](const TraceFrame& f) { return f.state.Current; });
    js += ",curveNames:[";
    for (int curve : kTracedPowerCurves) {
        js += "\"c" + std::to_string(curve) + "\",";
    }
    js += "],curves:[";
    for (size_t c = 0; c < kTracedPowerCurves.size(); ++c) {
        AppendColumn(js, frames, [c](const TraceFrame& f) { return f.powerCurvesA[c]; });
        js += ',';
    }
    js += "],curveTolerances:[";
    for (int curve : kTracedPowerCurves) {
        AppendNumber(js, curve == kTransitionCurve ? kTransitionToleranceA : kStageToleranceA);
        js += ',';
    }
    js += "],brakeTolerance:";
    AppendNumber(js, kBrakeToleranceA);
    js += ",brakeFirst:";
    AppendColumn(js, frames, [](const TraceFrame& f) { return f.brakeFirstA; });
    js += ",brakeLast:";
    AppendColumn(js, frames, [](const TraceFrame& f) { return f.brakeLastA; });
    js += ",levelDbfs:";
    AppendColumn(js, frames, [](const TraceFrame& f) {
        if (!(f.audioRms >= 0.0)) {
            return std::nan("");
        }
        return std::max(kLevelFloorDbfs, 20.0 * std::log10(f.audioRms));
    });
    js += ",handles:";
    AppendHandleRows(js, frames);

    // Lamps take only the values 0 and 1; needles, digits and the rest take any.
    std::vector<int> lamps;
    std::vector<int> others;
    std::set<int> notLamps;
    for (const EntryChange& change : trace.PanelChanges()) {
        if (change.value != 0 && change.value != 1) {
            notLamps.insert(change.index);
        }
    }
    for (int index : trace.PanelIndices()) {
        (notLamps.count(index) != 0 ? others : lamps).push_back(index);
    }
    js += ",lampIndices:";
    AppendIntegers(js, lamps);
    js += ",lamps:";
    AppendPanelRows(js, trace, lamps);
    js += ",needleIndices:";
    AppendIntegers(js, others);
    js += ",needles:";
    AppendPanelRows(js, trace, others);

    js += ",soundIndices:";
    AppendIntegers(js, trace.SoundIndices());
    js += ",soundCommands:[";
    for (const EntryChange& change : trace.SoundChanges()) {
        js += '[';
        AppendInteger(js, frames[change.frame].state.Time);
        js += ',';
        AppendInteger(js, change.index);
        js += ',';
        AppendInteger(js, change.value);
        js += "],";
    }
    js += "],mostSoundAnnotations:";
    AppendInteger(js, static_cast<int64_t>(kMostSoundAnnotations));
    js += ",audioStartMs:";
    AppendInteger(js, info.audioStartTimeMs);
    js += ",audioSeconds:";
    AppendNumber(js, soundSeconds);
    js += ",spectrogramTopHz:";
    AppendInteger(js, kSpectrogramRateHz / 2);
    js += "};\n";
    return js;
}

constexpr std::string_view kStyle = R"css(
body { font-family: sans-serif; margin: 1em 2em; color: #222; }
h1 { font-size: 1.5em; } h2 { font-size: 1.15em; margin: 1.4em 0 0.3em; }
table.summary th { text-align: left; padding-right: 1.5em; vertical-align: top; }
code { font-size: 0.95em; word-break: break-all; }
.plot { width: 100%; height: 260px; }
.tall { height: 380px; }
.legend { font-size: 0.85em; min-height: 1.3em; }
.caption, .note, .hint { font-size: 0.9em; color: #555; max-width: 70em; }
.note { color: #a33; }
#spectrogram { width: 100%; height: 260px; display: block; }
audio { width: 100%; max-width: 60em; }
.dygraph-annotation { font-size: 10px !important; }
)css";

constexpr std::string_view kScript = R"js(
(function () {
  'use strict';
  var status = {errors: [], plots: {}, spectrogram: 'absent'};
  function writeStatus() {
    document.getElementById('report-status').textContent = JSON.stringify(status);
  }
  window.addEventListener('error', function (e) { status.errors.push(String(e.message)); writeStatus(); });
  var D = window.driveData;
  var t = D.t.map(function (ms) { return ms / 1000; });
  var audioStart = D.audioStartMs / 1000;
  var player = document.getElementById('player');
  var graphs = [];
  var syncing = false;
  var spectrogram = document.getElementById('spectrogram');
  var spectrogramImage = document.getElementById('spectrogram-image');

  function drawSpectrogram(range) {
    if (!spectrogram || !spectrogramImage || !spectrogramImage.complete || !graphs.length) return;
    var area = graphs[0].getArea();
    var width = spectrogram.clientWidth, height = spectrogram.clientHeight;
    spectrogram.width = width; spectrogram.height = height;
    var ctx = spectrogram.getContext('2d');
    ctx.clearRect(0, 0, width, height);
    ctx.fillStyle = '#000';
    ctx.fillRect(area.x, 0, area.w, height);
    var x0 = range[0], x1 = range[1];
    var a0 = audioStart, a1 = audioStart + D.audioSeconds;
    var s0 = Math.max(x0, a0), s1 = Math.min(x1, a1);
    var imageWidth = spectrogramImage.naturalWidth, imageHeight = spectrogramImage.naturalHeight;
    if (s1 > s0 && x1 > x0 && imageWidth > 0) {
      ctx.drawImage(spectrogramImage,
        (s0 - a0) / D.audioSeconds * imageWidth, 0, (s1 - s0) / D.audioSeconds * imageWidth, imageHeight,
        area.x + (s0 - x0) / (x1 - x0) * area.w, 0, (s1 - s0) / (x1 - x0) * area.w, height);
    }
    ctx.fillStyle = '#222'; ctx.font = '11px sans-serif'; ctx.textAlign = 'right';
    var top = D.spectrogramTopHz / 1000;
    for (var k = 0; k <= 4; ++k) {
      var y = height - k / 4 * height;
      ctx.textBaseline = k === 0 ? 'bottom' : k === 4 ? 'top' : 'middle';
      ctx.fillText((top * k / 4) + ' kHz', area.x - 6, y);
    }
    status.spectrogram = 'drawn';
    writeStatus();
  }

  // Zooming or panning one plot moves the others and the spectrogram to the same range.
  function synchronize(g, initial) {
    if (syncing) return;
    var range = g.xAxisRange();
    if (!initial) {
      syncing = true;
      graphs.forEach(function (other) {
        var now = other.xAxisRange();
        if (other !== g && (now[0] !== range[0] || now[1] !== range[1])) {
          other.updateOptions({dateWindow: range});
        }
      });
      syncing = false;
    }
    drawSpectrogram(range);
  }

  // The first frame at or after time x.
  function frameAt(x) {
    var low = 0, high = t.length;
    while (low < high) {
      var middle = (low + high) >> 1;
      if (t[middle] < x) low = middle + 1; else high = middle;
    }
    return low;
  }

  // The curves' bands (value +- tolerance), drawn under the lines: one polygon per stretch of values,
  // at about one point per pixel.
  function bandPainter(bands) {
    return function (ctx, area, g) {
      var range = g.xAxisRange();
      var first = Math.max(0, frameAt(range[0]) - 1), last = Math.min(t.length - 1, frameAt(range[1]));
      var stride = Math.max(1, Math.floor((last - first) / Math.max(1, area.w)));
      ctx.save();
      ctx.globalAlpha = 0.25;
      bands.forEach(function (band) {
        ctx.fillStyle = band.color;
        var back = [];
        function close() {
          for (var k = back.length - 2; k >= 0; k -= 2) ctx.lineTo(back[k], back[k + 1]);
          if (back.length) { ctx.closePath(); ctx.fill(); }
          back = [];
        }
        for (var i = first; i <= last; i = i < last && i + stride > last ? last : i + stride) {
          var v = band.values[i];
          if (v === null || !isFinite(v)) { close(); continue; }
          var x = g.toDomXCoord(t[i]);
          if (!back.length) ctx.beginPath();
          ctx.lineTo(x, g.toDomYCoord(v + band.tolerance));
          back.push(x, g.toDomYCoord(v - band.tolerance));
          if (i === last) break;
        }
        close();
      });
      ctx.restore();
    };
  }

  function seek(e, x) {
    if (!player) return;
    player.currentTime = Math.max(0, x - audioStart);
    var playing = player.play();
    if (playing && playing.catch) playing.catch(function () {});
  }

  function plot(id, rows, labels, options) {
    var div = document.getElementById(id);
    if (!div) return null;
    if (!rows.length) { status.plots[id] = {rows: 0, series: 0}; return null; }
    var settings = {
      labels: labels, labelsDiv: id + '-legend', legend: 'always', labelsSeparateLines: false,
      xlabel: 'scenario time', axes: {x: {axisLabelFormatter: clock, valueFormatter: clock, axisLabelWidth: 80},
                                      y: {axisLabelWidth: 60}},
      drawCallback: synchronize, clickCallback: seek, connectSeparatedPoints: false,
      highlightCircleSize: 2
    };
    if (options.height) div.style.height = options.height + 'px';
    for (var key in options) {
      if (key !== 'axes' && key !== 'height') settings[key] = options[key];
    }
    for (var axis in options.axes || {}) settings.axes[axis] = options.axes[axis];
    var g = new Dygraph(div, rows, settings);
    g.reportId = id;
    graphs.push(g);
    status.plots[id] = {rows: g.numRows(), series: g.numColumns() - 1};
    return g;
  }

  // Scenario time is a time of day: h:mm:ss, with hundredths where there are any.
  function clock(x) {
    var s = ((x % 86400) + 86400) % 86400;
    var h = Math.floor(s / 3600), m = Math.floor(s / 60) % 60;
    var rest = (s - 3600 * h - 60 * m).toFixed(2).replace(/\.?0+$/, '');
    return h + ':' + (m < 10 ? '0' : '') + m + ':' + (Number(rest) < 10 ? '0' : '') + rest;
  }

  // Plots of one row per entry (lamps, sounds): a tick per row, labelled with its index, and
  // room for every row.
  function rowTicks(indices, spacing) {
    return function () {
      return indices.map(function (index, k) { return {v: k * spacing, label: String(index)}; });
    };
  }
  function rowsHeight(count) { return Math.max(260, 80 + 22 * count); }

  function column(values) { return values.map(function (v, i) { return [t[i], v]; }); }
  function seconds(rows) { return rows.map(function (row) { return [row[0] / 1000].concat(row.slice(1)); }); }

  if (t.length) {
    plot('speed', column(D.speed), ['time', 'speed'], {ylabel: 'km/h', colors: ['#1f5fbf']});

    var negate = function (values) { return values.map(function (v) { return v === null ? null : -v; }); };
    var bandValues = D.curves.concat([negate(D.brakeFirst), negate(D.brakeLast)]);
    var currentRows = t.map(function (x, i) {
      return [x, D.current[i]].concat(bandValues.map(function (values) { return values[i]; }));
    });
    var curveColors = D.curveNames.map(function (name, k) {
      return 'hsl(' + Math.round(100 + 220 * k / Math.max(1, D.curveNames.length - 1)) + ',65%,45%)';
    });
    var bandColors = curveColors.concat(['#d62728', '#ff7f0e']);
    var bandTolerances = D.curveTolerances.concat([D.brakeTolerance, D.brakeTolerance]);
    plot('current', currentRows,
      ['time', 'current'].concat(D.curveNames, ['brake first (−)', 'brake last (−)']),
      {ylabel: 'A', colors: ['#000'].concat(bandColors), strokeWidth: 0.8,
       series: {current: {strokeWidth: 1.6}},
       underlayCallback: bandPainter(bandValues.map(function (values, k) {
         return {values: values, color: bandColors[k], tolerance: bandTolerances[k]};
       }))});

    plot('handles', seconds(D.handles),
      ['time', 'driver power', 'driver brake', 'driver reverser', 'power', 'brake', 'reverser'],
      {ylabel: 'notch', stepPlot: true,
       colors: ['#9ecae1', '#fdae6b', '#bcbddc', '#08519c', '#d94801', '#54278f'],
       series: {'driver power': {strokePattern: [6, 3]}, 'driver brake': {strokePattern: [6, 3]},
                'driver reverser': {strokePattern: [6, 3]}}});

    // Each lamp on a line of its own: lamp k at k * 1.5, lit one higher.
    var lampNames = D.lampIndices.map(function (i) { return 'panel ' + i; });
    var lampOffset = {};
    lampNames.forEach(function (name, k) { lampOffset[name] = k * 1.5; });
    plot('lamps', seconds(D.lamps).map(function (row) {
      return [row[0]].concat(row.slice(1).map(function (v, k) { return v + k * 1.5; }));
    }), ['time'].concat(lampNames), {
      ylabel: 'lamp (panel index)', stepPlot: true,
      valueRange: [-0.5, Math.max(1, lampNames.length) * 1.5], height: rowsHeight(lampNames.length),
      axes: {y: {axisLabelWidth: 60, ticker: rowTicks(D.lampIndices, 1.5),
        valueFormatter: function (y, opts, name) { return String(Math.round(y - (lampOffset[name] || 0))); }}}
    });

    plot('needles', seconds(D.needles), ['time'].concat(D.needleIndices.map(function (i) { return 'panel ' + i; })),
      {ylabel: 'value', stepPlot: true});

    // Host sound commands: a point per command at the height of its sound index.
    var kinds = {'1': ['P', 'play once'], '0': ['L', 'looping'], '-10000': ['S', 'stop'], '2': ['C', 'continue']};
    function kind(value) { return kinds[String(value)] || ['V', 'value ' + value]; }
    var soundColumn = {};
    D.soundIndices.forEach(function (index, k) { soundColumn[index] = k + 1; });
    var soundRows = [], soundValues = [], annotations = [];
    D.soundCommands.forEach(function (command) {
      var x = command[0] / 1000;
      var last = soundRows[soundRows.length - 1];
      if (!last || last[0] !== x) {
        last = [x].concat(D.soundIndices.map(function () { return null; }));
        soundRows.push(last);
        soundValues.push({});
      }
      last[soundColumn[command[1]]] = soundColumn[command[1]] - 1;
      soundValues[soundValues.length - 1][soundColumn[command[1]]] = command[2];
      if (annotations.length < D.mostSoundAnnotations) {
        var k = kind(command[2]);
        annotations.push({series: 'sound ' + command[1], x: x, shortText: k[0],
                          text: 'sound ' + command[1] + ': ' + k[1] + ' at ' + x + ' s'});
      }
    });
    if (soundRows.length) {
      // The first and last frames keep the x-range equal to the other plots'.
      var blank = D.soundIndices.map(function () { return null; });
      if (soundRows[0][0] > t[0]) { soundRows.unshift([t[0]].concat(blank)); soundValues.unshift({}); }
      if (soundRows[soundRows.length - 1][0] < t[t.length - 1]) {
        soundRows.push([t[t.length - 1]].concat(blank)); soundValues.push({});
      }
    }
    var sounds = plot('sounds', soundRows, ['time'].concat(D.soundIndices.map(function (i) { return 'sound ' + i; })), {
      ylabel: 'sound index', drawPoints: true, strokeWidth: 0, pointSize: 3,
      valueRange: [-1, D.soundIndices.length], height: rowsHeight(D.soundIndices.length),
      axes: {y: {axisLabelWidth: 60, ticker: rowTicks(D.soundIndices, 1),
        valueFormatter: function (y, opts, name, g, row, col) {
          var value = soundValues[row] && soundValues[row][col];
          return value === undefined ? '' : kind(value)[1];
        }}}
    });
    if (sounds) {
      sounds.ready(function () { sounds.setAnnotations(annotations); });
      status.soundAnnotations = annotations.length;
    }

    plot('level', column(D.levelDbfs), ['time', 'level'], {ylabel: 'dBFS', colors: ['#2ca02c']});
  }
  // A link may name a time range: report.html#zoom=FROM,TO (seconds of the day).
  var zoom = /^#zoom=(-?[0-9.]+),(-?[0-9.]+)$/.exec(location.hash);
  if (zoom && graphs.length) graphs[0].updateOptions({dateWindow: [Number(zoom[1]), Number(zoom[2])]});
  status.ranges = {};
  graphs.forEach(function (g) { status.ranges[g.reportId] = g.xAxisRange(); });
  if (spectrogramImage) {
    var redraw = function () { if (graphs.length) drawSpectrogram(graphs[0].xAxisRange()); };
    if (spectrogramImage.complete) redraw(); else spectrogramImage.addEventListener('load', redraw);
    window.addEventListener('resize', redraw);
  }
  status.ready = true;
  writeStatus();
})();
)js";

void AppendPlot(std::string& html, const char* id, const char* title, const char* caption,
                bool tall = false) {
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

bool WriteDriveReport(const std::wstring& path, const DriveTrace& trace, const ReportInfo& info,
                      std::string& error) {
    const RenderedSound sound = RenderSound(info.audioPath);

    OutputFile out(path);
    out.Write(
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<title>camcab drive report</title>\n<style>\n");
    out.Write(WithoutSourceMap(kDygraphStyle, kDygraphStyleSize));
    out.Write(kStyle);
    out.Write("</style>\n<script>\n");
    out.Write(WithoutSourceMap(kDygraphScript, kDygraphScriptSize));
    out.Write("\n</script>\n</head>\n<body>\n<h1>camcab drive report</h1>\n");
    out.Write(Summary(trace, info));

    std::string html = "<h2>Sound</h2>\n";
    if (!sound.playerMime.empty()) {
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
    AppendPlot(html, "handles", "Handles",
               "Dashed: as the driver set them. Solid: as the plug-in returned them.");
    AppendPlot(html, "lamps", "Panel: lamps",
               "Panel entries that only take 0 and 1, one line each (raised when lit).", true);
    AppendPlot(html, "needles", "Panel: needles, digits and other values", nullptr, true);
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
    html += "<pre id=\"report-status\" hidden></pre>\n<script>\n";
    html += DriveData(trace, info, sound.seconds);
    out.Write(html);
    out.Write(kScript);
    out.Write("</script>\n</body>\n</html>\n");
    if (!out.Close()) {
        error = "cannot write " + platform::EncodeUtf8(path);
        return false;
    }
    return true;
}

}  // namespace camcab::run
