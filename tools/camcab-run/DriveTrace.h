// The record of a drive, frame by frame: the train, the driver's and the returned handles,
// the curve values at the frame's speed, the sound level, and every panel and sound entry
// that the plug-in wrote. The trace file and the drive report are both written from it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/HostRecords.h"

namespace camcab::run {

// The power current curves that the camshaft compares the current with: c0 to c8 and c10.
inline constexpr std::array<int, 10> kTracedPowerCurves = {0, 1, 2, 3, 4, 5, 6, 7, 8, 10};

struct TraceFrame {
    VehicleState state{};  // as handed to Elapse
    Handles driver{};      // the handles the scenario (the driver) set; ConstantSpeed unused
    Handles returned{};    // what Elapse answered
    std::array<float, kTracedPowerCurves.size()> powerCurvesA{};  // c0..c8, c10 at |speed|
    float brakeFirstA = 0.0f;  // the first brake current curve at |speed|
    float brakeLastA = 0.0f;   // the last brake current curve at |speed|
    double audioRms = -1.0;    // RMS of the plug-in's own sound in this frame; < 0: not rendered
    bool audioOnset = false;   // a sound starts in this frame, alone or over what was heard
    std::string events;        // what the plug-in told on its event channel, "; " between
};

// A change of one panel or sound entry, seen after a frame.
struct EntryChange {
    size_t frame;  // index into Frames()
    int index;
    int32_t value;
};

class DriveTrace {
  public:
    // Adds a frame with the panel and sound arrays (kHostArrayIndexLimit entries each) as the
    // plug-in left them.
    void Record(const TraceFrame& frame, const int32_t* panel, const int32_t* sound);

    const std::vector<TraceFrame>& Frames() const { return frames_; }
    // Every change of an entry against the frame before (the arrays start all 0).
    const std::vector<EntryChange>& PanelChanges() const { return panelChanges_; }
    const std::vector<EntryChange>& SoundChanges() const { return soundChanges_; }
    // The indices that the plug-in wrote a value other than the one before, ascending.
    std::vector<int> PanelIndices() const { return Indices(panelChanges_); }
    std::vector<int> SoundIndices() const { return Indices(soundChanges_); }
    // The value of one entry after each frame.
    std::vector<int32_t> PanelColumn(int index) const { return Column(panelChanges_, index); }
    std::vector<int32_t> SoundColumn(int index) const { return Column(soundChanges_, index); }

  private:
    static std::vector<int> Indices(const std::vector<EntryChange>& changes);
    std::vector<int32_t> Column(const std::vector<EntryChange>& changes, int index) const;

    std::vector<TraceFrame> frames_;
    std::vector<EntryChange> panelChanges_;
    std::vector<EntryChange> soundChanges_;
    std::array<int32_t, kHostArrayIndexLimit> lastPanel_{};
    std::array<int32_t, kHostArrayIndexLimit> lastSound_{};
};

// Writes the trace as CSV: a header row naming each column, then one row per frame. False
// when the file cannot be written.
bool WriteTraceCsv(const std::wstring& path, const DriveTrace& trace);

}  // namespace camcab::run
