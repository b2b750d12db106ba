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
    // Tells the event that `text()` names. Telling is the workbench's: a host function that
    // throws, or memory running out for the text, costs only the event, never the frame.
    template <typename Text>
    void Tell(Text text) const noexcept {
        if (send_ == nullptr) {
            return;
        }
        try {
            const std::string event = text();
            send_(event.c_str());
        } catch (...) {
        }
    }
    void Send(const char* event) const noexcept {
        Tell([event] { return std::string(event); });
    }

  private:
    CamcabHostEventFn send_ = nullptr;
};

}  // namespace camcab
