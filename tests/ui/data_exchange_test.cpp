// The rules of the dialog layer that the dialog tests cannot reach one by one.
#include <gtest/gtest.h>

#include "win32ui/data_exchange.h"
#include "win32ui/system_time.h"

namespace {

TEST(ParseUnsigned, AcceptsDigitsWithBlanksAroundThemOnly) {
    const struct {
        const char* text;
        bool ok;
        std::uint32_t value;
    } cases[] = {
        {"0", true, 0},
        {"59", true, 59},
        {"007", true, 7},
        {" 12\t", true, 12},
        {"4294967295", true, UINT32_MAX},
        {"4294967296", false, 0},
        {"99999999999999999999", false, 0},
        {"", false, 0},
        {"   ", false, 0},
        {"-1", false, 0},
        {"+1", false, 0},
        {"1a", false, 0},
        {"1 2", false, 0},
        {"0x10", false, 0},
        {"1.5", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("'") + c.text + "'");
        std::uint32_t value = 12345;
        EXPECT_EQ(ParseUnsigned(c.text, &value), c.ok);
        EXPECT_EQ(value, c.ok ? c.value : 12345u);
    }
}

TEST(PickerTime, LocalTimesSurviveTheRoundTrip) {
    const struct {
        int year, month, day, hour, minute, second;
    } cases[] = {
        {1975, 3, 21, 0, 0, 0},
        {1999, 12, 31, 23, 59, 59},
        {2024, 7, 1, 12, 30, 15},
        // Past 2038, where a 32-bit time_t would wrap.
        {2040, 1, 2, 3, 4, 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.year);
        const CalendarTime time = MakeLocalTime(c.year, c.month, c.day, c.hour, c.minute, c.second);
        SYSTEMTIME local = {};
        ASSERT_TRUE(ToLocalSystemTime(time, &local));
        EXPECT_EQ(local.wYear, c.year);
        EXPECT_EQ(local.wMonth, c.month);
        EXPECT_EQ(local.wDay, c.day);
        EXPECT_EQ(local.wHour, c.hour);
        EXPECT_EQ(local.wMinute, c.minute);
        EXPECT_EQ(local.wSecond, c.second);
        EXPECT_EQ(FromLocalSystemTime(local), time);
    }
}

}  // namespace
