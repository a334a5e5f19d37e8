#include "engine/timing_line.h"

#include <cstring>
#include <limits>

namespace {

constexpr std::uint64_t kLargestTime = std::numeric_limits<CueTime>::max();

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::size_t SkipBlanks(std::string_view text, std::size_t pos) {
    while (pos < text.size() && IsBlank(text[pos])) {
        ++pos;
    }
    return pos;
}

// Reads a run of digits at `*pos`; `*count` is how many there were. The value stops growing past any time.
std::uint64_t ReadDigits(std::string_view text, std::size_t* pos, std::size_t* count) {
    std::uint64_t value = 0;
    const std::size_t start = *pos;
    while (*pos < text.size() && IsDigit(text[*pos])) {
        if (value <= kLargestTime) {
            value = value * 10 + static_cast<std::uint64_t>(text[*pos] - '0');
        }
        ++*pos;
    }
    *count = *pos - start;
    return value;
}

// "HH:MM:SS,mmm --> HH:MM:SS,mmm" exactly at the start of the line, not followed by a digit.
bool ParseFixedTimingLine(std::string_view line, TimingLine* timing) {
    constexpr std::size_t kLength = kFixedTimingLineLength;
    if (line.size() < kLength || (line.size() > kLength && IsDigit(line[kLength])) ||
        std::memcmp(line.data() + 12, " --> ", 5) != 0 || !ReadFixedTime(line.data(), &timing->start.ms) ||
        !ReadFixedTime(line.data() + kFixedEndTime, &timing->end.ms)) {
        return false;
    }
    timing->start.has_hours = timing->end.has_hours = true;
    timing->rest = line.substr(kLength);
    return true;
}

// Two digits a lookup, so that writing a time needs few divisions.
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

char* PutTwoDigits(char* out, std::uint32_t value) {
    out[0] = kDigitPairs.text[2 * value];
    out[1] = kDigitPairs.text[2 * value + 1];
    return out + 2;
}

char* PutHours(char* out, std::uint32_t hours) {
    if (hours < 100) {
        return PutTwoDigits(out, hours);
    }
    char digits[10];
    int count = 0;
    for (; hours != 0; hours /= 10) {
        digits[count++] = static_cast<char>('0' + hours % 10);
    }
    while (count > 0) {
        *out++ = digits[--count];
    }
    return out;
}

}  // namespace

bool ParseClockTime(std::string_view text, std::size_t* pos, bool hours_optional, ClockTime* time) {
    std::size_t p = *pos;
    std::uint64_t fields[3];
    std::size_t digits[3];
    int count = 0;
    for (;;) {
        fields[count] = ReadDigits(text, &p, &digits[count]);
        if (digits[count] == 0) {
            return false;
        }
        ++count;
        if (count == 3 || p + 1 >= text.size() || text[p] != ':' || !IsDigit(text[p + 1])) {
            break;
        }
        ++p;
    }
    if (count < 2 || (count == 2 && !hours_optional)) {
        return false;
    }
    const bool has_hours = count == 3;
    const std::uint64_t hours = has_hours ? fields[0] : 0;
    const std::uint64_t minutes = fields[count - 2];
    const std::uint64_t seconds = fields[count - 1];
    if (digits[count - 2] > 2 || digits[count - 1] > 2 || minutes > 59 || seconds > 59) {
        return false;
    }
    std::uint64_t milliseconds = 0;
    if (p + 1 < text.size() && (text[p] == ',' || text[p] == '.') && IsDigit(text[p + 1])) {
        ++p;
        std::size_t fraction_digits;
        milliseconds = ReadDigits(text, &p, &fraction_digits);
        if (fraction_digits > 3) {
            return false;
        }
        for (; fraction_digits < 3; ++fraction_digits) {
            milliseconds *= 10;
        }
    }
    const std::uint64_t total = ((hours * 60 + minutes) * 60 + seconds) * 1000 + milliseconds;
    if (hours > kLargestTime || total > kLargestTime) {
        return false;
    }
    time->ms = static_cast<CueTime>(total);
    time->has_hours = has_hours;
    *pos = p;
    return true;
}

bool ParseTimingLine(std::string_view line, bool hours_optional, TimingLine* timing) {
    if (!ParseFixedTimingLine(line, timing)) {
        std::size_t pos = SkipBlanks(line, 0);
        if (!ParseClockTime(line, &pos, hours_optional, &timing->start)) {
            return false;
        }
        pos = SkipBlanks(line, pos);
        if (line.compare(pos, 3, "-->") != 0) {
            return false;
        }
        pos = SkipBlanks(line, pos + 3);
        if (!ParseClockTime(line, &pos, hours_optional, &timing->end)) {
            return false;
        }
        timing->rest = line.substr(pos);
    }
    if (!timing->rest.empty() && SkipBlanks(timing->rest, 0) == timing->rest.size()) {
        timing->rest = {};
    }
    return true;
}

bool ReadFixedTime(const char* p, CueTime* ms) {
    FixedTimeBytes bytes;
    if (!LoadFixedTime(p, &bytes)) {
        return false;
    }
    const auto digit = [](std::uint64_t word, int place) { return static_cast<CueTime>(word >> (8 * place) & 0x0F); };
    const CueTime hours = digit(bytes.clock, 0) * 10 + digit(bytes.clock, 1);
    const CueTime minutes = digit(bytes.clock, 3) * 10 + digit(bytes.clock, 4);
    const CueTime seconds = digit(bytes.clock, 6) * 10 + digit(bytes.clock, 7);
    const CueTime milliseconds =
        digit(bytes.fraction, 1) * 100 + digit(bytes.fraction, 2) * 10 + digit(bytes.fraction, 3);
    *ms = milliseconds + 1000 * (seconds + 60 * (minutes + 60 * hours));
    return true;
}

char* PutClockTime(char* out, CueTime ms, char separator, bool with_hours) {
    const CueTime hours = ms / 3600000;
    if (with_hours || hours > 0) {
        out = PutHours(out, hours);
        *out++ = ':';
    }
    out = PutTwoDigits(out, ms % 3600000 / 60000);
    *out++ = ':';
    out = PutTwoDigits(out, ms % 60000 / 1000);
    *out++ = separator;
    const CueTime milliseconds = ms % 1000;
    *out++ = static_cast<char>('0' + milliseconds / 100);
    return PutTwoDigits(out, milliseconds % 100);
}
