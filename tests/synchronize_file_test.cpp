// Runs on the real file system. Refusals, of names and of content, and names taken by other things run end to end
// in cli_end_to_end.sh, which checks the directory the same way.
#include "engine/synchronize_file.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>

#include <gtest/gtest.h>

#include "platform/forwarding_file_system.h"
#include "tests/test_support.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

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
    const struct {
        std::string name, kept, content, result, notes;
    } cases[] = {
        {"film.srt", "film_original.srt", kFilm, kFilmAddedTwoSeconds, ""},
        {"film.VTT", "film_original.VTT", kFilm, vtt, ""},
        {"film.Sub", "film_original.Sub", kFilm, kFilmAddedTwoSeconds, ""},
        {"film.srt", "film_original.srt", "1\r\n00:00:01,500 --> 00:00:03,000\r\n\x1A\r\n\x1A\n",
         "1\r\n00:00:03,500 --> 00:00:05,000\r\n", ""},  // only ends after Ctrl-Z
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

// The input is missing while its backup and result are there: another run between its renames holds them, an
// interrupted one does not.
TEST_F(SynchronizeFileTest, AMissingInputTellsARunGoingOnFromAnInterruptedOne) {
    const std::string result = dir.File("film_new.srt");
    WriteWholeFile(original, kFilm);
    WriteWholeFile(result, kFilmAddedTwoSeconds);
    const std::string missing = "Cannot open " + input + ": ";
    const struct {
        std::string held;
        std::string message;
    } cases[] = {
        {"", missing + "No such file or directory\nAn earlier run was interrupted: the original is stored as " +
                 original + " and the result as " + result},
        {original, missing + "another run is re-timing " + input + "; run again when it has finished"},
        {result, missing + "another run is re-timing " + input + "; run again when it has finished"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.held);
        std::unique_ptr<ReadableFile> holder;
        ASSERT_TRUE(c.held.empty() || FileSystem::Default().OpenForReading(c.held, &holder).ok());
        EXPECT_EQ(Run(AddSeconds(input, 1)), RunOutcome::kFileFailed);
        EXPECT_EQ(reporter.failures, std::vector<std::string>{c.message});
    }
}

// `film` (kFilm) with every time `seconds` later, as a run writes it.
std::string FilmAdded(int seconds) {
    const auto clock = [&](int ms) {
        ms += seconds * 1000;
        char text[32];
        std::snprintf(text, sizeof text, "00:00:%02d,%03d", ms / 1000, ms % 1000);
        return std::string(text);
    };
    return "1\r\n" + clock(1500) + " --> " + clock(3000) + "\r\nHello\r\n\r\n2\r\n" + clock(4000) + " --> " +
           clock(5000) + "\r\nWorld\r\n";
}

TEST_F(SynchronizeFileTest, OlderBackupsAreKeptNeverDeleted) {
    const struct {
        const char* what;
        Snapshot before;  // besides film.srt
        int runs;
        Snapshot after;
        const char* kept;  // as the last run says
    } cases[] = {
        {"one run", {}, 1, {{"film.srt", FilmAdded(2)}, {"film_original.srt", kFilm}}, nullptr},
        {"a second run keeps the untouched original",
         {},
         2,
         {{"film.srt", FilmAdded(4)}, {"film_original.srt", FilmAdded(2)}, {"film_original-1.srt", kFilm}},
         "film_original-1.srt"},
        {"three runs keep every state",
         {},
         3,
         {{"film.srt", FilmAdded(6)},
          {"film_original.srt", FilmAdded(4)},
          {"film_original-1.srt", kFilm},
          {"film_original-2.srt", FilmAdded(2)}},
         "film_original-2.srt"},
        {"a number the user took is skipped",
         {{"film_original.srt", "older"}, {"film_original-1.srt", "mine"}},
         1,
         {{"film.srt", FilmAdded(2)},
          {"film_original.srt", kFilm},
          {"film_original-1.srt", "mine"},
          {"film_original-2.srt", "older"}},
         "film_original-2.srt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir own;
        const std::string path = own.File("film.srt");
        WriteWholeFile(path, kFilm);
        for (const auto& [name, content] : c.before) {
            WriteWholeFile(own.File(name), content);
        }
        for (int run = 0; run < c.runs; ++run) {
            ASSERT_EQ(Run(AddSeconds(path, 2)), RunOutcome::kDone);
        }
        EXPECT_EQ(Take(own), c.after);
        const std::string kept = c.kept ? "\nThe older backup was kept as " + own.File(c.kept) : "";
        EXPECT_EQ(reporter.successes, std::vector<std::string>{"Done - original file is stored as\n" +
                                                               own.File("film_original.srt") + kept});
    }
}

#ifndef _WIN32
// What is at the backup's name when it is not a regular file is somebody else's: the run refuses, changing nothing.
TEST_F(SynchronizeFileTest, ALinkAtTheBackupNameIsRefused) {
    WriteWholeFile(input, kFilm);
    WriteWholeFile(dir.File("elsewhere.srt"), "elsewhere");
    for (const char* target : {"elsewhere.srt", "missing.srt"}) {
        SCOPED_TRACE(target);
        fs::remove(original);
        fs::create_symlink(target, original);
        const Snapshot before = Take(dir);
        EXPECT_EQ(Run(AddSeconds(input, 1)), RunOutcome::kRefused);
        EXPECT_EQ(reporter.refusals, std::vector<std::string>{"Cannot open " + original + ": it is a symbolic link"});
        EXPECT_EQ(Take(dir), before);
        EXPECT_EQ(fs::read_symlink(original), target);
    }
}

// A file system through which another program, one that takes no locks, acts once at a given moment of a run.
class MeddlingDisk : public ForwardingFileSystem {
  public:
    enum Moment { kResultCreated, kFirstRead, kResultFlushed };
    MeddlingDisk(Moment moment, std::function<void()> act)
        : ForwardingFileSystem(FileSystem::Default()), m_moment(moment), m_act(std::move(act)) {}

    Status OpenForReading(const std::string& path, std::unique_ptr<ReadableFile>* file) override {
        const Status status = ForwardingFileSystem::OpenForReading(path, file);
        if (status.ok()) {
            *file = std::make_unique<Reader>(std::move(*file), *this);
        }
        return status;
    }
    Status CreateNew(const std::string& path, std::unique_ptr<WritableFile>* file) override {
        const Status status = ForwardingFileSystem::CreateNew(path, file);
        if (status.ok()) {
            *file = std::make_unique<Writer>(std::move(*file), *this);
            At(kResultCreated);
        }
        return status;
    }

  private:
    void At(Moment moment) {
        if (moment == m_moment && m_act) {
            std::exchange(m_act, nullptr)();
        }
    }
    struct Reader : ForwardingReadableFile {
        Reader(std::unique_ptr<ReadableFile> file, MeddlingDisk& disk)
            : ForwardingReadableFile(std::move(file)), disk(disk) {}
        Status Read(char* buffer, std::size_t capacity, std::size_t* got) override {
            disk.At(kFirstRead);
            return ForwardingReadableFile::Read(buffer, capacity, got);
        }
        MeddlingDisk& disk;
    };
    struct Writer : ForwardingWritableFile {
        Writer(std::unique_ptr<WritableFile> file, MeddlingDisk& disk)
            : ForwardingWritableFile(std::move(file)), disk(disk) {}
        Status Sync() override {
            const Status status = ForwardingWritableFile::Sync();
            disk.At(kResultFlushed);
            return status;
        }
        MeddlingDisk& disk;
    };
    Moment m_moment;
    std::function<void()> m_act;
};

// Another program writes, truncates or replaces a file of the run while the run holds it (as editors and download
// tools do, taking no locks). The run refuses and leaves every file as that program left it.
TEST_F(SynchronizeFileTest, AFileChangedByAnotherProgramMeanwhileIsRefused) {
    const std::string temporary = dir.File("film_new.srt");
    const std::string victim = dir.File("victim.srt");
    const auto save_over = [&](const std::string& name) {
        return [&, name] {
            WriteWholeFile(dir.File(".edit"), "an edit");
            fs::rename(dir.File(".edit"), name);
        };
    };
    const bool root = geteuid() == 0;
    const struct {
        const char* what;
        MeddlingDisk::Moment moment;
        std::function<void()> act;
        std::string changed;  // the file the message names
        const char* outside;  // a file the run may still write to: the result, moved away by the other program
    } cases[] = {
        {"an editor saves while the file is read", MeddlingDisk::kFirstRead, save_over(input), input, nullptr},
        {"an editor saves after the result is written", MeddlingDisk::kResultFlushed, save_over(input), input, nullptr},
        {"the file is cut short while it is read", MeddlingDisk::kFirstRead, [&] { fs::resize_file(input, 10); }, input,
         nullptr},
        {"the file grows while it is read", MeddlingDisk::kFirstRead,
         [&] { WriteWholeFile(input, std::string(kFilm) + "\n\n3\n00:00:09,000 --> 00:00:10,000\nMore"); }, input,
         nullptr},
        {"the older backup is replaced", MeddlingDisk::kResultFlushed, save_over(original), original, nullptr},
        // Whoever can write in the folder can swap the result for a link to a file of the user who runs the program:
        // the result's owner and mode must still go to the result, never to that file.
        {"the result is swapped for a link", MeddlingDisk::kResultCreated,
         [&] {
             fs::rename(temporary, dir.File("moved.srt"));
             fs::create_symlink("victim.srt", temporary);
         },
         temporary, "moved.srt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (const std::string& name : dir.List()) {
            fs::remove(dir.File(name));
        }
        WriteWholeFile(input, kFilm);
        WriteWholeFile(original, "an older backup");
        WriteWholeFile(victim, "the user's own");
        chmod(victim.c_str(), 0600);
        chmod(input.c_str(), 0644);
        if (root) {
            ASSERT_EQ(chown(input.c_str(), 12345, 12345), 0);
        }
        Snapshot meddled;
        MeddlingDisk disk(c.moment, [&] {
            c.act();
            meddled = Take(dir);
        });
        reporter = RecordingReporter();
        EXPECT_EQ(SynchronizeFile(AddSeconds(input, 1), reporter, disk), RunOutcome::kRefused);
        EXPECT_EQ(reporter.refusals, std::vector<std::string>{c.changed + " was changed by another program while " +
                                                              (c.changed == input ? "it" : input) +
                                                              " was being re-timed; nothing was changed; run again"});
        // As the other program left it, less the run's unfinished result.
        Snapshot after = Take(dir);
        if (c.outside) {
            after.erase(c.outside);
            meddled.erase(c.outside);
        } else {
            meddled.erase("film_new.srt");
        }
        EXPECT_EQ(after, meddled);
        struct stat info {};
        ASSERT_EQ(lstat(victim.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0600u);
        EXPECT_EQ(info.st_uid, geteuid());
    }
}
#endif

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
