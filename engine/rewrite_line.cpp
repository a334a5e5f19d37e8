#include "engine/rewrite_line.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "engine/utf8.h"
#include "platform/byte_search.h"

namespace {

constexpr std::size_t kLongestTimingLine = 2 * kLongestClockTime + 5;  // START --> END
// Cue numbers up to this many significant digits are lowered; longer ones are left as they are.
constexpr std::size_t kLongestCueNumber = 18;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Whether the line holds "-->". Most lines have no '>' at all (UTF-8 letters never contain the byte), and the C
// library's search looks at many bytes at a time.
bool ContainsArrow(std::string_view line) {
    const char* const begin = line.data();
    const char* const end = begin + line.size();
    for (const char* p = begin + 2; p < end;) {
        const char* found = FindByte(p, end, '>');
        if (found == nullptr) {
            return false;
        }
        if (found[-1] == '-' && found[-2] == '-') {
            return true;
        }
        p = found + 1;
    }
    return false;
}

// ASCII digits with optional blanks around them: a cue number if a timing line follows.
bool IsNumberLine(std::string_view line) {
    std::size_t i = 0;
    while (i < line.size() && IsBlank(line[i])) {
        ++i;
    }
    const std::size_t digits_start = i;
    while (i < line.size() && IsDigit(line[i])) {
        ++i;
    }
    if (i == digits_start) {
        return false;
    }
    while (i < line.size() && IsBlank(line[i])) {
        ++i;
    }
    return i == line.size();
}

bool StartsWithKeyword(std::string_view line, std::string_view keyword) {
    return line.substr(0, keyword.size()) == keyword &&
           (line.size() == keyword.size() || IsBlank(line[keyword.size()]));
}

// WebVTT blocks that hold no cues and are copied as they are.
bool StartsCopiedBlock(std::string_view line) {
    return StartsWithKeyword(line, "NOTE") || StartsWithKeyword(line, "STYLE") || StartsWithKeyword(line, "REGION");
}

// Makes room for `size` bytes without ever shrinking, so that a buffer stops allocating once it has seen the longest
// line.
char* Reserve(std::string& buffer, std::size_t size) {
    if (buffer.size() < size) {
        buffer.resize(size);
    }
    return &buffer[0];
}

}  // namespace

LineRewriter::LineRewriter(const SyncSettings& settings, SubtitleFormat format)
    : m_transform(settings.Transform()),
      m_shift_only(m_transform.IsShift()),
      m_shift(m_transform.Offset()),
      m_first_piece(m_transform),
      m_moves_nothing(m_shift_only && m_shift == 0 && settings.m_cuts.empty()),
      m_window(settings.Window()),
      m_reduce_number(settings.m_nReduceNumber),
      m_switch_orientation(settings.m_bSwitchOrientation != 0),
      m_rtl_fix(settings.m_rtlFix),
      m_rtl_source(settings.m_rtlSource),
      m_to_utf8(settings.m_bToUtf8 != 0),
      m_byte_order_mark(settings.m_bByteOrderMark != 0),
      m_code_page(settings.m_codePage),
      m_format(format),
      m_text_shift(m_shift),
      m_moves_text(m_shift_only && settings.m_cuts.empty() && m_window.from == 0 &&
                   m_window.to == std::numeric_limits<CueTime>::max() && ClockTextShift::Fits(m_shift)) {
    m_fps = settings.m_fps;
    for (const TimePiece& cut : settings.m_cuts) {
        m_pieces.push_back({cut.from, cut.transform.ShiftedBy(settings.OffsetMs())});
    }
    Reserve(m_slots[0].out, 64);
    Reserve(m_slots[1].out, 64);
    m_reverser.SetCodePage(m_code_page);
    ConfigureFixer();
}

void LineRewriter::ConfigureFixer() {
    // Until the convention is decided, lines are taken as logical: what a file without right-to-left lines needs.
    m_fixer.Configure(m_rtl_fix, m_rtl_source == RtlSource::kDetect ? RtlSource::kLogical : m_rtl_source, m_code_page);
}

