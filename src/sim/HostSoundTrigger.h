// Requests on the host's one-shot sounds, turned into sound array values once per frame.
#pragma once

#include <array>
#include <cstdint>

#include "host/HostRecords.h"
#include "sim/CabIndices.h"

namespace camcab::sim {

struct HostSoundTrigger {
    bool play = false;
    bool stop = false;
    // Set from load: the first frame stops whatever the host was playing on this index.
    bool forceStop = true;

    // A request sets one flag and clears the other in one write.
    void RequestPlay() {
        play = true;
        stop = false;
    }
    void RequestStop() {
        play = false;
        stop = true;
    }
    // The frame's command for the host sound; consumes the flag it answers.
    int32_t Take() {
        if (forceStop) {
            forceStop = false;
            return kSoundStop;
        }
        if (play) {
            play = false;
            return kSoundPlayOnce;
        }
        if (stop) {
            stop = false;
            return kSoundStop;
        }
        return kSoundContinue;
    }
};

// A looping host sound: its value (loop or stop), stopped once on the first frame.
struct HostSoundLoop {
    int32_t value = kSoundPlayLooping;
    bool forceStop = true;
};

// One trigger per host sound index; only the indices above are ever requested or emitted.
struct HostSoundTriggers {
    std::array<HostSoundTrigger, kHostArrayIndexLimit> trigger{};

    HostSoundTrigger& operator[](int index) { return trigger[static_cast<size_t>(index)]; }
    const HostSoundTrigger& operator[](int index) const {
        return trigger[static_cast<size_t>(index)];
    }

    // Writes the trigger's command into the host's sound array; a missing array still
    // consumes the request, so each request is answered on exactly one frame.
    void Emit(int index, int32_t* sound) {
        const int32_t value = (*this)[index].Take();
        if (sound != nullptr) {
            sound[index] = value;
        }
    }
};

}  // namespace camcab::sim
