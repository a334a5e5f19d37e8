// What the Windows backend must do beyond the shared contract: share mode 0 really keeps other openers out, rename
// never replaces, directories are refused in plain words, and names past MAX_PATH are refused before anything is
// touched. Runs under Wine.
#ifdef _WIN32

#include <filesystem>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "engine/synchronize_file.h"
#include "platform/file_system.h"
#include "platform/local_time.h"
#include "tests/test_support.h"

namespace {

constexpr std::size_t kMaxPath = 260;  // MAX_PATH, without <windows.h>

FileSystem& Fs() {
    return FileSystem::Default();
}

// A name in `directory` whose full path is exactly `length` characters.
std::string PathOfLength(const TempDir& directory, std::size_t length) {
    const std::string prefix = directory.File("");  // ends in the separator
    const std::string extension = ".srt";
    return prefix + std::string(length - prefix.size() - extension.size(), 'n') + extension;
}

// Holds a file the way another program running Kelvaro would: through its own exclusive open.
std::unique_ptr<ReadableFile> Hold(const std::string& path) {
    std::unique_ptr<ReadableFile> held;
    EXPECT_TRUE(Fs().OpenForReading(path, &held).ok()) << path;
    return held;
}

TEST(Win32FileSystem, AnOpenFileIsRefusedToEveryOtherOpenerAndKeepsItsBytes) {
    TempDir dir;
    const std::string path = dir.File("film.srt");
    const std::string in_use = ": it is being used by another program";
    struct {
        const char* holder;
        bool hold_for_writing;
    } cases[] = {{"held for reading", false}, {"held for writing", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.holder);
        WriteWholeFile(path, "1\r\nkept\r\n");
        std::unique_ptr<ReadableFile> reader;
        std::unique_ptr<WritableFile> writer;
        if (c.hold_for_writing) {
            ASSERT_TRUE(Fs().CreateForWriting(path, &writer).ok());
            ASSERT_TRUE(writer->Append("kept", 4).ok());
        } else {
            reader = Hold(path);
        }

        std::unique_ptr<ReadableFile> second_reader;
        Status status = Fs().OpenForReading(path, &second_reader);
        EXPECT_EQ(status.code(), Status::Code::kInUse);
        EXPECT_EQ(status.message(), "Cannot open " + path + in_use);
        EXPECT_EQ(second_reader, nullptr);

        std::unique_ptr<WritableFile> second_writer;
        status = Fs().CreateForWriting(path, &second_writer);
        EXPECT_EQ(status.code(), Status::Code::kInUse);
        EXPECT_EQ(status.message(), "Cannot create " + path + in_use);

        status = Fs().Rename(path, dir.File("moved.srt"));
        EXPECT_EQ(status.code(), Status::Code::kInUse) << status.message();

        if (writer) {
            ASSERT_TRUE(writer->Close().ok());
            EXPECT_EQ(ReadWholeFile(path), "kept");  // the refused CreateForWriting emptied nothing
        } else {
            ASSERT_TRUE(reader->Close().ok());
            EXPECT_EQ(ReadWholeFile(path), "1\r\nkept\r\n");
        }
        EXPECT_FALSE(FileExists(dir.File("moved.srt")));
    }
}

TEST(Win32FileSystem, ClosingReleasesTheFileAndCreatingEmptiesIt) {
    TempDir dir;
    const std::string path = dir.File("film.srt");
    WriteWholeFile(path, "a much longer old content");
    std::unique_ptr<ReadableFile> reader = Hold(path);
    ASSERT_TRUE(reader->Close().ok());
    EXPECT_TRUE(reader->Close().ok());  // twice is harmless

    std::unique_ptr<WritableFile> writer;
    ASSERT_TRUE(Fs().CreateForWriting(path, &writer).ok());
    ASSERT_TRUE(writer->Append("new", 3).ok());
    ASSERT_TRUE(writer->Sync().ok());
    ASSERT_TRUE(writer->Close().ok());
    EXPECT_EQ(ReadWholeFile(path), "new");
}

TEST(Win32FileSystem, RenameNeverReplaces) {
    TempDir dir;
    const std::string from = dir.File("film_new.srt");
    const std::string to = dir.File("film.srt");
    WriteWholeFile(from, "result");
    WriteWholeFile(to, "input");

    const Status status = Fs().Rename(from, to);
    EXPECT_FALSE(status.ok());
    EXPECT_EQ(status.message().rfind("Cannot rename " + from + " to " + to + ": ", 0), 0u) << status.message();
    EXPECT_EQ(ReadWholeFile(from), "result");
    EXPECT_EQ(ReadWholeFile(to), "input");

    ASSERT_TRUE(Fs().Remove(to).ok());
    EXPECT_FALSE(Fs().Exists(to));
    ASSERT_TRUE(Fs().Rename(from, to).ok());
    EXPECT_EQ(ReadWholeFile(to), "result");
    EXPECT_FALSE(Fs().Exists(from));
}

TEST(Win32FileSystem, MissingNamesUseTheSharedWording) {
    TempDir dir;
    const std::string missing_file = dir.File("missing.srt");
    const std::string missing_directory = dir.File("nowhere\\film.srt");
    const std::string reason = ": No such file or directory";
    std::unique_ptr<ReadableFile> reader;
    std::unique_ptr<WritableFile> writer;
    struct {
        const char* what;
        Status status;
        std::string message;
    } cases[] = {
        {"open missing file", Fs().OpenForReading(missing_file, &reader), "Cannot open " + missing_file + reason},
        {"open in missing directory", Fs().OpenForReading(missing_directory, &reader),
         "Cannot open " + missing_directory + reason},
        {"create in missing directory", Fs().CreateForWriting(missing_directory, &writer),
         "Cannot create " + missing_directory + reason},
        {"remove missing file", Fs().Remove(missing_file), "Cannot remove " + missing_file + reason},
        {"rename missing file", Fs().Rename(missing_file, dir.File("x.srt")),
         "Cannot rename " + missing_file + " to " + dir.File("x.srt") + reason},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.status.code(), Status::Code::kNotFound);
        EXPECT_EQ(c.status.message(), c.message);
    }
    EXPECT_FALSE(Fs().Exists(missing_file));
}