Status LineRewriter::Decide(std::string_view text, const std::string& name) {
    m_name = name;
    if (!ReadsText()) {
        return Status::OK();
    }
    // The first bytes of a longer file end inside a line, maybe inside a character: only whole lines count.
    const std::size_t last_line_end = text.find_last_of('\n');
    text = last_line_end == std::string_view::npos ? text : text.substr(0, last_line_end + 1);
    Status status = DecideCodePage(text, name);
    if (!status.ok() || m_rtl_fix == RtlFixMode::kOff) {
        return status;
    }
    ConventionVotes votes;
    votes.CountText(text, m_code_page);
    m_rtl_lines_seen = votes.right_to_left;
    if (m_rtl_source == RtlSource::kDetect) {
        m_rtl_source = votes.Decision();
        if (m_rtl_source == RtlSource::kDetect && votes.right_to_left > votes.marked) {
            return Status::Error(Status::Code::kUnsupported,
                                 "Cannot fix the right-to-left lines of " + name + ": " +
                                     std::to_string(votes.community) +
                                     " of them have their punctuation at the start, as for players that lay out "
                                     "every line left to right, and " +
                                     std::to_string(votes.logical) +
                                     " at the end, in logical order, which does not tell how the file is written; "
                                     "say which with --rtl-source=community or --rtl-source=logical");
        }
        m_rtl_source = m_rtl_source == RtlSource::kDetect ? RtlSource::kLogical : m_rtl_source;
    }
    ConfigureFixer();
    return Status::OK();
}

Status LineRewriter::DecideCodePage(std::string_view text, const std::string& name) {
    if (m_code_page != CodePage::kDetect) {
        return Status::OK();
    }
    CodePage doubt = CodePage::kDetect;
    m_code_page = GuessCodePage(reinterpret_cast<const unsigned char*>(text.data()), text.size(), &doubt);
    m_reverser.SetCodePage(m_code_page);
    if (m_to_utf8 && doubt != CodePage::kDetect) {
        return Status::Error(Status::Code::kUnsupported, "Cannot convert " + name + " to UTF-8: its text may be " +
                                                             CodePageName(m_code_page) + " or " + CodePageName(doubt) +
                                                             ", and its bytes do not tell which; say which with "
                                                             "--code-page");
    }
    return Status::OK();
}

std::string_view LineRewriter::ToUtf8(std::string_view line) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(line.data());
    if (IsValidUtf8(bytes, line.size())) {
        return line;
    }
    if (m_code_page == CodePage::kDetect) {
        // The first bytes held no single-byte text: this line decides, and must be clear about it.
        const Status status = DecideCodePage(line, m_name);
        if (!status.ok()) {
            m_failure = status.message();
            return line;
        }
        ConfigureFixer();
    }
    unsigned char undefined = 0;
    if (!DecodeToUtf8(line, m_code_page, &m_decoded, &undefined)) {
        static const char kHex[] = "0123456789ABCDEF";
        m_failure = "Cannot convert " + m_name + " to UTF-8: line " + std::to_string(m_counts.line_number) +
                    " holds the byte 0x" + kHex[undefined >> 4] + kHex[undefined & 15] + ", which " +
                    CodePageName(m_code_page) + " does not define";
        return line;
    }
    ++m_counts.converted_lines;
    return m_decoded;
}

void RewriteCounts::Add(const RewriteCounts& later) {
    line_number += later.line_number;
    timing_lines += later.timing_lines;
    clamped_times += later.clamped_times;
    unreadable_lines += later.unreadable_lines;
    lines_past_largest += later.lines_past_largest;
    moved_times += later.moved_times;
    times_outside_window += later.times_outside_window;
    cues_ending_before_start += later.cues_ending_before_start;
    numbers_at_or_below_zero += later.numbers_at_or_below_zero;
    frame_lines_without_rate += later.frame_lines_without_rate;
    converted_lines += later.converted_lines;
    if (later.spans.found) {
        spans.first_before = spans.found ? spans.first_before : later.spans.first_before;
        spans.first_after = spans.found ? spans.first_after : later.spans.first_after;
        spans.last_before = later.spans.last_before;
        spans.last_after = later.spans.last_after;
        spans.found = true;
    }
}

