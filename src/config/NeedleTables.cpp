#include "config/NeedleTables.h"

#include "config/ConfigText.h"
#include "config/VehicleFolder.h"

namespace camcab::config {

void ReadNeedleTables(NeedleTables& tables, const std::wstring& pluginDirectory,
                      Diagnostics* diagnostics) {
    // The five tables share one bound. A missing table leaves its needle showing its input.
    CurvePointBudget budget;
    const auto read = [&](const wchar_t* name, Curve& curve) {
        ReadCurveFile(JoinPath(pluginDirectory, name), curve, budget, diagnostics,
                      Severity::Warning);
    };
    read(kPressureLNeedleFile, tables.pressureLNeedleTable);
    read(kPressureRNeedleFile, tables.pressureRNeedleTable);
    read(kSpeedNeedleFile, tables.speedNeedleTable);
    read(kCurrentNeedleFile, tables.currentNeedleTable);
    read(kVoltageNeedleFile, tables.voltageNeedleTable);
}

}  // namespace camcab::config
