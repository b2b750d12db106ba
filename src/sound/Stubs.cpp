// Placeholder sound system until the audio engine is built: the library runs silent.
#include "sound/SoundSystem.h"

namespace camcab::sound {
void SoundSystem::StartUp(const std::wstring&, config::MotorSoundConfig&) {}
void SoundSystem::PrepareSecondReverserVoice() {}
void SoundSystem::FrameBegin() {}
void SoundSystem::FrameEnd() {}
void SoundSystem::ShutDown() {}
}  // namespace camcab::sound
