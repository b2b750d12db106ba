#include "DriveTrace.h"

#include <algorithm>
#include <charconv>
#include <set>

#include "OutputFile.h"

namespace camcab::run {
namespace {

void RecordChanges(size_t frame, const int32_t* now,
                   std::array<int32_t, kHostArrayIndexLimit>& last,
                   std::vector<EntryChange>& changes) {
    if (now == nullptr) {
        return;
    }
    for (int i = 0; i < kHostArrayIndexLimit; ++i) {
        if (now[i] != last[i]) {
            changes.push_back(EntryChange{frame, i, now[i]});
            last[i] = now[i];
        }
    }
}

// The shortest text that reads back as the same value.
template <typename Number>
void AppendNumber(std::string& text, Number value) {
    char digits[32];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    text.append(digits, result.ptr);
}

}  // namespace

void DriveTrace::Record(const TraceFrame& frame, const int32_t* panel, const int32_t* sound) {
    const size_t index = frames_.size();
    frames_.push_back(frame);
    RecordChanges(index, panel, lastPanel_, panelChanges_);
    RecordChanges(index, sound, lastSound_, soundChanges_);
}

std::vector<int> DriveTrace::Indices(const std::vector<EntryChange>& changes) {
    std::set<int> indices;
    for (const EntryChange& change : changes) {
        indices.insert(change.index);
    }
    return {indices.begin(), indices.end()};
}

std::vector<int32_t> DriveTrace::Column(const std::vector<EntryChange>& changes, int index) const {
    std::vector<int32_t> column(frames_.size(), 0);
    int32_t value = 0;
    size_t filled = 0;
    for (const EntryChange& change : changes) {
        if (change.index != index) {
            continue;
        }
        std::fill(column.begin() + static_cast<ptrdiff_t>(filled),
                  column.begin() + static_cast<ptrdiff_t>(change.frame), value);
        value = change.value;
        filled = change.frame;
    }
    std::fill(column.begin() + static_cast<ptrdiff_t>(filled), column.end(), value);
    return column;
}

// A CSV cell of text: quoted, with its quotes doubled, where it holds a comma, quote or line end.
void AppendCsvText(std::string& text, const std::string& cell) {
    if (cell.find_first_of(",\"\r\n") == std::string::npos) {
        text += cell;
        return;
    }
    text += '"';
    for (char c : cell) {
        text += c;
        if (c == '"') {
            text += '"';
        }
    }
    text += '"';
}

bool WriteTraceCsv(const std::wstring& path, const DriveTrace& trace) {
    const std::vector<int> panelIndices = trace.PanelIndices();
    const std::vector<int> soundIndices = trace.SoundIndices();
    std::string text =
        "time_ms,location_m,speed_kmh,current_a,bc_kpa,mr_kpa,er_kpa,bp_kpa,sap_kpa,"
        "driver_power,driver_brake,driver_reverser,power,brake,reverser,constant_speed";
    for (int index : panelIndices) {
        text += ",panel_" + std::to_string(index);
    }
    for (int index : soundIndices) {
        text += ",sound_" + std::to_string(index);
    }
    for (int curve : kTracedPowerCurves) {
        text += ",c" + std::to_string(curve) + "_a";
    }
    text += ",brake_first_a,brake_last_a,audio_rms,audio_onset,events\n";

    std::vector<std::vector<int32_t>> panelColumns;
    for (int index : panelIndices) {
        panelColumns.push_back(trace.PanelColumn(index));
    }
    std::vector<std::vector<int32_t>> soundColumns;
    for (int index : soundIndices) {
        soundColumns.push_back(trace.SoundColumn(index));
    }

    OutputFile out(path);
    const std::vector<TraceFrame>& frames = trace.Frames();
    for (size_t f = 0; f < frames.size(); ++f) {
        const TraceFrame& frame = frames[f];
        const VehicleState& s = frame.state;
        AppendNumber(text, s.Time);
        for (double value : {s.Location}) {
            text += ',';
            AppendNumber(text, value);
        }
        for (float value : {s.Speed, s.Current, s.BcPressure, s.MrPressure, s.ErPressure,
                            s.BpPressure, s.SapPressure}) {
            text += ',';
            AppendNumber(text, value);
        }
        for (int32_t value :
             {frame.driver.Power, frame.driver.Brake, frame.driver.Reverser, frame.returned.Power,
              frame.returned.Brake, frame.returned.Reverser, frame.returned.ConstantSpeed}) {
            text += ',';
            AppendNumber(text, value);
        }
        for (const auto& column : panelColumns) {
            text += ',';
            AppendNumber(text, column[f]);
        }
        for (const auto& column : soundColumns) {
            text += ',';
            AppendNumber(text, column[f]);
        }
        for (float value : frame.powerCurvesA) {
            text += ',';
            AppendNumber(text, value);
        }
        text += ',';
        AppendNumber(text, frame.brakeFirstA);
        text += ',';
        AppendNumber(text, frame.brakeLastA);
        text += ',';
        if (frame.audioRms >= 0.0) {
            AppendNumber(text, frame.audioRms);
            text += frame.audioOnset ? ",1" : ",0";
        } else {
            text += ',';
        }
        text += ',';
        AppendCsvText(text, frame.events);
        text += '\n';
        // Written in pieces so that a long drive needs no second copy of the whole file.
        if (text.size() >= (size_t{1} << 20)) {
            out.Write(text);
            text.clear();
        }
    }
    out.Write(text);
    return out.Close();
}

}  // namespace camcab::run
