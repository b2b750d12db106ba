// The search for the smallest changes to a vehicle's power current table that make a drive's
// camshaft stages fire: for a stage that never fired, the powering current's nearest approaches
// to its curve are tried in turn, nearest first; for each, the curve's two cells at the speeds
// around it move by the gap, so that the curve meets the current there (a stage's lower curve
// moves below it when it stands in the way). A change stands only when the drive, driven again
// with it, fires the stage, loses no stage that fired before and holds the power no longer.
// Before that, two curve columns found in each other's place (out of the curves' order) are
// exchanged back.
#pragma once

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
    std::string stage;  // "stage A", "transition", "stage B", "stage C", "stage D"
    double timeS = 0.0;
};

// The stages whose firing the search can change, in the order a power cycle reaches them.
inline constexpr const char* kTunedStages[] = {"stage A", "transition", "stage B", "stage C",
                                               "stage D"};

// How often a drive told each stage, the stages each power cycle (a run of frames with a
// powering current) told, and how many frames its power was held at 0 while the driver's power
// handle was on.
struct DriveSummary {
    std::vector<size_t> stageCounts;      // by kTunedStages
    std::vector<unsigned> cycleStages;    // per power cycle, bit s: kTunedStages[s] told
    std::vector<std::string> cycleTexts;  // per power cycle: its start and stages in told order
    size_t heldFrames = 0;
};
DriveSummary Summarize(const run::DriveTrace& trace);

// Whether a drive keeps what another did: every stage each power cycle told (`except` aside)
// is told in the same cycle again, and the power is held no longer.
bool KeepsEveryStage(const DriveSummary& before, const DriveSummary& after,
                     std::optional<size_t> except = std::nullopt);

class Tuner {
  public:
    // `folder`: the author's vehicle folder (trailing separator), with its plug-in `pluginName`;
    // `drive`: the frozen drive, `before` its trace through that folder; candidate folders go
    // under `scratch`.
    Tuner(std::wstring folder, std::wstring pluginName, scenario::Scenario drive,
          run::DriveTrace before, std::filesystem::path scratch);

    // Tunes every stage that never fired and each marked one. Returns false when the power
    // current table cannot be read (`findings` says why).
    bool Tune(const std::vector<StageMark>& marks);

    const std::vector<CellChange>& Changes() const { return changes_; }
    // What the search found for each stage: fired already, made to fire, or why not.
    const std::vector<std::string>& Findings() const { return findings_; }
    // The drive through the tuned tables, and the table itself.
    const run::DriveTrace& Tuned() const { return trace_; }
    const TableText& Table() const { return *table_; }
    const std::wstring& TableFile() const { return tableFile_; }  // relative

  private:
    // Two columns whose currents stand in each other's place, put back: see Tuner.cpp.
    void RepairSwappedColumns(const config::NotchTable& notch);
    bool TuneStage(size_t stage, std::optional<double> markS);
    // Drives the frozen drive through a copy of the folder with `table`; empty on failure.
    std::optional<run::DriveTrace> Drive(const TableText& table);

    const std::wstring folder_;
    // The folder whose tables stand: the author's, then the last change's that stood.
    std::wstring tablesFolder_;
    const std::wstring pluginName_;
    const scenario::Scenario drive_;
    const std::filesystem::path scratch_;
    run::DriveTrace trace_;
    std::optional<TableText> table_;
    std::wstring tableFile_;
    std::wstring lastTry_;  // the folder of the last drive tried
    std::vector<CellChange> changes_;
    std::vector<std::string> findings_;
    int tries_ = 0;
};

}  // namespace camcab::tune
