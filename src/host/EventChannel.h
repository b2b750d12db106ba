// The host's event channel: where the host process offers one (the workbench), the plug-in
// names what it does there, one event per call, as text ("stage B", "notch-off",
// "sound kamujiku\notchoff.wav start", ...). The simulator offers none: then nothing is
// formatted or sent, and each place that could send costs one test of a null pointer.
#pragma once

#include <string>

extern "C" {
using CamcabHostEventFn = void (*)(const char* event);
}

namespace camcab {

inline constexpr const char* kHostEventName = "CamcabHostEvent";

class EventChannel {
  public:
    void Attach(CamcabHostEventFn send) { send_ = send; }
    bool On() const { return send_ != nullptr; }
    void Send(const std::string& event) const {
        if (send_ != nullptr) {
            send_(event.c_str());
        }
    }

  private:
    CamcabHostEventFn send_ = nullptr;
};

}  // namespace camcab
