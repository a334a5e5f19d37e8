#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/clock_text_shift.h"
#include "engine/rtl_fix.h"
#include "engine/sync_settings.h"
#include "engine/text_reversal.h"
#include "engine/timing_line.h"
#include "platform/status.h"

// A cue's start and end.
struct CueSpan {
    CueTime start = 0;
    CueTime end = 0;
};

// The first and the last cue of a file, before and after the run: what a preview shows.
struct CueSpans {
    bool found = false;  // whether any cue times were read
    CueSpan first_before, first_after, last_before, last_after;
};

// What a rewriter counts of the lines it was fed, kept together so that the counts of two parts add up.
struct RewriteCounts {
    std::uint64_t line_number = 0;  // lines fed
    std::uint64_t timing_lines = 0;
    std::uint64_t clamped_times = 0;
    std::uint64_t unreadable_lines = 0;
    std::uint64_t lines_past_largest = 0;
    std::uint64_t moved_times = 0;
    std::uint64_t times_outside_window = 0;
    std::uint64_t cues_ending_before_start = 0;
    std::uint64_t numbers_at_or_below_zero = 0;
    std::uint64_t frame_lines_without_rate = 0;
    std::uint64_t converted_lines = 0;
    CueSpans spans;

    // Adds the counts of the lines that follow those counted here.
    void Add(const RewriteCounts& later);
};

// Whether a line, or the bytes from the start of one, begin with the WebVTT signature.
inline bool IsWebVttStart(std::string_view line) {
    return line.substr(0, 6) == "WEBVTT";
}

// How the lines of a file are read: SubRip (also for .sub files) or WebVTT. kDetect decides on the first line: WebVTT
// when it starts with "WEBVTT", SubRip otherwise.
enum class SubtitleFormat { kSubRip, kWebVtt, kDetect };

// Rewrites the lines of one subtitle file, in order:
// - a timing line (START --> END, as ParseTimingLine reads it) has both times shifted by the offset (each only when
//   inside the window, if the window is on; a time the offset would take below zero becomes 0 and is counted) and is
//   printed anew, followed by the rest of the line as it was; when the offset would take either time past the largest
//   CueTime, the line is left exactly as it is, and counted; a line that holds "-->" but no readable times is left
//   exactly as it is, and counted apart;
// - a cue number (ASCII digits, blanks around them allowed, right before a readable timing line) is lowered by the
//   reduce amount, unless it reads 0; it is never reversed;
// - every other line is text: reversed when the orientation switch is on, or brought into the form of the
//   right-to-left fix (see RtlFixer).
// A run that converts to UTF-8 reads every line that is not UTF-8 in the decided code page first.
// WebVTT keeps its own syntax: times are written with '.' and keep their short form; the header and NOTE, STYLE and
// REGION blocks are copied as they are; the line before a timing line is the cue's identifier (renumbered when it is
// a number, otherwise left alone); timestamps inside cue text are shifted like cue times, but stay as they are in a
// cue whose timing line was left as it is, so that they keep within its times. A timestamp that the offset alone
// would take past the largest time is left as it is and not counted: in a cue that is shifted, that happens only
// when the timestamp lies outside the cue's own times, which WebVTT does not allow anyway.
//
// To tell a cue number from text, a line may be held back until the next one is seen: Feed returns how many
// replacement lines are ready (0 to 2), Line(i) hands them out in order, and Finish releases the last held line.
// The views stay valid until the next call of Feed or Finish.
class LineRewriter {
  public:
    explicit LineRewriter(const SyncSettings& settings, SubtitleFormat format = SubtitleFormat::kSubRip);