TEST(Win32FileSystem, DirectoriesAreRefusedAsFiles) {
    TempDir dir;
    const std::string path = dir.File("folder.srt");
    ASSERT_TRUE(std::filesystem::create_directory(path));
    std::unique_ptr<ReadableFile> reader;
    std::unique_ptr<WritableFile> writer;
    struct {
        const char* what;
        Status status;
        std::string message;
    } cases[] = {
        {"open", Fs().OpenForReading(path, &reader), "Cannot open " + path + ": Is a directory"},
        {"create", Fs().CreateForWriting(path, &writer), "Cannot create " + path + ": Is a directory"},
        {"remove", Fs().Remove(path), "Cannot remove " + path + ": Is a directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(c.status.ok());
        EXPECT_EQ(c.status.message(), c.message);
    }
    EXPECT_TRUE(Fs().Exists(path));
    EXPECT_TRUE(std::filesystem::is_directory(path));
}

TEST(Win32FileSystem, FullPathsFromMaxPathOnAreTooLong) {
    TempDir dir;
    struct {
        std::size_t length;
        bool usable;
    } cases[] = {{kMaxPath - 1, true}, {kMaxPath, false}, {kMaxPath + 40, false}};
    for (const auto& c : cases) {
        const std::string path = PathOfLength(dir, c.length);
        SCOPED_TRACE(c.length);
        const Status status = Fs().CheckUsableName(path);
        EXPECT_EQ(status.ok(), c.usable) << status.message();
        if (!c.usable) {
            EXPECT_EQ(status.code(), Status::Code::kNameTooLong);
            EXPECT_EQ(status.message(), "Cannot use " + path + ": the name is too long for this system");
        }
    }
    EXPECT_TRUE(dir.List().empty());  // checking touches nothing
}

TEST(Win32FileSystem, UsableNamesReallyWork) {
    TempDir dir;
    const std::string path = PathOfLength(dir, kMaxPath - 1);
    ASSERT_TRUE(Fs().CheckUsableName(path).ok());
    std::unique_ptr<WritableFile> writer;
    ASSERT_TRUE(Fs().CreateForWriting(path, &writer).ok());
    ASSERT_TRUE(writer->Append("x", 1).ok());
    ASSERT_TRUE(writer->Close().ok());
    EXPECT_EQ(ReadWholeFile(path), "x");
}

// The backup's name is 9 characters longer than the input's: an input that fits must still be refused whole when
// its "_original" name does not.
TEST(Win32FileSystem, RunIsRefusedWhenTheBackupNameWouldBeTooLong) {
    TempDir dir;
    const std::string input = PathOfLength(dir, kMaxPath - 5);
    ASSERT_TRUE(Fs().CheckUsableName(input).ok());
    WriteWholeFile(input, "1\r\n00:00:01,000 --> 00:00:02,000\r\nhi\r\n");
    const auto before = dir.List();

    SyncSettings settings;
    settings.m_strInputFile = input;
    RecordingReporter reporter;
    EXPECT_EQ(SynchronizeFile(settings, reporter), RunOutcome::kRefused);
    ASSERT_EQ(reporter.refusals.size(), 1u);
    EXPECT_NE(reporter.refusals[0].find("too long"), std::string::npos) << reporter.refusals[0];
    EXPECT_TRUE(reporter.successes.empty());
    EXPECT_EQ(dir.List(), before);
    EXPECT_EQ(ReadWholeFile(input), "1\r\n00:00:01,000 --> 00:00:02,000\r\nhi\r\n");
}

TEST(Win32LocalTime, LocalTimesRoundTripIncludingAfter2038) {
    struct {
        int year, month, day, hour, minute, second;
    } cases[] = {{2024, 1, 15, 0, 0, 0}, {2024, 7, 1, 13, 45, 30}, {2040, 12, 31, 23, 59, 59}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.year);
        const CalendarTime time = MakeLocalTime(c.year, c.month, c.day, c.hour, c.minute, c.second);
        ASSERT_GT(time, 0);
        const TimeOfDay back = LocalTimeOfDay(time);
        EXPECT_EQ(back.hour, c.hour);
        EXPECT_EQ(back.minute, c.minute);
        EXPECT_EQ(back.second, c.second);
    }
}

}  // namespace

#endif  // _WIN32
