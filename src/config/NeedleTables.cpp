#include "config/NeedleTables.h"

#include "config/ConfigText.h"

namespace camcab::config {

void ReadNeedleTables(NeedleTables& tables, const std::wstring& pluginDirectory) {
    ReadCurveFile(JoinPath(pluginDirectory, L"NeedleTable\\PressureL.csv"),
                  tables.pressureLNeedleTable);
    ReadCurveFile(JoinPath(pluginDirectory, L"NeedleTable\\PressureR.csv"),
                  tables.pressureRNeedleTable);
    ReadCurveFile(JoinPath(pluginDirectory, L"NeedleTable\\Speed.csv"), tables.speedNeedleTable);
    ReadCurveFile(JoinPath(pluginDirectory, L"NeedleTable\\Current.csv"),
                  tables.currentNeedleTable);
    ReadCurveFile(JoinPath(pluginDirectory, L"NeedleTable\\Voltage.csv"),
                  tables.voltageNeedleTable);
}

}  // namespace camcab::config
