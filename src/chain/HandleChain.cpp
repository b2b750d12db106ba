// The chain inside Elapse: the first module gets the library's changed handle values, each
// following module the changed values of the answer before it; the last answer is merged. A
// module that fails in a call answers nothing new in it: the chain goes on with the answer
// before it, and a value whose setter failed counts as sent (it is not sent every frame).
#include "chain/DetailModuleChain.h"
#include "platform/ContainedCall.h"

namespace camcab::chain {

// The exports ignore a module calling back into the plug-in, but the chain does not rely on
// that: no reference into the list is held across a call into a module; the entry point is
// copied before it, and the record is looked up again by its position after it, if it is
// still there.
bool DetailModuleChain::Send(std::size_t i, SetterFn DetailModule::*setter,
                             int32_t DetailModule::*lastSent, int32_t value, bool always) {
    if (i >= detailModules.size()) {
        return false;
    }
    if (!always && detailModules[i].*lastSent == value) {
        return true;
    }
    const SetterFn entryPoint = detailModules[i].*setter;
    const platform::ModuleHandle module = detailModules[i].module;
    if (entryPoint != nullptr && !platform::Contained([&] { entryPoint(value); })) {
        TellFailure(module, setter == &DetailModule::SetPower   ? "SetPower"
                            : setter == &DetailModule::SetBrake ? "SetBrake"
                                                                : "SetReverser");
    }
    // The last-sent value follows the value even where the module has no such setter.
    if (i >= detailModules.size()) {
        return false;
    }
    detailModules[i].*lastSent = value;
    return true;
}

// Each module Elapse gets its own copy of the vehicle state and the host's own arrays.
bool DetailModuleChain::CallElapse(std::size_t i, const VehicleState& state, int32_t* panel,
                                   int32_t* sound) {
    if (i >= detailModules.size()) {
        return false;
    }
    const ElapseFn elapse = detailModules[i].Elapse;
    const platform::ModuleHandle module = detailModules[i].module;
    Handles answer{};
    if (elapse != nullptr) {
        if (platform::Contained([&] { answer = elapse(state, panel, sound); })) {
            mergedHandles = answer;
        } else {
            TellFailure(module, "Elapse");
        }
    }
    return true;
}

Handles DetailModuleChain::Run(const VehicleState& state, int32_t* panel, int32_t* sound,
                               const ChainInputs& inputs) {
    if (detailModules.empty()) {
        return mergedHandles;
    }
    // Should a module empty the list meanwhile, the chain ends with the answer so far.
    if (primeModules) {
        // First frame with modules: every module hears all three values, the brake included
        // whatever the keyboard filter says.
        for (std::size_t i = 0; i < detailModules.size(); ++i) {
            if (!Send(i, &DetailModule::SetPower, &DetailModule::lastSentPower, inputs.powerNotch,
                      true) ||
                !Send(i, &DetailModule::SetBrake, &DetailModule::lastSentBrake, inputs.brakeNotch,
                      true) ||
                !Send(i, &DetailModule::SetReverser, &DetailModule::lastSentReverser,
                      inputs.reverserPosition, true) ||
                !CallElapse(i, state, panel, sound)) {
                break;
            }
        }
        primeModules = false;
        return mergedHandles;
    }

    // A held-back brake change waits for a frame in which it may pass.
    if (!Send(0, &DetailModule::SetPower, &DetailModule::lastSentPower, inputs.powerNotch, false) ||
        (inputs.passBrake && !Send(0, &DetailModule::SetBrake, &DetailModule::lastSentBrake,
                                   inputs.brakeNotch, false)) ||
        !Send(0, &DetailModule::SetReverser, &DetailModule::lastSentReverser,
              inputs.reverserPosition, false) ||
        !CallElapse(0, state, panel, sound)) {
        return mergedHandles;
    }
    for (std::size_t i = 1; i < detailModules.size(); ++i) {
        // The answer so far: this frame's from the module before, or, where no module
        // before has an Elapse, the previous frame's merged answer.
        const Handles previous = mergedHandles;
        if (!Send(i, &DetailModule::SetPower, &DetailModule::lastSentPower, previous.Power,
                  false) ||
            !Send(i, &DetailModule::SetBrake, &DetailModule::lastSentBrake, previous.Brake,
                  false) ||
            !Send(i, &DetailModule::SetReverser, &DetailModule::lastSentReverser, previous.Reverser,
                  false) ||
            !CallElapse(i, state, panel, sound)) {
            break;
        }
    }
    return mergedHandles;
}

}  // namespace camcab::chain
