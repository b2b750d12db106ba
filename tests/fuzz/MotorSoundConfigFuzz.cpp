// The motor sound configuration and one table: "AtsMotorConfig.txt", a separator, then the
// table, written as "table.csv" beside it (the seeds name it for every table).
#include <cstddef>
#include <cstdint>

#include "FuzzFiles.h"
#include "config/MotorSoundConfig.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace camcab;
    static const std::vector<std::string> names = {"AtsMotorConfig.txt", "table.csv"};
    fuzz::WriteGroup(fuzz::SplitInput(data, size), names);
    config::MotorSoundConfig soundConfig;
    config::LoadMotorSoundConfig(soundConfig, fuzz::Scratch().Directory());
    // Sound k, its file and curve k of every list belong together.
    const uint64_t count = soundConfig.MotorSoundCount;
    if (count != soundConfig.MotorSoundFiles.size() ||
        count != soundConfig.PowerVolumeCurves.size() ||
        count != soundConfig.BrakeVolumeCurves.size() ||
        count != soundConfig.NeutralVolumeCurves.size() ||
        count != soundConfig.PowerFrequencyCurves.size() ||
        count != soundConfig.BrakeFrequencyCurves.size() ||
        count != soundConfig.NeutralFrequencyCurves.size()) {
        std::abort();
    }
    for (const config::Curve& curve : soundConfig.PowerFrequencyCurves) {
        config::InterpolateCurve(40.0f, curve);
    }
    return 0;
}
