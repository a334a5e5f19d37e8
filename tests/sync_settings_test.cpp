#include "engine/sync_settings.h"

#include <gtest/gtest.h>

namespace {

SyncSettings Window(int from_seconds, int to_seconds, bool on) {
    SyncSettings settings;
    settings.m_timeFrom = WindowTime(from_seconds / 3600, from_seconds / 60 % 60, from_seconds % 60);
    settings.m_timeTo = WindowTime(to_seconds / 3600, to_seconds / 60 % 60, to_seconds % 60);
    settings.m_bBetweenTimes = on ? 1 : 0;
    return settings;
}

TEST(SyncSettings, OffsetCarriesItsDirection) {
    const struct {
        std::uint32_t hours, minutes, seconds, milliseconds;
        std::int32_t direction;
        std::int32_t offset;
    } cases[] = {
        {0, 0, 0, 0, 1, 0},
        {3, 59, 59, 999, 0, 14399999},
        {3, 59, 59, 999, 1, -14399999},
        {0, 0, 2, 500, -1, 2500},  // no radio button selected: add
    };
    for (const auto& c : cases) {
        SyncSettings settings;
        settings.m_nHours = c.hours;
        settings.m_nMinutes = c.minutes;
        settings.m_nSeconds = c.seconds;
        settings.m_nMilliseconds = c.milliseconds;
        settings.m_nDirection = c.direction;
        EXPECT_EQ(settings.OffsetMs(), c.offset);
    }
}

TEST(SyncSettings, WindowMustIncreaseOnlyWhenOn) {
    EXPECT_FALSE(Window(600, 600, true).ValidateWindow());
    EXPECT_FALSE(Window(1200, 600, true).ValidateWindow());
    EXPECT_TRUE(Window(1200, 600, false).ValidateWindow());
    EXPECT_TRUE(Window(599, 600, true).ValidateWindow());
}

TEST(SyncSettings, WindowBoundsAreTimesOfDayAndInclusive) {
    const TimeWindow window = Window(3723, 7200, true).Window();
    EXPECT_EQ(window.from, 3723000u);  // 01:02:03, as the timing line 01:02:03,000
    EXPECT_EQ(window.to, 7200000u);
    const struct {
        CueTime time;
        bool inside;
    } cases[] = {{3723000, true}, {7200000, true}, {5000000, true}, {3722999, false}, {7200001, false}, {0, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.time);
        EXPECT_EQ(window.Contains(c.time), c.inside);
    }
}

TEST(SyncSettings, WindowOffHoldsEveryTime) {
    const TimeWindow window = Window(3723, 7200, false).Window();
    for (CueTime time : {0u, 3722999u, 7200001u, 0xFFFFFFFFu}) {
        EXPECT_TRUE(window.Contains(time)) << time;
    }
}

}  // namespace
