#include "engine/sync_settings.h"

const char kWindowMessage[] =
    "You have chosen to synch according to times.\nFrom time is after To time.\nReselect times";

namespace {

CueTime TimeOfDayMs(CalendarTime time) {
    const TimeOfDay day = LocalTimeOfDay(time);
    return ((static_cast<CueTime>(day.hour) * 60 + static_cast<CueTime>(day.minute)) * 60 +
            static_cast<CueTime>(day.second)) *
           1000;
}

}  // namespace

CalendarTime WindowTime(int hour, int minute, int second) {
    return MakeLocalTime(1975, 3, 21, hour, minute, second);
}

std::int32_t SyncSettings::OffsetMs() const {
    const std::uint32_t magnitude = ((m_nHours * 60 + m_nMinutes) * 60 + m_nSeconds) * 1000 + m_nMilliseconds;
    return static_cast<std::int32_t>(m_nDirection == 1 ? 0u - magnitude : magnitude);
}

TimeWindow SyncSettings::Window() const {
    if (m_bBetweenTimes == 0) {
        return TimeWindow{};
    }
    return TimeWindow{TimeOfDayMs(m_timeFrom), TimeOfDayMs(m_timeTo)};
}

bool SyncSettings::ValidateWindow() const {
    if (m_bBetweenTimes == 0) {
        return true;
    }
    const TimeWindow window = Window();
    return window.from < window.to;
}
