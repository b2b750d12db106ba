// The test-only entry points of the recording modules, beside the sixteen host exports.
#pragma once

#include "host/HostRecords.h"

extern "C" {
// Receives one line per call: "<tag> <export> <arguments>".
using RecordSink = void (*)(void* context, const char* line);
// Attaches a sink; every later call of the module is reported to it under `tag`.
using RecorderAttachFn = void (*)(RecordSink sink, void* context, const char* tag);
// Makes Elapse answer `answer`; null returns to the default, the handle values last set.
using RecorderAnswerFn = void (*)(const camcab::Handles* answer);
// Makes the exports named in `entries` (space-separated, "*" for all) fail after reporting
// their call, the way `failure` says; an empty list ends the failures.
using RecorderFailFn = void (*)(const char* entries, int failure);
}

// How a recording module fails.
enum RecorderFailure : int {
    kFailWithCppException = 0,   // throws a std::runtime_error
    kFailWithUnknownType = 1,    // throws an int, a type nobody catches by name
    kFailWithMsvcException = 2,  // Windows: raises MSVC's C++ exception code, as a module built
                                 // with MSVC throws
};

inline constexpr const char* kRecorderAttachName = "RecorderAttach";
inline constexpr const char* kRecorderAnswerName = "RecorderAnswer";
inline constexpr const char* kRecorderFailName = "RecorderFail";

// Panel and sound elements that the recorders report and the altering module writes.
inline constexpr int kReportedPanelIndex = 3;
inline constexpr int kReportedSoundIndex = 5;
