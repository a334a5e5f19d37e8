// Real-world subtitle files and the files a run must turn them into, as listed in data/corpus/MANIFEST.
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "cli/options.h"
#include "engine/synchronize_file.h"
#include "tests/test_support.h"
#include "tests/webvtt_validator.h"

namespace {

const std::string kCorpus = KELVARO_TEST_DATA "/corpus/";

struct CorpusRow {
    std::string input;
    std::vector<std::string> options;
    std::string expected;
    std::vector<std::string> notes;  // the lines the success text adds
};

std::vector<std::string> Split(const std::string& text, const std::string& separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(separator, start)) != std::string::npos; start = end + separator.size()) {
        parts.push_back(text.substr(start, end - start));
    }
    parts.push_back(text.substr(start));
    return parts;
}

std::vector<CorpusRow> LoadManifest() {
    std::vector<CorpusRow> rows;
    std::ifstream in(kCorpus + "MANIFEST");
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        const std::vector<std::string> fields = Split(line, "|");
        EXPECT_EQ(fields.size(), 4u) << line;
        if (fields.size() != 4) {
            continue;
        }
        CorpusRow row{fields[0], {}, fields[2], {}};
        std::istringstream options(fields[1]);
        for (std::string word; options >> word;) {
            row.options.push_back(word);
        }
        if (!fields[3].empty()) {
            row.notes = Split(fields[3], " / ");
        }
        rows.push_back(row);
    }
    return rows;
}

bool IsWebVtt(const std::string& name) {
    return name.size() > 4 && name.compare(name.size() - 4, 4, ".vtt") == 0;
}

std::string Printable(const std::string& line) {
    std::string out;
    for (unsigned char c : line) {
        static const char kHex[] = "0123456789abcdef";
        out += c >= 0x20 && c < 0x7f ? std::string(1, static_cast<char>(c))
                                     : std::string("\\x") + kHex[c >> 4] + kHex[c & 15];
    }
    return out;
}

// Empty when equal; otherwise the first line (LF-separated, CR shown) where the two differ.
std::string FirstDifference(const std::string& actual, const std::string& expected) {
    if (actual == expected) {
        return "";
    }
    const std::vector<std::string> got = Split(actual, "\n");
    const std::vector<std::string> want = Split(expected, "\n");
    std::size_t i = 0;
    while (i < got.size() && i < want.size() && got[i] == want[i]) {
        ++i;
    }
    return "line " + std::to_string(i + 1) + ": got '" + (i < got.size() ? Printable(got[i]) : "(end)") +
           "', expected '" + (i < want.size() ? Printable(want[i]) : "(end)") + "'";
}

TEST(Corpus, EveryRowGivesItsExpectedFileAndSuccessText) {
    const std::vector<CorpusRow> rows = LoadManifest();
    ASSERT_GE(rows.size(), 20u);
    for (const CorpusRow& row : rows) {
        std::string trace = row.input;
        for (const std::string& option : row.options) {
            trace += " " + option;
        }
        SCOPED_TRACE(trace);
        TempDir dir;
        const std::string input = ReadWholeFile(kCorpus + row.input);
        const std::string path = dir.File(row.input);
        WriteWholeFile(path, input);

        CliOptions parsed;
        std::string error;
        std::vector<std::string> args = row.options;
        args.push_back(path);
        ASSERT_TRUE(ParseOptions(args, &parsed, &error)) << error;
        SyncSettings settings = parsed.settings;
        settings.m_strInputFile = path;
        RecordingReporter reporter;
        EXPECT_EQ(SynchronizeFile(settings, reporter), RunOutcome::kDone);

        EXPECT_EQ(FirstDifference(ReadWholeFile(path), ReadWholeFile(kCorpus + row.expected)), "");
        const std::size_t dot = row.input.rfind('.');
        const std::string original = dir.File(row.input.substr(0, dot) + "_original" + row.input.substr(dot));
        EXPECT_TRUE(ReadWholeFile(original) == input) << "the original differs from the input";
        std::string success = "Done - original file is stored as\n" + original;
        for (const std::string& note : row.notes) {
            success += "\n" + note;
        }
        EXPECT_EQ(reporter.successes, std::vector<std::string>{success});
        EXPECT_EQ(reporter.refusals, std::vector<std::string>{});
        EXPECT_EQ(reporter.failures, std::vector<std::string>{});
    }
}

// The corpus itself: every listed file is there, and the WebVTT files are valid WebVTT, but for the one input
// that is broken on purpose (its name says so).
TEST(Corpus, FilesExistAndWebVttFilesAreValid) {
    const std::vector<CorpusRow> rows = LoadManifest();
    for (const CorpusRow& row : rows) {
        for (const std::string* file : {&row.input, &row.expected}) {
            const std::string& name = *file;
            SCOPED_TRACE(name);
            ASSERT_TRUE(FileExists(kCorpus + name));
            if (IsWebVtt(name)) {
                std::string error;
                const bool broken = file == &row.input && name.find("broken") != std::string::npos;
                EXPECT_EQ(ValidateWebVtt(ReadWholeFile(kCorpus + name), &error), !broken) << error;
            }
        }
    }
}

}  // namespace