void LineRewriter::StartPartAfterEmptyLine(const LineRewriter& first) {
    m_counts = RewriteCounts();
    m_last_span_in_text = false;
    m_format = first.m_format;
    m_first_line = false;
    m_block = Block::kCues;
    m_at_block_start = true;
    m_cue_left = false;
    m_holding = false;
}

void LineRewriter::ContinueAfterPart(const LineRewriter& second) {
    RewriteCounts later = second.m_counts;
    later.spans = second.Spans();
    m_last_span_in_text = m_last_span_in_text && !later.spans.found;
    m_counts.Add(later);
    m_failure = m_failure.empty() ? second.m_failure : m_failure;
    m_transform = second.m_transform;
    m_shift_only = second.m_shift_only;
    m_shift = second.m_shift;
}

std::size_t LineRewriter::Feed(std::string_view line) {
    ++m_counts.line_number;
    if (m_to_utf8) {
        line = ToUtf8(line);
    }
    if (m_format == SubtitleFormat::kDetect) {
        m_format = IsWebVttStart(line) ? SubtitleFormat::kWebVtt : SubtitleFormat::kSubRip;
    }
    return IsWebVtt() ? FeedWebVtt(line) : FeedSubRip(line);
}

std::size_t LineRewriter::FeedArrowLine(std::string_view line) {
    char* const begin = Reserve(m_slots[1].out, ArrowLineRoom(line));
    m_ready[0] = std::string_view(begin, static_cast<std::size_t>(FeedArrowLineTo(line, begin) - begin));
    return 1;
}

std::size_t LineRewriter::ArrowLineRoom(std::string_view line) {
    return kLongestTimingLine + line.size();
}

CueSpans LineRewriter::Spans() const {
    CueSpans spans = m_counts.spans;
    if (m_last_span_in_text) {
        ReadFixedTime(m_last_times, &spans.last_before.start);
        ReadFixedTime(m_last_times + kFixedEndTime, &spans.last_before.end);
        spans.last_after.start = static_cast<CueTime>(spans.last_before.start + m_shift);
        spans.last_after.end = static_cast<CueTime>(spans.last_before.end + m_shift);
    }
    return spans;
}

char* LineRewriter::FeedArrowLineTo(std::string_view line, char* out) {
    ++m_counts.line_number;
    if (m_moves_text && m_counts.spans.found && m_starts == nullptr && line.size() == kFixedTimingLineLength &&
        !IsWebVtt() && std::memcmp(line.data() + 12, " --> ", 5) == 0 && m_text_shift.Move(line.data(), out) &&
        m_text_shift.Move(line.data() + kFixedEndTime, out + kFixedEndTime)) {
        // What MoveCue counts for a cue that one offset moves, inside the window, and nowhere near a limit.
        std::memcpy(out + 12, " --> ", 5);
        std::memcpy(m_last_times, line.data(), kFixedTimingLineLength);
        m_last_span_in_text = true;
        ++m_counts.timing_lines;
        m_counts.moved_times += m_moves_nothing ? 0 : 2;
        m_cue_left = false;
        return out + kFixedTimingLineLength;
    }
    if (ParseTimingLine(line, false, &m_timing)) {
        ClockTime start = m_timing.start;
        ClockTime end = m_timing.end;
        if (MoveCue(&start, &end)) {
            return PutTimingLine(out, start, end);
        }
    } else {
        ++m_counts.unreadable_lines;
    }
    std::memcpy(out, line.data(), line.size());
    return out + line.size();
}

std::size_t LineRewriter::FeedSubRip(std::string_view line) {
    if (!line.empty() && line[0] == '{' && IsFrameLine(line)) {
        return FeedFrameLine(line);
    }
    std::size_t count = 0;
    const bool arrow = ContainsArrow(line);
    const bool timing = arrow && ParseTimingLine(line, false, &m_timing);
    if (m_holding) {
        m_holding = false;
        m_ready[count++] = RewriteHeld(timing);
    }
    if (timing) {
        m_ready[count++] = RewriteTiming(line, m_slots[1]);
    } else if (arrow) {
        ++m_counts.unreadable_lines;
        m_ready[count++] = line;
    } else if (IsNumberLine(line)) {
        Hold(line);
    } else {
        m_ready[count++] = m_switch_orientation || m_rtl_fix != RtlFixMode::kOff ? RewriteText(line, m_slots[1]) : line;
    }
    return count;
}

