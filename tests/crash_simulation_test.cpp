// Simulates a crash after every operation of a run and checks what the disk would be left holding.
#include <cstdint>
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

namespace {

const char kInput[] = "film.srt";
const char kOriginal[] = "film_original.srt";

// The files of a directory: name -> content.
using DirectoryView = std::map<std::string, std::string>;

DirectoryView ReadDirectory(const TempDir& dir) {
    DirectoryView view;
    for (const std::string& name : dir.List()) {
        view[name] = ReadWholeFile(dir.File(name));
    }
    return view;
}

// Passes every call on to the real file system, for the files of one directory, and keeps a model of what stable
// storage holds there: each file's content as of its last Sync, and the names as of the last SyncDirectory; what was
// there before the run counts as synced. The function given to CheckAfterEachOperation is called after every call
// of the file system or of a file it opened, with a description of the call.
class CrashSimulator : public ForwardingFileSystem {
  public:
    explicit CrashSimulator(const TempDir& dir) : ForwardingFileSystem(FileSystem::Default()), m_dir(dir) {
        for (const auto& [name, content] : ReadDirectory(dir)) {
            m_names[name] = m_files.size();
            m_files.push_back({content, content.size()});
        }
        m_synced_names = m_names;
    }

    void CheckAfterEachOperation(std::function<void(const std::string&)> check) { m_check = std::move(check); }

    // Every directory a crash right now could leave: the names as last synced with any number of the later changes
    // of names applied in order (as a journal replays them), each file cut to what was last synced.
    std::vector<DirectoryView> CrashViews() const {
        Names names = m_synced_names;
        std::vector<DirectoryView> views{View(names, true)};
        for (const NameChange& change : m_unsynced_changes) {
            Apply(change, &names);
            views.push_back(View(names, true));
        }
        return views;
    }
    // The directory as the model has it now, with everything written so far.
    DirectoryView CurrentView() const { return View(m_names, false); }

    Status OpenForReading(const std::string& path, std::unique_ptr<ReadableFile>* file) override;
    Status CreateNew(const std::string& path, std::unique_ptr<WritableFile>* file) override;
    bool Exists(const std::string& path) override {
        const bool exists = ForwardingFileSystem::Exists(path);
        After("look for " + Name(path), Status::OK()).IgnoreError();  // a look has no status to pass on
        return exists;
    }
    Status Remove(const std::string& path) override {
        const Status status = ForwardingFileSystem::Remove(path);
        if (status.ok()) {
            Change({Name(path), "", 0});
        }
        return After("remove " + Name(path), status);
    }
    Status Identify(const std::string& path, FileIdentity* identity) override {
        return After("identify " + Name(path), ForwardingFileSystem::Identify(path, identity));
    }
    Status ResolveLinks(const std::string& path, std::string* target) override {
        return After("resolve " + Name(path), ForwardingFileSystem::ResolveLinks(path, target));
    }
    Status SyncDirectory(const std::string& path) override {
        const Status status = ForwardingFileSystem::SyncDirectory(path);
        if (status.ok()) {
            m_synced_names = m_names;
            m_unsynced_changes.clear();
        }
        return After("sync the directory", status);
    }
    void CopyPermissions(const std::string& from, const std::string& to) override {
        ForwardingFileSystem::CopyPermissions(from, to);
        After("copy permissions to " + Name(to), Status::OK()).IgnoreError();  // nor has this best-effort step
    }
    Status CheckUsableName(const std::string& path) override {
        return After("check the name " + Name(path), ForwardingFileSystem::CheckUsableName(path));
    }

    // For the files handed out.
    std::string Name(const std::string& path) const {
        EXPECT_EQ(std::filesystem::path(path).parent_path(), std::filesystem::path(m_dir.path()))
            << "the run went outside its directory";
        return std::filesystem::path(path).filename().string();
    }
    void Appended(std::size_t file, const char* data, std::size_t size) { m_files[file].written.append(data, size); }
    void Synced(std::size_t file) { m_files[file].synced = m_files[file].written.size(); }
    void Renamed(const std::string& from, const std::string& to, std::size_t file) { Change({from, to, file}); }
    Status After(const std::string& operation, Status status) {
        std::vector<std::string> in_model;
        for (const auto& name : m_names) {
            in_model.push_back(name.first);
        }
        // The model must follow the disk, or its crash views mean nothing.
        if (!m_diverged && in_model != m_dir.List()) {
            m_diverged = true;
            ADD_FAILURE() << "after " << operation << " the simulation lost track of the names on disk";
        }
        if (m_check) {
            m_check(operation);
        }
        return status;
    }

  private:
    struct File {
        std::string written;
        std::size_t synced;  // how much of `written` is on stable storage; files only grow
    };
    // `from` loses its file (none when empty); `to` gets `file` (none when empty).
    struct NameChange {
        std::string from;
        std::string to;
        std::size_t file;
    };
    using Names = std::map<std::string, std::size_t>;

