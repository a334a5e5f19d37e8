#include "engine/synchronize_file.h"

#include <string_view>

#include "engine/cue_starts.h"
#include "engine/rewrite_stream.h"
#include "engine/timing_line.h"

const char kUnrecognizedFormatMessage[] = "Unrecognized subtitle format";

namespace {

const char kDoneText[] = "Done - original file is stored as\n";
const char kOutputDoneText[] = "Done - the result is stored as\n";
const char kPreviewText[] = "Nothing was written: this was a dry run";

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
           code == Status::Code::kNotRegularFile || code == Status::Code::kExists || code == Status::Code::kChanged;
}

// One run on files. Every step that can fail returns a Status; Fail() then puts the directory back as far as it
// can and tells the user where every content is.
class FileRun {
  public:
    FileRun(const SyncSettings& settings, RunReporter& reporter, FileSystem& file_system, const RunTarget& target)
        : m_settings(settings),
          m_reporter(reporter),
          m_fs(file_system),
          m_target(target),
          m_names(settings.m_strInputFile),
          m_given_names(settings.m_strInputFile) {}

    RunOutcome Run();

  private:
    Status CheckNames(const RunNames& names);
    std::string RenameHint(const std::string& path);
    Status FindInput();
    Status OpenFiles();
    Status CheckOutput();
    bool AskedForNothingThatApplies(const LineRewriter& rewriter) const;
    RunOutcome FinishInPlace(const LineRewriter& rewriter);
    RunOutcome FinishOutput(const LineRewriter& rewriter);
    RunOutcome FinishPreview(const LineRewriter& rewriter);
    Status MissingInput(const Status& status);
    Status CheckNoNameLeadsToTheInput();
    Status HoldOlderBackup();
    Status WriteResult(LineRewriter& rewriter);
    Status FindDriftFromCues();
    Status MatchReference();
    RunReport Report(const LineRewriter& rewriter, const std::string& headline) const;
    Status CheckNothingChangedMeanwhile();
    Status CheckLeadsTo(const std::string& name, HeldFile& file);
    Status KeepOlderBackup();
    Status PutBackOlderBackup();
    Status ChangedMeanwhile(const std::string& path) const;
    RunOutcome Fail(const Status& status, const std::string& where = std::string());
    std::string InterruptedRunHint();
    std::string OtherNamesNote();
    std::string KeptName() const;
    std::string KeptNote() const;

    SyncSettings m_settings;  // with the drift correction a run finds in the file itself, or by matching
    CueMatch m_match;         // when matched to a reference
    RunReporter& m_reporter;
    FileSystem& m_fs;
    const RunTarget& m_target;
    RunNames m_names;        // beside the file the input name leads to
    RunNames m_given_names;  // beside the input name itself, when that is a link
    std::unique_ptr<ReadableFile> m_input;
    std::unique_ptr<ReadableFile> m_old_backup;
    std::unique_ptr<WritableFile> m_result;
    FileIdentity m_input_identity;  // as the run found it, before reading
    int m_kept_number = 0;          // the older backup goes, or went, to NAME_original-N.EXT with this N
    bool m_kept = false;            // whether it is there now
    bool m_input_moved = false;     // whether the input has left its name
};

Status FileRun::CheckNames(const RunNames& names) {
    if (IsDirectory(names.input)) {
        return FileError(Status::Code::kNotRegularFile, "Cannot open", names.input, kFolderReason);
    }
    if (!HasSubtitleExtension(names.input)) {
        return Status::Error(Status::Code::kUnsupported, kUnrecognizedFormatMessage + RenameHint(names.input));
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
        return status.code() == Status::Code::kNotFound ? MissingInput(status) : status;
    }
    status = CheckNoNameLeadsToTheInput();
    if (!status.ok() || m_target.kind == RunTarget::Kind::kPreview) {
        return status;
    }
    status = m_target.kind == RunTarget::Kind::kOutputFile ? CheckOutput() : HoldOlderBackup();
    if (!status.ok()) {
        return status;
    }
    status = m_fs.CreateNew(m_names.temporary, &m_result);
    if (status.code() == Status::Code::kExists) {
        return Status::Error(status.code(), status.message() +
                                                " (left by an interrupted run, or one of yours); move it away and "
                                                "try again");
    }
    return status;
}

