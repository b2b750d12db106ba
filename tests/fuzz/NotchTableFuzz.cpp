// The notch table group: one input holds the index file and the files it names, in this
// order, between separators: index, power parameters, power currents, brake parameters,
// brake currents, no-load current.
#include <cstddef>
#include <cstdint>

#include "FuzzFiles.h"
#include "config/NotchTable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace camcab;
    static const std::vector<std::string> names = {"notch.txt",         "power_params.csv",
                                                   "power_current.csv", "brake_params.csv",
                                                   "brake_current.csv", "noload_current.csv"};
    fuzz::WriteGroup(fuzz::SplitInput(data, size), names);
    config::NotchTable table;
    config::LoadNotchTable(table, fuzz::Scratch().File("notch.txt"));
    // What the camshaft relies on: one curve per column, each sorted by speed.
    if (table.PowerCurrentCurves.size() != table.PowerCurveColumns.size() ||
        table.BrakeCurrentCurves.size() != table.BrakeCurveColumns.size()) {
        std::abort();
    }
    for (const auto* curves : {&table.PowerCurrentCurves, &table.BrakeCurrentCurves}) {
        for (const config::Curve& curve : *curves) {
            for (size_t i = 1; i < curve.size(); ++i) {
                if (curve[i].x < curve[i - 1].x) {
                    std::abort();
                }
            }
            config::InterpolateCurve(50.0f, curve);
        }
    }
    return 0;
}
