// Writes the drive report of a made-up drive, for a look in a browser and for the page test:
//   report_sample FOLDER FRAMES [--plain]
// writes FOLDER/drive.wav, FOLDER/report.html and its trace FOLDER/trace.csv. Its file names hold
// markup and quotes, and one frame holds NaN, infinities and a huge value (not with --plain), so
// that the page shows it survives them.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "DriveReport.h"
#include "SyntheticDrive.h"
#include "support/TempFolder.h"

int main(int argc, char** argv) {
    const bool plain = argc == 4 && std::string(argv[3]) == "--plain";
    if (argc != 3 && !plain) {
        std::fprintf(stderr, "usage: report_sample FOLDER FRAMES [--plain]\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    const size_t frames = std::strtoul(argv[2], nullptr, 10);
    std::filesystem::create_directories(folder);
    const camcab::test::SyntheticDrive drive = camcab::test::MakeSyntheticDrive(frames, !plain);
    if (!camcab::hostaudio::WriteFileBytes(folder / "drive.wav", drive.wavBytes)) {
        std::fprintf(stderr, "report_sample: cannot write drive.wav\n");
        return 1;
    }
    camcab::run::ReportInfo info;
    info.pluginPath = L"/vehicles/電車 & <test>/camcab.so";
    info.scenarioPath = L"/scenarios/\"quoted\" 'drive'.txt";
    info.filesRead = {L"notch/notch.txt", L"</script><script>document.title='broken'</script>"};
    info.runSeconds = 1.5;
    info.audioPath = camcab::test::WideFromPath(folder / "drive.wav");
    info.audioStartTimeMs = camcab::test::kSyntheticStartMs;
    std::string error;
    if (!camcab::run::WriteDriveReport(camcab::test::WideFromPath(folder / "report.html"),
                                       drive.trace, info, error)) {
        std::fprintf(stderr, "report_sample: %s\n", error.c_str());
        return 1;
    }
    if (!camcab::run::WriteTraceCsv(camcab::test::WideFromPath(folder / "trace.csv"),
                                    drive.trace)) {
        std::fprintf(stderr, "report_sample: cannot write trace.csv\n");
        return 1;
    }
    return 0;
}
