#include "engine/rewrite_line.h"

#include <fstream>
#include <iterator>
#include <sstream>

#include <gtest/gtest.h>

#include "cli/options.h"
#include "engine/clock_text_shift.h"
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

// A whole text through the stream a run uses; `notes`, when given, receives what the run tells the user.
std::string RewriteText(const std::string& text, const SyncSettings& settings, std::string* notes = nullptr) {
    MemoryReadableFile input(text);
    MemoryWritableFile output;
    RecordingReporter reporter;
    EXPECT_EQ(SynchronizeStream(settings, input, output, reporter), RunOutcome::kDone);
    if (notes != nullptr && reporter.successes.size() == 1) {
        *notes = reporter.successes[0];
    }
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

TEST(RewriteLine, TellsWhatTheUserMustKnow) {
    const std::string past = " past 1193:02:47,295, the largest time there can be";
    const struct {
        std::string options, input, output, notes;
    } cases[] = {
        {"--reduce 2",  // the start and the timestamp are set to zero; the end reaches it exactly
         "WEBVTT\n\n00:01.999 --> 00:02.000\n<00:00.500>a\nx --> y\n\n1\n00:03.000 --> 00:04.000\n",
         "WEBVTT\n\n00:00.000 --> 00:00.000\n<00:00.000>a\nx --> y\n\n1\n00:01.000 --> 00:02.000\n",
         "2 cue times were set to 00:00:00,000\n1 line holds --> but no times that can be read; it was left as it is"},
        {"--add 2", "Hello\n", "Hello\n", "No cue times were found in this file, so none was shifted"},
        // A shift past the largest time leaves the whole line, while a shift onto it is made.
        {"--add 2",
         "1\n00:00:01,000 --> 00:00:02,000\nA\n\n2\n1193:02:44,000 --> 1193:02:45,296\nB\n\n"
         "3\n1193:02:40,000 --> 1193:02:45,295\nC\n",
         "1\n00:00:03,000 --> 00:00:04,000\nA\n\n2\n1193:02:44,000 --> 1193:02:45,296\nB\n\n"
         "3\n1193:02:42,000 --> 1193:02:47,295\nC\n",
         "1 cue line was left as it is: shifting it would take a time" + past},
        // The only timing line of the file: its times were found all the same.
        {"--add 2", "1193:00:00,000 --> 1193:02:46,000\n", "1193:00:00,000 --> 1193:02:46,000\n",
         "1 cue line was left as it is: shifting it would take a time" + past},
        {"--add 2 --reduce-number 1",
         "7\n1193:02:46,000 --> 1193:02:47,000\nx --> y\n1193:02:47,000 --> 1193:02:47,295\n",
         "6\n1193:02:46,000 --> 1193:02:47,000\nx --> y\n1193:02:47,000 --> 1193:02:47,295\n",
         "1 line holds --> but no times that can be read; it was left as it is\n"
         "2 cue lines were left as they are: shifting them would take a time" +
             past},
        // The timestamps of a cue left as it is stay with it, also those that could be shifted.
        {"--add 2",
         "WEBVTT\n\nend\n1193:02:40.000 --> 1193:02:46.000\n<1193:02:41.000>a <1193:02:45.500>b\n\n"
         "00:01.000 --> 00:03.000\n<00:02.000>c\n",
         "WEBVTT\n\nend\n1193:02:40.000 --> 1193:02:46.000\n<1193:02:41.000>a <1193:02:45.500>b\n\n"
         "00:03.000 --> 00:05.000\n<00:04.000>c\n",
         "1 cue line was left as it is: shifting it would take a time" + past},
        // A timestamp outside its cue's times is left as it is on its own, and the cue is shifted.
        {"--add 2", "WEBVTT\n\n00:01.000 --> 00:03.000\n<00:02.000>a <1193:02:46.000>b\n",
         "WEBVTT\n\n00:03.000 --> 00:05.000\n<00:04.000>a <1193:02:46.000>b\n", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options + " '" + c.input + "'");
        std::istringstream words(c.options);
        std::string notes = "(no success)";
        const std::string output =
            RewriteText(c.input, SettingsFor({std::istream_iterator<std::string>(words), {}}), &notes);
        std::string expected;
        for (const char ch : c.output) {
            expected += ch == '\n' ? "\r\n" : std::string(1, ch);
        }
        EXPECT_EQ(output, expected);
        EXPECT_EQ(notes, c.notes);
    }
}

}  // namespace

