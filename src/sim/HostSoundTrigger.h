// Requests on one of the host's one-shot sounds, turned into the sound array value once per
// frame.
#pragma once

namespace camcab::sim {

struct HostSoundTrigger {
    bool play = false;
    bool stop = false;
    bool forceStop = false;

    // A play request sets the play flag and clears the stop flag in one write.
    void RequestPlay() {
        play = true;
        stop = false;
    }
};

}  // namespace camcab::sim