// An offset or a window was asked and not one cue time was found (MicroDVD frames, an empty or a broken file), and
// nothing else asked applies: cue numbers are only those before a cue time, and the switch is off. Rewriting the
// file would change nothing but its line ends.
// A run that asked to move times or fix right-to-left lines, where the file has neither, and asked nothing that
// always applies (switching every line, converting to UTF-8).
bool FileRun::AskedForNothingThatApplies(const LineRewriter& rewriter) const {
    const bool times_asked = m_settings.MovesTimes();
    const bool fix_asked = m_settings.m_rtlFix != RtlFixMode::kOff;
    const bool times_apply = times_asked && rewriter.TimingLines() > 0;
    const bool fix_applies = fix_asked && rewriter.Fixer().LinesWithRightToLeft() > 0;
    return (times_asked || fix_asked) && !times_apply && !fix_applies && m_settings.m_bSwitchOrientation == 0 &&
           m_settings.m_bToUtf8 == 0;
}

// The output file of a run that writes elsewhere: a name the system takes, not a folder, not the input itself, and
// free unless it may be replaced. Its result is written beside it under its "_new" name first.
Status FileRun::CheckOutput() {
    const std::string& output = m_target.output;
    m_names.temporary = TemporaryName(output);
    for (const std::string& name : {output, m_names.temporary}) {
        Status usable = m_fs.CheckUsableName(name);
        if (!usable.ok()) {
            return usable;
        }
    }
    if (IsDirectory(output)) {
        return FileError(Status::Code::kNotRegularFile, "Cannot write", output, kFolderReason);
    }
    FileIdentity existing;
    const Status status = m_fs.Identify(output, &existing);
    if (status.ok() && existing.SameFileAs(m_input_identity)) {
        return FileError(Status::Code::kUnsupported, "Cannot write", output,
                         "it is the input itself; leave out the output file to re-time the input in place");
    }
    if ((status.ok() || m_fs.Exists(output)) && !m_target.replace_output) {
        return FileError(Status::Code::kExists, "Cannot write", output,
                         "a file of that name already exists (give --force to replace it)");
    }
    return status.ok() || status.code() == Status::Code::kNotFound ? Status::OK() : status;
}

// For a name without a subtitle extension: a hint to rename it when its first block of text looks like SubRip or
// WebVTT; empty otherwise. Only looks: the file is not held, and a file that cannot be read gets no hint.
std::string FileRun::RenameHint(const std::string& path) {
    std::unique_ptr<ReadableFile> file;
    char buffer[4096];
    std::size_t got = 0;
    if (!m_fs.OpenForReading(path, &file).ok() || !file->Read(buffer, sizeof buffer, &got).ok()) {
        return std::string();
    }
    file->Close().IgnoreError();  // only read
    std::string_view head(buffer, got);
    if (head.substr(0, 3) == "\xEF\xBB\xBF") {
        head.remove_prefix(3);
    }
    if (head.substr(0, 6) == "WEBVTT") {
        return "; it looks like WebVTT: rename it to .vtt to re-time it";
    }
    for (std::size_t start = 0; start < head.size();) {
        const std::size_t end = std::min(head.find('\n', start), head.size());
        std::string_view line = head.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        TimingLine timing;
        if (ParseTimingLine(line, /*hours_optional=*/false, &timing)) {
            return "; it looks like SubRip: rename it to .srt to re-time it";
        }
        start = end + 1;
    }
    return std::string();
}

// A missing input may be one that another run has renamed to its backup name and is about to replace with its
// result: it still holds both files then. Only when neither is held was an earlier run interrupted.
Status FileRun::MissingInput(const Status& status) {
    if (m_fs.IsHeld(m_names.original) || m_fs.IsHeld(m_names.temporary)) {
        return FileError(Status::Code::kInUse, "Cannot open", m_names.input,
                         "another run is re-timing " + m_names.input + "; run again when it has finished");
    }
    return Status::Error(status.code(), status.message() + InterruptedRunHint());
}