    static void Apply(const NameChange& change, Names* names) {
        names->erase(change.from);
        if (!change.to.empty()) {
            (*names)[change.to] = change.file;
        }
    }
    void Change(const NameChange& change) {
        Apply(change, &m_names);
        m_unsynced_changes.push_back(change);
    }
    DirectoryView View(const Names& names, bool synced_only) const {
        DirectoryView view;
        for (const auto& [name, file] : names) {
            const File& content = m_files[file];
            view[name] = synced_only ? content.written.substr(0, content.synced) : content.written;
        }
        return view;
    }

    const TempDir& m_dir;
    std::vector<File> m_files;
    Names m_names;
    Names m_synced_names;
    std::vector<NameChange> m_unsynced_changes;
    std::function<void(const std::string&)> m_check;
    bool m_diverged = false;
};

// A file of the run; what it does goes into the model of the simulator.
template <typename Forwarding>
class WatchedFile : public Forwarding {
  public:
    template <typename Target>
    WatchedFile(Target target, CrashSimulator& simulator, std::size_t file, std::string name)
        : Forwarding(std::move(target)), m_simulator(simulator), m_file(file), m_name(std::move(name)) {}

    Status Close() override { return m_simulator.After("close " + m_name, Forwarding::Close()); }
    Status Identify(FileIdentity* identity) override {
        return m_simulator.After("identify " + m_name, Forwarding::Identify(identity));
    }
    Status RenameTo(const std::string& to, bool replace) override {
        const std::string from = m_name;
        const Status status = Forwarding::RenameTo(to, replace);
        if (status.ok()) {
            m_name = m_simulator.Name(to);
            m_simulator.Renamed(from, m_name, m_file);
        }
        return m_simulator.After("rename " + from + " to " + m_simulator.Name(to), status);
    }

  protected:
    CrashSimulator& m_simulator;
    std::size_t m_file;
    std::string m_name;
};

class WatchedReadableFile : public WatchedFile<ForwardingReadableFile> {
  public:
    using WatchedFile::WatchedFile;
    Status Read(char* buffer, std::size_t capacity, std::size_t* got) override {
        return m_simulator.After("read " + m_name, ForwardingReadableFile::Read(buffer, capacity, got));
    }
};

class WatchedWritableFile : public WatchedFile<ForwardingWritableFile> {
  public:
    using WatchedFile::WatchedFile;
    Status Append(const char* data, std::size_t size) override {
        const Status status = ForwardingWritableFile::Append(data, size);
        if (status.ok()) {
            m_simulator.Appended(m_file, data, size);
        }
        return m_simulator.After("write to " + m_name, status);
    }
    Status Sync() override {
        const Status status = ForwardingWritableFile::Sync();
        if (status.ok()) {
            m_simulator.Synced(m_file);
        }
        return m_simulator.After("sync " + m_name, status);
    }
};

Status CrashSimulator::OpenForReading(const std::string& path, std::unique_ptr<ReadableFile>* file) {
    std::unique_ptr<ReadableFile> real;
    const Status status = ForwardingFileSystem::OpenForReading(path, &real);
    if (status.ok()) {
        // A name the model lacks has already been reported by After.
        const auto found = m_names.find(Name(path));
        if (found == m_names.end()) {
            m_files.push_back({"", 0});
        }
        const std::size_t known = found == m_names.end() ? m_files.size() - 1 : found->second;
        *file = std::make_unique<WatchedReadableFile>(std::move(real), *this, known, Name(path));
    }
    return After("open " + Name(path), status);
}

Status CrashSimulator::CreateNew(const std::string& path, std::unique_ptr<WritableFile>* file) {
    std::unique_ptr<WritableFile> real;
    const Status status = ForwardingFileSystem::CreateNew(path, &real);
    if (status.ok()) {
        m_files.push_back({"", 0});
        Change({"", Name(path), m_files.size() - 1});
        *file = std::make_unique<WatchedWritableFile>(std::move(real), *this, m_files.size() - 1, Name(path));
    }
    return After("create " + Name(path), status);
}

// Runs `on_success` the moment success is reported.
class CheckingReporter : public RecordingReporter {
  public:
    void Succeeded(const std::string& text) override {
        RecordingReporter::Succeeded(text);
        on_success();
    }

