// Plays a scenario on a loaded plug-in as the host would: Load, the vehicle, Initialize, the
// host events and frames in the scenario's order, Dispose. It narrates each call and what the
// plug-in answered on standard output, keeps the trace, lets the train model drive when the
// scenario asks, and holds the keys of the real keyboard the scenario holds.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "AudioWatch.h"
#include "DriveTrace.h"
#include "HostPlugin.h"
#include "Progress.h"
#include "Scenario.h"
#include "TrainModel.h"
#include "VehicleTables.h"

namespace camcab::run {

class ScenarioPlayer {
  public:
    // `tables` (the vehicle's, read from the plug-in's folder) may be null when neither the
    // model nor the trace needs them; `trace` is null when no trace is kept. The plug-in writes
    // its start-up log to `logPath`. Without `narrate` nothing is printed.
    ScenarioPlayer(host::HostPlugin& plugin, const scenario::Scenario& scenario, bool everyFrame,
                   std::wstring logPath, const VehicleTables* tables, DriveTrace* trace,
                   bool narrate = true);

    // Returns the process exit status.
    int Run();
    // Scenario time played so far, as the audio clock counted it.
    double driveMs() const { return driveMs_; }

  private:
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    void
    Print(const char* format, ...) const;
    void Apply(const scenario::Event& event);
    // One frame of the scenario's step, the train moved on by the model when it drives.
    void RunFrame();
    // One Elapse with the current train state; the audio clock advances by `audioMs`.
    void RunElapse(int32_t audioMs);

    const bool narrate_;
    host::HostPlugin& plugin_;
    const std::wstring logPath_;
    const scenario::Scenario& scenario_;
    const bool everyFrame_;
    const VehicleTables* tables_;
    DriveTrace* trace_;
    std::optional<TrainModel> model_;
    bool modelOn_ = false;
    bool doorsOpen_ = false;
    Handles driver_{};        // what the scenario set
    Handles lastReturned_{};  // what the plug-in answered on the last frame
    double driveMs_ = 0.0;
    Progress progress_;
    AudioWatch audio_;
    VehicleState state_;
    std::array<int32_t, kHostArrayIndexLimit> panel_;
    std::array<int32_t, kHostArrayIndexLimit> sound_;
    std::array<int32_t, kHostArrayIndexLimit> shownPanel_;
    std::array<int32_t, kHostArrayIndexLimit> shownSound_;
    Handles shownHandles_{};
    int frame_ = 0;
};

}  // namespace camcab::run
