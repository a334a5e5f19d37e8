// Runs on a file system that can fail any one call and that models what stable storage holds: each step of a run
// fails in turn, and after every step a simulated crash must leave the input whole.
#include <filesystem>
#include <functional>
#include <map>
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

const char kInput[] = "film.srt";
const char kOriginal[] = "film_original.srt";
const char kTemporary[] = "film_new.srt";
const char kKept[] = "film_original-1.srt";   // where an older backup goes
const char kKept2[] = "film_original-2.srt";  // ... when that is taken too

using DirectoryView = std::map<std::string, std::string>;  // name -> content

DirectoryView ReadDirectory(const TempDir& dir) {
    DirectoryView view;
    for (const std::string& name : dir.List()) {
        view[name] = ReadWholeFile(dir.File(name));
    }
    return view;
}

std::string NameOf(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

// Passes every call on to the real file system, for the files of one directory.
//
// Counts the calls that can fail (all but Exists, IsHeld and CopyAccess), by verb, and makes call number `fail_at`
// (from 1; 0 for none) fail with kIoError "Cannot VERB: injected fault" and change nothing, except that a failing write
// stores half of its bytes and a failing close still lets go of the file.
//
// Models what stable storage holds: each file's content as of its last Sync, the names as of the last SyncDirectory;
// what was there before counts as synced. `on_change` is called after every call that changes the model, with what
// happened; between two such calls a crash would leave the same.
class FaultyDisk : public ForwardingFileSystem {
  public:
    FaultyDisk(const TempDir& dir, std::size_t fail_at)
        : ForwardingFileSystem(FileSystem::Default()), m_fail_at(fail_at) {
        for (const auto& [name, content] : ReadDirectory(dir)) {
            m_names[name] = m_files.size();
            m_files.push_back({content, content.size()});
        }
        m_synced_names = m_names;
    }

    template <typename Call>
    Status Step(const char* verb, Call call) {
        operations.push_back(verb);
        return operations.size() == m_fail_at
                   ? Status::Error(Status::Code::kIoError, std::string("Cannot ") + verb + ": injected fault")
                   : call();
    }

    // Every directory a crash now could leave: the synced names with any number of the later changes applied in
    // order (as a journal replays them), each file cut to what was synced.
    std::vector<DirectoryView> CrashViews() const {
        Names names = m_synced_names;
        std::vector<DirectoryView> views{View(names, true)};
        for (const NameChange& change : m_unsynced_changes) {
            Apply(change, &names);
            views.push_back(View(names, true));
        }
        return views;
    }
    DirectoryView CurrentView() const { return View(m_names, false); }

    Status OpenForReading(const std::string& path, std::unique_ptr<ReadableFile>* file) override;
    Status OpenForReadingNoFollow(const std::string& path, std::unique_ptr<ReadableFile>* file) override;
    Status CreateNew(const std::string& path, std::unique_ptr<WritableFile>* file) override;
    Status Remove(const std::string& path) override {
        return Step("remove", [&] {
            const Status status = ForwardingFileSystem::Remove(path);
            if (status.ok()) {
                Change({NameOf(path), "", 0});
            }
            return status;
        });
    }
    Status Identify(const std::string& path, FileIdentity* identity) override {
        return Step("identify", [&] { return ForwardingFileSystem::Identify(path, identity); });
    }
    Status ResolveLinks(const std::string& path, std::string* target) override {
        return Step("resolve", [&] { return ForwardingFileSystem::ResolveLinks(path, target); });
    }
    Status SyncDirectory(const std::string& path) override {
        return Step("flush the directory", [&] {
            const Status status = ForwardingFileSystem::SyncDirectory(path);
            if (status.ok()) {
                m_synced_names = m_names;
                m_unsynced_changes.clear();
                on_change("the directory sync");
            }
            return status;
        });
    }
    Status CheckUsableName(const std::string& path) override {
        return Step("use", [&] { return ForwardingFileSystem::CheckUsableName(path); });
    }

    // `from` loses its file (none when empty); `to` gets `file` (none when empty).
    struct NameChange {
        std::string from, to;
        std::size_t file;
    };
    // From the files handed out.
    void Change(const NameChange& change) {
        Apply(change, &m_names);
        m_unsynced_changes.push_back(change);
        on_change(change.from.empty() ? "create " + change.to
                  : change.to.empty() ? "remove " + change.from
                                      : "rename " + change.from + " to " + change.to);
    }
    void Appended(std::size_t file, const char* data, std::size_t size) { m_files[file].written.append(data, size); }
    void Synced(std::size_t file) {
        m_files[file].synced = m_files[file].written.size();
        on_change("a sync");
    }

    std::vector<std::string> operations;
    std::function<void(const std::string&)> on_change = [](const std::string&) {};

  private:
    // Puts a file just opened under the model's watch.
    Status Wrapped(const Status& opened, const std::string& path, std::unique_ptr<ReadableFile>* file);

    struct File {
        std::string written;
        std::size_t synced;  // how much of `written` is on stable storage; files only grow
    };
    using Names = std::map<std::string, std::size_t>;

    static void Apply(const NameChange& change, Names* names) {
        names->erase(change.from);
        if (!change.to.empty()) {
            (*names)[change.to] = change.file;
        }
    }
    DirectoryView View(const Names& names, bool synced_only) const {
        DirectoryView view;
        for (const auto& [name, file] : names) {
            const File& content = m_files[file];
            view[name] = synced_only ? content.written.substr(0, content.synced) : content.written;
        }
        return view;
    }

    std::size_t m_fail_at;
    std::vector<File> m_files;
    Names m_names;
    Names m_synced_names;
    std::vector<NameChange> m_unsynced_changes;
};

template <typename Forwarding>
class FaultyFile : public Forwarding {
  public:
    template <typename Target>
    FaultyFile(Target target, FaultyDisk& disk, std::size_t file, std::string name)
        : Forwarding(std::move(target)), m_disk(disk), m_file(file), m_name(std::move(name)) {}

    Status Close() override {
        const Status closed = Forwarding::Close();
        return m_disk.Step("close", [&] { return closed; });
    }
    Status Identify(FileIdentity* identity) override {
        return m_disk.Step("identify", [&] { return Forwarding::Identify(identity); });
    }
    Status RenameTo(const std::string& to, bool replace) override {
        return m_disk.Step("rename", [&] {
            const Status status = Forwarding::RenameTo(to, replace);
            if (status.ok()) {
                m_disk.Change({m_name, NameOf(to), m_file});
                m_name = NameOf(to);
            }
            return status;
        });
    }

  protected:
    FaultyDisk& m_disk;
    std::size_t m_file;
    std::string m_name;
};

class FaultyReadableFile : public FaultyFile<ForwardingReadableFile> {
  public:
    using FaultyFile::FaultyFile;
    Status Read(char* buffer, std::size_t capacity, std::size_t* got) override {
        return m_disk.Step("read", [&] { return ForwardingReadableFile::Read(buffer, capacity, got); });
    }
};

class FaultyWritableFile : public FaultyFile<ForwardingWritableFile> {
  public:
    using FaultyFile::FaultyFile;
    Status Append(const char* data, std::size_t size) override {
        const Status status = m_disk.Step("write", [&] { return ForwardingWritableFile::Append(data, size); });
        if (!status.ok()) {
            size /= 2;
            ForwardingWritableFile::Append(data, size)
                .IgnoreError();  // half stored; the caller sees the injected failure
        }
        m_disk.Appended(m_file, data, size);
        return status;
    }
    Status Sync() override {
        return m_disk.Step("flush", [&] {
            const Status status = ForwardingWritableFile::Sync();
            if (status.ok()) {
                m_disk.Synced(m_file);
            }
            return status;
        });
    }
};

Status FaultyDisk::OpenForReading(const std::string& path, std::unique_ptr<ReadableFile>* file) {
    return Step("open", [&] { return Wrapped(ForwardingFileSystem::OpenForReading(path, file), path, file); });
}

Status FaultyDisk::OpenForReadingNoFollow(const std::string& path, std::unique_ptr<ReadableFile>* file) {
    return Step("open", [&] { return Wrapped(ForwardingFileSystem::OpenForReadingNoFollow(path, file), path, file); });
}

Status FaultyDisk::Wrapped(const Status& opened, const std::string& path, std::unique_ptr<ReadableFile>* file) {
    if (opened.ok()) {
        const auto found = m_names.find(NameOf(path));
        EXPECT_NE(found, m_names.end()) << "the model does not know " << path;
        const std::size_t known = found == m_names.end() ? 0 : found->second;
        *file = std::make_unique<FaultyReadableFile>(std::move(*file), *this, known, NameOf(path));
    }
    return opened;
}

Status FaultyDisk::CreateNew(const std::string& path, std::unique_ptr<WritableFile>* file) {
    return Step("create", [&] {
        const Status status = ForwardingFileSystem::CreateNew(path, file);
        if (status.ok()) {
            m_files.push_back({"", 0});
            *file = std::make_unique<FaultyWritableFile>(std::move(*file), *this, m_files.size() - 1, NameOf(path));
            Change({"", NameOf(path), m_files.size() - 1});
        }
        return status;
    });
}

// Runs `on_success` the moment success is reported.
class CheckingReporter : public RecordingReporter {
  public:
    void Succeeded(const std::string& text) override {
        RecordingReporter::Succeeded(text);
        on_success();
    }
    std::function<void()> on_success = [] {};
};

struct Case {
    const char* name;
    std::string input;
    DirectoryView backups;  // older backups, by name
    std::uint32_t milliseconds;
    const char* kept;  // where the one named kOriginal goes
};

std::vector<Case> Cases() {
    const std::string film = "1\n00:00:01,500 --> 00:00:03,000\nHello\n\n2\n00:00:04,000 --> 00:00:05,000\nWorld\n";
    std::string cues;  // several blocks with a time in every cue: every line of the result differs
    for (int cue = 1; cues.size() < 600 * 1024; ++cue) {
        const std::string time = "00:00:" + std::to_string(10 + cue % 50) + ",";
        cues += std::to_string(cue) + "\n" + time + "100 --> " + time + "900\nCue " + std::to_string(cue) + "\n\n";
    }
    const std::string older = "1\r\n00:00:09,000 --> 00:00:10,000\r\nAn older backup\r\n";
    return {
        {"no older backup", film, {}, 2000, kKept},
        {"an older backup", film, {{kOriginal, older}}, 2000, kKept},
        {"two older backups", film, {{kOriginal, older}, {kKept, "the oldest backup"}}, 2000, kKept2},
        {"several blocks", cues, {}, 1001, kKept},
        {"an empty file", "", {{kOriginal, "an older backup"}}, 0, kKept},  // an offset would find no cue time
    };
}

// Writes the input of `test`, and its old backup if any, into `dir`.
const TempDir& Prepared(const TempDir& dir, const Case& test) {
    WriteWholeFile(dir.File(kInput), test.input);
    for (const auto& [name, content] : test.backups) {
        WriteWholeFile(dir.File(name), content);
    }
    return dir;
}

// A run of `test` in a fresh directory on a FaultyDisk that fails call `fail_at`.
struct RunOnDisk {
    RunOnDisk(const Case& test, std::size_t fail_at) : test(test), disk(Prepared(dir, test), fail_at) {}
    RunOutcome Go() {
        SyncSettings settings;
        settings.m_strInputFile = dir.File(kInput);
        settings.m_nDirection = 0;
        settings.m_nMilliseconds = test.milliseconds;
        outcome = SynchronizeFile(settings, reporter, disk);
        EXPECT_TRUE(ReadDirectory(dir) == disk.CurrentView()) << "the model lost track of the disk";
        return outcome;
    }

    const Case& test;
    TempDir dir;
    FaultyDisk disk;
    CheckingReporter reporter;
    RunOutcome outcome = RunOutcome::kDone;
};

std::optional<std::string> At(const DirectoryView& view, const std::string& name) {
    const auto found = view.find(name);
    return found == view.end() ? std::nullopt : std::optional<std::string>(found->second);
}

// Empty when `view` is safe. Nothing but the input's names. Until success is reported: the input whole under its own
// name or its "_original" name; under its own name nothing but the input or the complete result; every older backup
// whole under its name, the one named "_original" perhaps under the name it is kept as. Once success is reported:
// the result under the input's name, the input under the "_original" name, the older backups kept.
std::string Problem(const DirectoryView& view, const Case& test, const std::string& result, bool succeeded) {
    DirectoryView final_view = test.backups;
    if (const auto older = At(final_view, kOriginal)) {
        final_view[test.kept] = *older;
    }
    final_view[kInput] = result;
    final_view[kOriginal] = test.input;
    for (const auto& entry : view) {
        if (entry.first != kTemporary && final_view.count(entry.first) == 0) {
            return entry.first + " left";
        }
    }
    if (succeeded) {
        return view == final_view ? "" : "not the final state";
    }
    const bool input_in_place = At(view, kInput) == test.input;
    const bool input_as_original = At(view, kOriginal) == test.input;
    if (!input_in_place && !input_as_original) {
        return "the input is lost";
    }
    if (At(view, kInput) && !input_in_place && At(view, kInput) != result) {
        return "a partial result under the input's name";
    }
    if (At(view, kOriginal) && !input_as_original && At(view, kOriginal) != At(test.backups, kOriginal)) {
        return "something else under the \"_original\" name";
    }
    for (const auto& [name, content] : test.backups) {
        const bool moved = name == kOriginal && At(view, test.kept) == content;
        if (At(view, name) != content && !moved) {
            return name + ", an older backup, is lost";
        }
    }
    return "";
}

// After a failed run: no success, one failure message, with the injected fault; the input safe (see Problem); the
// "_new" file gone unless it holds the complete result and the input has left its name; once the input has left its
// name, the complete result kept and a message that says where it and the original are.
void ExpectSafe(RunOnDisk& run, const std::string& result) {
    ASSERT_EQ(run.Go(), RunOutcome::kFileFailed);
    EXPECT_TRUE(run.reporter.successes.empty());
    ASSERT_EQ(run.reporter.failures.size(), 1u);
    const std::string& message = run.reporter.failures[0];
    EXPECT_NE(message.find("injected fault"), std::string::npos) << message;
    const DirectoryView view = ReadDirectory(run.dir);
    EXPECT_EQ(Problem(view, run.test, result, false), "") << message;
    const bool input_in_place = At(view, kInput) == run.test.input;
    const std::optional<std::string> at_temporary = At(view, kTemporary);
    if (at_temporary) {
        EXPECT_FALSE(input_in_place) << kTemporary << " left beside the untouched input: " << message;
        EXPECT_TRUE(at_temporary == result) << "a partial result left as " << kTemporary << ": " << message;
    }
    const auto older = At(run.test.backups, kOriginal);
    if (older && At(view, run.test.kept) == older) {
        EXPECT_NE(message.find(run.dir.File(run.test.kept)), std::string::npos)
            << "where is the older backup? " << message;
    }
    if (!input_in_place) {
        EXPECT_TRUE(At(view, kInput) == result || at_temporary == result) << "the result is lost: " << message;
        EXPECT_NE(message.find(run.dir.File(kOriginal)), std::string::npos) << "where is the original? " << message;
        EXPECT_NE(message.find(run.dir.File(at_temporary ? kTemporary : kInput)), std::string::npos)
            << "where is the result? " << message;
    }
}

TEST(FaultInjection, EveryFailingStepKeepsTheInput) {
    for (const Case& test : Cases()) {
        SCOPED_TRACE(test.name);
        RunOnDisk clean(test, 0);
        ASSERT_EQ(clean.Go(), RunOutcome::kDone);
        const std::string result = ReadWholeFile(clean.dir.File(kInput));
        const std::vector<std::string>& steps = clean.disk.operations;
        EXPECT_GE(steps.size(), 10u);  // open, read, create, write, flush, two renames, flush the directory, two closes
        for (std::size_t fail_at = 1; fail_at <= steps.size(); ++fail_at) {
            SCOPED_TRACE("failing step " + std::to_string(fail_at) + ": " + steps[fail_at - 1]);
            RunOnDisk run(test, fail_at);
            ExpectSafe(run, result);
        }
    }
}

// Checked against runs made to skip a step: without the Sync of the result, the cases with content fail (a partial
// result under the input's name); without the directory sync, or with success reported before it, every case fails
// (not the final state); with the older backup replaced by the input, the cases with one fail (it is lost).
TEST(CrashSimulation, ACrashAtAnyMomentLeavesTheInputWhole) {
    for (const Case& test : Cases()) {
        SCOPED_TRACE(test.name);
        RunOnDisk clean(test, 0);
        ASSERT_EQ(clean.Go(), RunOutcome::kDone);
        const std::string result = ReadWholeFile(clean.dir.File(kInput));
        RunOnDisk run(test, 0);
        bool failed = false;
        run.disk.on_change = [&](const std::string& moment) {
            for (const DirectoryView& view : run.disk.CrashViews()) {
                const std::string problem = Problem(view, test, result, !run.reporter.successes.empty());
                if (!problem.empty() && !failed) {
                    failed = true;  // one report per case is enough
                    ADD_FAILURE() << "a crash after " << moment << ": " << problem;
                }
            }
        };
        run.reporter.on_success = [&] { run.disk.on_change("the report of success"); };
        EXPECT_EQ(run.Go(), RunOutcome::kDone);
        EXPECT_EQ(run.reporter.successes.size(), 1u);
        EXPECT_EQ(Problem(ReadDirectory(run.dir), test, result, true), "");
    }
}

#ifndef _WIN32
// A real full disk: a tiny tmpfs, which needs the right to mount (root); skipped elsewhere.
TEST(FaultInjection, FullDiskKeepsTheInput) {
    TempDir dir;
    const std::string disk = dir.File("small");
    std::filesystem::create_directory(disk);
    if (mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "cannot mount a tmpfs here";
    }
    std::string content;
    while (content.size() < 40 * 1024) {
        content += "Hi\n";  // gains a CR when rewritten: 40 KB in, 53 KB out, more than the disk has left
    }
    SyncSettings settings;
    settings.m_strInputFile = disk + "/film.srt";
    WriteWholeFile(settings.m_strInputFile, content);
    RecordingReporter reporter;
    const RunOutcome outcome = SynchronizeFile(settings, reporter);
    const std::string after = ReadWholeFile(settings.m_strInputFile);
    const bool temporary_left = FileExists(disk + "/film_new.srt");
    umount(disk.c_str());

    EXPECT_EQ(outcome, RunOutcome::kFileFailed);
    ASSERT_EQ(reporter.failures.size(), 1u);
    EXPECT_NE(reporter.failures[0].find("No space left on device"), std::string::npos) << reporter.failures[0];
    EXPECT_EQ(after, content);
    EXPECT_FALSE(temporary_left);
}
#endif

}  // namespace
