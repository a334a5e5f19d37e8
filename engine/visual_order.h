#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/bidi.h"
#include "engine/code_pages.h"
#include "engine/text_units.h"

// Writes a line (or one '|' part of a MicroDVD line) that holds a right-to-left letter in the order a bidi-aware
// player shows it, in a paragraph of the direction set (right to left unless set otherwise; see BidiParagraph), for
// displays that draw the characters left to right as they are stored:
// - every character is a unit, and so is every combining mark, which stays after its base; a tag ("<i>") or a brace
//   block ("{\an8}") is one unit, which the algorithm takes as a neutral;
// - brace blocks and direction formatting characters (LRM, RLM, ALM, LRE, RLE, PDF, LRO, RLO, LRI, RLI, FSI, PDI)
//   at the start of the part stay at its start as they stood, and those at its end at its end; other formatting
//   characters stay right after the unit before them (they still count for the algorithm: RLM is right to left);
// - an opening tag and its closing tag (as TagPairer pairs them) keep enclosing what stood between them: the opening
//   tag goes right before the leftmost unit of it, the closing tag right after the rightmost; a pair with nothing
//   between them stays together;
// - a character shown mirrored ('(' for ')', '«' for '»') is written as its mirrored glyph, which takes as many bytes.
class VisualOrder {
  public:
    void SetDirection(ParagraphDirection direction) { m_paragraph.SetDirection(direction); }

    // For text[begin, end): UTF-8 when `utf8`, else single bytes in `code_page` (not kDetect). Writes its visual
    // order to out + begin and returns true; returns false, writing nothing, when it holds no right-to-left letter.
    bool Write(const unsigned char* text, std::size_t begin, std::size_t end, bool utf8, CodePage code_page, char* out);

  private:
    enum class Kind : std::uint8_t { kCharacter, kFormatting, kTag, kBraces };
    struct Unit {
        std::uint32_t start;
        std::uint32_t end;
        Kind kind;
    };
    // A unit's place in the output: its visual rank, before (0), at (1) or after (2) the unit of that rank, and its
    // logical index, which orders those that share a place.
    struct Placed {
        std::uint32_t rank;
        std::uint32_t phase;
        std::uint32_t logical;
    };

    // Cuts text[begin, end) into m_units and m_code_points; returns whether a right-to-left letter is among them.
    bool CutUnits(const unsigned char* text, std::size_t begin, std::size_t end, bool utf8, CodePage code_page);
    // Where each unit of [m_lead, m_trail) goes, in m_placed; false when every unit simply takes its visual rank.
    bool PlaceTagsAndFormatting(const unsigned char* text);
    char* WriteUnit(const unsigned char* text, std::size_t logical, bool utf8, CodePage code_page, char* out) const;

    std::vector<Unit> m_units;
    std::vector<char32_t> m_code_points;  // one for each unit
    std::size_t m_lead = 0;               // units kept at the start
    std::size_t m_trail = 0;              // the first of the units kept at the end
    BidiParagraph m_paragraph;
    std::vector<std::uint32_t> m_rank;  // the visual rank of each unit
    std::vector<TagSpan> m_tags;
    std::vector<std::uint32_t> m_tag_units;  // the unit of each of m_tags
    TagPairer m_pairer;
    std::vector<Placed> m_placed;
};
