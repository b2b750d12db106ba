#include "config/NeedleTables.h"

#include "config/ConfigText.h"

namespace camcab::config {

void ReadNeedleTables(NeedleTables& tables, const std::wstring& pluginDirectory,
                      Diagnostics* diagnostics) {
    // The five tables share one bound. A missing table leaves its needle showing its input.
    CurvePointBudget budget;
    const auto read = [&](const wchar_t* name, Curve& curve) {
        ReadCurveFile(JoinPath(pluginDirectory, name), curve, budget, diagnostics,
                      Severity::Warning);
    };
    read(L"NeedleTable\\PressureL.csv", tables.pressureLNeedleTable);
    read(L"NeedleTable\\PressureR.csv", tables.pressureRNeedleTable);
    read(L"NeedleTable\\Speed.csv", tables.speedNeedleTable);
    read(L"NeedleTable\\Current.csv", tables.currentNeedleTable);
    read(L"NeedleTable\\Voltage.csv", tables.voltageNeedleTable);
}

}  // namespace camcab::config
