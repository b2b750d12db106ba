// The brake cylinder and straight air pipe pressures as the cab gauge shows them, and the two
// exhaust sounds that follow the displayed pressures.
#pragma once

#include <cstdint>

#include "config/NotchTable.h"
#include "host/HostRecords.h"
#include "sim/BrakeOverride.h"
#include "sim/Camshaft.h"
#include "sim/FrameState.h"
#include "sim/HandleInput.h"
#include "sim/NotchPressureLearning.h"
#include "sound/CabSounds.h"

namespace camcab::sim {

// The displayed brake cylinder pressure never exceeds this.
inline constexpr float kMaxBcDisplayKpa = 320.0f;

class BrakeDisplays {
  public:
    // The no-load current of the vehicle's notch table; the exhaust sound starts afresh.
    void Configure(const config::NotchTable& notchTable);

    // What one frame's displays read besides their own state.
    struct Inputs {
        const HandleInput& handles;
        const FrameState& frame;
        const BrakeOverride& brakeOverride;
        const Camshaft& camshaft;
        const NotchPressureLearning& notchPressure;
    };
    // One frame, inside the panel step: both displays, the fall timer and the exhaust sounds.
    void Update(const Inputs& in, const VehicleState& state, const Handles& result,
                sound::CabSounds& sounds);
    // At the end of the frame: the displayed values, kept for the next.
    void StorePrevious() {
        prevSapDisplayKpa_ = sapDisplayKpa_;
        prevBcDisplayKpa_ = bcDisplayKpa_;
    }

    float BcDisplayKpa() const { return bcDisplayKpa_; }
    float SapDisplayKpa() const { return sapDisplayKpa_; }

  private:
    void UpdateSapDisplay(const Inputs& in, const VehicleState& state, float d);
    void UpdateBcDisplay(const Inputs& in, const VehicleState& state, const Handles& result,
                         float d);
    void PlayExhaustSounds(const Inputs& in, const VehicleState& state, const Handles& result,
                           float d, sound::CabSounds& sounds);

    float sapOffsetKpa_ = 0.0f;  // added to the host's straight air pipe pressure
    float sapDisplayKpa_ = 0.0f;
    float bcOffsetKpa_ = 0.0f;  // added to the host's brake cylinder pressure; never positive
    float bcDisplayKpa_ = 0.0f;
    int32_t sapNotFallingMs_ = 0;
    float bcVolume_ = 0.0f;  // last computed exhaust loop volume, clamped only when applied
    float prevSapDisplayKpa_ = 0.0f;
    float prevBcDisplayKpa_ = 0.0f;
    float noLoadCurrentA_ = 0.0f;
    bool sapExhaustPlaying_ = false;  // the straight air pipe exhaust was started by a fall
};

}  // namespace camcab::sim
