#pragma once

#include <cstdint>

// Calendar times are seconds since 1970-01-01 00:00:00 UTC, as the dialog's time pickers hold them.
using CalendarTime = std::int64_t;

struct TimeOfDay {
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The local time of day of `time`; midnight when the system cannot convert it.
TimeOfDay LocalTimeOfDay(CalendarTime time);

// The calendar time of the given local date and time, daylight saving decided by the system; 0 when the system
// cannot represent it.
CalendarTime MakeLocalTime(int year, int month, int day, int hour, int minute, int second);