namespace {

// The two frame numbers of a MicroDVD line "{start}{end}text", and where the text starts; false when a number has more
// than nine digits.
bool ReadFrames(std::string_view line, std::uint64_t frames[2], std::size_t* text) {
    std::size_t i = 0;
    for (int field = 0; field < 2; ++field) {
        frames[field] = 0;
        const std::size_t digits = ++i;  // past '{'
        for (; line[i] != '}'; ++i) {
            frames[field] = frames[field] * 10 + static_cast<std::uint64_t>(line[i] - '0');
        }
        if (i - digits > 9) {
            return false;
        }
        ++i;
    }
    *text = i;
    return true;
}

}  // namespace

std::size_t LineRewriter::FeedFrameLine(std::string_view line) {
    std::size_t count = 0;
    if (m_holding) {
        m_holding = false;
        m_ready[count++] = RewriteHeld(false);
    }
    std::uint64_t frames[2];
    std::size_t text = 0;
    const bool readable = ReadFrames(line, frames, &text);
    // The first line of many files gives the video's frame rate: "{1}{1}23.976". It is kept as it is.
    FrameRate declared;
    const bool declaration = m_first_frame_line && readable && frames[0] == frames[1] && frames[0] <= 1 &&
                             FrameRate::Parse(std::string(line.substr(text)), &declared);
    m_first_frame_line = false;
    if (declaration) {
        m_fps = m_fps.numerator == 0 ? declared : m_fps;
        m_ready[count++] = line;
        return count;
    }
    Slot& slot = m_slots[1];
    std::string_view shifted = line;
    if (!readable || (m_moves_nothing && m_starts == nullptr)) {
        // nothing to move
    } else if (m_fps.numerator == 0) {
        ++m_counts.frame_lines_without_rate;
    } else {
        shifted = RewriteFrames(line, frames, text, slot.stamped);
    }
    m_ready[count++] = m_switch_orientation || m_rtl_fix != RtlFixMode::kOff ? RewriteText(shifted, slot) : shifted;
    return count;
}

std::string_view LineRewriter::RewriteFrames(std::string_view line,
                                             const std::uint64_t frames[2],
                                             std::size_t text,
                                             std::string& buffer) {
    // A frame is 1000 x denominator / numerator ms; both ways round to the nearest, a half up.
    const std::uint64_t numerator = m_fps.numerator;
    const std::uint64_t denominator = m_fps.denominator;
    ClockTime times[2];
    for (int i = 0; i < 2; ++i) {
        const std::uint64_t ms = (2 * frames[i] * 1000 * denominator + numerator) / (2 * numerator);
        times[i].ms = static_cast<CueTime>(std::min<std::uint64_t>(ms, std::numeric_limits<CueTime>::max()));
    }
    m_timing = TimingLine();
    m_timing.start = times[0];
    m_timing.end = times[1];
    // The cue's times go through the same rules as a timing line's, then back to frames.
    if (!MoveCue(&times[0], &times[1])) {
        return line;
    }
    char* const out = Reserve(buffer, line.size() + 2 * 20);
    std::size_t used = 0;
    for (int i = 0; i < 2; ++i) {
        const std::uint64_t ms = times[i].ms;
        const std::uint64_t frame = (2 * ms * numerator + 1000 * denominator) / (2 * 1000 * denominator);
        const std::string digits = std::to_string(frame);
        out[used++] = '{';
        std::memcpy(out + used, digits.data(), digits.size());
        used += digits.size();
        out[used++] = '}';
    }
    std::memcpy(out + used, line.data() + text, line.size() - text);
    return std::string_view(out, used + line.size() - text);
}