    // Before the first line, from `text`, the file's first bytes (or all of them), and for a run that reads text
    // (the orientation switch, the right-to-left fix, the conversion to UTF-8): decides the code page of lines that
    // are not UTF-8, when it was left to detection, unless `text` holds no single-byte text (then the first such line
    // decides), and the convention of the right-to-left lines. Fails with the message of a refusal, naming the file
    // as `name`, when the conversion to UTF-8 cannot be sure of the code page or the convention cannot be told.
    Status Decide(std::string_view text, const std::string& name);
    // Decides the format of a kDetect run from the input's first bytes (after a byte-order mark), as the first line
    // would, so that the rewriting of the first block may be cut in parts (see CanRewriteInParts).
    void DecideFormat(std::string_view first_bytes) {
        if (m_format == SubtitleFormat::kDetect) {
            m_format = IsWebVttStart(first_bytes) ? SubtitleFormat::kWebVtt : SubtitleFormat::kSubRip;
        }
    }
    bool ReadsText() const { return m_switch_orientation || m_rtl_fix != RtlFixMode::kOff || m_to_utf8; }
    CodePage DecidedCodePage() const { return m_code_page; }
    RtlSource DecidedRtlSource() const { return m_rtl_source; }
    // Whether the result starts with a UTF-8 byte-order mark, when the input does (`input_has_one`) or not.
    bool WritesByteOrderMark(bool input_has_one) const { return m_to_utf8 ? m_byte_order_mark : input_has_one; }
    // After a line that could not be converted to UTF-8 (a byte the code page does not define): the refusal. Such a
    // line is handed out as it is; nothing after it should be written.
    bool Failed() const { return !m_failure.empty(); }
    const std::string& Failure() const { return m_failure; }

    // Keeps the start time of every cue read (before the run moves it) in `*starts`, for a run that reads a file
    // for its cue times alone.
    void CollectStarts(std::vector<CueTime>* starts) { m_starts = starts; }

    // Whether a line that holds no "-->" and does not start with '{' comes out as it went in, unless it is held (see
    // Holding): SubRip with no text rewriting (no switch, fix or conversion). A caller may then hand such lines out
    // itself, as long as the line before a timing line (maybe its cue number) is fed.
    bool KeepsPlainLines() const {
        return m_format == SubtitleFormat::kSubRip && !m_switch_orientation && m_rtl_fix == RtlFixMode::kOff &&
               !m_to_utf8;
    }
    // Whether such a line comes out switched instead, unless it is held: SubRip with the switch alone. A caller may
    // then switch such lines itself, with SwitchLineTo or SwitchLine, on the same terms.
    bool SwitchesPlainLines() const {
        return m_format == SubtitleFormat::kSubRip && m_switch_orientation && m_rtl_fix == RtlFixMode::kOff &&
               !m_to_utf8;
    }
    // Writes the switched `line` to `out`, which has room for line.size() bytes.
    void SwitchLineTo(std::string_view line, char* out) { m_reverser.Reverse(line, out); }
    // The switched `line`, valid until the next call of this or Feed.
    std::string_view SwitchLine(std::string_view line) { return RewriteText(line, m_slots[1]); }
    // Whether the last line fed waits for the next one to be classified.
    bool Holding() const { return m_holding; }
    // Whether `line`, fed right before a timing line, would come out as it is and count for nothing: a cue number in
    // its usual form (digits, the first not 0) with nothing to subtract. A SubRip caller may then hand it out itself.
    bool KeepsNumber(std::string_view line) const {
        if (m_reduce_number != 0 || line.empty() || line[0] < '1' || line[0] > '9') {
            return false;
        }
        for (const char c : line) {
            if (c < '0' || c > '9') {
                return false;
            }
        }
        return true;
    }
    // What Feed does with a SubRip line that holds "-->" and does not start with '{', fed while no line is held (see
    // Holding), for a run without text rewriting (see KeepsPlainLines): always one line ready.
    std::size_t FeedArrowLine(std::string_view line);
    // FeedArrowLine writing the line that comes out straight to `out`, which has room for ArrowLineRoom(line)
    // bytes; returns where what it wrote ends. Line(0) is then not set.
    char* FeedArrowLineTo(std::string_view line, char* out);
    static std::size_t ArrowLineRoom(std::string_view line);

    std::size_t Feed(std::string_view line);
    std::size_t Finish();

