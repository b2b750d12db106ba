#include "config/NeedleTables.h"

#include "config/ConfigText.h"

namespace camcab::config {

void ReadNeedleTables(NeedleTables& tables, const std::wstring& pluginDirectory) {
    // The five tables share one bound.
    CurvePointBudget budget;
    ReadCurveFile(JoinPath(pluginDirectory, L"NeedleTable\\PressureL.csv"),
                  tables.pressureLNeedleTable, budget);
    ReadCurveFile(JoinPath(pluginDirectory, L"NeedleTable\\PressureR.csv"),
                  tables.pressureRNeedleTable, budget);
    ReadCurveFile(JoinPath(pluginDirectory, L"NeedleTable\\Speed.csv"), tables.speedNeedleTable,
                  budget);
    ReadCurveFile(JoinPath(pluginDirectory, L"NeedleTable\\Current.csv"), tables.currentNeedleTable,
                  budget);
    ReadCurveFile(JoinPath(pluginDirectory, L"NeedleTable\\Voltage.csv"), tables.voltageNeedleTable,
                  budget);
}

}  // namespace camcab::config