std::size_t LineRewriter::FeedWebVtt(std::string_view line) {
    std::size_t count = 0;
    m_timing_known = false;
    if (m_holding) {
        m_holding = false;
        // The held line is a cue number or an identifier exactly when this line is a readable timing line.
        m_timing_known = m_block == Block::kCues && ContainsArrow(line);
        m_timing_readable = m_timing_known && ParseTimingLine(line, true, &m_timing);
        m_ready[count++] = RewriteHeld(m_timing_readable);
    }
    if (MustHold(line)) {
        Hold(line);
        m_first_line = false;
        m_at_block_start = false;
        return count;
    }
    m_ready[count++] = Classify(line, m_slots[1]);
    return count;
}

void LineRewriter::Hold(std::string_view line) {
    m_held_index ^= 1;
    std::memcpy(Reserve(m_held[m_held_index], line.size()), line.data(), line.size());
    m_held_size[m_held_index] = line.size();
    m_holding = true;
}

std::size_t LineRewriter::Finish() {
    if (!m_holding) {
        return 0;
    }
    m_holding = false;
    m_ready[0] = RewriteHeld(false);
    return 1;
}

bool LineRewriter::MustHold(std::string_view line) const {
    if (m_block != Block::kCues) {
        return false;
    }
    if (IsNumberLine(line)) {
        return true;
    }
    // A WebVTT block may open with an identifier, which must not be taken for text.
    return IsWebVtt() && m_at_block_start && !line.empty() && !ContainsArrow(line) && !StartsCopiedBlock(line) &&
           !(m_first_line && IsWebVttStart(line));
}

std::string_view LineRewriter::RewriteHeld(bool before_timing) {
    const std::string_view held(m_held[m_held_index].data(), m_held_size[m_held_index]);
    if (!before_timing) {
        return RewriteText(held, m_slots[0]);
    }
    // SubRip holds only numbers; WebVTT also holds identifiers, which stay as they are.
    return !IsWebVtt() || IsNumberLine(held) ? RewriteNumber(held, m_slots[0]) : held;
}

std::string_view LineRewriter::Classify(std::string_view line, Slot& slot) {
    const bool first_line = m_first_line;
    m_first_line = false;
    if (line.empty()) {
        m_block = Block::kCues;
        m_at_block_start = true;
        m_cue_left = false;
        return line;
    }
    const bool at_block_start = m_at_block_start;
    m_at_block_start = false;
    if (m_block == Block::kCopied) {
        return line;
    }
    if ((first_line && IsWebVttStart(line)) || (at_block_start && StartsCopiedBlock(line))) {
        m_block = Block::kCopied;
        return line;
    }
    if (!m_timing_known) {
        m_timing_known = ContainsArrow(line);
        m_timing_readable = m_timing_known && ParseTimingLine(line, true, &m_timing);
    }
    if (m_timing_readable) {
        return RewriteTiming(line, slot);
    }
    if (m_timing_known) {
        ++m_counts.unreadable_lines;
        return line;
    }
    return RewriteText(line, slot);
}

bool LineRewriter::Shift(CueTime* time, bool* clamped) const {
    if (!m_window.Contains(*time)) {
        return true;  // outside the window: stays as it is
    }
    const std::int64_t shifted = m_shift_only ? *time + m_shift : m_transform.Apply(*time);
    if (shifted < 0) {
        *time = 0;
        *clamped = true;
    } else if (shifted > std::numeric_limits<CueTime>::max()) {
        return false;
    } else {
        *time = static_cast<CueTime>(shifted);
    }
    return true;
}

std::string_view LineRewriter::RewriteTiming(std::string_view line, Slot& slot) {
    ClockTime start = m_timing.start;
    ClockTime end = m_timing.end;
    if (!MoveCue(&start, &end)) {
        return line;
    }
    char* const begin = Reserve(slot.out, kLongestTimingLine + m_timing.rest.size());
    return std::string_view(begin, static_cast<std::size_t>(PutTimingLine(begin, start, end) - begin));
}

char* LineRewriter::PutTimingLine(char* out, const ClockTime& start, const ClockTime& end) const {
    const bool vtt = IsWebVtt();
    out = PutClockTime(out, start.ms, vtt ? '.' : ',', !vtt || start.has_hours);
    std::memcpy(out, " --> ", 5);
    out = PutClockTime(out + 5, end.ms, vtt ? '.' : ',', !vtt || end.has_hours);
    const std::string_view rest = m_timing.rest;
    if (!rest.empty()) {
        std::memcpy(out, rest.data(), rest.size());
        out += rest.size();
    }
    return out;
}

