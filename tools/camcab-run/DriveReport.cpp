#include "DriveReport.h"

namespace camcab::run {

bool WriteDriveReport(const std::wstring&, const DriveTrace&, const ReportInfo&,
                      std::string& error) {
    error = "the drive report is not built yet";
    return false;
}

}  // namespace camcab::run
