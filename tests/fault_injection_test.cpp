// Fails each file operation of a run in turn and checks that the input's content survives every one of them.
#include <filesystem>

#include <gtest/gtest.h>

#include "engine/synchronize_file.h"
#include "tests/test_support.h"

#ifndef _WIN32
#include <sys/mount.h>
#endif

namespace {

// Counts every operation of a run and makes the one numbered `fail_at` fail. With `silent_remove`, that failing
// operation, when it is a Remove, claims success and does nothing (as some systems' delete calls do).
class FaultyFileSystem : public FileSystem {
public:
    FaultyFileSystem(int fail_at, bool silent_remove) : m_fail_at(fail_at), m_silent_remove(silent_remove) {}

    bool Tripped() const { return m_fail_at <= m_count; }

    // Runs `call`, unless this operation is the one to fail.
    template <typename Call>
    Status Guard(const char* verb, const std::string& path, Call call) {
        return ++m_count == m_fail_at ? FileError(Status::Code::kIoError, verb, path, "injected fault") : call();
    }

    Status OpenForReading(const std::string& path, std::unique_ptr<ReadableFile>* file) override;
    Status CreateForWriting(const std::string& path, std::unique_ptr<WritableFile>* file) override;
    bool Exists(const std::string& path) override { return m_real.Exists(path); }
    Status Remove(const std::string& path) override {
        if (m_silent_remove && m_count + 1 == m_fail_at) {
            ++m_count;
            return Status::OK();
        }
        return Guard("Cannot remove", path, [&] { return m_real.Remove(path); });
    }
    Status Rename(const std::string& from, const std::string& to) override {
        return Guard("Cannot rename", from, [&] { return m_real.Rename(from, to); });
    }
    void CopyPermissions(const std::string& from, const std::string& to) override { m_real.CopyPermissions(from, to); }
    Status CheckUsableName(const std::string& path) override { return m_real.CheckUsableName(path); }

private:
    FileSystem& m_real = FileSystem::Default();
    int m_fail_at;
    bool m_silent_remove;
    int m_count = 0;
};

class FaultyReadableFile : public ReadableFile {
public:
    FaultyReadableFile(std::unique_ptr<ReadableFile> real, FaultyFileSystem& faults, std::string path)
        : m_real(std::move(real)), m_faults(faults), m_path(std::move(path)) {}
    Status Read(char* buffer, std::size_t capacity, std::size_t* got) override {
        return m_faults.Guard("Cannot read", m_path, [&] { return m_real->Read(buffer, capacity, got); });
    }
    Status Close() override {
        const Status closed = m_real->Close();  // a failed close still lets go of the file
        return m_faults.Guard("Cannot close", m_path, [&] { return closed; });
    }

private:
    std::unique_ptr<ReadableFile> m_real;
    FaultyFileSystem& m_faults;
    std::string m_path;
};

class FaultyWritableFile : public WritableFile {
public:
    FaultyWritableFile(std::unique_ptr<WritableFile> real, FaultyFileSystem& faults, std::string path)
        : m_real(std::move(real)), m_faults(faults), m_path(std::move(path)) {}
    Status Append(const char* data, std::size_t size) override {
        const Status status = m_faults.Guard("Cannot write", m_path, [&] { return m_real->Append(data, size); });
        if (!status.ok()) {
            m_real->Append(data, size / 2);  // a write that fails part-way
        }
        return status;
    }
    Status Sync() override {
        return m_faults.Guard("Cannot flush", m_path, [&] { return m_real->Sync(); });
    }
    Status Close() override {
        const Status closed = m_real->Close();  // a failed close still lets go of the file
        return m_faults.Guard("Cannot close", m_path, [&] { return closed; });
    }

private:
    std::unique_ptr<WritableFile> m_real;
    FaultyFileSystem& m_faults;
    std::string m_path;
};

Status FaultyFileSystem::OpenForReading(const std::string& path, std::unique_ptr<ReadableFile>* file) {
    return Guard("Cannot open", path, [&] {
        std::unique_ptr<ReadableFile> real;
        Status status = m_real.OpenForReading(path, &real);
        if (status.ok()) {
            *file = std::make_unique<FaultyReadableFile>(std::move(real), *this, path);
        }
        return status;
    });
}

Status FaultyFileSystem::CreateForWriting(const std::string& path, std::unique_ptr<WritableFile>* file) {
    return Guard("Cannot create", path, [&] {
        std::unique_ptr<WritableFile> real;
        Status status = m_real.CreateForWriting(path, &real);
        if (status.ok()) {
            *file = std::make_unique<FaultyWritableFile>(std::move(real), *this, path);
        }
        return status;
    });
}

// Several blocks of input, so that a run reads and writes more than once.
std::string LargeSubtitle() {
    std::string text;
    for (int cue = 1; text.size() < 700 * 1024; ++cue) {
        text += std::to_string(cue) + "\r\n00:00:01,000 --> 00:00:02,000\r\nSome words of the cue\r\n\r\n";
    }
    return text;
}

// After any failed run the input's bytes are whole under its own name or under its "_original" name.
void ExpectInputWhole(const TempDir& dir, const std::string& content, const RecordingReporter& reporter) {
    EXPECT_TRUE(reporter.successes.empty());
    ASSERT_EQ(reporter.failures.size(), 1u);
    const std::string input = dir.File("film.srt");
    const std::string original = dir.File("film_original.srt");
    const bool whole_in_place = FileExists(input) && ReadWholeFile(input) == content;
    const bool whole_as_backup = FileExists(original) && ReadWholeFile(original) == content;
    EXPECT_TRUE(whole_in_place || whole_as_backup) << reporter.failures[0];
    if (!whole_in_place) {
        // The message must tell the user where the original and the result are.
        EXPECT_NE(reporter.failures[0].find("The original is stored as " + original), std::string::npos);
    }
}

TEST(FaultInjection, EveryFailingStepKeepsTheInput) {
    const std::string content = LargeSubtitle();
    for (const bool silent_remove : {false, true}) {
        int steps = 0;
        for (int fail_at = 1;; ++fail_at) {
            SCOPED_TRACE("step " + std::to_string(fail_at) + (silent_remove ? " (silent remove)" : ""));
            TempDir dir;
            WriteWholeFile(dir.File("film.srt"), content);
            WriteWholeFile(dir.File("film_original.srt"), "an older backup");
            FaultyFileSystem faults(fail_at, silent_remove);
            RecordingReporter reporter;
            SyncSettings settings;
            settings.m_strInputFile = dir.File("film.srt");
            settings.m_nSeconds = 1;
            const RunOutcome outcome = SynchronizeFile(settings, reporter, faults);
            if (!faults.Tripped()) {
                EXPECT_EQ(outcome, RunOutcome::kDone);
                break;
            }
            ++steps;
            EXPECT_EQ(outcome, RunOutcome::kFileFailed);
            ExpectInputWhole(dir, content, reporter);
        }
        // open, reads, create, writes, flush, two closes, remove, two renames
        EXPECT_GE(steps, 12);
    }
}

#ifndef _WIN32
// A real full disk: a tiny tmpfs. Needs the right to mount (root); skipped elsewhere.
TEST(FaultInjection, FullDiskKeepsTheInput) {
    TempDir dir;
    const std::string mount_point = dir.File("small");
    std::filesystem::create_directory(mount_point);
    if (mount("tmpfs", mount_point.c_str(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "cannot mount a tmpfs here";
    }
    const std::string input = mount_point + "/film.srt";
    std::string content;
    while (content.size() < 40 * 1024) {
        content += "Hi\n";  // gains a CR when rewritten: 40 KB in, 53 KB out, more than the disk has left
    }
    WriteWholeFile(input, content);
    RecordingReporter reporter;
    SyncSettings settings;
    settings.m_strInputFile = input;
    const RunOutcome outcome = SynchronizeFile(settings, reporter);
    const std::string after = ReadWholeFile(input);
    const bool temporary_left = FileExists(mount_point + "/film_new.srt");
    umount(mount_point.c_str());

    EXPECT_EQ(outcome, RunOutcome::kFileFailed);
    EXPECT_TRUE(reporter.successes.empty());
    ASSERT_EQ(reporter.failures.size(), 1u);
    EXPECT_NE(reporter.failures[0].find("No space left on device"), std::string::npos) << reporter.failures[0];
    EXPECT_EQ(after, content);
    EXPECT_FALSE(temporary_left);
}
#endif

}  // namespace
