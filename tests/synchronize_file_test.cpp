#include "engine/synchronize_file.h"

#include <algorithm>
#include <filesystem>
#include <functional>

#include <gtest/gtest.h>

#include "tests/test_support.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

const char kFilm[] =
    "1\n00:00:01,500 --> 00:00:03,000\nHello\n\n2\r\n00:00:04,000 --> 00:00:05,000\r\nWorld";
const char kFilmAddedTwoSeconds[] =
    "1\r\n00:00:03,500 --> 00:00:05,000\r\nHello\r\n\r\n2\r\n00:00:06,000 --> 00:00:07,000\r\nWorld\r\n";

SyncSettings AddSeconds(const std::string& path, std::uint32_t seconds) {
    SyncSettings settings;
    settings.m_strInputFile = path;
    settings.m_nSeconds = seconds;
    settings.m_nDirection = 0;
    return settings;
}

class SynchronizeFileTest : public ::testing::Test {
protected:
    RunOutcome Run(const SyncSettings& settings) { return SynchronizeFile(settings, reporter); }

    TempDir dir;
    RecordingReporter reporter;
    const std::string input = dir.File("film.srt");
    const std::string original = dir.File("film_original.srt");
};

TEST_F(SynchronizeFileTest, KeepsTheOriginalAndPutsTheResultInItsPlace) {
    WriteWholeFile(input, kFilm);
    ASSERT_EQ(Run(AddSeconds(input, 2)), RunOutcome::kDone);
    EXPECT_EQ(ReadWholeFile(input), kFilmAddedTwoSeconds);
    EXPECT_EQ(ReadWholeFile(original), kFilm);
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"film.srt", "film_original.srt"}));
    EXPECT_EQ(reporter.successes, std::vector<std::string>{"Done - original file is stored as\n" + original});
}