void LineRewriter::UsePieceAt(CueTime start) {
    m_transform = PieceAt(m_pieces, m_first_piece, start);
    m_shift_only = m_transform.IsShift();
    m_shift = m_transform.Offset();
}

bool LineRewriter::MoveCue(ClockTime* moved_start, ClockTime* moved_end) {
    ClockTime& start = *moved_start;
    ClockTime& end = *moved_end;
    bool start_clamped = false;
    bool end_clamped = false;
    ++m_counts.timing_lines;
    if (m_starts != nullptr) {
        m_starts->push_back(start.ms);
    }
    if (!m_pieces.empty()) {
        UsePieceAt(start.ms);
    }
    m_cue_left = !Shift(&start.ms, &start_clamped) || !Shift(&end.ms, &end_clamped);
    if (m_cue_left) {
        ++m_counts.lines_past_largest;
        return false;
    }
    m_counts.clamped_times += static_cast<std::uint64_t>(start_clamped) + static_cast<std::uint64_t>(end_clamped);
    const std::uint64_t inside = static_cast<std::uint64_t>(m_window.Contains(m_timing.start.ms)) +
                                 static_cast<std::uint64_t>(m_window.Contains(m_timing.end.ms));
    m_counts.moved_times += m_moves_nothing ? 0 : inside;
    m_counts.times_outside_window += 2 - inside;
    m_counts.cues_ending_before_start += m_timing.end.ms >= m_timing.start.ms && end.ms < start.ms ? 1 : 0;
    const CueSpan before{m_timing.start.ms, m_timing.end.ms};
    const CueSpan after{start.ms, end.ms};
    if (!m_counts.spans.found) {
        m_counts.spans.found = true;
        m_counts.spans.first_before = before;
        m_counts.spans.first_after = after;
    }
    m_counts.spans.last_before = before;
    m_counts.spans.last_after = after;
    m_last_span_in_text = false;
    return true;
}

std::string_view LineRewriter::RewriteNumber(std::string_view line, Slot& slot) {
    if (KeepsNumber(line)) {
        return line;
    }
    std::size_t i = 0;
    while (i < line.size() && (IsBlank(line[i]) || line[i] == '0')) {
        ++i;
    }
    std::uint64_t number = 0;
    std::size_t digits = 0;
    for (; i < line.size() && IsDigit(line[i]); ++i, ++digits) {
        number = number * 10 + static_cast<std::uint64_t>(line[i] - '0');
    }
    if (number == 0 || digits > kLongestCueNumber) {
        return line;
    }
    const std::int64_t lowered = static_cast<std::int64_t>(number) - m_reduce_number;
    m_counts.numbers_at_or_below_zero += lowered <= 0 ? 1 : 0;
    std::uint64_t magnitude =
        lowered < 0 ? 0 - static_cast<std::uint64_t>(lowered) : static_cast<std::uint64_t>(lowered);
    char text[24];
    char* end = text + sizeof text;
    char* out = end;
    for (; magnitude > 0xFFFFFFFFu; magnitude /= 10) {
        *--out = static_cast<char>('0' + magnitude % 10);
    }
    auto small = static_cast<std::uint32_t>(magnitude);  // 32-bit division is much cheaper
    do {
        *--out = static_cast<char>('0' + small % 10);
        small /= 10;
    } while (small != 0);
    if (lowered < 0) {
        *--out = '-';
    }
    const auto length = static_cast<std::size_t>(end - out);
    std::memcpy(Reserve(slot.out, length), out, length);
    return std::string_view(slot.out.data(), length);
}

