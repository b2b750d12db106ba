#include "sound/SoundRegistry.h"

#include <cmath>

#include "config/Curve.h"
#include "platform/FileSystem.h"

namespace camcab::sound {
namespace {

constexpr float kRatioSpeedKmh = 160.0f;

std::wstring InFolder(const std::wstring& pluginDirectory, const wchar_t* name) {
    return platform::AppendPath(pluginDirectory, platform::NativeSeparators(name));
}

// A list shorter than the sound count gives no curve for the missing sounds.
const config::Curve* CurveAt(const std::vector<config::Curve>& curves, uint64_t k) {
    return k < curves.size() ? &curves[static_cast<size_t>(k)] : nullptr;
}

}  // namespace

float MotorMaxFrequencyRatio(const config::MotorSoundConfig& config, uint64_t k) {
    static const config::Curve kNoPoints;
    const config::Curve* curves[3] = {CurveAt(config.PowerFrequencyCurves, k),
                                      CurveAt(config.BrakeFrequencyCurves, k),
                                      CurveAt(config.NeutralFrequencyCurves, k)};
    float candidates[6];
    int count = 0;
    // The highest point of each curve; a curve without points has none.
    for (const config::Curve* curve : curves) {
        if (curve == nullptr || curve->empty()) {
            continue;
        }
        float highest = NAN;  // a point without a number does not count
        for (const config::CurvePoint& point : *curve) {
            if (std::isnan(highest) || point.y > highest) {
                highest = point.y;
            }
        }
        candidates[count++] = highest;
    }
    for (const config::Curve* curve : curves) {
        candidates[count++] =
            config::InterpolateCurve(kRatioSpeedKmh, curve != nullptr ? *curve : kNoPoints);
    }
    float largest = candidates[0];
    for (int i = 1; i < count; ++i) {
        if (candidates[i] > largest || std::isnan(largest)) {
            largest = candidates[i];
        }
    }
    // The engine accepts 1/1024 to 1024; a curve beyond that is held at the bound.
    if (std::isnan(largest)) {
        return kDefaultMaxFrequencyRatio;
    }
    return std::fmax(platform::kMinFrequencyRatio,
                     std::fmin(platform::kMaxFrequencyRatio, largest));
}

void LoadSounds(SoundRegistry& registry, const platform::EngineRef& engine,
                platform::StartUpLog* log, const config::MotorSoundConfig& config,
                const std::wstring& pluginDirectory) {
    // The bank has one slot per configured number; more than the file list holds would be
    // slots without a file.
    const uint64_t count = config.MotorSoundCount;
    registry.motorSounds.clear();
    try {
        registry.motorSounds.reserve(static_cast<size_t>(count));
        for (uint64_t k = 0; k < count; ++k) {
            const float maxRatio = MotorMaxFrequencyRatio(config, k);
            const std::wstring path = k < config.MotorSoundFiles.size()
                                          ? config.MotorSoundFiles[static_cast<size_t>(k)]
                                          : std::wstring();
            registry.motorSounds.emplace_back(engine, log, path, kLooping, 0u, maxRatio);
        }
    } catch (...) {
        // Out of memory for the bank: the sounds made so far stay.
    }
    registry.motorSounds.shrink_to_fit();

    for (const NamedSoundFile& named : kOneShotSoundFiles) {
        (registry.*named.slot)
            .Reload(engine, log, InFolder(pluginDirectory, named.file), kOneShot,
                    kDefaultMaxFrequencyRatio);
    }
    // Without the SAP sound the brake-cylinder loop falls back to the folder's own loop.
    const wchar_t* bcFile = registry.sapSound.HasVoice() ? kBcSoundFile : kBcFallbackSoundFile;
    registry.bcSound.Reload(engine, log, InFolder(pluginDirectory, bcFile), kLooping,
                            kDefaultMaxFrequencyRatio);
    registry.pipeSound.Reload(engine, log, InFolder(pluginDirectory, kPipeSoundFile), kLooping,
                              kDefaultMaxFrequencyRatio);
}

void PrepareSecondReverserVoice(SoundRegistry& registry) {
    registry.reverser2LoopSound.CopyFrom(registry.reverser2Sound);
}

void UnloadSounds(SoundRegistry& registry) {
    // Each motor sound is stopped and emptied as a named sound is, and gives its PCM storage
    // back; the bank keeps its emptied slots.
    for (SoundSlot& motor : registry.motorSounds) {
        motor.Clear();
        motor = SoundSlot();
    }
    registry.resetSound.Clear();
    registry.start1Sound.Clear();
    registry.start2Sound.Clear();
    registry.reverser1Sound.Clear();
    registry.reverser2Sound.Clear();
    registry.reverser3Sound.Clear();
    registry.notchOffSound.Clear();
    registry.breakerOffSound.Clear();
    registry.shindan1Sound.Clear();
    registry.shindan2Sound.Clear();
    registry.watariSound.Clear();
    registry.sapSound.Clear();
    registry.bcSound.Clear();
    registry.reverser2LoopSound.Clear();
    registry.pipeSound.Clear();
}

}  // namespace camcab::sound