// An older backup is held from here until it has its new name, so that neither a program using it nor a run
// re-timing it is pulled from under it. Only a regular file is kept: a folder or a link there is somebody else's.
// Its new name is chosen now, so that a name too long for the system is refused before anything is written.
Status FileRun::HoldOlderBackup() {
    if (!m_fs.Exists(m_names.original)) {
        return Status::OK();
    }
    Status status = m_fs.OpenForReadingNoFollow(m_names.original, &m_old_backup);
    if (status.code() == Status::Code::kNotFound) {
        return Status::OK();  // gone meanwhile: nothing to keep
    }
    if (!status.ok()) {
        return status;
    }
    for (m_kept_number = 1; m_fs.Exists(KeptName()); ++m_kept_number) {
    }
    return m_fs.CheckUsableName(KeptName());
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

// Reads the held input once for the start of its first and last cue, and sets the correction that takes them where
// the user asked; then the input is read again from its start for the run itself.
Status FileRun::FindDriftFromCues() {
    SyncSettings reading = m_settings;
    reading.m_drift = TimeTransform();
    reading.m_nHours = reading.m_nMinutes = reading.m_nSeconds = reading.m_nMilliseconds = 0;
    reading.m_bBetweenTimes = 0;
    reading.m_bSwitchOrientation = 0;
    reading.m_rtlFix = RtlFixMode::kOff;
    reading.m_bToUtf8 = 0;
    LineRewriter cues(reading, IsWebVttName(m_names.input) ? SubtitleFormat::kWebVtt : SubtitleFormat::kSubRip);
    DiscardingFile nowhere;
    Status status = RewriteStream(*m_input, m_names.input, nowhere, cues);
    if (status.ok()) {
        status = m_input->Rewind();
    }
    if (!status.ok()) {
        return status;
    }
    const CueSpans& spans = cues.Spans();
    if (!spans.found) {
        return Status::Error(Status::Code::kUnsupported,
                             "No cue times were found in " + m_names.input + ", so it was left as it is");
    }
    const std::uint32_t first = spans.first_before.start;
    const std::uint32_t last = spans.last_before.start;
    const TimeTransform speed = m_settings.m_drift;  // a frame-rate change, or speed 1
    if (m_settings.m_firstCueAt >= 0 && m_settings.m_lastCueAt >= 0) {
        if (first == last) {
            return Status::Error(Status::Code::kUnsupported,
                                 "Cannot correct " + m_names.input +
                                     " from its first and last cue: they start at the same time; nothing was changed");
        }
        m_settings.m_drift = TimeTransform::ThroughPoints(first, static_cast<std::uint32_t>(m_settings.m_firstCueAt),
                                                          last, static_cast<std::uint32_t>(m_settings.m_lastCueAt));
    } else if (m_settings.m_firstCueAt >= 0) {
        m_settings.m_drift = speed.AnchoredAt(first, m_settings.m_firstCueAt);
    } else {
        m_settings.m_drift = speed.AnchoredAt(last, m_settings.m_lastCueAt);
    }
    if (!m_settings.m_drift.SpeedIsLikely()) {
        return Status::Error(Status::Code::kUnsupported,
                             "Cannot correct " + m_names.input + ": its first and last cue would need a speed of " +
                                 m_settings.m_drift.SpeedText() +
                                 ", which is most likely a mistake (it must be from 50 % to 200 %); nothing was "
                                 "changed");
    }
    return Status::OK();
}

// Reads the held input for its cue starts and the reference for its own, and sets the correction that puts the one on
// the other; then the input is read again from its start for the run itself.
Status FileRun::MatchReference() {
    std::vector<CueTime> own;
    Status status = ReadCueStarts(*m_input, m_names.input, m_settings.m_fps, &own);
    if (status.ok()) {
        status = m_input->Rewind();
    }
    // The input is held for exclusive use, so opening it again as the reference would look like another program.
    FileIdentity reference;
    if (status.ok() && m_fs.Identify(m_settings.m_matchReference, &reference).ok() &&
        reference.SameFileAs(m_input_identity)) {
        return Status::Error(Status::Code::kUnsupported, "Cannot match " + m_names.input + " to " +
                                                             m_settings.m_matchReference +
                                                             ": they are the same file; nothing was changed");
    }
    std::vector<CueTime> theirs;
    if (status.ok()) {
        status = ReadReferenceStarts(m_fs, m_settings.m_matchReference, m_settings.m_fps, &theirs);
    }
    if (!status.ok()) {
        return status;
    }
    m_match = MatchCueTimes(std::move(theirs), std::move(own));
    if (!m_match.Found()) {
        return Status::Error(Status::Code::kUnsupported, m_match.Refusal(m_names.input, m_settings.m_matchReference));
    }
    m_settings.m_drift = m_match.pieces.front().transform;
    m_settings.m_cuts.assign(m_match.pieces.begin() + 1, m_match.pieces.end());
    return Status::OK();
}

RunReport FileRun::Report(const LineRewriter& rewriter, const std::string& headline) const {
    RunReport report = MakeReport(m_settings, rewriter, headline);
    if (m_match.Found()) {
        report.correction = m_match.DescribeCorrection();
        report.match = "Matched to " + m_settings.m_matchReference + ": " + m_match.DescribeConfidence();
    }
    return report;
}

Status FileRun::WriteResult(LineRewriter& rewriter) {
    if (m_result == nullptr) {
        DiscardingFile nowhere;
        return RewriteStream(*m_input, m_names.input, nowhere, rewriter);
    }
    m_result->CopyAccess(m_input_identity.access);
    Status status = RewriteStream(*m_input, m_names.input, *m_result, rewriter);
    return status.ok() ? m_result->Sync() : status;
}

// Programs that do not lock can still write to the input, truncate it, or save a new file under one of the names
// (as editors do: a new file renamed over the old one) while the run holds them. The first two change the input's
// size or modification time; the last, which file a name leads to. Each rename checks its own name once more just
// before it is made.
Status FileRun::CheckNothingChangedMeanwhile() {
    FileIdentity now;
    Status status = m_input->Identify(&now);
    if (!status.ok()) {
        return status;
    }
    if (!now.UnchangedSince(m_input_identity)) {
        return ChangedMeanwhile(m_names.input);
    }
    const struct {
        HeldFile* file;
        const std::string& name;
    } held[] = {
        {m_input.get(), m_names.input}, {m_result.get(), m_names.temporary}, {m_old_backup.get(), m_names.original}};
    for (const auto& [file, name] : held) {
        status = file != nullptr ? CheckLeadsTo(name, *file) : Status::OK();
        if (!status.ok()) {
            return status;
        }
    }
    return Status::OK();
}

// OK when `name` still leads to `file`; kChanged when it leads to another file or to none; the error when either
// cannot be asked.
Status FileRun::CheckLeadsTo(const std::string& name, HeldFile& file) {
    const Status status = CheckNameLeadsTo(m_fs, name, file);
    return status.code() == Status::Code::kChanged ? ChangedMeanwhile(name) : status;
}

// The older backup takes the first free NAME_original-N.EXT, never replacing anything: a name taken meanwhile only
// moves it one number on.
Status FileRun::KeepOlderBackup() {
    if (m_old_backup == nullptr) {
        return Status::OK();
    }
    for (;; ++m_kept_number) {
        const Status status = m_old_backup->RenameTo(KeptName(), /*replace=*/false);
        if (status.code() == Status::Code::kExists) {
            continue;
        }
        if (status.code() == Status::Code::kChanged) {
            return ChangedMeanwhile(m_names.original);
        }
        m_kept = status.ok();
        return status;
    }
}

// Undoes KeepOlderBackup after a later step failed, so that the older backup is where it was.
Status FileRun::PutBackOlderBackup() {
    if (!m_kept) {
        return Status::OK();
    }
    Status status = m_old_backup->RenameTo(m_names.original, /*replace=*/false);
    m_kept = !status.ok();
    return status;
}

std::string FileRun::KeptName() const {
    return ::KeptName(m_names.input, m_kept_number);
}

std::string FileRun::KeptNote() const {
    return m_kept ? "\nThe older backup was kept as " + KeptName() : std::string();
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

// Until the input leaves its name, it is untouched and the unfinished result is removed. `where` says where the
// contents are when some are not where they were (empty when every one is).
// A file (`path`) that another program changed, or put another file in place of, while the run held it.
Status FileRun::ChangedMeanwhile(const std::string& path) const {
    return Status::Error(Status::Code::kChanged,
                         path == m_names.input
                             ? path + " was changed by another program while it was being re-timed"
                             : path + " was changed by another program while " + m_names.input + " was being re-timed");
}

RunOutcome FileRun::Fail(const Status& status, const std::string& where) {
    // The files are only released here: `status` is the failure to report, and one in releasing them would change
    // nothing that the user must know. Whether the unfinished result is gone is checked by looking, since a remove
    // can report success while the file stays (Wine).
    std::string text = status.message();
    if (status.code() == Status::Code::kChanged) {
        text += where.empty() ? "; nothing was changed; run again" : "; run again";
    }
    // The unfinished result is removed only while its name still leads to it: what another program put there is
    // not the run's to delete.
    if (!m_input_moved && m_result != nullptr &&
        CheckLeadsTo(m_names.temporary, *m_result).code() != Status::Code::kChanged) {
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
    if (status.ok() && !m_settings.m_matchReference.empty()) {
        status = MatchReference();
    } else if (status.ok() && (m_settings.m_firstCueAt >= 0 || m_settings.m_lastCueAt >= 0)) {
        status = FindDriftFromCues();
    } else if (status.ok() && !m_settings.m_drift.IsShift() && !m_settings.m_drift.SpeedIsLikely()) {
        status =
            Status::Error(Status::Code::kUnsupported,
                          "Cannot correct " + m_names.input + " with a speed of " + m_settings.m_drift.SpeedText() +
                              ", which is most likely a mistake (it must be from 50 % to 200 %); nothing was "
                              "changed");
    }
    LineRewriter rewriter(m_settings, IsWebVttName(m_names.input) ? SubtitleFormat::kWebVtt : SubtitleFormat::kSubRip);
    if (status.ok()) {
        status = WriteResult(rewriter);
    }
    if (status.ok()) {
        status = CheckNothingChangedMeanwhile();
    }
    if (status.ok() && AskedForNothingThatApplies(rewriter)) {
        const bool times_asked = m_settings.MovesTimes();
        status = Status::Error(
            Status::Code::kUnsupported,
            times_asked ? "No cue times were found in " + m_names.input + ", so it was left as it is" +
                              (rewriter.FrameLinesWithoutRate() > 0
                                   ? ": its MicroDVD frames need the video's frame rate (--fps RATE)"
                                   : "")
                        : "No line of " + m_names.input + " holds a right-to-left letter, so it was left as it is");
    }
    if (!status.ok()) {
        return Fail(status);
    }
    switch (m_target.kind) {
        case RunTarget::Kind::kPreview:
            return FinishPreview(rewriter);
        case RunTarget::Kind::kOutputFile:
            return FinishOutput(rewriter);
        case RunTarget::Kind::kInPlace:
            break;
    }
    return FinishInPlace(rewriter);
}

RunOutcome FileRun::FinishPreview(const LineRewriter& rewriter) {
    const Status status = m_input->Close();
    if (!status.ok()) {
        return Fail(status);
    }
    m_reporter.Done(Report(rewriter, kPreviewText));
    return RunOutcome::kDone;
}

RunOutcome FileRun::FinishOutput(const LineRewriter& rewriter) {
    Status status = m_result->RenameTo(m_target.output, m_target.replace_output);
    if (status.ok()) {
        status = m_fs.SyncDirectory(m_target.output);
    }
    if (status.ok()) {
        status = m_result->Close();
    }
    if (status.ok()) {
        status = m_input->Close();
    }
    if (!status.ok()) {
        return Fail(status);
    }
    m_reporter.Done(Report(rewriter, kOutputDoneText + m_target.output));
    return RunOutcome::kDone;
}

RunOutcome FileRun::FinishInPlace(const LineRewriter& rewriter) {
    Status status = KeepOlderBackup();
    if (!status.ok()) {
        return Fail(status);
    }
    // Every rename refuses to replace: nothing the program did not make is ever lost, and a name taken meanwhile
    // stops the run where the older backup can still be put back.
    status = m_input->RenameTo(m_names.original, /*replace=*/false);
    if (!status.ok()) {
        if (status.code() == Status::Code::kChanged) {
            status = ChangedMeanwhile(m_names.input);
        }
        const Status put_back = PutBackOlderBackup();
        return put_back.ok() ? Fail(status) : Fail(status, "\n" + put_back.message() + KeptNote());
    }
    m_input_moved = true;
    status = m_result->RenameTo(m_names.input, /*replace=*/false);
    if (!status.ok()) {
        return Fail(status, "\nThe original is stored as " + m_names.original + " and the result as " +
                                m_names.temporary + KeptNote());
    }
    const std::string where =
        "\nThe original is stored as " + m_names.original + " and the result as " + m_names.input + KeptNote();
    status = m_fs.SyncDirectory(m_names.input);
    for (HeldFile* file : {static_cast<HeldFile*>(m_result.get()), static_cast<HeldFile*>(m_input.get()),
                           static_cast<HeldFile*>(m_old_backup.get())}) {
        if (status.ok() && file != nullptr) {
            status = file->Close();
        }
    }
    if (!status.ok()) {
        return Fail(status, where);
    }
    RunReport report = Report(rewriter, kDoneText + m_names.original + KeptNote());
    report.notes += OtherNamesNote();
    m_reporter.Done(report);
    return RunOutcome::kDone;
}

}  // namespace

RunOutcome SynchronizeFile(const SyncSettings& settings,
                           RunReporter& reporter,
                           FileSystem& file_system,
                           const RunTarget& target) {
    return FileRun(settings, reporter, file_system, target).Run();
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
    // Output held back while the way to read the text is decided: the first 64 KB of a stream are enough for that.
    constexpr std::size_t kStreamDecisionBytes = 64 * 1024;
    const Status status = RewriteStream(input, "standard input", output, rewriter, kStreamDecisionBytes);
    if (!status.ok()) {
        if (IsRefusal(status.code())) {
            reporter.Refused(status.message());
            return RunOutcome::kRefused;
        }
        reporter.FileFailed(status.message());
        return RunOutcome::kFileFailed;
    }
    reporter.Done(MakeReport(settings, rewriter, std::string()));
    return RunOutcome::kDone;
}
