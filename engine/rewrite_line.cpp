#include "engine/rewrite_line.h"

#include <cstring>

namespace {

constexpr std::size_t kLongestNumberLine = 3;
constexpr std::size_t kTimeLength = 12;        // HH:MM:SS,mmm
constexpr std::size_t kTimingLineLength = 29;  // HH:MM:SS,mmm --> HH:MM:SS,mmm
constexpr CueTime kHundredHours = 100 * 3600000;

struct FieldPosition {
    std::size_t offset;
    std::size_t length;
};

// Start hours, minutes, seconds, milliseconds, then the same for the end.
constexpr FieldPosition kTimingFields[8] = {{0, 2}, {3, 2}, {6, 2}, {9, 3}, {17, 2}, {20, 2}, {23, 2}, {26, 3}};

bool IsAsciiSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// A field is cut out of the line first; the part past the end of the line is simply missing.
std::int32_t ReadField(std::string_view line, const FieldPosition& field) {
    if (field.offset >= line.size()) {
        return 0;
    }
    const std::string_view text = line.substr(field.offset, field.length);
    // Fields of digits only, the usual case, skip the general parser's white space and sign handling.
    std::uint32_t value = 0;
    for (const char c : text) {
        const auto digit = static_cast<std::uint32_t>(static_cast<unsigned char>(c)) - '0';
        if (digit > 9) {
            return ParseLeadingInt(text);
        }
        value = value * 10 + digit;
    }
    return static_cast<std::int32_t>(value);
}

CueTime ReadTime(std::string_view line, const FieldPosition* fields) {
    // The usual case, HH:MM:SS,mmm all there and all digits, is read in one go; each field then holds its digits'
    // value, which is what the field-by-field reading below would find.
    constexpr std::size_t kDigitPlaces[9] = {0, 1, 3, 4, 6, 7, 9, 10, 11};
    if (line.size() >= fields[0].offset + kTimeLength) {
        const char* p = line.data() + fields[0].offset;
        CueTime d[9];
        bool all_digits = true;
        for (int i = 0; i < 9; ++i) {
            d[i] = static_cast<CueTime>(static_cast<unsigned char>(p[kDigitPlaces[i]])) - '0';
            all_digits &= d[i] <= 9;
        }
        if (all_digits) {
            const CueTime hours = d[0] * 10 + d[1];
            const CueTime minutes = d[2] * 10 + d[3];
            const CueTime seconds = d[4] * 10 + d[5];
            const CueTime milliseconds = d[6] * 100 + d[7] * 10 + d[8];
            return milliseconds + 1000 * (seconds + 60 * (minutes + 60 * hours));
        }
    }
    const auto hours = static_cast<CueTime>(ReadField(line, fields[0]));
    const auto minutes = static_cast<CueTime>(ReadField(line, fields[1]));
    const auto seconds = static_cast<CueTime>(ReadField(line, fields[2]));
    const auto milliseconds = static_cast<CueTime>(ReadField(line, fields[3]));
    return milliseconds + 1000 * (seconds + 60 * (minutes + 60 * hours));
}

// Whether the line holds "-->". Most lines are short and have no '>' at all (UTF-8 letters never contain the byte),
// so eight bytes at a time are skipped while none is '>', which costs less than a library search per line.
bool ContainsArrow(std::string_view line) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    constexpr std::uint64_t kHighBits = 0x8080808080808080ull;
    const char* p = line.data();
    const std::size_t size = line.size();
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, p + i, 8);
        const std::uint64_t matches = word ^ (kOnes * '>');
        if (((matches - kOnes) & ~matches & kHighBits) != 0) {
            break;
        }
    }
    for (; i < size; ++i) {
        if (p[i] == '>' && i >= 2 && p[i - 1] == '-' && p[i - 2] == '-') {
            return true;
        }
    }
    return false;
}

// Writes `value` with at least `width` digits; returns the end.
char* PutDigits(char* out, std::uint32_t value, int width) {
    char digits[10];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count < width) {
        digits[count++] = '0';
    }
    while (count > 0) {
        *out++ = digits[--count];
    }
    return out;
}

// "00" to "99", so that two digits take one lookup instead of a division loop.
struct DigitPairs {
    char text[200];
};

constexpr DigitPairs BuildDigitPairs() {
    DigitPairs pairs{};
    for (int i = 0; i < 100; ++i) {
        pairs.text[2 * i] = static_cast<char>('0' + i / 10);
        pairs.text[2 * i + 1] = static_cast<char>('0' + i % 10);
    }
    return pairs;
}

