#include <time.h>

#include "platform/local_time.h"

// The C runtime's 64-bit calls, so that times past 2038 convert on the 32-bit build as well.

TimeOfDay LocalTimeOfDay(CalendarTime time) {
    const __time64_t seconds = static_cast<__time64_t>(time);
    struct tm local {};
    if (_localtime64_s(&local, &seconds) != 0) {
        return TimeOfDay{};
    }
    return TimeOfDay{local.tm_hour, local.tm_min, local.tm_sec};
}

CalendarTime MakeLocalTime(int year, int month, int day, int hour, int minute, int second) {
    struct tm local {};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    const __time64_t result = _mktime64(&local);
    return result == static_cast<__time64_t>(-1) ? 0 : static_cast<CalendarTime>(result);
}
