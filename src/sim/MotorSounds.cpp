#include "sim/MotorSounds.h"

#include <cmath>

#include "config/Curve.h"
#include "sound/SoundSlot.h"

namespace camcab::sim {

void MotorSounds::Update(float absSpeedKmh, float currentA, sound::CabSounds& sounds) const {
    if (config_ == nullptr) {
        return;  // before the first Load there is no motor sound
    }
    const config::MotorSoundConfig& config = *config_;
    const std::vector<config::Curve>* frequencies;
    const std::vector<config::Curve>* volumes;
    if (currentA == 0.0f) {
        frequencies = &config.NeutralFrequencyCurves;
        volumes = &config.NeutralVolumeCurves;
    } else if (currentA > 0.0f) {
        frequencies = &config.PowerFrequencyCurves;
        volumes = &config.PowerVolumeCurves;
    } else if (currentA < 0.0f) {
        frequencies = &config.BrakeFrequencyCurves;
        volumes = &config.BrakeVolumeCurves;
    } else {
        return;
    }
    const size_t count = sounds.MotorSoundCount();
    for (size_t k = 0; k < count; ++k) {
        // A sound without its curves (a configuration that does not match the bank) is left
        // as it was.
        if (k >= frequencies->size() || k >= volumes->size()) {
            continue;
        }
        // The ratio goes to the voice as computed; one that is not finite (a hostile speed)
        // is not sent.
        const float ratio = config::InterpolateCurve(absSpeedKmh, (*frequencies)[k]);
        if (std::isfinite(ratio)) {
            sounds.SetMotorFrequencyRatio(k, ratio);
        }
        const float volume = config::InterpolateCurve(absSpeedKmh, (*volumes)[k]);
        sounds.SetMotorVolume(k, sound::UnitVolume(volume));
    }
}

}  // namespace camcab::sim
