#pragma once

#include <windows.h>

#include "platform/local_time.h"

// A date-time picker shows local time as a SYSTEMTIME; these convert it to and from the calendar times the program
// keeps. ToLocalSystemTime is false when the system cannot convert `time`.
bool ToLocalSystemTime(CalendarTime time, SYSTEMTIME* local);
// Daylight saving is decided by the system, as for MakeLocalTime.
CalendarTime FromLocalSystemTime(const SYSTEMTIME& local);
