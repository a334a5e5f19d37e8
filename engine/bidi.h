#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// The bidirectional character classes, as Unicode names them: strong, weak, neutral, then the explicit ones.
// clang-format off
enum class BidiClass : std::uint8_t {
    L, R, AL,
    EN, ES, ET, AN, CS, NSM, BN,
    B, S, WS, ON,
    LRE, LRO, RLE, RLO, PDF, LRI, RLI, FSI, PDI,
};
// clang-format on

namespace bidi_internal {
// Below U+0800 (one or two UTF-8 bytes: Latin, Hebrew, Arabic, Syriac, Thaana, N'Ko) a table, so that the common
// case needs no search.
constexpr char32_t kLowLimit = 0x800;
extern const std::array<BidiClass, kLowLimit> kLowClasses;
extern const std::array<char32_t, kLowLimit> kLowMirrors;
BidiClass HighBidiClass(char32_t code_point);
}  // namespace bidi_internal

// The class of a code point; unassigned ones take the class Unicode gives their block by default.
inline BidiClass GetBidiClass(char32_t code_point) {
    return code_point < bidi_internal::kLowLimit ? bidi_internal::kLowClasses[code_point]
                                                 : bidi_internal::HighBidiClass(code_point);
}

// LRM, RLM, ALM and the embeddings, overrides and isolates.
inline bool IsDirectionFormatting(char32_t code_point) {
    return code_point == 0x200E || code_point == 0x200F || code_point == 0x061C ||
           (code_point >= 0x202A && code_point <= 0x202E) || (code_point >= 0x2066 && code_point <= 0x2069);
}

// A letter of class R or AL: Hebrew, Arabic, Syriac, Thaana, N'Ko and the other right-to-left scripts, which start at
// U+0590. RLM and ALM are not letters.
inline bool IsRightToLeftLetter(char32_t code_point) {
    if (code_point < 0x590 || IsDirectionFormatting(code_point)) {
        return false;
    }
    const BidiClass bidi_class = GetBidiClass(code_point);
    return bidi_class == BidiClass::R || bidi_class == BidiClass::AL;
}

// The glyph that shows `code_point` mirrored (")" for "("), or `code_point` itself when it has none.
char32_t MirrorOf(char32_t code_point);

// Whether MirrorOf(code_point) differs from it.
inline bool HasMirror(char32_t code_point) {
    return code_point < bidi_internal::kLowLimit ? bidi_internal::kLowMirrors[code_point] != code_point
                                                 : MirrorOf(code_point) != code_point;
}

// What a caller passes for a unit that stands for no text of its own (a tag such as <i>, a brace block such as
// {\an8}): the object replacement character, an other neutral that is neither a bracket nor mirrored.
constexpr char32_t kNeutralPlaceholder = 0xFFFC;

enum class ParagraphDirection { kRightToLeft, kLeftToRight };

// The display order of one paragraph (one subtitle line) of a given direction, right to left unless set otherwise,
// by the Unicode Bidirectional Algorithm:
// explicit marks LRM, RLM and ALM, weak types W1-W7, bracket pairs N0, neutrals N1-N2, implicit levels I1-I2,
// line levels L1, reordering L2, marks kept after their base L3 (when asked) and mirroring L4.
//
// Not done: the embeddings, overrides and isolates of X1-X8 (LRE, RLE, LRO, RLO, PDF, LRI, RLI, FSI, PDI). Each is
// removed as X9 removes the first five: it takes no part in the rules and gets the level of the character before it,
// so a line that uses them gets the levels it would have without them. Lines are single paragraphs: a paragraph
// separator inside the text is a neutral reset to level 1 by L1.
//
// The buffers are kept between calls: once the longest line was resolved, resolving allocates nothing.
class BidiParagraph {
  public:
    // The direction of the paragraphs resolved from now on.
    void SetDirection(ParagraphDirection direction) { m_direction = direction; }

    // Resolves `size` code points at `text`. With `marks_after_base`, combining marks at odd levels stay after the
    // character they belong to in the visual order (what a display without bidi needs); without it, the visual order
    // is L2's alone, marks before their base.
    void Resolve(const char32_t* text, std::size_t size, bool marks_after_base = true);

    // The level of each code point of the last text: 1 for right-to-left; in a right-to-left paragraph 2 for
    // left-to-right and numbers, in a left-to-right one 0 for left-to-right and 2 for numbers.
    const std::vector<std::uint8_t>& Levels() const { return m_levels; }

    // For each visual position from the left, the logical index of the code point shown there.
    const std::vector<std::uint32_t>& VisualToLogical() const { return m_visual_to_logical; }

    // Whether the code point at logical index `logical` is shown by its mirrored glyph (MirrorOf). Reads the text
    // given to Resolve, which must still be there.
    bool Mirrored(std::size_t logical) const { return (m_levels[logical] & 1) != 0 && HasMirror(m_text[logical]); }

  private:
    BidiClass Edge() const { return m_direction == ParagraphDirection::kRightToLeft ? BidiClass::R : BidiClass::L; }
    std::uint8_t BaseLevel() const { return m_direction == ParagraphDirection::kRightToLeft ? 1 : 0; }
    void ResolveLineLevels();
    void Reorder(bool marks_after_base);

    ParagraphDirection m_direction = ParagraphDirection::kRightToLeft;
    const char32_t* m_text = nullptr;
    std::vector<BidiClass> m_original;  // each code point's own class
    std::vector<BidiClass> m_types;     // the classes as the rules change them, over m_run only
    std::vector<std::uint32_t> m_run;   // indexes of the code points that X9 does not remove
    std::vector<std::uint8_t> m_levels;
    std::vector<std::uint32_t> m_visual_to_logical;
    std::vector<char32_t> m_kept_text;       // the code points of m_run, when X9 removes some
    std::vector<BidiClass> m_kept_original;  // and their own classes
    std::vector<std::uint32_t> m_bracket_stack;
    std::vector<std::uint64_t> m_bracket_pairs;
    // A bit for each class among m_types, and whether any is a bracket: most lines hold no number, separator,
    // mark or bracket, and the rules about them are skipped.
    std::uint32_t m_present = 0;
    bool m_brackets = false;
};
