// camcab-run's drive report and trace, from frames of any values (NaN, infinities, any
// handles and panel and sound entries) and file names of any bytes or wide characters. The
// page must be written, every name in it escaped, its data a well-formed script object; the
// trace must give every frame a row of the header's width.
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "DriveReport.h"
#include "DriveTrace.h"
#include "FuzzBytes.h"
#include "FuzzFiles.h"
#include "platform/WideText.h"

namespace {

using namespace camcab;

// The most frames of one input: a few kilobytes of input make a drive of minutes.
constexpr size_t kMostFrames = 4096;

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

// Marks each end of a name: nothing else in the page holds it.
constexpr wchar_t kNameEnd = L'\x01';

// A name of raw bytes (as a Linux file name holds them) or of any wide characters (lone
// surrogates and values past Unicode among them), between two name ends.
std::wstring TakeName(fuzz::InputBytes& input) {
    std::wstring name;
    if (input.Take<uint8_t>() % 2 == 0) {
        name = platform::WideFromNativeName(input.TakeText(64));
    } else {
        name.resize(input.Take<uint8_t>() % 32);
        for (wchar_t& c : name) {
            c = static_cast<wchar_t>(input.Take<uint32_t>());
        }
    }
    std::replace(name.begin(), name.end(), kNameEnd, L'?');
    return kNameEnd + name + kNameEnd;
}

// A value of the page's data object: numbers, null, strings, arrays and objects with bare or
// quoted keys, a comma after any element. Moves `at` past it; false where it is malformed.
bool SkipValue(std::string_view text, size_t& at, int depth) {
    if (at >= text.size() || depth > 16) {
        return false;
    }
    const auto isDigit = [&](size_t i) {
        return i < text.size() && text[i] >= '0' && text[i] <= '9';
    };
    const char c = text[at];
    if (c == '[' || c == '{') {
        const char close = c == '[' ? ']' : '}';
        ++at;
        while (at < text.size() && text[at] != close) {
            if (c == '{') {
                const size_t key = at;
                if (text[at] == '"') {
                    if (!SkipValue(text, at, depth + 1)) {  // a quoted key
                        return false;
                    }
                } else {
                    while (at < text.size() && std::isalnum(static_cast<unsigned char>(text[at]))) {
                        ++at;
                    }
                }
                if (at == key || at >= text.size() || text[at] != ':') {
                    return false;
                }
                ++at;
            }
            if (!SkipValue(text, at, depth + 1)) {
                return false;
            }
            if (at < text.size() && text[at] == ',') {
                ++at;
            } else if (at >= text.size() || text[at] != close) {
                return false;
            }
        }
        return at++ < text.size();
    }
    if (c == '"') {
        for (++at; at < text.size() && text[at] != '"'; ++at) {
            if (static_cast<unsigned char>(text[at]) < 0x20) {
                return false;
            }
            if (text[at] == '\\' && ++at < text.size() && text[at] != '\\' && text[at] != '"') {
                return false;  // only \\ and \" are written
            }
        }
        return at++ < text.size();
    }
    if (text.substr(at, 4) == "null") {
        at += 4;
        return true;
    }
    // -?digits(.digits)?(e[+-]?digits)?
    if (text[at] == '-') {
        ++at;
    }
    if (!isDigit(at)) {
        return false;
    }
    while (isDigit(at)) {
        ++at;
    }
    if (at < text.size() && text[at] == '.') {
        if (!isDigit(++at)) {
            return false;
        }
        while (isDigit(at)) {
            ++at;
        }
    }
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
            ++at;
        }
        if (!isDigit(at)) {
            return false;
        }
        while (isDigit(at)) {
            ++at;
        }
    }
    return true;
}

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::InputBytes input(data, size);
    run::ReportInfo info;
    info.pluginPath = TakeName(input);
    info.scenarioPath = TakeName(input);
    for (int files = input.Take<uint8_t>() % 4; files > 0; --files) {
        info.filesRead.push_back(TakeName(input));
    }
    info.runSeconds = input.Take<double>();
    info.audioStartTimeMs = input.Take<int32_t>();

    run::DriveTrace trace;
    std::vector<int32_t> panel(kHostArrayIndexLimit, 0);
    std::vector<int32_t> sound(kHostArrayIndexLimit, 0);
    while (!input.Empty() && trace.Frames().size() < kMostFrames) {
        run::TraceFrame frame;
        frame.state = input.Take<VehicleState>();
        frame.driver = input.Take<Handles>();
        frame.returned = input.Take<Handles>();
        for (float& curve : frame.powerCurvesA) {
            curve = input.Take<float>();
        }
        frame.brakeFirstA = input.Take<float>();
        frame.brakeLastA = input.Take<float>();
        frame.audioRms = input.Take<double>();
        const uint8_t writes = input.Take<uint8_t>();
        frame.audioOnset = (writes & 0x80u) != 0;
        for (int w = writes & 0x7; w > 0; --w) {
            std::vector<int32_t>& entries = (w & 1) != 0 ? panel : sound;
            entries[input.Take<uint8_t>()] = input.Take<int32_t>();
        }
        trace.Record(frame, panel.data(), sound.data());
    }

    const fuzz::ScratchFolder& scratch = fuzz::Scratch();
    std::string error;
    if (!run::WriteDriveReport(scratch.File("report.html"), trace, info, error)) {
        Fail(("the report was not written: " + error).c_str());
    }
    const std::string page = ReadAll(scratch.Path() / "report.html");
    // Every name is escaped: none that holds markup stands in the page as it is, between its
    // two ends.
    std::vector<std::wstring> names = info.filesRead;
    names.push_back(info.pluginPath);
    names.push_back(info.scenarioPath);
    for (const std::wstring& name : names) {
        const std::string text = platform::EncodeUtf8(name);
        if (text.find_first_of("<>&\"'") != std::string::npos &&
            page.find(text) != std::string::npos) {
            Fail("a file name stands unescaped in the page");
        }
    }
    // The page's data: one statement setting an object literal, opening a script element
    // (which no escaped name can).
    const std::string_view head = "<script>\nwindow.driveData=";
    const size_t start = page.find(head);
    if (start == std::string::npos || page.find(head, start + 1) != std::string::npos) {
        Fail("the page has no single data statement");
    }
    size_t at = start + head.size();
    if (page[at] != '{' || !SkipValue(page, at, 0) || page.compare(at, 2, ";\n") != 0) {
        Fail("the page's data is not a well-formed object");
    }

    if (!run::WriteTraceCsv(scratch.File("trace.csv"), trace)) {
        Fail("the trace was not written");
    }
    const std::string csv = ReadAll(scratch.Path() / "trace.csv");
    size_t rows = 0;
    size_t width = 0;
    for (size_t line = 0; line < csv.size();) {
        const size_t end = csv.find('\n', line);
        if (end == std::string::npos) {
            Fail("the trace's last row has no line end");
        }
        const size_t fields =
            1 + static_cast<size_t>(std::count(csv.begin() + line, csv.begin() + end, ','));
        if (rows == 0) {
            width = fields;
        } else if (fields != width) {
            Fail("a trace row is not as wide as the header");
        }
        ++rows;
        line = end + 1;
    }
    if (rows != trace.Frames().size() + 1) {
        Fail("the trace does not have one row per frame");
    }
    return 0;
}