    // A file may be rewritten in two parts at once, each part by a rewriter of its own, when the second part starts
    // right after an empty line: there the state of a rewriter is always the same, but for what it counted and the
    // piece of the last cue. The second rewriter is a copy of the first, made after Decide. Not for a run that
    // converts to UTF-8 or fixes right-to-left lines (a line may decide the code page there), nor one that keeps the
    // cues' starts, nor a part that holds a MicroDVD frame line (the first of them may declare the frame rate), nor
    // WebVTT cut into pieces (text outside a cue takes the last cue's piece); nor before the format is decided.
    bool CanRewriteInParts() const {
        return m_format != SubtitleFormat::kDetect && m_rtl_fix == RtlFixMode::kOff && !m_to_utf8 &&
               m_starts == nullptr && !(IsWebVtt() && !m_pieces.empty());
    }
    // Makes this copy ready for a second part: nothing counted yet, and the state an empty line leaves.
    void StartPartAfterEmptyLine(const LineRewriter& first);
    // After this rewriter's part and the second part that follows it: adds what `second` counted and goes on in the
    // state it ended in.
    void ContinueAfterPart(const LineRewriter& second);
    std::string_view Line(std::size_t i) const { return m_ready[i]; }

    // Timing lines whose times were read, shifted or left as they were for the largest time (below).
    std::uint64_t TimingLines() const { return m_counts.timing_lines; }
    // How many cue times were set to 00:00:00,000 because the offset would have taken them below zero.
    std::uint64_t ClampedTimes() const { return m_counts.clamped_times; }
    // Lines that hold "-->" but no times that could be read; they were left as they were.
    std::uint64_t UnreadableTimingLines() const { return m_counts.unreadable_lines; }
    // Timing lines left as they were because the offset would take a time past the largest CueTime.
    std::uint64_t LinesPastLargestTime() const { return m_counts.lines_past_largest; }
    // Cue times (starts and ends) inside the window that the run moved, set to zero ones included; and those the
    // window left as they were.
    std::uint64_t MovedTimes() const { return m_counts.moved_times; }
    std::uint64_t TimesOutsideWindow() const { return m_counts.times_outside_window; }
    // Cues that ended at or after their start before the run and end before it after: a window's bound fell between
    // the two, so only one of them moved.
    std::uint64_t CuesEndingBeforeStart() const { return m_counts.cues_ending_before_start; }
    // Cue numbers that the reduce amount took to 0 or below.
    std::uint64_t NumbersAtOrBelowZero() const { return m_counts.numbers_at_or_below_zero; }
    // MicroDVD frame lines left as they were because no frame rate was given or declared by the file.
    std::uint64_t FrameLinesWithoutRate() const { return m_counts.frame_lines_without_rate; }
    CueSpans Spans() const;
    // The right-to-left fix: lines rewritten, and lines left as they were because they could not be rewritten so that
    // they show as before. Lines that were not UTF-8 and were converted.
    const RtlFixer& Fixer() const { return m_fixer; }
    std::uint64_t ConvertedLines() const { return m_counts.converted_lines; }
    // Text lines that hold a right-to-left letter among those Decide saw.
    std::uint64_t RightToLeftLinesSeen() const { return m_rtl_lines_seen; }

  private:
    enum class Block { kCues, kCopied };
    // Where the replacement of one line is built: the held line uses one slot, the current line the other.
    struct Slot {
        std::string out;      // only grows, so that a line never costs an allocation once the longest was seen
        std::string stamped;  // WebVTT text with its timestamps shifted
    };

