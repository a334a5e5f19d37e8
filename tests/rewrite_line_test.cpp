#include "engine/rewrite_line.h"

#include <fstream>
#include <iterator>
#include <sstream>

#include <gtest/gtest.h>

#include "cli/options.h"
#include "engine/synchronize_file.h"
#include "tests/test_support.h"
#include "tests/worked_examples.h"

namespace {

// The escapes of the table: \n, \t, \\ and \xHH, as the shell's printf %b reads them.
std::string Unescape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
        } else if (text[++i] == 'x') {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i] == 'n' ? '\n' : text[i] == 't' ? '\t' : text[i];
        }
    }
    return out;
}

}  // namespace

std::vector<WorkedExample> LoadWorkedExamples() {
    std::vector<WorkedExample> examples;
    std::ifstream in(KELVARO_TEST_DATA "/worked_examples.txt");
    for (std::string row; std::getline(in, row);) {
        if (row.rfind('#', 0) == 0) {
            continue;
        }
        std::istringstream fields(row);
        std::string input, options, output;
        std::getline(std::getline(fields, input, '|'), options, '|');
        std::getline(fields, output);
        std::istringstream words(options);
        examples.push_back({Unescape(input), {std::istream_iterator<std::string>(words), {}}, Unescape(output)});
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

// A whole text through the stream a run uses.
std::string RewriteText(const std::string& text, const SyncSettings& settings) {
    MemoryReadableFile input(text);
    MemoryWritableFile output;
    RecordingReporter reporter;
    EXPECT_EQ(SynchronizeStream(settings, input, output, reporter), RunOutcome::kDone);
    return output.content;
}

TEST(RewriteLine, WorkedExamples) {
    const std::vector<WorkedExample> examples = LoadWorkedExamples();
    ASSERT_GE(examples.size(), 40u);
    for (const WorkedExample& example : examples) {
        SCOPED_TRACE("input '" + example.input + "'");
        std::string expected;
        for (const char c : example.output + "\n") {
            expected += c == '\n' ? "\r\n" : std::string(1, c);
        }
        EXPECT_EQ(RewriteText(example.input + "\n", SettingsFor(example.options)), expected);
    }
}

TEST(RewriteLine, CueNumbersBeyondTheDialogsRange) {
    const struct {
        std::uint32_t reduce;
        const char* number;
        const char* result;
    } cases[] = {
        {5000, "999", "-4001"},
        {0x80000000u, "1", "-2147483647"},
        {0, "18446744073709551615", "18446744073709551615"},  // more digits than are lowered: left as it is
        {1, "999999999999999999", "999999999999999998"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.number);
        SyncSettings settings;
        settings.m_nReduceNumber = c.reduce;
        EXPECT_EQ(RewriteText(std::string(c.number) + "\n00:00:01,000 --> 00:00:02,000\n", settings),
                  std::string(c.result) + "\r\n00:00:01,000 --> 00:00:02,000\r\n");
    }
}

TEST(RewriteLine, CountsWhatTheUserMustBeTold) {
    SyncSettings settings;
    settings.m_nSeconds = 2;
    settings.m_nDirection = 1;
    LineRewriter rewriter(settings, SubtitleFormat::kWebVtt);
    for (const char* line :
         {"WEBVTT", "", "00:01.999 --> 00:02.000", "<00:00.500>a", "x --> y", "", "1", "00:03.000 --> 00:04.000"}) {
        rewriter.Feed(line);
    }
    rewriter.Finish();
    EXPECT_EQ(rewriter.ClampedTimes(), 2u);  // the start and the timestamp; the end reaches zero exactly
    EXPECT_EQ(rewriter.UnreadableTimingLines(), 1u);
    EXPECT_EQ(rewriter.TimingLines(), 2u);
}

}  // namespace
