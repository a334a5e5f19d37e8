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

std::int32_t SyncSettings::OffsetMs() const {
    const std::uint32_t magnitude = ((m_nHours * 60 + m_nMinutes) * 60 + m_nSeconds) * 1000 + m_nMilliseconds;
    return static_cast<std::int32_t>(m_nDirection == 1 ? 0u - magnitude : magnitude);
}

CueTime SyncSettings::WindowFromMs() const {
    return TimeOfDayMs(m_timeFrom);
}

CueTime SyncSettings::WindowToMs() const {
    return TimeOfDayMs(m_timeTo);
}

bool SyncSettings::IsInWindow(CueTime time) const {
    return WindowFromMs() <= time && time <= WindowToMs();
}

bool SyncSettings::ValidateWindow() const {
    return m_bBetweenTimes == 0 || WindowFromMs() < WindowToMs();
}
