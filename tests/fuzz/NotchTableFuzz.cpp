// The notch table group: one input holds the index file and the files it names, in this
// order, between separators: index, power parameters, power currents, brake parameters,
// brake currents, no-load current.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "FuzzFiles.h"
#include "config/NotchTable.h"

namespace {

// What the camshaft relies on: one curve per column, each sorted by speed. An input can hold
// a quarter of a million points; the check is left out of the coverage the fuzzer steers by,
// where it would spend most of the run and teach nothing.
__attribute__((no_sanitize("coverage"))) void CheckCurves(const camcab::config::NotchTable& table) {
    using camcab::config::Curve;
    if (table.PowerCurrentCurves.size() != table.PowerCurveColumns.size() ||
        table.BrakeCurrentCurves.size() != table.BrakeCurveColumns.size()) {
        std::abort();
    }
    for (const auto* curves : {&table.PowerCurrentCurves, &table.BrakeCurrentCurves}) {
        for (const Curve& curve : *curves) {
            for (size_t i = 1; i < curve.size(); ++i) {
                if (curve[i].x < curve[i - 1].x) {
                    std::abort();
                }
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace camcab;
    static const std::vector<std::string> names = {"notch.txt",         "power_params.csv",
                                                   "power_current.csv", "brake_params.csv",
                                                   "brake_current.csv", "noload_current.csv"};
    fuzz::WriteGroup(fuzz::SplitInput(data, size), names);
    config::NotchTable table;
    config::LoadNotchTable(table, fuzz::Scratch().File("notch.txt"));
    CheckCurves(table);
    for (const auto* curves : {&table.PowerCurrentCurves, &table.BrakeCurrentCurves}) {
        for (const config::Curve& curve : *curves) {
            config::InterpolateCurve(50.0f, curve);
        }
    }
    return 0;
}
