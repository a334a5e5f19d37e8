#include "engine/restore_file.h"

#include <memory>

#include "engine/run_names.h"

namespace {

class RestoreRun {
  public:
    RestoreRun(const std::string& path, RunReporter& reporter, FileSystem& file_system)
        : m_input(path), m_reporter(reporter), m_fs(file_system) {}

    RunOutcome Run();

  private:
    Status FindNames();
    Status HoldFiles();
    Status CheckLeadsTo(const std::string& name, HeldFile* file);
    RunOutcome Fail(const Status& status, const std::string& where = std::string());

    std::string m_input;
    std::string m_original;
    std::string m_kept;  // the newest "_original-N", or empty
    RunReporter& m_reporter;
    FileSystem& m_fs;
    std::unique_ptr<ReadableFile> m_current;  // the re-timed file, when there is one
    std::unique_ptr<ReadableFile> m_backup;
    std::unique_ptr<ReadableFile> m_older;
};

Status RestoreRun::FindNames() {
    if (IsDirectory(m_input)) {
        return FileError(Status::Code::kNotRegularFile, "Cannot restore", m_input, kFolderReason);
    }
    if (!HasSubtitleExtension(m_input)) {
        return Status::Error(Status::Code::kUnsupported, "Unrecognized subtitle format");
    }
    std::string target;
    Status status = m_fs.ResolveLinks(m_input, &target);
    if (status.ok()) {
        m_input = target;
    } else if (status.code() != Status::Code::kNotFound) {
        return status;
    }
    m_original = OriginalName(m_input);
    for (const std::string& name : {m_input, m_original}) {
        status = m_fs.CheckUsableName(name);
        if (!status.ok()) {
            return status;
        }
    }
    // Backups are numbered from 1 without gaps, the newest highest.
    for (int number = 1; m_fs.Exists(KeptName(m_input, number)); ++number) {
        m_kept = KeptName(m_input, number);
    }
    return Status::OK();
}

Status RestoreRun::HoldFiles() {
    Status status = m_fs.OpenForReadingNoFollow(m_original, &m_backup);
    if (status.code() == Status::Code::kNotFound) {
        return Status::Error(Status::Code::kUnsupported, "Cannot restore " + m_input + ": there is no backup of it (" +
                                                             m_original + ") to put back");
    }
    if (!status.ok()) {
        return status;
    }
    status = m_fs.OpenForReading(m_input, &m_current);
    if (status.code() == Status::Code::kNotFound) {
        m_current.reset();
        status = Status::OK();
    }
    if (status.ok() && !m_kept.empty()) {
        status = m_fs.OpenForReadingNoFollow(m_kept, &m_older);
    }
    for (const auto& [name, file] : {std::pair<const std::string&, HeldFile*>{m_input, m_current.get()},
                                     {m_original, m_backup.get()},
                                     {m_kept, m_older.get()}}) {
        if (status.ok() && file != nullptr) {
            status = CheckLeadsTo(name, file);
        }
    }
    return status;
}

// OK when `name` still leads to `file`: a file of another program's put there meanwhile stops the undo.
Status RestoreRun::CheckLeadsTo(const std::string& name, HeldFile* file) {
    const Status status = CheckNameLeadsTo(m_fs, name, *file);
    return status.code() == Status::Code::kChanged
               ? Status::Error(status.code(), name +
                                                  " was changed by another program meanwhile; nothing was changed; "
                                                  "run again")
               : status;
}

RunOutcome RestoreRun::Fail(const Status& status, const std::string& where) {
    // Released only here: `status` is what the user must know, and a failure to let go would change nothing of it.
    for (HeldFile* file : {static_cast<HeldFile*>(m_current.get()), static_cast<HeldFile*>(m_backup.get()),
                           static_cast<HeldFile*>(m_older.get())}) {
        if (file != nullptr) {
            file->Close().IgnoreError();
        }
    }
    const Status::Code code = status.code();
    if (where.empty() && (code == Status::Code::kUnsupported || code == Status::Code::kNotRegularFile ||
                          code == Status::Code::kNameTooLong || code == Status::Code::kChanged)) {
        m_reporter.Refused(status.message());
        return RunOutcome::kRefused;
    }
    m_reporter.FileFailed(status.message() + where);
    return RunOutcome::kFileFailed;
}

RunOutcome RestoreRun::Run() {
    Status status = FindNames();
    if (status.ok()) {
        status = HoldFiles();
    }
    if (!status.ok()) {
        return Fail(status);
    }
    // The re-timed file is let go just before its name is taken: Windows replaces no file that is open, even by us.
    const bool replace = m_current != nullptr;
    if (replace) {
        status = m_current->Close();
        m_current.reset();
    }
    if (status.ok()) {
        status = m_backup->RenameTo(m_input, replace);
    }
    if (!status.ok()) {
        return Fail(status);
    }
    std::string headline = "Done - " + m_input + " is back as it was before the last run";
    if (m_older != nullptr) {
        status = m_older->RenameTo(m_original, /*replace=*/false);
        if (!status.ok()) {
            return Fail(status,
                        "\n" + m_input + " is back as it was before the last run; the older backup is still " + m_kept);
        }
        headline += "\n" + m_kept + " is " + m_original + " again";
    }
    status = m_fs.SyncDirectory(m_input);
    for (HeldFile* file : {static_cast<HeldFile*>(m_backup.get()), static_cast<HeldFile*>(m_older.get())}) {
        if (status.ok() && file != nullptr) {
            status = file->Close();
        }
    }
    if (!status.ok()) {
        return Fail(status, "\n" + m_input + " is back as it was before the last run");
    }
    RunReport report;
    report.headline = headline;
    m_reporter.Done(report);
    return RunOutcome::kDone;
}

}  // namespace

RunOutcome RestoreFile(const std::string& path, RunReporter& reporter, FileSystem& file_system) {
    return RestoreRun(path, reporter, file_system).Run();
}