TEST_F(SynchronizeFileTest, ResultKeepsTheInputsPermissions) {
    WriteWholeFile(input, kFilm);
    namespace fs = std::filesystem;
    fs::permissions(input, fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_EQ(Run(AddSeconds(input, 2)), RunOutcome::kDone);
#ifndef _WIN32
    EXPECT_EQ(fs::status(input).permissions(), fs::perms::owner_read | fs::perms::owner_write);
#endif
    EXPECT_EQ(fs::status(original).permissions(), fs::status(input).permissions());
}

TEST_F(SynchronizeFileTest, SecondRunReplacesTheBackup) {
    WriteWholeFile(input, kFilm);
    ASSERT_EQ(Run(AddSeconds(input, 2)), RunOutcome::kDone);
    ASSERT_EQ(Run(AddSeconds(input, 0)), RunOutcome::kDone);
    EXPECT_EQ(ReadWholeFile(original), kFilmAddedTwoSeconds);
    EXPECT_EQ(ReadWholeFile(input), kFilmAddedTwoSeconds);
}

TEST_F(SynchronizeFileTest, EdgeContents) {
    const struct {
        const char* name;
        std::string content;
        std::string result;
    } cases[] = {
        {"empty file", "", ""},
        {"ctrl-z with only marks and line ends after it", "1\r\n\x1A\r\n\x1A\n", "1\r\n"},
        {"utf-8 mark kept, first number renumbered", "\xEF\xBB\xBF" "7\r\nx", "\xEF\xBB\xBF" "7\r\nx\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteWholeFile(input, c.content);
        ASSERT_EQ(Run(AddSeconds(input, 0)), RunOutcome::kDone);
        EXPECT_EQ(ReadWholeFile(input), c.result);
        EXPECT_EQ(ReadWholeFile(original), c.content);
        EXPECT_FALSE(FileExists(dir.File("film_new.srt")));
    }
}

TEST_F(SynchronizeFileTest, SubtitleExtensionsAreAcceptedInAnyLetterCase) {
    for (const char* extension : {".srt", ".SRT", ".Sub", ".vtt", ".VTT"}) {
        SCOPED_TRACE(extension);
        TempDir own;
        const std::string film = own.File(std::string("film") + extension);
        WriteWholeFile(film, kFilm);
        reporter = RecordingReporter();
        ASSERT_EQ(Run(AddSeconds(film, 2)), RunOutcome::kDone);
        std::string expected = kFilmAddedTwoSeconds;
        if (extension[1] == 'v' || extension[1] == 'V') {  // WebVTT writes its times with '.'
            std::replace(expected.begin(), expected.end(), ',', '.');
        }
        EXPECT_EQ(ReadWholeFile(film), expected);
        EXPECT_EQ(own.List(), (std::vector<std::string>{std::string("film") + extension,
                                                        std::string("film_original") + extension}));
    }
}

// Several blocks of cues, so that a fault after them is met once the result is partly written.
std::string ManyCues() {
    std::string text;
    for (int cue = 1; text.size() < 300 * 1024; ++cue) {
        text += std::to_string(cue % 1000) + "\r\n00:00:01,000 --> 00:00:02,000\r\nSome words\r\n\r\n";
    }
    return text;
}

std::string ProgramBinary() {
    return ReadWholeFile(KELVARO_PROGRAM_BINARY);
}

// Content that is not text, or text that would be cut short, is refused with the directory left as it was, even when
// the fault comes after the first block.
TEST_F(SynchronizeFileTest, ContentThatWouldNotSurviveIsRefused) {
    using namespace std::string_literals;
    const std::string binary = ": it looks like a binary file or UTF-16 text without a byte-order mark";
    const std::string program = ProgramBinary();
    ASSERT_GT(program.size(), 1024u);
    const struct {
        const char* name;
        std::string content;
        std::string reason;
    } cases[] = {
        {"nul early", "1\r\nA\0B\r\n"s, binary},
        {"nul late", ManyCues() + "\0"s, binary},
        {"utf-16 without a mark", "1\0\r\0\n\0"s, binary},
        {"renamed program binary", program, binary},
        {"text after ctrl-z", kFilm + "\x1Amore\r\nx"s,
         ": it holds an end-of-file mark (Ctrl-Z) with 5 bytes of text after it, which would be lost"},
        {"text after a late ctrl-z", ManyCues() + "\x1A\r\n\x1Az",
         ": it holds an end-of-file mark (Ctrl-Z) with 1 byte of text after it, which would be lost"},
        {"nul after ctrl-z", "1\r\n\x1A\0"s, binary},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteWholeFile(input, c.content);
        reporter = RecordingReporter();
        EXPECT_EQ(Run(AddSeconds(input, 1)), RunOutcome::kRefused);
        EXPECT_EQ(reporter.refusals, std::vector<std::string>{"Cannot synchronize " + input + c.reason});
        EXPECT_TRUE(reporter.successes.empty());
        EXPECT_EQ(dir.List(), std::vector<std::string>{"film.srt"});
        EXPECT_EQ(ReadWholeFile(input), c.content);
    }
}

TEST_F(SynchronizeFileTest, ByteOrderMarkDoesNotHideTheFirstCueNumber) {
    WriteWholeFile(input, "\xEF\xBB\xBF" "12\r\n00:00:01,000 --> 00:00:02,000\r\n");
    SyncSettings settings = AddSeconds(input, 0);
    settings.m_nReduceNumber = 10;
    settings.m_bSwitchOrientation = 1;
    ASSERT_EQ(Run(settings), RunOutcome::kDone);
    EXPECT_EQ(ReadWholeFile(input), "\xEF\xBB\xBF" "2\r\n00:00:01,000 --> 00:00:02,000\r\n");
}

TEST_F(SynchronizeFileTest, SuccessTextSaysWhatWasNotDone) {
    SyncSettings reduce_five = AddSeconds(input, 5);
    reduce_five.m_nDirection = 1;
    SyncSettings window_only = AddSeconds(input, 0);
    window_only.m_bBetweenTimes = 1;
    window_only.m_timeTo = WindowTime(1, 0, 0);
    window_only.m_timeFrom = WindowTime(0, 0, 0);
    const struct {
        const char* name;
        const char* content;
        SyncSettings settings;
        std::string notes;
    } cases[] = {
        {"three times clamped", "00:00:01,000 --> 00:00:09,000\n00:00:02,000 --> 00:00:03,000\n", reduce_five,
         "\n3 cue times were set to 00:00:00,000"},
        {"one time clamped, one line unreadable", "00:00:04,000 --> 00:00:09,000\nx --> y\n", reduce_five,
         "\n1 cue time was set to 00:00:00,000\n1 line holds --> but no times that can be read; it was left as it is"},
        {"only unreadable lines", "-1-->\n1 --> 2\n", AddSeconds(input, 1),
         "\n2 lines hold --> but no times that can be read; they were left as they are"
         "\nNo cue times were found in this file, so none was shifted"},
        {"frame-based lines", "{100}{200}Hello\n", AddSeconds(input, 1),
         "\nNo cue times were found in this file, so none was shifted"},
        {"window asked, no times", "00:00:01.00,00:00:03.00\nHello\n", window_only,
         "\nNo cue times were found in this file, so none was shifted"},
        {"nothing asked, nothing to say", "{100}{200}Hello\n", AddSeconds(input, 0), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteWholeFile(input, c.content);
        reporter = RecordingReporter();
        ASSERT_EQ(Run(c.settings), RunOutcome::kDone);
        EXPECT_EQ(reporter.successes, std::vector<std::string>{"Done - original file is stored as\n" + original + c.notes});
    }
}

// Every refusal leaves the directory exactly as it was and reports no success.
TEST_F(SynchronizeFileTest, RefusalsTouchNothing) {
    using namespace std::string_literals;
    WriteWholeFile(dir.File("utf16.srt"), "\xFF\xFE" "1\0\r\0\n\0"s);
    WriteWholeFile(dir.File("utf16be.sub"), "\xFE\xFF\0" "1"s);
    WriteWholeFile(dir.File("film"), "1\n");
    for (const char* name : {"film.srtx", "film.txt", "film.exe", "film.ass"}) {
        WriteWholeFile(dir.File(name), "1\n");
    }
    WriteWholeFile(input, kFilm);
    const std::string folder = dir.File("folder.srt");
    std::filesystem::create_directory(folder);
#ifndef _WIN32
    const std::string fifo = dir.File("fifo.srt");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string zero = dir.File("zero.srt");
    std::filesystem::create_symlink("/dev/zero", zero);
#endif
    const std::vector<std::string> before = dir.List();
    const std::string not_regular = ": it is not a regular file";

    SyncSettings reversed_window = AddSeconds(input, 1);
    reversed_window.m_bBetweenTimes = 1;
    reversed_window.m_timeFrom = WindowTime(0, 20, 0);
    reversed_window.m_timeTo = WindowTime(0, 10, 0);
    const struct {
        const char* name;
        SyncSettings settings;
        std::string message_start;
    } cases[] = {
        {"window", reversed_window, kWindowMessage},
        {"no extension", AddSeconds(dir.File("film"), 1), kUnrecognizedFormatMessage},
        {"four-letter extension", AddSeconds(dir.File("film.srtx"), 1), kUnrecognizedFormatMessage},
        {"text file", AddSeconds(dir.File("film.txt"), 1), kUnrecognizedFormatMessage},
        {"program", AddSeconds(dir.File("film.exe"), 1), kUnrecognizedFormatMessage},
        {"other subtitle format", AddSeconds(dir.File("film.ass"), 1), kUnrecognizedFormatMessage},
        {"directory-like", AddSeconds(dir.path() + "/a.b/c", 1), kUnrecognizedFormatMessage},
        {"short", AddSeconds("srt", 1), kUnrecognizedFormatMessage},
        {"utf-16", AddSeconds(dir.File("utf16.srt"), 1), "Cannot synchronize " + dir.File("utf16.srt") + ": it is UTF-16"},
        {"utf-16 big endian", AddSeconds(dir.File("utf16be.sub"), 1), "Cannot synchronize"},
        {"name too long", AddSeconds(dir.File(std::string(300, 'n') + ".srt"), 1), "Cannot use"},
        {"directory", AddSeconds(folder, 1), "Cannot open " + folder + not_regular},
#ifndef _WIN32
        {"fifo", AddSeconds(fifo, 1), "Cannot open " + fifo + not_regular},
        {"link to a device", AddSeconds(zero, 1), "Cannot synchronize " + zero + ": it is a link to /dev/zero, whose"},
#endif
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        reporter = RecordingReporter();
        EXPECT_EQ(Run(c.settings), RunOutcome::kRefused);
        ASSERT_EQ(reporter.refusals.size(), 1u);
        EXPECT_EQ(reporter.refusals[0].rfind(c.message_start, 0), 0u) << reporter.refusals[0];
        EXPECT_TRUE(reporter.successes.empty());
        EXPECT_EQ(dir.List(), before);
    }
    EXPECT_EQ(ReadWholeFile(input), kFilm);
}

TEST_F(SynchronizeFileTest, WindowOffIgnoresReversedBounds) {
    WriteWholeFile(input, "00:00:01,000 --> 00:00:02,000\n");
    SyncSettings settings = AddSeconds(input, 1);
    settings.m_timeFrom = WindowTime(0, 20, 0);
    settings.m_timeTo = WindowTime(0, 10, 0);
    ASSERT_EQ(Run(settings), RunOutcome::kDone);
    EXPECT_EQ(ReadWholeFile(input), "00:00:02,000 --> 00:00:03,000\r\n");
}

TEST_F(SynchronizeFileTest, MissingFileIsReportedWithItsNameAndReason) {
    EXPECT_EQ(Run(AddSeconds(input, 1)), RunOutcome::kFileFailed);
    EXPECT_EQ(reporter.failures, std::vector<std::string>{"Cannot open " + input + ": No such file or directory"});
    EXPECT_TRUE(dir.List().empty());
}

TEST_F(SynchronizeFileTest, FileInUseByAnotherHolderIsLeftAlone) {
    WriteWholeFile(input, kFilm);
    WriteWholeFile(original, "an older backup");
    for (const std::string& held : {input, original}) {
        SCOPED_TRACE(held);
        const std::string held_content = ReadWholeFile(held);
        std::unique_ptr<ReadableFile> holder;
        ASSERT_TRUE(FileSystem::Default().OpenForReading(held, &holder).ok());
        reporter = RecordingReporter();
        EXPECT_EQ(Run(AddSeconds(input, 1)), RunOutcome::kFileFailed);
        ASSERT_EQ(reporter.failures.size(), 1u);
        EXPECT_NE(reporter.failures[0].find(held + ": it is being used by another program"), std::string::npos)
            << reporter.failures[0];
        ASSERT_TRUE(holder->Close().ok());  // Windows keeps even this test's own reads out while it is held
        EXPECT_EQ(ReadWholeFile(input), kFilm);
        EXPECT_EQ(ReadWholeFile(held), held_content);
        EXPECT_EQ(dir.List(), (std::vector<std::string>{"film.srt", "film_original.srt"}));
    }
}

TEST_F(SynchronizeFileTest, NamesTakenByOtherThingsAreRefusedBeforeAnyChange) {
    WriteWholeFile(input, kFilm);
    const std::string temporary = dir.File("film_new.srt");
    const struct {
        const char* name;
        std::function<void()> make;
        std::string message;
    } cases[] = {
        {"a directory as the backup", [&] { std::filesystem::create_directory(original); },
         "Cannot open " + original + ": it is not a regular file"},
        {"a result of one's own", [&] { WriteWholeFile(temporary, "the user's own file"); },
         "Cannot create " + temporary +
             ": a file of that name already exists (left by an interrupted run, or one of yours); move it away and "
             "try again"},
        {"the backup a hard link to the input", [&] { std::filesystem::create_hard_link(input, original); },
         "Cannot synchronize " + input + ": it is the same file as " + original +
             " (one name is a link to the other); nothing was changed"},
#ifndef _WIN32
        {"the result a link to a private file",
         [&] {
             WriteWholeFile(dir.File("secret.txt"), "private");
             std::filesystem::permissions(dir.File("secret.txt"), std::filesystem::perms::owner_read);
             std::filesystem::create_symlink("secret.txt", temporary);
         },
         "Cannot create " + temporary + ": a file of that name already exists"},
        {"the backup a link to the input", [&] { std::filesystem::create_symlink("film.srt", original); },
         "Cannot synchronize " + input + ": it is the same file as " + original},
#endif
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.make();
        const std::vector<std::string> before = dir.List();
        std::vector<std::string> contents;
        for (const std::string& name : before) {
            contents.push_back(std::filesystem::is_regular_file(dir.File(name)) ? ReadWholeFile(dir.File(name)) : "");
        }
        reporter = RecordingReporter();
        EXPECT_EQ(Run(AddSeconds(input, 1)), RunOutcome::kRefused);
        ASSERT_EQ(reporter.refusals.size(), 1u);
        EXPECT_EQ(reporter.refusals[0].rfind(c.message, 0), 0u) << reporter.refusals[0];
        EXPECT_EQ(dir.List(), before);
        for (std::size_t i = 0; i < before.size(); ++i) {
            if (std::filesystem::is_regular_file(dir.File(before[i]))) {
                EXPECT_EQ(ReadWholeFile(dir.File(before[i])), contents[i]) << before[i];
            }
        }
        for (const std::string& name : before) {
            if (name != "film.srt" && name != "secret.txt") {
                std::filesystem::remove(dir.File(name));
            }
        }
    }
#ifndef _WIN32
    EXPECT_EQ(std::filesystem::status(dir.File("secret.txt")).permissions(), std::filesystem::perms::owner_read);
#endif
}

TEST_F(SynchronizeFileTest, AnInterruptedRunIsNamedWhenTheInputIsMissing) {
    WriteWholeFile(original, kFilm);
    WriteWholeFile(dir.File("film_new.srt"), kFilmAddedTwoSeconds);
    EXPECT_EQ(Run(AddSeconds(input, 1)), RunOutcome::kFileFailed);
    EXPECT_EQ(reporter.failures,
              std::vector<std::string>{"Cannot open " + input + ": No such file or directory\nAn earlier run was "
                                       "interrupted: the original is stored as " + original + " and the result as " +
                                       dir.File("film_new.srt")});
}

TEST_F(SynchronizeFileTest, LinkedInputs) {
    namespace fs = std::filesystem;
    fs::create_directory(dir.File("store"));
    const std::string real = dir.File("store/film.srt");
    WriteWholeFile(real, kFilm);
    fs::create_hard_link(real, input);
    ASSERT_EQ(Run(AddSeconds(input, 2)), RunOutcome::kDone);
    EXPECT_EQ(reporter.successes, std::vector<std::string>{"Done - original file is stored as\n" + original +
                                                           "\n1 other name of this file (a hard link) keeps the old "
                                                           "content"});
    EXPECT_EQ(ReadWholeFile(input), kFilmAddedTwoSeconds);
    EXPECT_EQ(ReadWholeFile(real), kFilm);
#ifndef _WIN32
    // A symbolic link: the file it leads to is re-timed, its backup kept beside it, and the link still leads to it.
    fs::remove(input);
    fs::remove(original);  // a hard link to the file the new link leads to: the run would refuse it
    fs::create_symlink("store/film.srt", input);
    reporter = RecordingReporter();
    ASSERT_EQ(Run(AddSeconds(input, 2)), RunOutcome::kDone);
    EXPECT_EQ(reporter.successes, std::vector<std::string>{"Done - original file is stored as\n" +
                                                           dir.File("store/film_original.srt")});
    EXPECT_TRUE(fs::is_symlink(input));
    EXPECT_EQ(ReadWholeFile(input), kFilmAddedTwoSeconds);
    EXPECT_EQ(ReadWholeFile(dir.File("store/film_original.srt")), kFilm);
#endif
}

}  // namespace
