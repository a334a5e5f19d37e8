// Real-world subtitle files and the files a run must turn them into, as listed in data/corpus/MANIFEST. The same rows
// run through standard input end to end.
#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

#include <gtest/gtest.h>

#include "cli/options.h"
#include "engine/synchronize_file.h"
#include "tests/test_support.h"
#include "tests/webvtt_validator.h"

namespace {

const std::string kCorpus = KELVARO_TEST_DATA "/corpus/";

TEST(Corpus, EveryRowGivesItsExpectedFileAndSuccessText) {
    std::ifstream manifest(kCorpus + "MANIFEST");
    int rows = 0;
    for (std::string line; std::getline(manifest, line);) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        SCOPED_TRACE(line);
        ++rows;
        std::string field[4];  // INPUT|OPTIONS|EXPECTED|NOTES
        std::istringstream fields(line);
        for (std::string& text : field) {
            std::getline(fields, text, '|');
        }
        // The WebVTT files are valid WebVTT, but for inputs broken on purpose (their names say so).
        for (const int k : {0, 2}) {
            ASSERT_TRUE(FileExists(kCorpus + field[k])) << field[k];
            std::string error;
            if (field[k].size() > 4 && field[k].compare(field[k].size() - 4, 4, ".vtt") == 0) {
                const bool broken = k == 0 && field[k].find("broken") != std::string::npos;
                EXPECT_EQ(ValidateWebVtt(ReadWholeFile(kCorpus + field[k]), &error), !broken) << field[k] << error;
            }
        }

        TempDir dir;
        const std::string input = ReadWholeFile(kCorpus + field[0]);
        const std::string path = dir.File(field[0]);
        WriteWholeFile(path, input);
        std::istringstream words(field[1]);
        std::vector<std::string> args{std::istream_iterator<std::string>(words), {}};
        args.push_back(path);
        CliOptions parsed;
        std::string error;
        ASSERT_TRUE(ParseOptions(args, &parsed, &error)) << error;
        parsed.settings.m_strInputFile = path;
        RecordingReporter reporter;
        const RunOutcome outcome = SynchronizeFile(parsed.settings, reporter);
        // A file in which an offset finds no cue time is left as it is; on standard input only the note says so.
        if (field[3].rfind("No cue times were found", 0) == 0) {
            EXPECT_EQ(outcome, RunOutcome::kRefused);
            EXPECT_EQ(reporter.refusals,
                      std::vector<std::string>{"No cue times were found in " + path + ", so it was left as it is"});
            EXPECT_EQ(dir.List(), std::vector<std::string>{field[0]});
            EXPECT_TRUE(ReadWholeFile(path) == input);
            continue;
        }
        EXPECT_EQ(outcome, RunOutcome::kDone);

        const std::string result = ReadWholeFile(path);
        const std::string expected = ReadWholeFile(kCorpus + field[2]);
        const auto differ = std::mismatch(result.begin(), result.end(), expected.begin(), expected.end()).first;
        EXPECT_TRUE(result == expected) << "the result differs from the expected file at byte "
                                        << (differ - result.begin());
        const std::size_t dot = field[0].rfind('.');
        const std::string original = dir.File(field[0].substr(0, dot) + "_original" + field[0].substr(dot));
        EXPECT_TRUE(ReadWholeFile(original) == input) << "the original differs from the input";
        std::string success =
            "Done - original file is stored as\n" + original + (field[3].empty() ? "" : "\n" + field[3]);
        for (std::size_t at; (at = success.find(" / ")) != std::string::npos;) {
            success.replace(at, 3, "\n");
        }
        EXPECT_EQ(reporter.successes, std::vector<std::string>{success});
    }
    EXPECT_GE(rows, 20);
}

}  // namespace
