#include "engine/synchronize_file.h"

#include <string_view>

#include "engine/rewrite_stream.h"

const char kUnrecognizedFormatMessage[] = "Unrecognized subtitle format";

namespace {

constexpr std::size_t kExtensionLength = 4;  // a dot and three characters
const char kDoneText[] = "Done - original file is stored as\n";

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool HasSubtitleExtension(const std::string& path) {
    return path.size() >= kExtensionLength && path[path.size() - kExtensionLength] == '.' &&
           IsSubtitleExtension(std::string_view(path).substr(path.size() - kExtensionLength + 1));
}

bool IsWebVttName(const std::string& path) {
    return path.size() >= 3 && Lower(path[path.size() - 3]) == 'v' && Lower(path[path.size() - 2]) == 't' &&
           Lower(path[path.size() - 1]) == 't';
}

std::string InsertBeforeExtension(const std::string& path, const char* tag) {
    std::string name = path;
    name.insert(path.size() < kExtensionLength ? path.size() : path.size() - kExtensionLength, tag);
    return name;
}

// The three names of a run: the input, the result while it is written, the kept original.
struct RunNames {
    explicit RunNames(const std::string& path)
        : input(path), temporary(TemporaryName(path)), original(OriginalName(path)) {}
    std::string input;
    std::string temporary;
    std::string original;
};

bool IsRefusal(Status::Code code) {
    return code == Status::Code::kUnsupported || code == Status::Code::kNameTooLong ||
           code == Status::Code::kNotRegularFile || code == Status::Code::kExists;
}

// One run on files. Every step that can fail returns a Status; Fail() then puts the directory back as far as it
// can and tells the user where every content is.
class FileRun {
  public:
    FileRun(const SyncSettings& settings, RunReporter& reporter, FileSystem& file_system)
        : m_settings(settings),
          m_reporter(reporter),
          m_fs(file_system),
          m_names(settings.m_strInputFile),
          m_given_names(settings.m_strInputFile) {}

    RunOutcome Run();

  private:
    Status CheckNames(const RunNames& names);
    Status FindInput();
    Status OpenFiles();
    Status CheckNoNameLeadsToTheInput();
    Status WriteResult(LineRewriter& rewriter);
    RunOutcome Fail(const Status& status, const std::string& where = std::string());
    std::string InterruptedRunHint();
    std::string OtherNamesNote();

