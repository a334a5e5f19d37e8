// Fails each operation of a run in turn and checks that the input, the old backup and the message survive each one.
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/synchronize_file.h"
#include "platform/forwarding_file_system.h"
#include "tests/test_support.h"

#ifndef _WIN32
#include <sys/mount.h>
#endif

namespace {

// Counts the operations of a run that can fail, by verb, and makes the one numbered `fail_at` (from 1; 0 for none)
// fail with kIoError "Cannot VERB: injected fault".
struct Faults {
    template <typename Call>
    Status Step(const char* verb, Call call) {
        operations.push_back(verb);
        return operations.size() == fail_at
                   ? Status::Error(Status::Code::kIoError, std::string("Cannot ") + verb + ": injected fault")
                   : call();
    }

    std::size_t fail_at;
    std::vector<std::string> operations;
};

// A failing call changes nothing, except that a failing write stores half of its bytes and a failing close still
// lets go of the file.
template <typename Forwarding>
class FaultyFile : public Forwarding {
  public:
    template <typename Target>
    FaultyFile(Target target, Faults& faults) : Forwarding(std::move(target)), m_faults(faults) {}

    Status Close() override {
        const Status closed = Forwarding::Close();
        return m_faults.Step("close", [&] { return closed; });
    }
    Status Identify(FileIdentity* identity) override {
        return m_faults.Step("identify", [&] { return Forwarding::Identify(identity); });
    }
    Status RenameTo(const std::string& to, bool replace) override {
        return m_faults.Step("rename", [&] { return Forwarding::RenameTo(to, replace); });
    }

  protected:
    Faults& m_faults;
};

class FaultyReadableFile : public FaultyFile<ForwardingReadableFile> {
  public:
    using FaultyFile::FaultyFile;
    Status Read(char* buffer, std::size_t capacity, std::size_t* got) override {
        return m_faults.Step("read", [&] { return ForwardingReadableFile::Read(buffer, capacity, got); });
    }
};

class FaultyWritableFile : public FaultyFile<ForwardingWritableFile> {
  public:
    using FaultyFile::FaultyFile;
    Status Append(const char* data, std::size_t size) override {
        const Status status = m_faults.Step("write", [&] { return ForwardingWritableFile::Append(data, size); });
        if (!status.ok()) {
            ForwardingWritableFile::Append(data, size / 2).IgnoreError();  // the caller sees the injected failure
        }
        return status;
    }
    Status Sync() override {
        return m_faults.Step("flush", [&] { return ForwardingWritableFile::Sync(); });
    }
};

// Every call but Exists and CopyPermissions, which cannot fail, goes through `faults`.
class FaultyFileSystem : public ForwardingFileSystem {
  public:
    explicit FaultyFileSystem(Faults& faults) : ForwardingFileSystem(FileSystem::Default()), m_faults(faults) {}

    Status OpenForReading(const std::string& path, std::unique_ptr<ReadableFile>* file) override {
        return m_faults.Step(
            "open", [&] { return Wrap<FaultyReadableFile>(ForwardingFileSystem::OpenForReading(path, file), file); });
    }
    Status CreateNew(const std::string& path, std::unique_ptr<WritableFile>* file) override {
        return m_faults.Step(
            "create", [&] { return Wrap<FaultyWritableFile>(ForwardingFileSystem::CreateNew(path, file), file); });
    }
    Status Remove(const std::string& path) override {
        return m_faults.Step("remove", [&] { return ForwardingFileSystem::Remove(path); });
    }
    Status Identify(const std::string& path, FileIdentity* identity) override {
        return m_faults.Step("identify", [&] { return ForwardingFileSystem::Identify(path, identity); });
    }
    Status ResolveLinks(const std::string& path, std::string* target) override {
        return m_faults.Step("resolve", [&] { return ForwardingFileSystem::ResolveLinks(path, target); });
    }
    Status SyncDirectory(const std::string& path) override {
        return m_faults.Step("flush the directory", [&] { return ForwardingFileSystem::SyncDirectory(path); });
    }
    Status CheckUsableName(const std::string& path) override {
        return m_faults.Step("use", [&] { return ForwardingFileSystem::CheckUsableName(path); });
    }

  private:
    template <typename Faulty, typename File>
    Status Wrap(Status opened, std::unique_ptr<File>* file) {
        if (opened.ok()) {
            *file = std::make_unique<Faulty>(std::move(*file), m_faults);
        }
        return opened;
    }

