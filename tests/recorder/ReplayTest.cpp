// A drive recorded through the recorder and replayed by camcab-run through the same plug-in
// shows the same handles, panel, sound and audio changes, frame by frame; the line voltage
// needle aside, which wanders at random.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <regex>
#include <string>
#include <vector>

#include "ScenarioWriter.h"
#include "support/TempFolder.h"

namespace camcab::test {
namespace {

#ifndef _WIN32
namespace fs = std::filesystem;

// What camcab-run printed for each frame, without the line voltage (panel 232).
std::vector<std::string> Frames(const std::string& output) {
    static const std::regex voltage(" 232=-?[0-9]+");
    static const std::regex emptyPanel(" panel( sound| events|$)");
    std::vector<std::string> frames;
    size_t begin = 0;
    for (size_t end; (end = output.find('\n', begin)) != std::string::npos; begin = end + 1) {
        const std::string line = output.substr(begin, end - begin);
        if (line.rfind("frame ", 0) == 0) {
            frames.push_back(
                std::regex_replace(std::regex_replace(line, voltage, ""), emptyPanel, "$1"));
        }
    }
    return frames;
}

// camcab-run --every-frame through the plug-in in `vehicle`; its output.
std::string RunDrive(const fs::path& vehicle, const fs::path& scenario) {
    const std::string command = std::string("'") + CAMCAB_RUN_FILE + "' --every-frame '" +
                                (vehicle / fs::path(CAMCAB_PLUGIN_FILE).filename()).string() +
                                "' '" + scenario.string() + "' 2>&1";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    std::string output;
    char chunk[4096];
    for (size_t read; pipe != nullptr && (read = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) {
        output.append(chunk, read);
    }
    EXPECT_TRUE(pipe != nullptr && ::pclose(pipe) == 0) << output;
    return output;
}

TEST(Replay, ARecordedDriveReplaysFrameByFrameAndTheRecorderChangesNothing) {
    TempFolder folder(L"camcab-録音-車両");
    const fs::path vehicle = folder.Path();
    fs::copy(CAMCAB_SAMPLE_VEHICLE, vehicle, fs::copy_options::recursive);
    for (const char* built : {CAMCAB_PLUGIN_FILE, CAMCAB_PASSTHROUGH_FILE, CAMCAB_RECORDER_FILE}) {
        fs::copy_file(built, vehicle / fs::path(built).filename());
    }
    const std::string passthrough = fs::path(CAMCAB_PASSTHROUGH_FILE).filename().string();
    const std::string recorder = fs::path(CAMCAB_RECORDER_FILE).filename().string();

    folder.Write(L"detailmodulesx64.txt", passthrough + "\n");
    const std::vector<std::string> plain = Frames(RunDrive(vehicle, CAMCAB_SAMPLE_SCENARIO));
    folder.Write(L"detailmodulesx64.txt", recorder + "\n" + passthrough + "\n");
    const std::vector<std::string> recorded = Frames(RunDrive(vehicle, CAMCAB_SAMPLE_SCENARIO));
    ASSERT_EQ(recorded.size(), 655u);
    EXPECT_EQ(recorded, plain) << "the recorder answers the handles it is given";

    fs::path recording;
    for (const auto& entry : fs::directory_iterator(vehicle)) {
        if (entry.path().filename().string().rfind("camcab-recording-", 0) == 0) {
            recording = entry.path();
        }
    }
    ASSERT_FALSE(recording.empty()) << "the recording is beside the recorder";
    folder.Write(L"detailmodulesx64.txt", passthrough + "\n");
    const std::vector<std::string> replayed = Frames(RunDrive(vehicle, recording));
    ASSERT_EQ(replayed.size(), recorded.size());
    for (size_t i = 0; i < recorded.size(); ++i) {
        EXPECT_EQ(replayed[i], recorded[i]);
    }
}

TEST(Replay, ADriveHoldingTheExtremeValuesReplays) {
    TempFolder folder(L"camcab-extreme");
    const fs::path vehicle = folder.Path();
    fs::copy(CAMCAB_SAMPLE_VEHICLE, vehicle, fs::copy_options::recursive);
    fs::copy_file(CAMCAB_PLUGIN_FILE, vehicle / fs::path(CAMCAB_PLUGIN_FILE).filename());
    std::string text = "step 0\n";
    int32_t timeMs = 0;
    for (const float value : {FLT_MAX, -FLT_MAX, std::numeric_limits<float>::denorm_min(), -0.0f,
                              INFINITY, -INFINITY, NAN, -NAN}) {
        timeMs += 20;
        const VehicleState state{
            static_cast<double>(value), value, timeMs, value, value, value, value, value, value};
        text += scenario::ElapseLine(state) + "\n" +
                scenario::BeaconLine(BeaconData{0, 0, value, 0}) + "\n";
    }
    folder.Write(L"extreme.txt", text);
    EXPECT_EQ(Frames(RunDrive(vehicle, vehicle / "extreme.txt")).size(), 8u) << text;
}
#endif

}  // namespace
}  // namespace camcab::test