    std::function<void()> on_success;
};

// What a run starts from and what it must end with.
struct Contents {
    std::string input;
    std::optional<std::string> old_backup;
    std::string result;
};

// Each name of `view` and what it holds, for failure messages.
std::string Describe(const DirectoryView& view, const Contents& contents) {
    std::string text;
    for (const auto& [name, content] : view) {
        text += "\n  " + name + ": " +
                (content == contents.input        ? "the input"
                 : content == contents.result     ? "the result"
                 : content == contents.old_backup ? "the old backup"
                                                  : std::to_string(content.size()) + " other bytes");
    }
    return text;
}

// Until success is reported: the input whole under its own name or its "_original" name; under its own name nothing
// but the input or the complete result; under the "_original" name the old backup (when there was one) or the input.
testing::AssertionResult KeepsTheInput(const DirectoryView& view, const Contents& contents) {
    const auto input = view.find(kInput);
    const auto original = view.find(kOriginal);
    const bool input_in_place = input != view.end() && input->second == contents.input;
    const bool input_as_original = original != view.end() && original->second == contents.input;
    const bool backup_kept = original != view.end() && original->second == contents.old_backup;
    if (!input_in_place && !input_as_original) {
        return testing::AssertionFailure() << "the input is lost" << Describe(view, contents);
    }
    if (input != view.end() && !input_in_place && input->second != contents.result) {
        return testing::AssertionFailure() << "a partial result under the input's name" << Describe(view, contents);
    }
    if (contents.old_backup ? !backup_kept && !input_as_original : original != view.end() && !input_as_original) {
        return testing::AssertionFailure() << "the old backup is lost" << Describe(view, contents);
    }
    return testing::AssertionSuccess();
}

// Once success is reported: the result under the input's name, the input under the "_original" name, nothing else.
testing::AssertionResult IsFinal(const DirectoryView& view, const Contents& contents) {
    if (view != DirectoryView{{kInput, contents.result}, {kOriginal, contents.input}}) {
        return testing::AssertionFailure() << "not the final state" << Describe(view, contents);
    }
    return testing::AssertionSuccess();
}

struct Case {
    const char* name;
    std::string input;
    std::optional<std::string> old_backup;
    std::uint32_t milliseconds;
};

// Several read and write blocks with LF line ends and a time in every cue: every line of the result differs.
std::string ManyCues() {
    std::string text;
    for (int cue = 1; text.size() < 600 * 1024; ++cue) {
        const std::string time = "00:00:" + std::to_string(10 + cue % 50) + ",";
        text += std::to_string(cue) + "\n" + time + "100 --> " + time + "900\nCue " + std::to_string(cue) + "\n\n";
    }
    return text;
}

SyncSettings SettingsFor(const Case& test, const std::string& input) {
    SyncSettings settings;
    settings.m_strInputFile = input;
    settings.m_nDirection = 0;
    settings.m_nMilliseconds = test.milliseconds;
    return settings;
}

// The run's result when nothing watches it.
std::string ResultOf(const Case& test) {
    TempDir dir;
    WriteWholeFile(dir.File(kInput), test.input);
    RecordingReporter reporter;
    EXPECT_EQ(SynchronizeFile(SettingsFor(test, dir.File(kInput)), reporter), RunOutcome::kDone);
    return ReadWholeFile(dir.File(kInput));
}

// Checked against a run made to skip a step: without the Sync of the result, the cases with content fail ("a partial
// result under the input's name" after the second rename); without the directory sync, or with success reported
// before it, every case fails ("not the final state"); with the old backup removed before the input is renamed onto
// its name, the cases with an old backup fail ("the old backup is lost").
TEST(CrashSimulation, ACrashAtAnyMomentLeavesTheInputWhole) {
    const std::string film = "1\n00:00:01,500 --> 00:00:03,000\nHello\n\n2\n00:00:04,000 --> 00:00:05,000\nWorld\n";
    const Case cases[] = {
        {"no old backup", film, std::nullopt, 2000},
        {"an old backup", film, "1\r\n00:00:09,000 --> 00:00:10,000\r\nAn older backup\r\n", 2000},
        {"every line changes", ManyCues(), std::nullopt, 1001},
        {"an empty file", "", "an older backup", 1000},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        const Contents contents{test.input, test.old_backup, ResultOf(test)};
        TempDir dir;
        WriteWholeFile(dir.File(kInput), test.input);
        if (test.old_backup) {
            WriteWholeFile(dir.File(kOriginal), *test.old_backup);
        }
        CrashSimulator simulator(dir);
        CheckingReporter reporter;
        bool failed = false;
        const auto check = [&](const std::string& moment) {
            for (const DirectoryView& view : simulator.CrashViews()) {
                const testing::AssertionResult safe =
                    reporter.successes.empty() ? KeepsTheInput(view, contents) : IsFinal(view, contents);
                if (!safe && !failed) {
                    failed = true;  // one report per case is enough
                    ADD_FAILURE() << "a crash after " << moment << ": " << safe.message();
                }
            }
        };
        simulator.CheckAfterEachOperation(check);
        reporter.on_success = [&] { check("the report of success"); };

        EXPECT_EQ(SynchronizeFile(SettingsFor(test, dir.File(kInput)), reporter, simulator), RunOutcome::kDone);
        EXPECT_EQ(reporter.successes.size(), 1u);
        const DirectoryView on_disk = ReadDirectory(dir);
        EXPECT_TRUE(IsFinal(on_disk, contents));
        EXPECT_TRUE(on_disk == simulator.CurrentView()) << "the simulation lost track of the content on disk";
    }
}

}  // namespace
