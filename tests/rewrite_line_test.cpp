#include "engine/rewrite_line.h"

#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "cli/options.h"
#include "tests/worked_examples.h"

std::vector<WorkedExample> LoadWorkedExamples() {
    std::vector<WorkedExample> examples;
    std::ifstream in(KELVARO_TEST_DATA "/worked_examples.txt");
    std::string row;
    while (std::getline(in, row)) {
        if (row.rfind('#', 0) == 0) {
            continue;
        }
        const std::size_t first = row.find('|');
        const std::size_t second = row.find('|', first + 1);
        WorkedExample example{row.substr(0, first), {}, row.substr(second + 1)};
        std::istringstream options(row.substr(first + 1, second - first - 1));
        for (std::string word; options >> word;) {
            example.options.push_back(word);
        }
        examples.push_back(example);
    }
    return examples;
}

namespace {

SyncSettings SettingsFor(std::vector<std::string> options) {
    CliOptions parsed;
    std::string error;
    options.push_back("-");
    EXPECT_TRUE(ParseOptions(options, &parsed, &error)) << error;
    return parsed.settings;
}

TEST(RewriteLine, WorkedExamples) {
    const std::vector<WorkedExample> examples = LoadWorkedExamples();
    ASSERT_GE(examples.size(), 20u);
    for (const WorkedExample& example : examples) {
        SCOPED_TRACE("input '" + example.input + "'");
        EXPECT_EQ(RewriteLine(example.input, SettingsFor(example.options)), example.output);
    }
}

TEST(RewriteLine, NumberLinesUseThirtyTwoBitArithmetic) {
    SyncSettings settings;
    settings.m_nReduceNumber = 5000;
    EXPECT_EQ(RewriteLine("999", settings), "-4001");
    settings.m_nReduceNumber = 0x80000000u;  // beyond the dialog's range, yet defined
    EXPECT_EQ(RewriteLine("1", settings), "-2147483647");
    settings.m_nReduceNumber = 0;
    EXPECT_EQ(RewriteLine("-12", settings), "-12");
    EXPECT_EQ(RewriteLine("\t7x", settings), "7");
    EXPECT_EQ(RewriteLine("- 1", settings), "- 1");  // no digits right after the sign: reads 0
}

TEST(RewriteLine, ReductionBelowZeroStopsAtZeroAndIsCounted) {
    SyncSettings settings;
    settings.m_nSeconds = 2;
    settings.m_nDirection = 1;
    LineRewriter rewriter(settings);
    EXPECT_EQ(rewriter.Rewrite("00:00:01,999 --> 00:00:02,000"), "00:00:00,000 --> 00:00:00,000");
    EXPECT_EQ(rewriter.ClampedTimes(), 1u);
    EXPECT_EQ(rewriter.Rewrite("00:00:00,000 --> 00:00:03,000"), "00:00:00,000 --> 00:00:01,000");
    EXPECT_EQ(rewriter.ClampedTimes(), 2u);
}

TEST(RewriteLine, FieldsAreReadAtFixedPositionsOnly) {
    const SyncSettings zero_offset = [] {
        SyncSettings settings;
        settings.m_nDirection = 0;
        return settings;
    }();
    const struct {
        const char* input;
        const char* output;
    } cases[] = {
        {"100:00:00,000 --> 00:00:00,000", "10:00:00,000 --> 00:00:00,000"},  // hours cut to two bytes
        {"1:2:3,4 --> 5:6:7,8", "01:00:04,000 --> 00:00:00,000"},
        {"00:00:01,500 --> 00:00:03,000 ", "00:00:01,500 --> 00:00:03,000"},
        {"xx-->", "00:00:00,000 --> 00:00:00,000"},
        {"99:00:00,000 --> 99:59:59,999", "99:00:00,000 --> 99:59:59,999"},
        {"-1:00:00,000 --> 00:00:00,000", "1192:02:47,296 --> 00:00:00,000"},  // unsigned 32-bit, hours not cut
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        EXPECT_EQ(RewriteLine(c.input, zero_offset), c.output);
    }
}

TEST(RewriteLine, NulIsAnOrdinaryByte) {
    SyncSettings settings;
    settings.m_bSwitchOrientation = 1;
    using namespace std::string_literals;
    EXPECT_EQ(RewriteLine("ab\0cd"s, settings), "dc\0ba"s);
    EXPECT_EQ(RewriteLine("7\0"s, settings), "7");
    EXPECT_EQ(RewriteLine("\0\0"s, settings), "\0\0"s);  // reads as 0: left alone
    EXPECT_EQ(RewriteLine("00:00:01,000 --> 00:00:02,000\0tail"s, settings), "00:00:01,000 --> 00:00:02,000");
}

}  // namespace
