// Placeholder readers until the configuration subsystem is built.
#include "config/Configuration.h"

namespace camcab::config {
float InterpolateCurve(float x, const Curve&) { return x; }
void LoadNotchTable(NotchTable&, const std::wstring&) {}
void LoadMotorSoundConfig(MotorSoundConfig&, const std::wstring&) {}
void ReadNeedleTables(NeedleTables&, const std::wstring&) {}
bool TestPanelModify(const std::wstring&) { return false; }
}  // namespace camcab::config
