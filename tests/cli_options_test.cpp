#include "cli/options.h"

#include "cli/option_values.h"

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

TEST(ParseOptions, TellsFilesFromOptions) {
    const struct {
        std::vector<std::string> args;
        std::vector<std::string> files;
        std::int64_t offset_ms;
        bool help;
    } cases[] = {
        {{"-", "/abs.srt", "a.srt"}, {"-", "/abs.srt", "a.srt"}, 0, false},
        {{"--", "-5", "--add", "-", "--"}, {"-5", "--add", "-", "--"}, 0, false},
        {{"--add", "2", "--", "-x"}, {"-x"}, 2000, false},
        {{"--reduce-number", "3", "--reduce-number=0", "a"}, {"a"}, 0, false},
        {{"--help", "--help"}, {}, 0, true},
        {{"--switch-orientation", "a", "--switch-orientation"}, {"a"}, 0, false},
        {{"--version", "a.srt", "--help"}, {"a.srt"}, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        CliOptions options;
        std::string error;
        ASSERT_TRUE(ParseOptions(c.args, &options, &error)) << error;
        EXPECT_EQ(options.files, c.files);
        EXPECT_EQ(options.settings.OffsetMs(), c.offset_ms);
        EXPECT_EQ(options.settings.m_nReduceNumber, 0u);
        EXPECT_EQ(options.show_help, c.help);
    }
}

TEST(ParseOptions, NamesTheUsageError) {
    const struct {
        std::vector<std::string> args;
        const char* error;
    } cases[] = {
        {{}, "no FILE given"},
        {{"--add", "1"}, "no FILE given"},
        {{"--nope", "a.srt"}, "unknown option '--nope'"},
        {{"a.srt", "-x"}, "unknown option '-x'"},
        {{"-5", "a.srt"}, "unknown option '-5'"},
        {{"---add", "1", "a.srt"}, "unknown option '---add'"},
        {{"--Add", "1", "a.srt"}, "unknown option '--Add'"},
        {{"-h"}, "unknown option '-h'"},
        {{"--help", "--nope"}, "unknown option '--nope'"},
        {{"a.srt", "--add"}, "option '--add' needs a value"},
        {{"a.srt", "--from"}, "option '--from' needs a value"},
        {{"--switch-orientation=yes", "a.srt"}, "option '--switch-orientation' takes no value"},
        {{"--help=0"}, "option '--help' takes no value"},
        {{"--add", "1", "--reduce", "1", "a.srt"}, "give at most one of --add and --reduce"},
        {{"--reduce=1", "--reduce=2", "a.srt"}, "give at most one of --add and --reduce"},
        {{"--add", "9:00:00,000", "a.srt"},
         "invalid time '9:00:00,000' for --add (H:MM:SS,mmm or seconds, at most 3:59:59,999)"},
        {{"--reduce=x", "a.srt"}, "invalid time 'x' for --reduce (H:MM:SS,mmm or seconds, at most 3:59:59,999)"},
        {{"--add", "-", "a.srt"}, "invalid time '-' for --add (H:MM:SS,mmm or seconds, at most 3:59:59,999)"},
        {{"--add", "--", "a.srt"}, "invalid time '--' for --add (H:MM:SS,mmm or seconds, at most 3:59:59,999)"},
        {{"--reduce-number", "5001", "a.srt"}, "invalid number '5001' for --reduce-number (0 to 5000)"},
        {{"--reduce-number=-1", "a.srt"}, "invalid number '-1' for --reduce-number (0 to 5000)"},
        {{"--from", "24:00:00", "--to", "00:00:00", "a.srt"}, "invalid time of day '24:00:00' for --from (HH:MM:SS)"},
        {{"--from", "--to", "00:00:00", "a.srt"}, "invalid time of day '--to' for --from (HH:MM:SS)"},
        {{"--from", "00:01:00", "a.srt"}, "give both --from and --to, or neither"},
        {{"--help", "--to", "00:01:00"}, "give both --from and --to, or neither"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        CliOptions options;
        std::string error;
        EXPECT_FALSE(ParseOptions(c.args, &options, &error));
        EXPECT_EQ(error, c.error);
    }
}

}  // namespace
