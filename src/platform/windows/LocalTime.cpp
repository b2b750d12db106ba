#include "platform/LocalTime.h"

#include <windows.h>

namespace camcab::platform {

LocalTime ReadLocalTime() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return LocalTime{now.wYear,   now.wMonth,  now.wDay,         now.wHour,
                     now.wMinute, now.wSecond, now.wMilliseconds};
}

}  // namespace camcab::platform
