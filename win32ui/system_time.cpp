#include "win32ui/system_time.h"

#include <time.h>

// The 64-bit runtime calls, so that the 32-bit build converts times past 2038 as well.

bool ToLocalSystemTime(CalendarTime time, SYSTEMTIME* local) {
    const __time64_t seconds = static_cast<__time64_t>(time);
    struct tm parts {};
    if (_localtime64_s(&parts, &seconds) != 0) {
        return false;
    }
    *local = SYSTEMTIME{};
    local->wYear = static_cast<WORD>(parts.tm_year + 1900);
    local->wMonth = static_cast<WORD>(parts.tm_mon + 1);
    local->wDayOfWeek = static_cast<WORD>(parts.tm_wday);
    local->wDay = static_cast<WORD>(parts.tm_mday);
    local->wHour = static_cast<WORD>(parts.tm_hour);
    local->wMinute = static_cast<WORD>(parts.tm_min);
    local->wSecond = static_cast<WORD>(parts.tm_sec);
    return true;
}

CalendarTime FromLocalSystemTime(const SYSTEMTIME& local) {
    return MakeLocalTime(local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond);
}
