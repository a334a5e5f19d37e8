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
    while (reader.ReadLine(&line) && writer.WriteLine(rewriter.Rewrite(line))) {
    }
    if (!reader.status().ok()) {
        return reader.status();
    }
    writer.Flush();
    return writer.status();
}

// Writes the complete result to `temporary` and puts it on stable storage. `*created` tells whether the temporary
// file is ours to remove on failure (it is not when another program holds it).
Status WriteResult(const std::string& input, const std::string& temporary, LineRewriter& rewriter,
                   FileSystem& file_system, bool* created) {
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

std::string DoneText(const std::string& original, std::uint64_t clamped_times) {
    std::string text = kDoneText + original;
    if (clamped_times == 1) {
        text += "\n1 cue time was set to 00:00:00,000";
    } else if (clamped_times > 1) {
        text += "\n" + std::to_string(clamped_times) + " cue times were set to 00:00:00,000";
    }
    return text;
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

    LineRewriter rewriter(settings);
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
    reporter.Succeeded(DoneText(original, rewriter.ClampedTimes()));
    return RunOutcome::kDone;
}

RunOutcome SynchronizeStream(const SyncSettings& settings, ReadableFile& input, WritableFile& output,
                             RunReporter& reporter) {
    if (!settings.ValidateWindow()) {
        reporter.Refused(kWindowMessage);
        return RunOutcome::kRefused;
    }
    LineRewriter rewriter(settings);
    const std::string name = "standard input";
    TextLineReader reader(input, name);
    bool has_byte_order_mark = false;
    Status status = PrepareInput(reader, name, &has_byte_order_mark);
    if (status.ok()) {
        status = RewriteLines(reader, output, has_byte_order_mark, rewriter);
    }
    return status.ok() ? RunOutcome::kDone : Report(status, reporter);
}
