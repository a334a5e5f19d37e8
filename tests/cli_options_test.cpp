#include "cli/options.h"

#include <gtest/gtest.h>

namespace {

TEST(ParseOffset, AcceptsClockAndSecondsForms) {
    const struct {
        const char* text;
        std::uint32_t hours, minutes, seconds, milliseconds;
    } cases[] = {
        {"0:00:02,500", 0, 0, 2, 500}, {"1:02:03.004", 1, 2, 3, 4}, {"3:59:59,999", 3, 59, 59, 999},
        {"0:00:07", 0, 0, 7, 0},       {"2.5", 0, 0, 2, 500},       {"2.05", 0, 0, 2, 50},
        {"0.001", 0, 0, 0, 1},         {"3725", 1, 2, 5, 0},        {"14399.999", 3, 59, 59, 999},
        {"00000002.5", 0, 0, 2, 500},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        SyncSettings settings;
        ASSERT_TRUE(ParseOffset(c.text, &settings));
        EXPECT_EQ(settings.m_nHours, c.hours);
        EXPECT_EQ(settings.m_nMinutes, c.minutes);
        EXPECT_EQ(settings.m_nSeconds, c.seconds);
        EXPECT_EQ(settings.m_nMilliseconds, c.milliseconds);
    }
}

TEST(ParseOffset, RejectsMalformedAndOutOfRange) {
    for (const char* text : {"", "4:00:00,000", "0:60:00,000", "0:00:60,000", "0:00:01,1000", "0:00:01,5", "0:0:01",
                             "14400", "2.5555", "-1", "1e3", "0:00:01,500x", ".5", "2.", "99999999999999999999"}) {
        SCOPED_TRACE(text);
        SyncSettings settings;
        EXPECT_FALSE(ParseOffset(text, &settings));
    }
}

TEST(ParseOptions, BuildsTheSettings) {
    CliOptions options;
    std::string error;
    ASSERT_TRUE(ParseOptions({"--reduce=1.5", "--reduce-number", "05000", "--switch-orientation", "--from", "00:01:00",
                              "--to", "00:02:00", "a.srt", "--", "--b.srt"},
                             &options, &error))
        << error;
    EXPECT_EQ(options.settings.OffsetMs(), -1500);
    EXPECT_EQ(options.settings.m_nReduceNumber, 5000u);
    EXPECT_EQ(options.settings.m_bSwitchOrientation, 1);
    EXPECT_EQ(options.settings.m_bBetweenTimes, 1);
    EXPECT_EQ(options.settings.Window().from, 60000u);
    EXPECT_EQ(options.settings.Window().to, 120000u);
    EXPECT_EQ(options.files, (std::vector<std::string>{"a.srt", "--b.srt"}));

    CliOptions plain;
    ASSERT_TRUE(ParseOptions({"-"}, &plain, &error));
    EXPECT_EQ(plain.settings.OffsetMs(), 0);
    EXPECT_EQ(plain.settings.m_bBetweenTimes, 0);
}

}  // namespace
