// Runs on the real file system. Refusals, of names and of content, and names taken by other things run end to end
// in cli_end_to_end.sh, which checks the directory the same way.
#include "engine/synchronize_file.h"

#include <algorithm>
#include <filesystem>
#include <map>

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace {

namespace fs = std::filesystem;
using Snapshot = std::map<std::string, std::string>;

const char kFilm[] = "1\n00:00:01,500 --> 00:00:03,000\nHello\n\n2\r\n00:00:04,000 --> 00:00:05,000\r\nWorld";
const char kFilmAddedTwoSeconds[] =
    "1\r\n00:00:03,500 --> 00:00:05,000\r\nHello\r\n\r\n2\r\n00:00:06,000 --> 00:00:07,000\r\nWorld\r\n";

SyncSettings AddSeconds(const std::string& path, std::uint32_t seconds) {
    SyncSettings settings;
    settings.m_strInputFile = path;
    settings.m_nSeconds = seconds;
    settings.m_nDirection = 0;
    return settings;
}

// Each entry of `dir` and what it holds.
Snapshot Take(const TempDir& dir) {
    Snapshot entries;
    for (const std::string& name : dir.List()) {
        entries[name] = fs::is_regular_file(dir.File(name)) ? ReadWholeFile(dir.File(name)) : "(not a file)";
    }
    return entries;
}

class SynchronizeFileTest : public ::testing::Test {
  protected:
    RunOutcome Run(const SyncSettings& settings) {
        reporter = RecordingReporter();
        return SynchronizeFile(settings, reporter);
    }
    TempDir dir;
    RecordingReporter reporter;
    const std::string input = dir.File("film.srt");
    const std::string original = dir.File("film_original.srt");
};

TEST_F(SynchronizeFileTest, ResultTakesTheNameAndTheOriginalIsKeptWithItsPermissions) {
    std::string vtt = kFilmAddedTwoSeconds;
    std::replace(vtt.begin(), vtt.end(), ',', '.');  // a .vtt name alone makes the times WebVTT's
    const std::string no_times = "\nNo cue times were found in this file, so none was shifted";
    const struct {
        std::string name, kept, content, result, notes;
    } cases[] = {
        {"film.srt", "film_original.srt", kFilm, kFilmAddedTwoSeconds, ""},
        {"film.VTT", "film_original.VTT", kFilm, vtt, ""},
        {"film.Sub", "film_original.Sub", "", "", no_times},
        {"film.srt", "film_original.srt", "1\r\n\x1A\r\n\x1A\n", "1\r\n", no_times},  // only ends after Ctrl-Z
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name + " " + std::to_string(c.content.size()));
        TempDir own;
        const std::string path = own.File(c.name);
        WriteWholeFile(path, c.content);
        fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
        ASSERT_EQ(Run(AddSeconds(path, 2)), RunOutcome::kDone);
        EXPECT_EQ(Take(own), (Snapshot{{c.name, c.result}, {c.kept, c.content}}));
        EXPECT_EQ(reporter.successes,
                  std::vector<std::string>{"Done - original file is stored as\n" + own.File(c.kept) + c.notes});
        EXPECT_EQ(fs::status(own.File(c.kept)).permissions(), fs::status(path).permissions());
#ifndef _WIN32
        EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_read | fs::perms::owner_write);
#endif
    }
}

TEST_F(SynchronizeFileTest, FilesHeldByAnotherProgramAreLeftAlone) {
    WriteWholeFile(input, kFilm);
    WriteWholeFile(original, "an older backup");
    const Snapshot before = Take(dir);
    for (const std::string& held : {input, original}) {
        SCOPED_TRACE(held);
        std::unique_ptr<ReadableFile> holder;
        ASSERT_TRUE(FileSystem::Default().OpenForReading(held, &holder).ok());
        EXPECT_EQ(Run(AddSeconds(input, 1)), RunOutcome::kFileFailed);
        ASSERT_EQ(reporter.failures.size(), 1u);
        EXPECT_NE(reporter.failures[0].find(held + ": it is being used by another program"), std::string::npos)
            << reporter.failures[0];
        ASSERT_TRUE(holder->Close().ok());  // Windows keeps even this test's own reads out while it is held
        EXPECT_EQ(Take(dir), before);
    }
}

TEST_F(SynchronizeFileTest, AnInterruptedRunIsNamedWhenTheInputIsMissing) {
    WriteWholeFile(original, kFilm);
    WriteWholeFile(dir.File("film_new.srt"), kFilmAddedTwoSeconds);
    EXPECT_EQ(Run(AddSeconds(input, 1)), RunOutcome::kFileFailed);
    EXPECT_EQ(reporter.failures, std::vector<std::string>{"Cannot open " + input +
                                                          ": No such file or directory\nAn earlier run was "
                                                          "interrupted: the original is stored as " +
                                                          original + " and the result as " + dir.File("film_new.srt")});
}

// A hard link keeps the old content under its other name; a symbolic link still leads to the file, re-timed.
TEST_F(SynchronizeFileTest, LinkedInputs) {
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
    fs::remove(input);
    fs::remove(original);  // a hard link to the file the new link leads to: the run would refuse it
    fs::create_symlink("store/film.srt", input);
    ASSERT_EQ(Run(AddSeconds(input, 2)), RunOutcome::kDone);
    EXPECT_EQ(reporter.successes,
              std::vector<std::string>{"Done - original file is stored as\n" + dir.File("store/film_original.srt")});
    EXPECT_TRUE(fs::is_symlink(input));
    EXPECT_EQ(ReadWholeFile(input), kFilmAddedTwoSeconds);
    EXPECT_EQ(ReadWholeFile(dir.File("store/film_original.srt")), kFilm);
#endif
}

}  // namespace
