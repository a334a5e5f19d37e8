#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "engine/sync_settings.h"

// A cue time as a timing line wrote it: its value and whether it named the hours (WebVTT may leave them out).
struct ClockTime {
    CueTime ms = 0;
    bool has_hours = true;
};

// One timing line taken apart: START --> END, then whatever followed END.
struct TimingLine {
    ClockTime start;
    ClockTime end;
    std::string_view rest;  // the bytes after END as they were; empty when they were only blanks
};

// Reads a timing line: blanks (spaces, tabs) in any number before START, around "-->" and after END. Each time is
// hours (one or more digits) ':' minutes (1-2 digits) ':' seconds (1-2 digits), then optionally ',' or '.' and 1-3
// digits of fraction ("5" is 500 ms); with `hours_optional` (WebVTT) the hours and their colon may be missing. A
// time followed by a further digit, minutes or seconds above 59, or a time past the largest CueTime cannot be read.
// Returns false, leaving `*timing` unspecified, when either time cannot be read.
bool ParseTimingLine(std::string_view line, bool hours_optional, TimingLine* timing);

// Reads a time at `text[*pos]` by the rules above, up to its last digit, and advances `*pos` past it.
bool ParseClockTime(std::string_view text, std::size_t* pos, bool hours_optional, ClockTime* time);

// The length of the usual SubRip timing line, "HH:MM:SS,mmm --> HH:MM:SS,mmm", and where its second time starts.
constexpr std::size_t kFixedTimingLineLength = 29;
constexpr std::size_t kFixedEndTime = 17;

// The twelve bytes of a time written HH:MM:SS,mmm, as two words whose lowest byte is the first.
struct FixedTimeBytes {
    std::uint64_t clock;     // HH:MM:SS
    std::uint32_t fraction;  // ,mmm
};

// Loads the twelve bytes at `p`; false when they are not a time of that form with minutes and seconds up to 59. Inline:
// a run that moves times in their text calls it twice a cue.
inline bool LoadFixedTime(const char* p, FixedTimeBytes* bytes) {
    std::uint64_t clock;     // HH:MM:SS
    std::uint32_t fraction;  // ,mmm
    std::memcpy(&clock, p, 8);
    std::memcpy(&fraction, p + 8, 4);
    if (__BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__) {
        clock = __builtin_bswap64(clock);
        fraction = __builtin_bswap32(fraction);
    }
    constexpr std::uint64_t kClockDigits = 0xFFFF00FFFF00FFFFull;
    constexpr std::uint64_t kClockShape = 0x30303A30303A3030ull;  // "00:00:00" read backwards
    constexpr std::uint64_t kFractionDigits = 0xFFFFFF00u;
    constexpr std::uint64_t kFractionShape = 0x3030302Cu;  // ",000" read backwards
    // A digit is 0x30 to 0x39: its high nibble is 3, and adding 6 leaves it there.
    const auto is_shape = [](std::uint64_t word, std::uint64_t digits, std::uint64_t shape) {
        const std::uint64_t high = 0xF0F0F0F0F0F0F0F0ull & digits;
        return (word & ~digits) == (shape & ~digits) && (word & high) == (shape & high) &&
               ((word + (0x0606060606060606ull & digits)) & high) == (shape & high);
    };
    // Minutes and seconds stop at 59: their first digits (bytes 3 and 6) stop at '5'; adding 0x4A to a digit from
    // '6' on sets its high bit.
    constexpr std::uint64_t kTens = 0x00FF0000FF000000ull;
    const std::uint64_t above_five =
        ((clock & kTens) + (kTens & 0x4A4A4A4A4A4A4A4Aull)) & (kTens & 0x8080808080808080ull);
    if (!is_shape(clock, kClockDigits, kClockShape) || !is_shape(fraction, kFractionDigits, kFractionShape) ||
        above_five != 0) {
        return false;
    }
    bytes->clock = clock;
    bytes->fraction = fraction;
    return true;
}

// Reads the twelve bytes at `p` as such a time, in one go; false when LoadFixedTime is.
bool ReadFixedTime(const char* p, CueTime* ms);

// The longest text PutClockTime writes.
constexpr std::size_t kLongestClockTime = 16;

// Writes `ms` as HH:MM:SS followed by `separator` and three digits of milliseconds, with at least two digits of
// hours; without `with_hours` and below one hour, as MM:SS.mmm. Returns the end of what was written.
char* PutClockTime(char* out, CueTime ms, char separator, bool with_hours);