// Every millisecond, second and minute field, hours of one to three digits and the largest time, in both forms.
TEST(ClockTime, WritesTheFieldsOfTheTime) {
    const auto expected = [](CueTime ms, char separator, bool with_hours) {
        const auto two = [](CueTime value) { return std::string(value < 10 ? "0" : "") + std::to_string(value); };
        const CueTime hours = ms / 3600000;
        const std::string fraction = std::to_string(1000 + ms % 1000).substr(1);
        return (with_hours || hours > 0 ? two(hours) + ":" : "") + two(ms / 60000 % 60) + ":" + two(ms / 1000 % 60) +
               separator + fraction;
    };
    std::vector<CueTime> times;
    for (CueTime ms = 0; ms < 3700000; ms += 7) {
        times.push_back(ms);
    }
    for (CueTime ms = 3599000; ms < 3601000; ++ms) {
        times.push_back(ms);
    }
    for (CueTime ms = 0; ms < 0xFFFFFFFFu - 1234567; ms += 1234567) {
        times.push_back(ms);
    }
    times.insert(times.end(), {359999999u, 360000000u, 0xFFFFFFFFu});
    for (const CueTime ms : times) {
        char text[kLongestClockTime];
        for (const bool with_hours : {true, false}) {
            const char separator = with_hours ? ',' : '.';
            const std::string written(text, PutClockTime(text, ms, separator, with_hours));
            ASSERT_EQ(written, expected(ms, separator, with_hours)) << ms;
        }
    }
}

// Moving a time in its text writes what reading it, adding the offset and writing it anew writes, for offsets of
// every field either way, with carries through every field, and declines just where the long way goes below zero or
// to 100 hours and more, and on anything that is not HH:MM:SS,mmm with minutes and seconds up to 59.
TEST(ClockTime, MovesTimesInTheirTextAsTheLongWayDoes) {
    const std::int64_t offsets[] = {0,    1,     999,   1000,   59999,    60000,    3599999,   3600000,   2500,      -1,
                                    -999, -1000, -2500, -60000, -3600001, 86399999, -86399999, 359999999, -359999999};
    std::vector<CueTime> times = {0, 1, 999, 1000, 59999, 3599999, 3600000, 359999999, 359997500, 86400000};
    for (CueTime ms = 0; ms < 360000000; ms += 1234567) {
        times.push_back(ms);
    }
    for (const std::int64_t offset : offsets) {
        SCOPED_TRACE(offset);
        ASSERT_TRUE(ClockTextShift::Fits(offset));
        const ClockTextShift shift(offset);
        for (const CueTime ms : times) {
            char text[kLongestClockTime];
            PutClockTime(text, ms, ',', true);
            char moved[12];
            const std::int64_t expected = static_cast<std::int64_t>(ms) + offset;
            const bool fits = expected >= 0 && expected < 360000000;
            ASSERT_EQ(shift.Move(text, moved), fits) << ms;
            if (fits) {
                char written[kLongestClockTime];
                PutClockTime(written, static_cast<CueTime>(expected), ',', true);
                ASSERT_EQ(std::string(moved, 12), std::string(written, 12)) << ms;
            }
        }
    }
    EXPECT_FALSE(ClockTextShift::Fits(360000000));
    EXPECT_FALSE(ClockTextShift::Fits(-360000000));
    const ClockTextShift shift(1000);
    char moved[12];
    for (const char* text : {"00:60:00,000", "00:00:60,000", "0a:00:00,000", "00:00:00.000", "00-00:00,000",
                             "00:00:00,0:0", "00:00:00,00/", "0:00:00,0000"}) {
        EXPECT_FALSE(shift.Move(text, moved)) << text;
    }
}
