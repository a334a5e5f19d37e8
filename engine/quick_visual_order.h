#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/bidi.h"

// Writes the most common lines that hold a right-to-left letter in their visual order, as VisualOrder writes them in
// a right-to-left paragraph, with far less work: a few passes over compact arrays instead of units, a visual-to-logical
// map and a sort.
//
// It takes lines of valid UTF-8 that hold no '<' or '{' (no tags, no brace blocks), no direction formatting character
// and no character of the classes BN, B or S. In such a line every character is a unit, nothing is kept at an end,
// and the levels are 1 and 2 only, so the visual order is the line read from its end: each run at level 2 in its own
// order, the rest character by character, mirrored where the glyph has a mirror, combining marks after their base.
class QuickVisualOrder {
  public:
    enum class Result {
        kWritten,        // `out` holds the visual order
        kNoRightToLeft,  // a line it takes, but one without a right-to-left letter: nothing to order
        kDeclined,       // a line it does not take
    };

    // For the `size` bytes at `text`: writes their visual order to `out`, which has room for `size` bytes, and
    // returns kWritten. Otherwise `out` holds anything. Once the longest line was seen, allocates nothing.
    Result Write(const unsigned char* text, std::size_t size, char* out);

  private:
    // The line as elements: single characters, and runs of letters or digits of one class with the marks after
    // them. For each: its first code point, where it starts (then the size of the line), its own class, the class
    // as the rules change it, and what a run holds besides letters of two bytes: marks, longer letters.
    std::vector<char32_t> m_code_points;
    std::vector<std::uint32_t> m_starts;
    std::vector<BidiClass> m_original;
    std::vector<BidiClass> m_types;
    std::vector<std::uint8_t> m_run_holds;
    std::vector<std::uint32_t> m_bracket_stack;
    std::vector<std::uint64_t> m_bracket_pairs;
};
