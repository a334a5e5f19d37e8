#include "cli/options.h"

#include <sstream>

#include "cli/option_values.h"

#include <gtest/gtest.h>

namespace {

TEST(ParseOffset, AcceptsEveryTimeForm) {
    const struct {
        const char* text;
        std::uint32_t hours, minutes, seconds, milliseconds;
    } cases[] = {
        {"0:00:02,500", 0, 0, 2, 500}, {"1:02:03.004", 1, 2, 3, 4},  {"3:59:59,999", 3, 59, 59, 999},
        {"0:00:07", 0, 0, 7, 0},       {"03:00:00", 3, 0, 0, 0},     {"0:00:02.5", 0, 0, 2, 500},
        {"0:00:01,25", 0, 0, 1, 250},  {"2.5", 0, 0, 2, 500},        {"1,5", 0, 0, 1, 500},
        {"2.05", 0, 0, 2, 50},         {"0.001", 0, 0, 0, 1},        {"3725", 1, 2, 5, 0},
        {"14399.999", 3, 59, 59, 999}, {"00000002.5", 0, 0, 2, 500}, {"0", 0, 0, 0, 0},
        {"1:30", 0, 1, 30, 0},         {"01:30.25", 0, 1, 30, 250},  {"59:59,999", 0, 59, 59, 999},
        {"0:05", 0, 0, 5, 0},          {"2s", 0, 0, 2, 0},           {"2.5s", 0, 0, 2, 500},
        {"2,5s", 0, 0, 2, 500},        {"500ms", 0, 0, 0, 500},      {"14399999ms", 3, 59, 59, 999},
        {"0ms", 0, 0, 0, 0},
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
    // Out of range; digits missing or too many; fields; signs, blanks and units.
    const std::vector<const char*> rejected[] = {
        {"4:00:00,000", "0:60:00,000", "0:00:60,000", "60:00", "14400", "14400000ms", "99999999999999999999"},
        {"", "0:0:01", "1:5", "0:00:01,1000", "2.5555", ".5", "2.", "2,", "2.5.5"},
        {"1:30:", ":30", "1::30", "0:00:00:01", "0:00:01,500x", "1e3"},
        {"-1", "+1", " 2", "2 s", "2S", "2m", "s", "ms", "2sms", "2.5ms", "1:30s", "0:00:01s"},
    };
    for (const auto& group : rejected) {
        for (const char* text : group) {
            SCOPED_TRACE(text);
            SyncSettings settings;
            EXPECT_FALSE(ParseOffset(text, &settings));
        }
    }
}

TEST(ParseOptions, ReadsOffsetsAndTheirDirection) {
    const struct {
        std::vector<std::string> args;
        std::int64_t offset_ms;
        std::int32_t direction;
    } cases[] = {
        {{"--add", "1:30"}, 90000, 0},      {{"--reduce=1.5"}, -1500, 1}, {{"--add", "0"}, 0, 0},
        {{"--shift", "-1.5"}, -1500, 1},    {{"--shift", "+2"}, 2000, 0}, {{"--shift", "1:30"}, 90000, 0},
        {{"--shift=-0:00:01,5"}, -1500, 1}, {{"--shift", "-0"}, 0, 0},    {{"--shift", "-500ms"}, -500, 1},
        {{"--switch-orientation"}, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        std::vector<std::string> args = c.args;
        args.push_back("a.srt");
        CliOptions options;
        std::string error;
        ASSERT_TRUE(ParseOptions(args, &options, &error)) << error;
        EXPECT_EQ(options.settings.OffsetMs(), c.offset_ms);
        EXPECT_EQ(options.settings.m_nDirection, c.direction);
    }
}

TEST(ParseOptions, BuildsTheSettings) {
    CliOptions options;
    std::string error;
    ASSERT_TRUE(ParseOptions({"--reduce=1.5", "--reduce-number", "05000", "--switch-orientation", "--from", "00:01:00",
                              "--to", "00:02:00", "--dry-run", "-o", "out.srt", "--force", "a.srt"},
                             &options, &error))
        << error;
    EXPECT_EQ(options.settings.OffsetMs(), -1500);
    EXPECT_EQ(options.settings.m_nReduceNumber, 5000u);
    EXPECT_EQ(options.settings.m_bSwitchOrientation, 1);
    EXPECT_EQ(options.settings.m_codePage, CodePage::kDetect);  // not on Windows with a Hebrew or Arabic code page
    EXPECT_EQ(options.settings.m_bBetweenTimes, 1);
    EXPECT_EQ(options.settings.Window().from, 60000u);
    EXPECT_EQ(options.settings.Window().to, 120000u);
    EXPECT_TRUE(options.dry_run && options.force && !options.restore);
    EXPECT_EQ(options.output, "out.srt");
    EXPECT_EQ(options.files, (std::vector<std::string>{"a.srt"}));

    CliOptions code_page;
    ASSERT_TRUE(ParseOptions({"--code-page", "cp1256", "--switch-orientation", "a.srt"}, &code_page, &error)) << error;
    EXPECT_EQ(code_page.settings.m_codePage, CodePage::kWindows1256);

    CliOptions restore;
    ASSERT_TRUE(ParseOptions({"--restore", "a.srt", "b.srt"}, &restore, &error)) << error;
    EXPECT_TRUE(restore.restore && !restore.dry_run && !restore.force && restore.output.empty());
    EXPECT_EQ(restore.settings.m_bBetweenTimes, 0);

    CliOptions attached;
    ASSERT_TRUE(ParseOptions({"--add", "1", "-ofixed.srt", "a.srt"}, &attached, &error)) << error;
    EXPECT_EQ(attached.output, "fixed.srt");
}

TEST(ParseOptions, TellsFilesFromOptions) {
    const struct {
        std::vector<std::string> args;
        std::vector<std::string> files;
        bool help, version;
    } cases[] = {
        {{"--add", "1", "-", "/abs.srt", "a.srt"}, {"-", "/abs.srt", "a.srt"}, false, false},
        {{"--add", "1", "--", "-5", "--add", "-", "--"}, {"-5", "--add", "-", "--"}, false, false},
        {{"--add", "2", "--", "-x"}, {"-x"}, false, false},
        {{"--reduce-number", "3", "--reduce-number=1", "a"}, {"a"}, false, false},
        {{"--help", "--help"}, {}, true, false},
        {{"-h"}, {}, true, false},
        {{"-V"}, {}, false, true},
        {{"-hV"}, {}, true, true},
        {{"--switch-orientation", "a", "--switch-orientation"}, {"a"}, false, false},
        {{"--version", "a.srt", "--help"}, {"a.srt"}, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        CliOptions options;
        std::string error;
        ASSERT_TRUE(ParseOptions(c.args, &options, &error)) << error;
        EXPECT_EQ(options.files, c.files);
        EXPECT_EQ(options.show_help, c.help);
        EXPECT_EQ(options.show_version, c.version);
    }
}

TEST(ParseOptions, NamesTheUsageError) {
    const std::string forms = " (e.g. 2.5, 2s, 500ms, 1:30 or 0:01:30,250; at most 3:59:59,999)";
    const std::string nothing =
        "nothing to do: give --add, --reduce or --shift TIME, --sync, --frame-rate, --match, --reduce-number N, "
        "--switch-orientation, --fix-rtl or --to-utf8";
    const struct {
        std::vector<std::string> args;
        std::string error;
    } cases[] = {
        {{}, "no FILE given"},
        {{"--add", "1"}, "no FILE given"},
        {{"--nope", "a.srt"}, "unknown option '--nope'"},
        {{"a.srt", "-x"}, "unknown option '-x'"},
        {{"-5", "a.srt"}, "unknown option '-5'"},
        {{"---add", "1", "a.srt"}, "unknown option '---add'"},
        {{"--Add", "1", "a.srt"}, "unknown option '--Add'"},
        {{"-H"}, "unknown option '-H'"},
        {{"--help", "--nope"}, "unknown option '--nope'"},
        {{"a.srt", "--add"}, "option '--add' needs a value"},
        {{"a.srt", "--from"}, "option '--from' needs a value"},
        {{"a.srt", "-o"}, "option '--output' needs a value"},
        {{"--switch-orientation=yes", "a.srt"}, "option '--switch-orientation' takes no value"},
        {{"--help=0"}, "option '--help' takes no value"},
        {{"--dry-run=1", "a.srt"}, "option '--dry-run' takes no value"},
        {{"--add", "1", "--reduce", "1", "a.srt"}, "give only one of --add, --reduce and --shift"},
        {{"--shift", "1", "--add", "1", "a.srt"}, "give only one of --add, --reduce and --shift"},
        {{"--reduce=1", "--reduce=2", "a.srt"}, "option '--reduce' given more than once"},
        {{"--add", "1", "--add", "2", "a.srt"}, "option '--add' given more than once"},
        {{"--shift", "-1", "--shift", "1", "a.srt"}, "option '--shift' given more than once"},
        {{"--add", "1", "-o", "x.srt", "--output", "y.srt", "a.srt"}, "option '--output' given more than once"},
        {{"--add", "9:00:00,000", "a.srt"}, "invalid time '9:00:00,000' for --add" + forms},
        {{"--reduce=x", "a.srt"}, "invalid time 'x' for --reduce" + forms},
        {{"--shift", "+-1", "a.srt"}, "invalid time '+-1' for --shift" + forms},
        {{"--shift", "-", "a.srt"}, "invalid time '-' for --shift" + forms},
        {{"--add", "-", "a.srt"}, "invalid time '-' for --add" + forms},
        {{"--add", "--", "a.srt"}, "invalid time '--' for --add" + forms},
        {{"--add", "-9:00:00", "a.srt"}, "invalid time '-9:00:00' for --add" + forms},
        {{"--add", "-1", "a.srt"},
         "invalid time '-1' for --add: a time here has no sign; use --reduce 1 or --shift -1"},
        {{"--add=+1:30", "a.srt"},
         "invalid time '+1:30' for --add: a time here has no sign; use --add 1:30 or --shift +1:30"},
        {{"--reduce", "-2.5s", "a.srt"},
         "invalid time '-2.5s' for --reduce: a time here has no sign; use --add 2.5s or --shift +2.5s"},
        {{"--reduce", "+0", "a.srt"},
         "invalid time '+0' for --reduce: a time here has no sign; use --reduce 0 or --shift -0"},
        {{"--reduce-number", "5001", "a.srt"}, "invalid number '5001' for --reduce-number (0 to 5000)"},
        {{"--reduce-number=-1", "a.srt"}, "invalid number '-1' for --reduce-number (0 to 5000)"},
        {{"--from", "24:00:00", "--to", "00:00:00", "a.srt"}, "invalid time of day '24:00:00' for --from (HH:MM:SS)"},
        {{"--from", "--to", "00:00:00", "a.srt"}, "invalid time of day '--to' for --from (HH:MM:SS)"},
        {{"--from", "00:01:00", "a.srt"}, "give both --from and --to, or neither"},
        {{"--help", "--to", "00:01:00"}, "give both --from and --to, or neither"},
        {{"--add", "1", "--from", "00:10:00", "--to", "00:10:00", "a.srt"}, "--from must be earlier than --to"},
        {{"--add", "1", "--from", "00:10:01", "--to", "00:10:00", "a.srt"}, "--from must be earlier than --to"},
        {{"a.srt"}, nothing},
        {{"--dry-run", "a.srt"}, nothing},
        {{"--from", "00:00:00", "--to", "00:00:01", "-o", "b.srt", "a.srt"}, nothing},
        {{"--restore", "--add", "1", "a.srt"}, "--restore takes no other option: leave out --add"},
        {{"--restore", "--reduce-number", "0", "a.srt"}, "--restore takes no other option: leave out --reduce-number"},
        {{"a.srt", "--restore", "--switch-orientation"},
         "--restore takes no other option: leave out --switch-orientation"},
        {{"--restore", "--dry-run", "a.srt"}, "--restore takes no other option: leave out --dry-run"},
        {{"--restore", "-o", "x.srt", "a.srt"}, "--restore takes no other option: leave out --output"},
        {{"--restore", "--from", "00:00:00", "--to", "00:00:01", "a.srt"},
         "--restore takes no other option: leave out --from"},
        {{"--restore", "a.srt", "-"}, "--restore needs FILE names: standard input (-) has no backup"},
        {{"--add", "1", "-o", "x.srt"}, "no FILE given"},
        {{"--add", "1", "-o", "x.srt", "a.srt", "b.srt"}, "-o takes exactly one input FILE"},
        {{"--help", "-o", "x.srt", "a.srt", "b.srt"}, "-o takes exactly one input FILE"},
        {{"--add", "1", "-o", "x.srt", "-"}, "with -, the result goes to standard output; use > to put it in a file"},
        {{"--add", "1", "-o", "-", "a.srt"},
         "-o needs a file name; for the result on standard output, give - as FILE and the input with <"},
        {{"--add", "1", "-o", "", "a.srt"}, "option '--output' needs a value"},
        {{"--add", "1", "--force", "a.srt"}, "--force goes only with -o, whose FILE it lets be replaced"},
        {{"--restore", "--force", "a.srt"}, "--restore takes no other option: leave out --force"},
        {{"--switch-orientation", "--code-page", "1251", "a.srt"},
         "unknown code page '1251' for --code-page (windows-1255, windows-1256 or windows-1252)"},
        {{"--add", "1", "--code-page", "hebrew", "a.srt"},
         "--code-page goes only with --switch-orientation, --fix-rtl or --to-utf8, which read lines in it"},
        {{"--switch-orientation", "--code-page=1255", "--code-page=1256", "a.srt"},
         "option '--code-page' given more than once"},
        {{"--restore", "--code-page", "1255", "a.srt"}, "--restore takes no other option: leave out --code-page"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        CliOptions options;
        std::string error;
        EXPECT_FALSE(ParseOptions(c.args, &options, &error));
        EXPECT_EQ(error, c.error);
    }
}

TEST(HelpText, FitsEightyColumnsWithEveryOptionAtTheStartOfALine) {
    std::istringstream help(HelpText());
    std::string all;
    for (std::string line; std::getline(help, line);) {
        EXPECT_LE(line.size(), 80u) << line;
        all += "\n" + line;
    }
    for (const char* option :
         {"--add TIME", "--reduce TIME", "--shift TIME", "--reduce-number N", "--switch-orientation", "--from HH:MM:SS",
          "--to HH:MM:SS", "-o, --output FILE", "--force", "--dry-run", "--restore", "-h, --help", "-V, --version"}) {
        EXPECT_NE(all.find(std::string("\n  ") + option + " "), std::string::npos) << option;
    }
}

}  // namespace
