#pragma once

#include <cstdint>
#include <string>

#include "platform/local_time.h"

// A time of a cue: milliseconds since 00:00:00,000.
using CueTime = std::uint32_t;

// Every parameter of one synchronization run, as the dialog's controls hold them, and the three numbers derived from
// them. The fields are not range-checked here: the dialog validates them, and the derived values use 32-bit
// arithmetic whatever they hold.
struct SyncSettings {
    std::uint32_t m_nHours = 0;
    std::uint32_t m_nMinutes = 0;
    std::uint32_t m_nMilliseconds = 0;
    std::uint32_t m_nReduceNumber = 0;
    std::uint32_t m_nSeconds = 0;
    std::int32_t m_nDirection = 1;  // radio index: 0 add the offset, 1 reduce it; anything else adds
    std::string m_strInputFile;
    std::int32_t m_bSwitchOrientation = 0;
    CalendarTime m_timeFrom = 0;
    CalendarTime m_timeTo = 0;
    std::int32_t m_bBetweenTimes = 0;

    // The signed offset in milliseconds, negative when reducing.
    std::int32_t OffsetMs() const;
    // The window bounds: the local time of day of m_timeFrom and m_timeTo, in milliseconds.
    CueTime WindowFromMs() const;
    CueTime WindowToMs() const;
    // Whether `time` lies inside the window, both bounds included.
    bool IsInWindow(CueTime time) const;
    // Whether a run may start: always with the window off; with it on, only when From is before To.
    bool ValidateWindow() const;
};

// The message shown when the window is on and does not increase.
extern const char kWindowMessage[];
