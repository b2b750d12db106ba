// An engine that plays nothing but keeps time: each source voice's place in its buffer moves
// only when the host's audio clock asks for a quantum, as FAudio's voices do under that clock.
// The Windows build takes it when the host process offers the clock (the workbench), so a
// drive there waits for camcab's one-shot sounds exactly as on Linux instead of on a device
// running in real time; the quanta it hands the host are silent.
#pragma once

#include <cstdint>

#include "platform/AudioEngine.h"
#include "platform/HostServices.h"

namespace camcab::platform {

// The format FAudio's mastering voice takes on Linux under the host's clock, kept alike so
// that a sound ends in the same quantum on both platforms.
inline constexpr uint32_t kClockedSampleRate = 48000;
inline constexpr uint32_t kClockedChannels = 2;
inline constexpr uint32_t kClockedQuantumFrames = kClockedSampleRate / 100;

// A new engine with one reference. Its mastering voice attaches to the host through
// `hostAttach`, and detaches before it goes.
int32_t CreateClockedAudioEngine(EngineRef& engine, CamcabHostAttachAudioFn hostAttach);

}  // namespace camcab::platform
