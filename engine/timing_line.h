#pragma once

#include <cstddef>
#include <cstdint>
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

// Loads the twelve bytes at `p`; false when they are not a time of that form with minutes and seconds up to 59.
bool LoadFixedTime(const char* p, FixedTimeBytes* bytes);

// Reads the twelve bytes at `p` as such a time, in one go; false when LoadFixedTime is.
bool ReadFixedTime(const char* p, CueTime* ms);

// The longest text PutClockTime writes.
constexpr std::size_t kLongestClockTime = 16;

// Writes `ms` as HH:MM:SS followed by `separator` and three digits of milliseconds, with at least two digits of
// hours; without `with_hours` and below one hour, as MM:SS.mmm. Returns the end of what was written.
char* PutClockTime(char* out, CueTime ms, char separator, bool with_hours);
