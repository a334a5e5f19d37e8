#include "engine/rewrite_stream.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string_view>

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

// Hands the lines of a block to the rewriter and the writer, but for the lines that it would write as they are: those
// go to the writer in runs, as they stand when their line ends are CR LF already. A line needs the rewriter when it
// holds "-->" or starts with '{' (a MicroDVD frame line), when it comes right before such a line (a cue number), and
// while the rewriter holds a line.
class PlainLineCopier {
  public:
    PlainLineCopier(LineRewriter& rewriter, TextLineWriter& writer) : m_rewriter(rewriter), m_writer(writer) {}

    // `lines`: whole lines, each with its LF or CR LF (with CR LF only when `all_cr_lf`). False when writing failed.
    bool Copy(std::string_view lines, bool all_cr_lf) {
        m_lines = lines;
        m_arrow = m_arrow_line = m_brace = 0;
        m_written = true;
        m_all_cr_lf = all_cr_lf;
        for (std::size_t pos = 0; pos < lines.size() && m_written;) {
            const std::size_t needed = NextNeeded(pos);
            while (pos < needed && m_rewriter.Holding() && m_written) {
                pos = Feed(pos);
            }
            if (pos < needed) {
                // The line before a timing line is fed, unless it is a cue number that stays as it is.
                std::size_t last = LineStart(needed - 1);
                if (m_rewriter.KeepsNumber(LineEndingAt(last, needed))) {
                    last = needed;
                }
                if (last > pos) {
                    CopyAsTheyAre(pos, last);
                }
                pos = last < needed ? Feed(last) : needed;
            }
            if (pos < lines.size() && m_written) {
                const bool arrow_line = pos == m_arrow_line && pos != m_brace && !m_rewriter.Holding();
                pos = arrow_line ? FeedArrowLine(pos) : Feed(pos);
            }
        }
        return m_written;
    }

  private:
    // The line that starts at `start` and whose line end comes right before `next`, without the line end.
    std::string_view LineEndingAt(std::size_t start, std::size_t next) const {
        const std::size_t end = next - 1 - (next - 1 > start && m_lines[next - 2] == '\r' ? 1 : 0);
        return m_lines.substr(start, end - start);
    }

    // Where the line that holds `at` starts. Looks at eight bytes at a time: a line end among them shows as a zero
    // byte after an exclusive or.
    std::size_t LineStart(std::size_t at) const {
        const char* data = m_lines.data();
        constexpr std::uint64_t kOnes = 0x0101010101010101ull;
        while (at >= 8) {
            std::uint64_t word;
            std::memcpy(&word, data + at - 8, 8);
            const std::uint64_t x = word ^ (kOnes * '\n');
            if (((x - kOnes) & ~x & (kOnes << 7)) != 0) {
                break;
            }
            at -= 8;
        }
        while (at > 0 && data[at - 1] != '\n') {
            --at;
        }
        return at;
    }

    // The start of the first line at or after `pos` (a line start) that holds "-->" or starts with '{'; or the end.
    std::size_t NextNeeded(std::size_t pos) {
        const char* data = m_lines.data();
        const std::size_t size = m_lines.size();
        if (m_arrow < pos + 2) {
            m_arrow = Find(pos, '>', [data, pos](std::size_t at) {
                return at >= pos + 2 && data[at - 1] == '-' && data[at - 2] == '-';
            });
            m_arrow_line = m_arrow == size ? size : LineStart(m_arrow);
        }
        if (m_brace < pos) {
            m_brace = Find(pos, '{', [data, pos](std::size_t at) { return at == pos || data[at - 1] == '\n'; });
        }
        return std::min(m_arrow_line, m_brace);
    }

    // The first `byte` at or after `from` where `wanted` holds; or the end.
    template <typename Wanted>
    std::size_t Find(std::size_t from, char byte, Wanted wanted) const {
        const char* data = m_lines.data();
        const std::size_t size = m_lines.size();
        while (from < size) {
            const char* found = FindByte(data + from, data + size, byte);
            if (found == nullptr) {
                break;
            }
            const auto at = static_cast<std::size_t>(found - data);
            if (wanted(at)) {
                return at;
            }
            from = at + 1;
        }
        return size;
    }