std::string_view LineRewriter::RewriteText(std::string_view line, Slot& slot) {
    const std::string_view text = IsWebVtt() && !m_cue_left ? ShiftInlineTimestamps(line, slot.stamped) : line;
    if (m_rtl_fix != RtlFixMode::kOff) {
        if (m_code_page == CodePage::kDetect &&
            !IsValidUtf8(reinterpret_cast<const unsigned char*>(text.data()), text.size())) {
            // The file's first bytes held no single-byte text: this line decides (no doubt matters without a
            // conversion).
            static_cast<void>(DecideCodePage(text, m_name));
            ConfigureFixer();
        }
        const std::string_view fixed = m_fixer.Fix(text);
        if (fixed.data() == text.data()) {
            return text;
        }
        // The fixer's buffer is reused by the next line, which may be handed out with this one.
        std::memcpy(Reserve(slot.out, fixed.size()), fixed.data(), fixed.size());
        const std::string_view kept(slot.out.data(), fixed.size());
        return IsWebVtt() ? OrderInlineTimestamps(kept, slot.stamped) : kept;
    }
    if (!m_switch_orientation) {
        return text;
    }
    char* out = Reserve(slot.out, text.size());
    m_reverser.Reverse(text, out);
    const std::string_view reversed(out, text.size());
    // The shifted text in slot.stamped has been read: the buffer is free again.
    return IsWebVtt() ? OrderInlineTimestamps(reversed, slot.stamped) : reversed;
}

std::string_view LineRewriter::OrderInlineTimestamps(std::string_view line, std::string& buffer) {
    m_stamps.clear();
    for (std::size_t open = line.find('<'); open != std::string_view::npos; open = line.find('<', open + 1)) {
        std::size_t pos = open + 1;
        ClockTime time;
        if (pos < line.size() && IsDigit(line[pos]) && ParseClockTime(line, &pos, true, &time) && pos < line.size() &&
            line[pos] == '>') {
            m_stamps.push_back({open, pos, time.ms});
        }
    }
    const auto earlier = [](const InlineStamp& a, const InlineStamp& b) { return a.ms < b.ms; };
    if (std::is_sorted(m_stamps.begin(), m_stamps.end(), earlier)) {
        return line;
    }
    m_sorted_stamps = m_stamps;
    std::stable_sort(m_sorted_stamps.begin(), m_sorted_stamps.end(), earlier);
    // The i-th place takes the i-th earliest timestamp's text, brackets included; texts may differ in length.
    char* const begin = Reserve(buffer, line.size());
    char* out = begin;
    std::size_t copied = 0;
    for (std::size_t i = 0; i < m_stamps.size(); ++i) {
        const InlineStamp& place = m_stamps[i];
        const InlineStamp& stamp = m_sorted_stamps[i];
        std::memcpy(out, line.data() + copied, place.open - copied);
        out += place.open - copied;
        std::memcpy(out, line.data() + stamp.open, stamp.close + 1 - stamp.open);
        out += stamp.close + 1 - stamp.open;
        copied = place.close + 1;
    }
    std::memcpy(out, line.data() + copied, line.size() - copied);
    out += line.size() - copied;
    return std::string_view(begin, static_cast<std::size_t>(out - begin));
}

std::string_view LineRewriter::ShiftInlineTimestamps(std::string_view line, std::string& buffer) {
    std::size_t copied = 0;  // bytes of `line` already in `buffer`
    std::size_t used = 0;
    for (std::size_t open = line.find('<'); open != std::string_view::npos; open = line.find('<', open + 1)) {
        std::size_t pos = open + 1;
        ClockTime time;
        if (pos >= line.size() || !IsDigit(line[pos]) || !ParseClockTime(line, &pos, true, &time) ||
            pos >= line.size() || line[pos] != '>') {
            continue;
        }
        bool clamped = false;
        if (!Shift(&time.ms, &clamped)) {
            continue;
        }
        m_counts.clamped_times += clamped ? 1 : 0;
        char* out = Reserve(buffer, used + (open + 1 - copied) + kLongestClockTime + (line.size() - pos)) + used;
        std::memcpy(out, line.data() + copied, open + 1 - copied);
        out += open + 1 - copied;
        out = PutClockTime(out, time.ms, '.', time.has_hours);
        used = static_cast<std::size_t>(out - buffer.data());
        copied = pos;
    }
    if (copied == 0) {
        return line;
    }
    std::memcpy(Reserve(buffer, used + line.size() - copied) + used, line.data() + copied, line.size() - copied);
    used += line.size() - copied;
    return std::string_view(buffer.data(), used);
}
