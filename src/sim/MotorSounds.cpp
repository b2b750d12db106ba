#include "sim/MotorSounds.h"

#include <cmath>

#include "config/Curve.h"

namespace camcab::sim {

void updateMotorSounds(sound::SoundRegistry& sounds, const config::MotorSoundConfig& config,
                       float absSpeed, float current, uint32_t operationSet) {
    const std::vector<config::Curve>* frequencies;
    const std::vector<config::Curve>* volumes;
    if (current == 0.0f) {
        frequencies = &config.NeutralFrequencyCurves;
        volumes = &config.NeutralVolumeCurves;
    } else if (current > 0.0f) {
        frequencies = &config.PowerFrequencyCurves;
        volumes = &config.PowerVolumeCurves;
    } else if (current < 0.0f) {
        frequencies = &config.BrakeFrequencyCurves;
        volumes = &config.BrakeVolumeCurves;
    } else {
        return;
    }
    const size_t count = static_cast<size_t>(sounds.motorSoundCount());
    for (size_t k = 0; k < count; ++k) {
        platform::SourceVoice* voice = sounds.motorSounds[k].voice.get();
        // A sound without its curves (a configuration that does not match the bank) is left
        // as it was.
        if (voice == nullptr || k >= frequencies->size() || k >= volumes->size()) {
            continue;
        }
        // The ratio goes to the voice as computed; one that is not finite (a hostile speed)
        // is not sent.
        const float ratio = config::InterpolateCurve(absSpeed, (*frequencies)[k]);
        if (std::isfinite(ratio)) {
            voice->SetFrequencyRatio(ratio, operationSet);
        }
        const float volume = config::InterpolateCurve(absSpeed, (*volumes)[k]);
        voice->SetVolume(sound::UnitVolume(volume), operationSet);
    }
}

}  // namespace camcab::sim