constexpr DigitPairs kDigitPairs = BuildDigitPairs();

// Writes `value` (below 100) as two digits; returns the end.
char* PutTwoDigits(char* out, std::uint32_t value) {
    out[0] = kDigitPairs.text[2 * value];
    out[1] = kDigitPairs.text[2 * value + 1];
    return out + 2;
}

char* PutTime(char* out, CueTime time) {
    const CueTime hours = time / 3600000;
    out = hours < 100 ? PutTwoDigits(out, hours) : PutDigits(out, hours, 2);
    *out++ = ':';
    out = PutTwoDigits(out, time % 3600000 / 60000);
    *out++ = ':';
    out = PutTwoDigits(out, time % 60000 / 1000);
    *out++ = ',';
    const CueTime milliseconds = time % 1000;
    *out++ = static_cast<char>('0' + milliseconds / 100);
    return PutTwoDigits(out, milliseconds % 100);
}

char* PutTimingLine(char* out, CueTime start, CueTime end) {
    out = PutTime(out, start);
    std::memcpy(out, " --> ", 5);
    return PutTime(out + 5, end);
}

}  // namespace

std::int32_t ParseLeadingInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsAsciiSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::uint32_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + static_cast<std::uint32_t>(text[i] - '0');
    }
    return static_cast<std::int32_t>(negative ? 0u - value : value);
}

LineRewriter::LineRewriter(const SyncSettings& settings)
    : m_offset_ms(settings.OffsetMs()),
      m_window_from_ms(settings.WindowFromMs()),
      m_window_to_ms(settings.WindowToMs()),
      m_reduce_number(settings.m_nReduceNumber),
      m_switch_orientation(settings.m_bSwitchOrientation != 0),
      m_between_times(settings.m_bBetweenTimes != 0) {
    m_out.reserve(64);
}

std::string_view LineRewriter::Rewrite(std::string_view line) {
    if (!line.empty() && line.size() <= kLongestNumberLine) {
        return RewriteNumber(line);
    }
    if (ContainsArrow(line)) {
        return RewriteTiming(line);
    }
    if (!m_switch_orientation) {
        return line;
    }
    if (m_reversed.size() < line.size()) {
        m_reversed.resize(line.size());
    }
    m_reverser.Reverse(line, &m_reversed[0]);
    return std::string_view(m_reversed.data(), line.size());
}

std::string_view LineRewriter::RewriteNumber(std::string_view line) {
    const std::int32_t number = ParseLeadingInt(line);
    if (number == 0) {
        return line;
    }
    const auto lowered = static_cast<std::int32_t>(static_cast<std::uint32_t>(number) - m_reduce_number);
    char text[12];
    char* out = text;
    if (lowered < 0) {
        *out++ = '-';
    }
    const std::uint32_t magnitude = lowered < 0 ? 0u - static_cast<std::uint32_t>(lowered) : lowered;
    out = PutDigits(out, magnitude, 1);
    m_out.assign(text, out);
    return m_out;
}

CueTime LineRewriter::Shift(CueTime time) {
    if (m_offset_ms < 0 && time < 0u - static_cast<std::uint32_t>(m_offset_ms)) {
        ++m_clamped_times;
        return 0;
    }
    return time + static_cast<std::uint32_t>(m_offset_ms);
}

std::string_view LineRewriter::RewriteTiming(std::string_view line) {
    CueTime start = ReadTime(line, &kTimingFields[0]);
    CueTime end = ReadTime(line, &kTimingFields[4]);
    // With the window on, each time is judged by its own value before the shift.
    const auto inside = [this](CueTime time) { return m_window_from_ms <= time && time <= m_window_to_ms; };
    const bool shift_start = !m_between_times || inside(start);
    const bool shift_end = !m_between_times || inside(end);
    if (shift_start) {
        start = Shift(start);
    }
    if (shift_end) {
        end = Shift(end);
    }
    if (start < kHundredHours && end < kHundredHours) {
        // Two-digit hours: the line has its usual length and is printed straight into the result.
        m_out.resize(kTimingLineLength);
        PutTimingLine(&m_out[0], start, end);
        return m_out;
    }
    char text[64];
    m_out.assign(text, PutTimingLine(text, start, end));
    return m_out;
}

std::string RewriteLine(std::string_view line, const SyncSettings& settings) {
    LineRewriter rewriter(settings);
    return std::string(rewriter.Rewrite(line));
}
