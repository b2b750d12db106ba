// The chain inside Elapse: the first module gets the library's changed handle values, each
// following module the changed values of the answer before it; the last answer is merged.
#include "chain/DetailModuleChain.h"

namespace camcab::chain {
namespace {

// Each module Elapse gets its own copy of the vehicle state and the host's own arrays.
void CallElapse(const DetailModule& m, const VehicleState& state, int32_t* panel, int32_t* sound,
                Handles& merged) {
    if (m.Elapse != nullptr) {
        merged = m.Elapse(state, panel, sound);
    }
}

// Hands a value to a setter when it differs from the last one sent. The last-sent value
// follows the value even where the module has no such setter.
template <typename Setter>
void SendIfChanged(Setter setter, int32_t value, int32_t& lastSent) {
    if (value != lastSent) {
        if (setter != nullptr) {
            setter(value);
        }
        lastSent = value;
    }
}

template <typename Setter>
void SendAlways(Setter setter, int32_t value, int32_t& lastSent) {
    if (setter != nullptr) {
        setter(value);
    }
    lastSent = value;
}

}  // namespace

Handles DetailModuleChain::Run(const VehicleState& state, int32_t* panel, int32_t* sound,
                               const ChainInputs& inputs) {
    if (detailModules.empty()) {
        return mergedHandles;
    }
    // Indexing (not iterators) keeps the loop safe should a module call back into the list.
    if (primeModules) {
        // First frame with modules: every module hears all three values, the brake included
        // whatever the keyboard filter says.
        for (std::size_t i = 0; i < detailModules.size(); ++i) {
            DetailModule& m = detailModules[i];
            SendAlways(m.SetPower, inputs.powerNotch, m.lastSentPower);
            SendAlways(m.SetBrake, inputs.brakeNotch, m.lastSentBrake);
            SendAlways(m.SetReverser, inputs.reverserPosition, m.lastSentReverser);
            CallElapse(detailModules[i], state, panel, sound, mergedHandles);
        }
        primeModules = false;
        return mergedHandles;
    }

    {
        DetailModule& first = detailModules[0];
        SendIfChanged(first.SetPower, inputs.powerNotch, first.lastSentPower);
        // A held-back brake change waits for a frame in which it may pass.
        if (inputs.passBrake) {
            SendIfChanged(first.SetBrake, inputs.brakeNotch, first.lastSentBrake);
        }
        SendIfChanged(first.SetReverser, inputs.reverserPosition, first.lastSentReverser);
        CallElapse(detailModules[0], state, panel, sound, mergedHandles);
    }
    for (std::size_t i = 1; i < detailModules.size(); ++i) {
        // The answer so far: this frame's from the module before, or, where no module
        // before has an Elapse, the previous frame's merged answer.
        const Handles previous = mergedHandles;
        DetailModule& m = detailModules[i];
        SendIfChanged(m.SetPower, previous.Power, m.lastSentPower);
        SendIfChanged(m.SetBrake, previous.Brake, m.lastSentBrake);
        SendIfChanged(m.SetReverser, previous.Reverser, m.lastSentReverser);
        CallElapse(detailModules[i], state, panel, sound, mergedHandles);
    }
    return mergedHandles;
}

}  // namespace camcab::chain
