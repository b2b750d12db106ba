// The local wall-clock time, as the start-up log writes it.
#pragma once

namespace camcab::platform {

struct LocalTime {
    int year;
    int month;
    int day;
    int hour;
    int minute;
    int second;
    int milliseconds;
};

LocalTime ReadLocalTime();

}  // namespace camcab::platform
