#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/bidi.h"

// GNU FriBidi (its `fribidi` command, Debian package libfribidi-bin) as the reference for the display order of
// right-to-left lines.
bool HaveFriBidi();

// How FriBidi orders one line as a paragraph of a given direction, marks kept after their base.
struct FriBidiOrder {
    std::vector<std::uint32_t> visual_to_logical;  // indexes of code points
    std::vector<int> levels;                       // of each code point
};

// Runs FriBidi once for all `lines` (UTF-8, no line ends).
std::vector<FriBidiOrder> RunFriBidi(const std::vector<std::string>& lines,
                                     ParagraphDirection direction = ParagraphDirection::kRightToLeft);

// What a bidi-aware player shows of `line`, as UTF-8 left to right: FriBidi's order, with glyphs mirrored at
// right-to-left levels, and without the direction formatting characters (LRM, RLM, ALM, embeddings, isolates).
std::string DisplayWithoutFormatting(const std::string& line, const FriBidiOrder& order);

// `line` without its direction formatting characters.
std::string WithoutFormatting(const std::string& line);

std::vector<char32_t> CodePoints(const std::string& utf8);
std::string Utf8(const std::vector<char32_t>& code_points);
