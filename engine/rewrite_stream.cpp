#include "engine/rewrite_stream.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string_view>

#include "engine/block_rewriter.h"
#include "engine/timing_line.h"
#include "platform/byte_search.h"
#include "platform/text_mode.h"

namespace {

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

bool IsUtf16(std::string_view head) {
    return head.substr(0, 2) == "\xFF\xFE" || head.substr(0, 2) == "\xFE\xFF";
}

// With a byte-order mark (FF FE 00 00, 00 00 FE FF), or without one: a first character of ASCII or Latin-1 stored in
// four bytes, three of them zero. (UTF-16 that starts with U+0000 would look the same; it is no text either.)
bool IsUtf32(std::string_view head) {
    if (head.size() < 4) {
        return false;
    }
    const std::string_view zeros("\0\0\0", 3);
    return (head[0] != '\0' && head.substr(1, 3) == zeros) || (head.substr(0, 3) == zeros && head[3] != '\0') ||
           head == std::string_view("\0\0\xFE\xFF", 4) || head == std::string_view("\xFF\xFE\0\0", 4);
}

// Looks at the start of the input before anything is written: UTF-16 is refused, and a UTF-8 byte-order mark is
// taken off the first line so that the line is classified like every other.
Status PrepareInput(TextLineReader& reader, const std::string& name, bool* has_byte_order_mark) {
    const Status status = reader.Begin();
    // Before the status: UTF-16 holds NUL bytes, which the reader refuses with a vaguer reason.
    const std::string_view head = reader.Head();
    const char* wide = IsUtf32(head) ? "UTF-32" : IsUtf16(head) ? "UTF-16" : nullptr;
    if (wide != nullptr) {
        return Status::Error(Status::Code::kUnsupported,
                             "Cannot synchronize " + name + ": it is " + wide +
                                 " text, which this program does not handle; save it as UTF-8 or ANSI text and try "
                                 "again");
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
    if (rewriter.WritesByteOrderMark(has_byte_order_mark)) {
        writer.WriteRaw(kUtf8ByteOrderMark);
    }
    BlockRewriter blocks(reader, rewriter, writer);
    std::string_view line;
    bool written = true;
    while (written && !rewriter.Failed()) {
        const bool all_cr_lf = reader.LineEndsAreCrLf();
        const std::string_view lines = reader.TakeWholeLines();
        if (!lines.empty()) {
            written = blocks.Rewrite(lines, all_cr_lf);
            continue;
        }
        // A line across blocks, or the last one without a line end: the next block is read meanwhile.
        const bool got = reader.ReadLine(&line);
        written = blocks.Settle() && written;
        if (!got || !written) {
            break;
        }
        const std::size_t ready = rewriter.Feed(line);
        for (std::size_t i = 0; i < ready && !rewriter.Failed(); ++i) {
            written = writer.WriteLine(rewriter.Line(i)) && written;
        }
    }
    written = blocks.Settle() && written;
    if (!reader.status().ok()) {
        return reader.status();
    }
    if (rewriter.Failed()) {
        writer.Flush();
        return Status::Error(Status::Code::kUnsupported, rewriter.Failure());
    }
    for (std::size_t i = 0, ready = written ? rewriter.Finish() : 0; i < ready; ++i) {
        writer.WriteLine(rewriter.Line(i));
    }
    writer.Flush();
    return writer.status();
}

std::string Lines(std::uint64_t count, const char* one, const char* many) {
    return count == 1 ? std::string("1 ") + one : std::to_string(count) + " " + many;
}

// What the right-to-left fix and the conversion to UTF-8 did.
std::string RightToLeftNotes(const SyncSettings& settings, const LineRewriter& rewriter) {
    std::string notes;
    const RtlFixer& fixer = rewriter.Fixer();
    if (settings.m_rtlFix != RtlFixMode::kOff) {
        const char* const forms[] = {"", "for all players", "for left-to-right players", "in logical order"};
        const char* form = forms[static_cast<int>(settings.m_rtlFix)];
        const char* had =
            rewriter.DecidedRtlSource() == RtlSource::kCommunity ? "for left-to-right players" : "in logical order";
        if (fixer.LinesWithRightToLeft() == 0) {
            notes += "\nNo line holds a right-to-left letter, so none was rewritten";
        } else if (fixer.LinesChanged() == 0) {
            notes += std::string("\nThe right-to-left lines were ") + form + " already; none was rewritten";
        } else {
            notes += "\n" +
                     Lines(fixer.LinesChanged(), "right-to-left line was rewritten ",
                           "right-to-left lines were rewritten ") +
                     form + "; the file had them " + had;
        }
        const std::uint64_t not_left_to_right = fixer.LinesNotShowableLeftToRight();
        if (not_left_to_right > 0) {
            notes += "\n" +
                     Lines(not_left_to_right, "right-to-left line was left as it is",
                           "right-to-left lines were left as they are") +
                     ": no form without direction marks shows " + (not_left_to_right == 1 ? "it" : "them") +
                     " right when laid out left to right (--fix-rtl=all-players does)";
        }
        const std::uint64_t left = fixer.LinesLeftAsTheyWere() - not_left_to_right;
        if (left > 0) {
            notes += "\n" + Lines(left, "right-to-left line was left as it is: rewriting it would change what it shows",
                                  "right-to-left lines were left as they are: rewriting them would change what "
                                  "they show");
        }
    }
    if (settings.m_bToUtf8 != 0) {
        notes += rewriter.ConvertedLines() == 0 ? std::string("\nThe text was UTF-8 already")
                                                : std::string("\nThe text was converted from ") +
                                                      CodePageName(rewriter.DecidedCodePage()) + " to UTF-8";
    }
    return notes;
}

}  // namespace

Status RewriteStream(ReadableFile& input,
                     const std::string& name,
                     WritableFile& output,
                     LineRewriter& rewriter,
                     std::size_t decide_from) {
    TextLineReader reader(input, name);
    bool has_byte_order_mark = false;
    Status status = PrepareInput(reader, name, &has_byte_order_mark);
    if (status.ok() && rewriter.ReadsText()) {
        status = reader.Gather(decide_from);
    }
    if (status.ok()) {
        rewriter.DecideFormat(reader.Buffered());
        status = rewriter.Decide(reader.Buffered(), name);
    }
    if (!status.ok()) {
        return status;
    }
    return RewriteLines(reader, output, has_byte_order_mark, rewriter);
}

std::string RewriteNotes(const SyncSettings& settings, const LineRewriter& rewriter) {
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
    const std::uint64_t past_largest = rewriter.LinesPastLargestTime();
    if (past_largest > 0) {
        notes += past_largest == 1
                     ? std::string("\n1 cue line was left as it is: shifting it")
                     : "\n" + std::to_string(past_largest) + " cue lines were left as they are: shifting them";
        notes += " would take a time past ";
        char largest[kLongestClockTime];
        notes.append(largest, PutClockTime(largest, std::numeric_limits<CueTime>::max(), ',', true));
        notes += ", the largest time there can be";
    }
    const std::uint64_t inverted = rewriter.CuesEndingBeforeStart();
    if (inverted > 0) {
        notes += (inverted == 1 ? std::string("\n1 cue now ends") : "\n" + std::to_string(inverted) + " cues now end") +
                 " before " + (inverted == 1 ? "it starts" : "they start") + ": the window's bounds cut through " +
                 (inverted == 1 ? "it" : "them");
    }
    const std::uint64_t below_zero = rewriter.NumbersAtOrBelowZero();
    if (below_zero > 0) {
        notes += below_zero == 1 ? std::string("\n1 cue number is now 0 or below")
                                 : "\n" + std::to_string(below_zero) + " cue numbers are now 0 or below";
    }
    if (rewriter.TimingLines() == 0 && settings.MovesTimes()) {
        notes += "\nNo cue times were found in this file, so none was shifted";
        notes += rewriter.FrameLinesWithoutRate() > 0 ? ": its MicroDVD frames need the video's frame rate (--fps RATE)"
                                                      : "";
    }
    return notes + RightToLeftNotes(settings, rewriter);
}

RunReport MakeReport(const SyncSettings& settings, const LineRewriter& rewriter, const std::string& headline) {
    RunReport report;
    report.headline = headline;
    report.notes = RewriteNotes(settings, rewriter);
    report.offset_ms = settings.OffsetMs();
    report.transform = settings.Transform();
    report.window = settings.m_bBetweenTimes != 0;
    report.moved_times = rewriter.MovedTimes();
    report.times_outside_window = report.window ? rewriter.TimesOutsideWindow() : 0;
    report.spans = rewriter.Spans();
    return report;
}
