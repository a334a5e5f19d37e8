// What the Windows backend must do beyond the shared contract: share mode 0 really keeps other openers out, rename
// never replaces, and names past MAX_PATH are refused before anything is touched. Runs under Wine.
#ifdef _WIN32

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "engine/synchronize_file.h"
#include "platform/file_system.h"
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

}  // namespace

#endif  // _WIN32
