#include <ctime>

#include "platform/local_time.h"

TimeOfDay LocalTimeOfDay(CalendarTime time) {
    const std::time_t seconds = static_cast<std::time_t>(time);
    std::tm local{};
    if (localtime_r(&seconds, &local) == nullptr) {
        return TimeOfDay{};
    }
    return TimeOfDay{local.tm_hour, local.tm_min, local.tm_sec};
}

CalendarTime MakeLocalTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    const std::time_t result = std::mktime(&local);
    return result == static_cast<std::time_t>(-1) ? 0 : static_cast<CalendarTime>(result);
}