    // The line at `pos` (a line start) without its line end, which lies at or after `from`; `*next` is where the
    // next line starts.
    std::string_view LineFrom(std::size_t pos, std::size_t from, std::size_t* next) const {
        const char* data = m_lines.data();
        const char* found = FindByte(data + from, data + m_lines.size(), '\n');
        std::size_t length = static_cast<std::size_t>(found - data) - pos;
        *next = pos + length + 1;
        if (length > 0 && data[pos + length - 1] == '\r') {
            --length;
        }
        return std::string_view(data + pos, length);
    }

    // Feeds the line at `pos`; returns where the next starts.
    std::size_t Feed(std::size_t pos) {
        std::size_t next;
        const std::size_t ready = m_rewriter.Feed(LineFrom(pos, pos, &next));
        for (std::size_t i = 0; i < ready; ++i) {
            m_written = m_writer.WriteLine(m_rewriter.Line(i)) && m_written;
        }
        return next;
    }

    // Feeds the line at `pos` that holds the arrow found last; returns where the next starts.
    std::size_t FeedArrowLine(std::size_t pos) {
        std::size_t next;
        m_rewriter.FeedArrowLine(LineFrom(pos, m_arrow, &next));
        m_written = m_writer.WriteLine(m_rewriter.Line(0)) && m_written;
        return next;
    }

    // Lines [pos, end) that the rewriter would write as they are: in one piece when every line end is CR LF (the
    // reader leaves a CR only before an LF), else a line at a time.
    void CopyAsTheyAre(std::size_t pos, std::size_t end) {
        const std::string_view run = m_lines.substr(pos, end - pos);
        if (m_all_cr_lf) {
            m_written = m_writer.WriteRaw(run) && m_written;
            return;
        }
        for (std::size_t at = 0; at < run.size();) {
            const std::size_t line_end = run.find('\n', at);
            std::size_t length = line_end - at;
            if (length > 0 && run[line_end - 1] == '\r') {
                --length;
            }
            m_written = m_writer.WriteLine(run.substr(at, length)) && m_written;
            at = line_end + 1;
        }
    }

    LineRewriter& m_rewriter;
    TextLineWriter& m_writer;
    std::string_view m_lines;
    std::size_t m_arrow = 0;       // where the next "-->" ends ('>'), as far as it is known
    std::size_t m_arrow_line = 0;  // where the line that holds it starts
    std::size_t m_brace = 0;       // where the next line that starts with '{' starts, as far as it is known
    bool m_written = true;
    bool m_all_cr_lf = false;  // every line end of m_lines is CR LF
};

Status RewriteLines(TextLineReader& reader, WritableFile& output, bool has_byte_order_mark, LineRewriter& rewriter) {
    TextLineWriter writer(output);
    if (rewriter.WritesByteOrderMark(has_byte_order_mark)) {
        writer.WriteRaw(kUtf8ByteOrderMark);
    }
    std::string_view line;
    bool written = true;
    if (rewriter.KeepsPlainLines()) {
        PlainLineCopier copier(rewriter, writer);
        while (written) {
            const bool all_cr_lf = reader.LineEndsAreCrLf();
            const std::string_view lines = reader.TakeWholeLines();
            if (!lines.empty()) {
                written = copier.Copy(lines, all_cr_lf);
                continue;
            }
            if (!reader.ReadLine(&line)) {
                break;
            }
            const std::size_t ready = rewriter.Feed(line);
            for (std::size_t i = 0; i < ready; ++i) {
                written = writer.WriteLine(rewriter.Line(i));
            }
        }
    }
    while (written && reader.ReadLine(&line)) {
        const std::size_t ready = rewriter.Feed(line);
        if (rewriter.Failed()) {
            break;
        }
        for (std::size_t i = 0; i < ready; ++i) {
            written = writer.WriteLine(rewriter.Line(i));
        }
    }
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