    bool IsWebVtt() const { return m_format == SubtitleFormat::kWebVtt; }
    // `line` as UTF-8 when it is not, for a run that converts; else `line`.
    std::string_view ToUtf8(std::string_view line);
    Status DecideCodePage(std::string_view text, const std::string& name);
    void ConfigureFixer();
    std::size_t FeedSubRip(std::string_view line);
    std::size_t FeedWebVtt(std::string_view line);
    // Whether `line` (of a WebVTT file) must wait for the next line to be classified.
    bool MustHold(std::string_view line) const;
    // Keeps a copy of `line` until the next line is seen.
    void Hold(std::string_view line);
    std::string_view RewriteHeld(bool before_timing);
    // A line of a WebVTT file, as its block makes it.
    std::string_view Classify(std::string_view line, Slot& slot);
    std::string_view RewriteTiming(std::string_view line, Slot& slot);
    // Writes the timing line read last with the times `start` and `end` to `out`; returns where it ends.
    char* PutTimingLine(char* out, const ClockTime& start, const ClockTime& end) const;
    // Moves a cue's two times by the run's transform, counting what the notes tell; false, changing nothing, when a
    // time would go past the largest one (the cue is then left as it is).
    bool MoveCue(ClockTime* start, ClockTime* end);
    // A MicroDVD frame line "{start}{end}text": its frames moved as times at the file's frame rate.
    std::size_t FeedFrameLine(std::string_view line);
    std::string_view RewriteFrames(std::string_view line,
                                   const std::uint64_t frames[2],
                                   std::size_t text,
                                   std::string& buffer);
    std::string_view RewriteNumber(std::string_view line, Slot& slot);
    std::string_view RewriteText(std::string_view line, Slot& slot);
    std::string_view ShiftInlineTimestamps(std::string_view line, std::string& buffer);
    // After a switched WebVTT line: its inline timestamps, which the reversal put in decreasing order, written in
    // increasing order at their new places, so that the cue stays valid WebVTT.
    std::string_view OrderInlineTimestamps(std::string_view line, std::string& buffer);
    // Shifts `*time` when it is inside the run's window, stopping at 0 (`*clamped` then set).
    // Returns false, changing nothing, when the shift would take it past the largest time.
    bool Shift(CueTime* time, bool* clamped) const;

    // Makes m_transform the one of the cue that starts at `start`.
    void UsePieceAt(CueTime start);

    TimeTransform m_transform;  // of the current cue
    bool m_shift_only;          // the transform is an offset: the common case takes an addition
    std::int64_t m_shift;       // that offset
    TimeTransform m_first_piece;
    std::vector<TimePiece> m_pieces;  // after cuts; empty for one transform
    bool m_moves_nothing;             // no time moves and none is collected: timing lines are handed out as they are
    std::vector<CueTime>* m_starts = nullptr;
    TimeWindow m_window;
    std::uint32_t m_reduce_number;
    bool m_switch_orientation;
    RtlFixMode m_rtl_fix;
    RtlSource m_rtl_source;
    bool m_to_utf8;
    bool m_byte_order_mark;
    CodePage m_code_page;
    SubtitleFormat m_format;
    Block m_block = Block::kCues;
    bool m_at_block_start = true;  // the previous line was blank, or this is the first line
    bool m_first_line = true;

    RewriteCounts m_counts;
    // A timing line of the usual form, in a run that moves every time alike (one offset, no window, no cue starts
    // collected), has its times moved in their text (FeedArrowLineTo), once the first cue was counted. The last such
    // line is kept as it was, and its times read only when the counts are asked for.
    ClockTextShift m_text_shift;
    bool m_moves_text;
    bool m_last_span_in_text = false;
    char m_last_times[kFixedTimingLineLength];
    FrameRate m_fps;  // of MicroDVD frame lines; numerator 0 until known
    bool m_first_frame_line = true;
    // The last timing line was left as it is for the largest time: the timestamps in its cue's text stay too.
    bool m_cue_left = false;

    bool m_holding = false;
    // Copies of held lines, used in turn: the replacement of one held line may still be handed out while the next
    // is copied.
    std::string m_held[2];  // only grow; m_held_size tells how much is the line
    std::size_t m_held_size[2] = {0, 0};
    std::size_t m_held_index = 0;
    // WebVTT: whether the current line was already looked at as a timing line (while deciding about the held line),
    // and what was found.
    bool m_timing_known = false;
    bool m_timing_readable = false;
    TimingLine m_timing;

    // The inline timestamps of one line: where each stands ([open, close] of its brackets) and its time; only grows.
    struct InlineStamp {
        std::size_t open, close;
        CueTime ms;
    };
    std::vector<InlineStamp> m_stamps;
    std::vector<InlineStamp> m_sorted_stamps;

    std::string_view m_ready[2];
    Slot m_slots[2];
    TextReverser m_reverser;
    RtlFixer m_fixer;
    std::string m_name;  // of the file, for messages
    std::string m_decoded;
    std::string m_failure;
    std::uint64_t m_rtl_lines_seen = 0;
};