    const SyncSettings& m_settings;
    RunReporter& m_reporter;
    FileSystem& m_fs;
    RunNames m_names;        // beside the file the input name leads to
    RunNames m_given_names;  // beside the input name itself, when that is a link
    std::unique_ptr<ReadableFile> m_input;
    std::unique_ptr<ReadableFile> m_old_backup;
    std::unique_ptr<WritableFile> m_result;
    FileIdentity m_input_identity;
};

Status FileRun::CheckNames(const RunNames& names) {
    if (!HasSubtitleExtension(names.input)) {
        return Status::Error(Status::Code::kUnsupported, kUnrecognizedFormatMessage);
    }
    for (const std::string* name : {&names.input, &names.temporary, &names.original}) {
        Status usable = m_fs.CheckUsableName(*name);
        if (!usable.ok()) {
            return usable;
        }
    }
    return Status::OK();
}

// A symbolic link is followed: the run works beside the file it leads to, so that the link keeps leading to the
// re-timed file.
Status FileRun::FindInput() {
    Status status = CheckNames(m_names);
    if (!status.ok()) {
        return status;
    }
    std::string target;
    status = m_fs.ResolveLinks(m_names.input, &target);
    if (status.code() == Status::Code::kNotFound || (status.ok() && target == m_names.input)) {
        return Status::OK();  // a missing input is reported when it is opened
    }
    if (!status.ok()) {
        return status;
    }
    if (!HasSubtitleExtension(target)) {
        return Status::Error(Status::Code::kUnsupported, "Cannot synchronize " + m_names.input + ": it is a link to " +
                                                             target +
                                                             ", whose name does not end in .srt, .sub or .vtt");
    }
    m_names = RunNames(target);
    return CheckNames(m_names);
}

Status FileRun::OpenFiles() {
    Status status = m_fs.OpenForReading(m_names.input, &m_input);
    if (!status.ok()) {
        return status.code() == Status::Code::kNotFound
                   ? Status::Error(status.code(), status.message() + InterruptedRunHint())
                   : status;
    }
    status = CheckNoNameLeadsToTheInput();
    if (!status.ok()) {
        return status;
    }
    // An old backup is held too, so that a program using it is not pulled from under it.
    if (m_fs.Exists(m_names.original)) {
        status = m_fs.OpenForReading(m_names.original, &m_old_backup);
        if (!status.ok() && status.code() != Status::Code::kNotFound) {
            return status;
        }
    }
    status = m_fs.CreateNew(m_names.temporary, &m_result);
    if (status.code() == Status::Code::kExists) {
        return Status::Error(status.code(), status.message() +
                                                " (left by an interrupted run, or one of yours); move it away and "
                                                "try again");
    }
    return status;
}

// A backup or result name that leads to the input itself (a link made to undo a run, say) would lose it in the
// renames. Checked once the input is held, so that no other run can move it meanwhile.
Status FileRun::CheckNoNameLeadsToTheInput() {
    Status status = m_input->Identify(&m_input_identity);
    if (!status.ok()) {
        return status;
    }
    for (const RunNames* names : {&m_given_names, &m_names}) {
        for (const std::string* name : {&names->original, &names->temporary}) {
            FileIdentity other;
            status = m_fs.Identify(*name, &other);
            if (!status.ok() && status.code() != Status::Code::kNotFound) {
                return status;
            }
            if (status.ok() && other.SameFileAs(m_input_identity)) {
                return Status::Error(Status::Code::kUnsupported,
                                     "Cannot synchronize " + m_given_names.input + ": it is the same file as " + *name +
                                         " (one name is a link to the other); nothing was changed");
            }
        }
    }
    return Status::OK();
}

Status FileRun::WriteResult(LineRewriter& rewriter) {
    m_result->CopyAccess(m_input_identity.access);
    Status status = RewriteStream(*m_input, m_names.input, *m_result, rewriter);
    return status.ok() ? m_result->Sync() : status;
}

std::string FileRun::InterruptedRunHint() {
    const bool original = m_fs.Exists(m_names.original);
    const bool result = m_fs.Exists(m_names.temporary);
    if (original && result) {
        return "\nAn earlier run was interrupted: the original is stored as " + m_names.original +
               " and the result as " + m_names.temporary;
    }
    if (original) {
        return "\nAn earlier run was interrupted: the original is stored as " + m_names.original;
    }
    if (result) {
        return "\nAn earlier run was interrupted: its result is stored as " + m_names.temporary;
    }
    return std::string();
}

std::string FileRun::OtherNamesNote() {
    if (m_input_identity.links <= 1) {
        return std::string();
    }
    const std::uint64_t others = m_input_identity.links - 1;
    return others == 1 ? "\n1 other name of this file (a hard link) keeps the old content"
                       : "\n" + std::to_string(others) + " other names of this file (hard links) keep the old content";
}

// Before the first rename (`where` empty) the input is untouched: the unfinished result is removed. After it,
// `where` says where the original and the result are.
RunOutcome FileRun::Fail(const Status& status, const std::string& where) {
    // The files are only released here: `status` is the failure to report, and one in releasing them would change
    // nothing that the user must know. Whether the unfinished result is gone is checked by looking, since a remove
    // can report success while the file stays (Wine).
    std::string text = status.message();
    if (where.empty() && m_result != nullptr) {
        m_result->Close().IgnoreError();
        m_result.reset();
        m_fs.Remove(m_names.temporary).IgnoreError();
        if (m_fs.Exists(m_names.temporary)) {
            text += "\nThe unfinished result " + m_names.temporary + " could not be removed; remove it yourself";
        }
    }
    if (m_input != nullptr) {
        m_input->Close().IgnoreError();
    }
    if (m_old_backup != nullptr) {
        m_old_backup->Close().IgnoreError();
    }
    if (where.empty() && IsRefusal(status.code())) {
        m_reporter.Refused(text);
        return RunOutcome::kRefused;
    }
    m_reporter.FileFailed(text + where);
    return RunOutcome::kFileFailed;
}

RunOutcome FileRun::Run() {
    if (!m_settings.ValidateWindow()) {
        m_reporter.Refused(kWindowMessage);
        return RunOutcome::kRefused;
    }
    Status status = FindInput();
    if (status.ok()) {
        status = OpenFiles();
    }
    LineRewriter rewriter(m_settings, IsWebVttName(m_names.input) ? SubtitleFormat::kWebVtt : SubtitleFormat::kSubRip);
    if (status.ok()) {
        status = WriteResult(rewriter);
    }
    if (!status.ok()) {
        return Fail(status);
    }
    // The old backup is let go only now: a replacing rename must not find it open (Windows).
    if (m_old_backup != nullptr) {
        status = m_old_backup->Close();
        m_old_backup.reset();
        if (!status.ok()) {
            return Fail(status);
        }
    }
    status = m_input->RenameTo(m_names.original, /*replace=*/true);
    if (!status.ok()) {
        return Fail(status);
    }
    status = m_result->RenameTo(m_names.input, /*replace=*/false);
    if (!status.ok()) {
        return Fail(status,
                    "\nThe original is stored as " + m_names.original + " and the result as " + m_names.temporary);
    }
    const std::string where = "\nThe original is stored as " + m_names.original + " and the result as " + m_names.input;
    status = m_fs.SyncDirectory(m_names.input);
    if (status.ok()) {
        status = m_result->Close();
    }
    if (status.ok()) {
        status = m_input->Close();
    }
    if (!status.ok()) {
        return Fail(status, where);
    }
    m_reporter.Succeeded(kDoneText + m_names.original + RewriteNotes(m_settings, rewriter) + OtherNamesNote());
    return RunOutcome::kDone;
}

}  // namespace

