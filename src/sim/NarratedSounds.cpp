#include "sim/NarratedSounds.h"

#include "platform/WideText.h"
#include "sound/SoundRegistry.h"

namespace camcab::sim {

using sound::Sound;

void NarratedSounds::Tell(Sound sound, const char* what) const {
    events_.Tell([sound, what] {
        return "sound " + platform::EncodeUtf8(sound::SoundFile(sound)) + " " + what;
    });
}

// A sound without a voice (its file did not load) never plays: nothing is told of it.
void NarratedSounds::Play(Sound sound) {
    sounds_.Play(sound);
    if (!sounds_.HasVoice(sound)) {
        return;
    }
    playing_[static_cast<size_t>(sound)] = true;
    Tell(sound, "start");
    if (sound == Sound::NotchOff) {
        events_.Send("notch-off");
    }
}

void NarratedSounds::PlayRange(Sound sound, uint32_t startFrame, uint32_t lengthFrames) {
    sounds_.PlayRange(sound, startFrame, lengthFrames);
    if (!sounds_.HasVoice(sound)) {
        return;
    }
    playing_[static_cast<size_t>(sound)] = true;
    Tell(sound, "start");
}

void NarratedSounds::Stop(Sound sound, sound::Commit commit) {
    sounds_.Stop(sound, commit);
    bool& playing = playing_[static_cast<size_t>(sound)];
    if (playing) {
        playing = false;
        Tell(sound, "stop");
    }
}

void NarratedSounds::TellEnded() {
    for (size_t i = 0; i < playing_.size(); ++i) {
        if (playing_[i] && !sounds_.IsPlaying(static_cast<Sound>(i))) {
            playing_[i] = false;
            Tell(static_cast<Sound>(i), "end");
        }
    }
}

}  // namespace camcab::sim
