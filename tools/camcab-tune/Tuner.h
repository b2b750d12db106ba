// The search for the smallest changes to a vehicle's current tables that make a drive's
// camshaft stages fire: the power camshaft's stages A to D, and the regenerating camshaft's
// first brake curve met and its hold at the last. A stage is looked for where it never fired in
// the drive, where a power cycle told a later stage without it, and in each regeneration on the
// top brake notch. For each, the current's nearest approaches to the stage's curve are tried
// in turn, nearest first: the curve's two cells at the speeds around it move by the gap, so that
// the curve meets the current there (a stage's lower curve moves below it when it stands in the
// way). A change stands only when the drive, driven again with it, fires the stage, loses no
// stage that fired before and holds the power no longer. Before that, two power curve columns
// found in each other's place (out of the curves' order) are exchanged back.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "DriveTrace.h"
#include "Scenario.h"
#include "TableText.h"
#include "config/NotchTable.h"

namespace camcab::tune {

struct CellChange {
    std::string file;  // relative to the vehicle folder, '/' between its parts
    size_t line = 0;   // from 1
    size_t field = 0;  // from 1
    std::string before;
    std::string after;
    std::string why;
};

// A stage that fired at a point the author marks as wrong: where it should fire.
struct StageMark {
    std::string stage;  // one of kTunedStages
    double timeS = 0.0;
};

// The stages whose firing the search can change: first the power camshaft's, in the order a
// power cycle reaches them, then the regenerating camshaft's.
inline constexpr const char* kTunedStages[] = {"stage A",      "transition", "stage B",
                                               "stage C",      "stage D",    "brake current near",
                                               "camshaft hold"};
inline constexpr size_t kPowerStages = 5;  // the first five

// A power cycle (a run of frames with a powering current) or a regeneration (a run of frames
// with a negative current), and the stages told in it. A stage told while the current is zero
// belongs to the cycle before.
struct DriveCycle {
    bool regenerating = false;
    size_t firstFrame = 0;
    size_t endFrame = 0;  // one past its last frame
    unsigned stages = 0;  // bit s: kTunedStages[s] told
    // The power stages still latched as the cycle begins: the current changed sign without a
    // frame at zero, so the camshaft kept the stages it had reached.
    unsigned carried = 0;
    std::array<size_t, std::size(kTunedStages)> counts{};  // how often each was told
    bool outOfOrder = false;  // a power stage told after one that comes later in the camshaft's run
    std::string label;        // "power cycle 2 at 0:01:05.20", "regeneration 1 at 0:01:30.00"
    std::string told;         // " stage A transition ...": the stages in told order
};

// How often a drive told each stage, its cycles, and how many frames its power was held at 0
// while the driver's power handle was on.
struct DriveSummary {
    std::vector<size_t> stageCounts;  // by kTunedStages
    std::vector<DriveCycle> cycles;
    size_t heldFrames = 0;
};

DriveSummary Summarize(const run::DriveTrace& trace);

// Whether a drive keeps what another did: every stage each cycle told or kept latched is told
// or kept latched in the same cycle again (`except` aside in the cycles that begin before frame
// `exceptBefore`), and the power is held no longer.
bool KeepsEveryStage(const DriveSummary& before, const DriveSummary& after,
                     std::optional<size_t> except = std::nullopt, size_t exceptBefore = SIZE_MAX);

// A stage to make fire: in the whole drive, in one cycle, or at a mark; or, with `once`, to
// keep in a cycle where it let go and was told again.
struct StageTarget {
    size_t stage = 0;  // by kTunedStages
    std::optional<size_t> cycle;
    std::optional<double> markS;
    bool once = false;
};

class Tuner {
  public:
    // `folder`: the author's vehicle folder (trailing separator), with its plug-in `pluginName`;
    // `drive`: the frozen drive, `before` its trace through that folder; candidate folders go
    // under `scratch`.
    Tuner(std::wstring folder, std::wstring pluginName, scenario::Scenario drive,
          run::DriveTrace before, std::filesystem::path scratch);

    // Tunes every stage looked for (see above) and each marked one. Returns false when the
    // power current table cannot be read (`findings` says why).
    bool Tune(const std::vector<StageMark>& marks);

    const std::vector<CellChange>& Changes() const { return changes_; }
    // What the search found for each stage: fired already, made to fire, or why not.
    const std::vector<std::string>& Findings() const { return findings_; }
    // How many of the stages looked for still do not fire.
    size_t Unmet() const { return unmet_; }
    // The drive through the tuned tables.
    const run::DriveTrace& Tuned() const { return trace_; }
    // Writes the changed tables under `folder`, each at its place relative to the vehicle's.
    bool WriteTables(const std::filesystem::path& folder) const;

    // A current table that the search may change: its text as it stands, and its file
    // relative to the vehicle folder.
    struct Table {
        std::wstring file;
        std::optional<TableText> text;
        bool changed = false;
    };

  private:
    // Two columns whose currents stand in each other's place, put back: see Tuner.cpp.
    void RepairSwappedColumns(const config::NotchTable& notch);
    bool TuneStage(const StageTarget& target);
    // Drives the frozen drive through a copy of the folder with `tables`; empty on failure.
    std::optional<run::DriveTrace> Drive(const Table& power, const Table& brake);
    // Whether the frame's returned brake is on the top brake notch (not the emergency notch).
    bool OnTopNotch(const run::TraceFrame& frame) const;
    // Keeps a change that stood: its tables, its drive and its cells.
    void Keep(Table power, Table brake, run::DriveTrace tuned, std::vector<CellChange> changes);

    const std::wstring folder_;
    // The folder whose tables stand: the author's, then the last change's that stood.
    std::wstring tablesFolder_;
    const std::wstring pluginName_;
    const scenario::Scenario drive_;
    const std::filesystem::path scratch_;
    run::DriveTrace trace_;
    // What the drive told, and where a step sound may play: kept with the drive they come from.
    DriveSummary summary_;
    std::vector<bool> stepSound_;
    Table power_;
    Table brake_;
    std::wstring lastTry_;  // the folder of the last drive tried
    std::vector<CellChange> changes_;
    std::vector<std::string> findings_;
    size_t unmet_ = 0;
    int64_t topNotch_ = 0;  // the notch the brake curves require
    int tries_ = 0;
};

}  // namespace camcab::tune