bool IsSubtitleExtension(std::string_view extension) {
    if (extension.size() != kExtensionLength - 1) {
        return false;
    }
    const char folded[] = {Lower(extension[0]), Lower(extension[1]), Lower(extension[2])};
    const std::string_view name(folded, sizeof folded);
    return name == "srt" || name == "sub" || name == "vtt";
}

std::string TemporaryName(const std::string& path) {
    return InsertBeforeExtension(path, "_new");
}

std::string OriginalName(const std::string& path) {
    return InsertBeforeExtension(path, "_original");
}

RunOutcome SynchronizeFile(const SyncSettings& settings, RunReporter& reporter, FileSystem& file_system) {
    return FileRun(settings, reporter, file_system).Run();
}

RunOutcome SynchronizeStream(const SyncSettings& settings,
                             ReadableFile& input,
                             WritableFile& output,
                             RunReporter& reporter) {
    if (!settings.ValidateWindow()) {
        reporter.Refused(kWindowMessage);
        return RunOutcome::kRefused;
    }
    LineRewriter rewriter(settings, SubtitleFormat::kDetect);
    const Status status = RewriteStream(input, "standard input", output, rewriter);
    if (!status.ok()) {
        if (IsRefusal(status.code())) {
            reporter.Refused(status.message());
            return RunOutcome::kRefused;
        }
        reporter.FileFailed(status.message());
        return RunOutcome::kFileFailed;
    }
    const std::string notes = RewriteNotes(settings, rewriter);
    reporter.Succeeded(notes.empty() ? notes : notes.substr(1));
    return RunOutcome::kDone;
}