    Faults& m_faults;
};

const char kOldBackup[] = "an older backup";

// Several blocks of input, so that a run reads and writes more than once.
std::string LargeSubtitle() {
    std::string text;
    for (int cue = 1; text.size() < 700 * 1024; ++cue) {
        text += std::to_string(cue) + "\r\n00:00:01,000 --> 00:00:02,000\r\nSome words of the cue\r\n\r\n";
    }
    return text;
}

std::optional<std::string> ContentOf(const std::string& path) {
    return FileExists(path) ? std::optional<std::string>(ReadWholeFile(path)) : std::nullopt;
}

// A run in a fresh directory that holds the input and, with `old_backup`, an older "_original" file.
struct RunInDirectory {
    RunInDirectory(const std::string& content, bool old_backup, std::size_t fail_at) : faults{fail_at, {}} {
        WriteWholeFile(input, content);
        if (old_backup) {
            WriteWholeFile(original, kOldBackup);
        }
        SyncSettings settings;
        settings.m_strInputFile = input;
        settings.m_nSeconds = 1;
        FaultyFileSystem file_system(faults);
        outcome = SynchronizeFile(settings, reporter, file_system);
    }

    TempDir dir;
    const std::string input = dir.File("film.srt");
    const std::string original = dir.File("film_original.srt");
    const std::string temporary = dir.File("film_new.srt");
    Faults faults;
    RecordingReporter reporter;
    RunOutcome outcome;
};

// After a failed run: no success, one failure message, with the injected fault; the input whole under its own name or
// its
// "_original" name; under its own name the input or the complete result; under the "_original" name the old backup or
// the input; the "_new" file gone unless it holds the complete result and the input has left its name; and once the
// input has left its name, the complete result kept and a message that says where it and the original are.
void ExpectSafe(const RunInDirectory& run, const std::string& content, bool old_backup, const std::string& result) {
    ASSERT_EQ(run.outcome, RunOutcome::kFileFailed);
    EXPECT_TRUE(run.reporter.successes.empty());
    ASSERT_EQ(run.reporter.failures.size(), 1u);
    const std::string& message = run.reporter.failures[0];
    EXPECT_NE(message.find("injected fault"), std::string::npos) << message;
    for (const std::string& name : run.dir.List()) {
        EXPECT_TRUE(name == "film.srt" || name == "film_original.srt" || name == "film_new.srt") << name << " left";
    }
    const std::optional<std::string> at_input = ContentOf(run.input);
    const std::optional<std::string> at_original = ContentOf(run.original);
    const std::optional<std::string> at_temporary = ContentOf(run.temporary);
    const bool input_in_place = at_input == content;
    EXPECT_TRUE(input_in_place || at_original == content) << "the input is lost: " << message;
    EXPECT_TRUE(!at_input || input_in_place || at_input == result) << "a partial result as the input: " << message;
    EXPECT_TRUE(at_original == content || (old_backup ? at_original == kOldBackup : !at_original))
        << "the old backup is lost: " << message;
    if (at_temporary) {
        EXPECT_FALSE(input_in_place) << run.temporary << " left beside the untouched input: " << message;
        EXPECT_TRUE(at_temporary == result) << "a partial result left as " << run.temporary << ": " << message;
    }
    if (!input_in_place) {
        EXPECT_TRUE(at_input == result || at_temporary == result) << "the result is lost: " << message;
        EXPECT_NE(message.find(run.original), std::string::npos) << "where is the original? " << message;
        EXPECT_NE(message.find(at_temporary ? run.temporary : run.input), std::string::npos)
            << "where is the result? " << message;
    }
}

TEST(FaultInjection, EveryFailingStepKeepsTheInput) {
    const std::string content = LargeSubtitle();
    for (const bool old_backup : {false, true}) {
        SCOPED_TRACE(old_backup ? "with an old backup" : "without an old backup");
        const RunInDirectory clean(content, old_backup, 0);
        ASSERT_EQ(clean.outcome, RunOutcome::kDone);
        const std::vector<std::string>& steps = clean.faults.operations;
        const std::string result = ReadWholeFile(clean.input);
        // At least: open, read, create, write, flush, two renames, flush the directory, two closes.
        EXPECT_GE(steps.size(), 10u);
        for (std::size_t fail_at = 1; fail_at <= steps.size(); ++fail_at) {
            SCOPED_TRACE("failing step " + std::to_string(fail_at) + ": " + steps[fail_at - 1]);
            ExpectSafe(RunInDirectory(content, old_backup, fail_at), content, old_backup, result);
        }
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
