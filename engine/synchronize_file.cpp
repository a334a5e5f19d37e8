#include "engine/synchronize_file.h"

#include <string_view>

#include "engine/rewrite_line.h"
#include "platform/text_mode.h"

const char kUnrecognizedFormatMessage[] = "Unrecognized subtitle format";

namespace {

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";
constexpr std::size_t kExtensionLength = 4;  // a dot and three characters
const char kDoneText[] = "Done - original file is stored as\n";

bool HasSubtitleExtension(const std::string& path) {
    return path.size() >= kExtensionLength && path[path.size() - kExtensionLength] == '.' &&
           IsSubtitleExtension(std::string_view(path).substr(path.size() - kExtensionLength + 1));
}

std::string InsertBeforeExtension(const std::string& path, const char* tag) {
    std::string name = path;
    name.insert(path.size() - kExtensionLength, tag);
    return name;
}

// Looks at the start of the input before anything is written: UTF-16 is refused, and a UTF-8 byte-order mark is
// taken off the first line so that the line is classified like every other.
Status PrepareInput(TextLineReader& reader, const std::string& name, bool* has_byte_order_mark) {
    const Status status = reader.Begin();
    // Before the status: UTF-16 holds NUL bytes, which the reader refuses with a vaguer reason.
    const std::string_view head = reader.Head();
    if (head.substr(0, 2) == "\xFF\xFE" || head.substr(0, 2) == "\xFE\xFF") {
        return Status::Error(Status::Code::kUnsupported,
                             "Cannot synchronize " + name +
                                 ": it is UTF-16 text, which this program does not handle; save it as UTF-8 or ANSI "
                                 "text and try again");
    }
    if (!status.ok()) {
        return status;
    }
    *has_byte_order_mark = head.substr(0, kUtf8ByteOrderMark.size()) == kUtf8ByteOrderMark;
    if (*has_byte_order_mark) {
        reader.Skip(kUtf8ByteOrderMark.size());
    }
    return Status::OK();
}

Status RewriteLines(TextLineReader& reader, WritableFile& output, bool has_byte_order_mark, LineRewriter& rewriter) {
    TextLineWriter writer(output);
    if (has_byte_order_mark) {
        writer.WriteRaw(kUtf8ByteOrderMark);
    }
    std::string_view line;
    bool written = true;
    while (written && reader.ReadLine(&line)) {
        const std::size_t ready = rewriter.Feed(line);
        for (std::size_t i = 0; i < ready; ++i) {
            written = writer.WriteLine(rewriter.Line(i));
        }
    }
    if (!reader.status().ok()) {
        return reader.status();
    }
    for (std::size_t i = 0, ready = written ? rewriter.Finish() : 0; i < ready; ++i) {
        writer.WriteLine(rewriter.Line(i));
    }
    writer.Flush();
    return writer.status();
}

// Writes the complete result to `temporary` and puts it on stable storage. `*created` tells whether the temporary
// file is ours to remove on failure (it is not when another program holds it).
Status WriteResult(const std::string& input,
                   const std::string& temporary,
                   LineRewriter& rewriter,
                   FileSystem& file_system,
                   bool* created) {
    std::unique_ptr<ReadableFile> in;
    Status status = file_system.OpenForReading(input, &in);
    if (!status.ok()) {
        return status;
    }
    TextLineReader reader(*in, input);
    bool has_byte_order_mark = false;
    status = PrepareInput(reader, input, &has_byte_order_mark);
    if (!status.ok()) {
        return status;
    }
    std::unique_ptr<WritableFile> out;
    status = file_system.CreateForWriting(temporary, &out);
    if (!status.ok()) {
        return status;
    }
    *created = true;
    file_system.CopyPermissions(input, temporary);
    status = RewriteLines(reader, *out, has_byte_order_mark, rewriter);
    if (status.ok()) {
        status = out->Sync();
    }
    const Status output_closed = out->Close();
    const Status input_closed = in->Close();
    if (status.ok()) {
        status = output_closed;
    }
    return status.ok() ? input_closed : status;
}

Status RemoveOldBackup(const std::string& original, FileSystem& file_system) {
    if (!file_system.Exists(original)) {
        return Status::OK();
    }
    Status status = file_system.Remove(original);
    if (status.ok() && file_system.Exists(original)) {
        return FileError(Status::Code::kIoError, "Cannot remove", original, "it is still there after deletion");
    }
    return status;
}

RunOutcome Report(const Status& status, RunReporter& reporter) {
    if (status.code() == Status::Code::kUnsupported || status.code() == Status::Code::kNameTooLong ||
        status.code() == Status::Code::kNotRegularFile) {
        reporter.Refused(status.message());
        return RunOutcome::kRefused;
    }
    reporter.FileFailed(status.message());
    return RunOutcome::kFileFailed;
}

// What the user must know beyond success, a line each: what was changed beyond the offset, and what was not done.
std::string Notes(const SyncSettings& settings, const LineRewriter& rewriter) {
    std::string notes;
    const std::uint64_t clamped = rewriter.ClampedTimes();
    if (clamped == 1) {
        notes += "\n1 cue time was set to 00:00:00,000";
    } else if (clamped > 1) {
        notes += "\n" + std::to_string(clamped) + " cue times were set to 00:00:00,000";
    }
    const std::uint64_t unreadable = rewriter.UnreadableTimingLines();
    if (unreadable == 1) {
        notes += "\n1 line holds --> but no times that can be read; it was left as it is";
    } else if (unreadable > 1) {
        notes += "\n" + std::to_string(unreadable) +
                 " lines hold --> but no times that can be read; they were left as they are";
    }
    if (rewriter.TimingLines() == 0 && (settings.OffsetMs() != 0 || settings.m_bBetweenTimes != 0)) {
        notes += "\nNo cue times were found in this file, so none was shifted";
    }
    return notes;
}

bool HasExtension(const std::string& path, std::string_view extension) {
    if (path.size() < extension.size()) {
        return false;
    }
    for (std::size_t i = 0; i < extension.size(); ++i) {
        const char c = path[path.size() - extension.size() + i];
        if ((c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) != extension[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool IsSubtitleExtension(std::string_view extension) {
    if (extension.size() != kExtensionLength - 1) {
        return false;
    }
    char lower[kExtensionLength - 1];
    for (std::size_t i = 0; i < extension.size(); ++i) {
        const char c = extension[i];
        lower[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    const std::string_view folded(lower, sizeof lower);
    return folded == "srt" || folded == "sub" || folded == "vtt";
}

std::string TemporaryName(const std::string& path) {
    return InsertBeforeExtension(path, "_new");
}

std::string OriginalName(const std::string& path) {
    return InsertBeforeExtension(path, "_original");
}

RunOutcome SynchronizeFile(const SyncSettings& settings, RunReporter& reporter, FileSystem& file_system) {
    if (!settings.ValidateWindow()) {
        reporter.Refused(kWindowMessage);
        return RunOutcome::kRefused;
    }
    const std::string& input = settings.m_strInputFile;
    if (!HasSubtitleExtension(input)) {
        reporter.Refused(kUnrecognizedFormatMessage);
        return RunOutcome::kRefused;
    }
    const std::string temporary = TemporaryName(input);
    const std::string original = OriginalName(input);
    for (const std::string* name : {&input, &temporary, &original}) {
        Status usable = file_system.CheckUsableName(*name);
        if (!usable.ok()) {
            return Report(usable, reporter);
        }
    }

    LineRewriter rewriter(settings, HasExtension(input, ".vtt") ? SubtitleFormat::kWebVtt : SubtitleFormat::kSubRip);
    bool created = false;
    Status status = WriteResult(input, temporary, rewriter, file_system, &created);
    if (status.ok()) {
        status = RemoveOldBackup(original, file_system);
    }
    if (status.ok()) {
        status = file_system.Rename(input, original);
    }
    if (!status.ok()) {
        if (created) {
            file_system.Remove(temporary);  // the input is untouched; a partial result is of no use
        }
        return Report(status, reporter);
    }
    status = file_system.Rename(temporary, input);
    if (!status.ok()) {
        reporter.FileFailed(status.message() + "\nThe original is stored as " + original + " and the result as " +
                            temporary);
        return RunOutcome::kFileFailed;
    }
    reporter.Succeeded(kDoneText + original + Notes(settings, rewriter));
    return RunOutcome::kDone;
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
    const std::string name = "standard input";
    TextLineReader reader(input, name);
    bool has_byte_order_mark = false;
    Status status = PrepareInput(reader, name, &has_byte_order_mark);
    if (status.ok()) {
        status = RewriteLines(reader, output, has_byte_order_mark, rewriter);
    }
    if (!status.ok()) {
        return Report(status, reporter);
    }
    const std::string notes = Notes(settings, rewriter);
    reporter.Succeeded(notes.empty() ? notes : notes.substr(1));
    return RunOutcome::kDone;
}
