#pragma once

#include <cstdint>

// Moves times written HH:MM:SS,mmm by one offset in their text: each digit of the offset is added to the digit of
// the time in its place, with the carries running through two words, so that no time is read into milliseconds and
// written out again. A run that moves every time alike spends most of its work there otherwise.
class ClockTextShift {
  public:
    // Offsets of less than 100 hours either way.
    static bool Fits(std::int64_t offset_ms);

    explicit ClockTextShift(std::int64_t offset_ms);

    // Writes the twelve bytes at `from` moved by the offset to `to`, exactly as PutClockTime writes the moved time
    // with ',' (the bytes may be the same). False, with `to` holding anything, when `from` is no such time
    // (LoadFixedTime) or the moved time would fall below zero or reach 100 hours: the caller takes the long way.
    bool Move(const char* from, char* to) const;

  private:
    // The offset's digits in the places of the time's digits, least significant byte first, each with what makes
    // its place carry at its base (256 minus 10 or 6); and whether the offset is negative, added as its complement
    // to 100 hours, which must then carry out of the hours.
    std::uint64_t m_clock_addend = 0;
    std::uint64_t m_fraction_addend = 0;
    bool m_negative = false;
};
