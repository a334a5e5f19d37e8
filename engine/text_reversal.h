#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "engine/code_pages.h"
#include "engine/quick_visual_order.h"
#include "engine/text_units.h"
#include "engine/utf8.h"  // IsCombiningMark
#include "engine/visual_order.h"

// Switches subtitle text lines between right-to-left and left-to-right order, for players that draw the characters
// of a line left to right as they are stored.
//
// A line that holds a right-to-left letter (Hebrew, Arabic, ...) is written in the order a bidi-aware player shows
// it (see VisualOrder): Latin words and numbers keep their order, brackets are mirrored. A line that is not UTF-8 is
// read in the file's code page (SetCodePage). Switching such a line twice gives it back, except where the algorithm
// is not symmetric:
// - a combining mark with no letter before it;
// - Arabic-context numbers joined by a separator or a terminator ("1-1-3", "100%" after an Arabic word), whose
//   classes change once the Arabic word stands on their other side;
// - neutrals between a Latin and a Hebrew or Arabic run, and tag pairs that enclose both, in some orders;
// - a direction formatting character inside the line, which stays after the character before it wherever that goes,
//   and control characters, which take the level of their neighbours;
// - what the reversal below cannot give back either.
//
// Every other line is reversed. It is cut into units, each keeping its bytes in order, and the units are written in
// reverse order:
// - a character and the combining marks after it; a single byte when the line is not valid UTF-8 (an ANSI code
//   page). A mark with no base (at the start of the line, or right after a tag or brace block) starts a unit of its
//   own, which takes the marks after it;
// - a tag: '<' and an ASCII letter, digit or '/', up to the next '>' with no '<' before it ("<i>",
//   "<font color=red>", "<c.yellow>", "<00:00:01.000>");
// - a brace block: '{' up to the next '}' with no '{' before it ("{\an8}", "{y:i}");
// - a number: ASCII digits, each with the marks after it, and single '.', ',' or ':' between digits ("1,000").
// Brace blocks at the start of the line stay at its start, and those at the end at its end. An opening tag
// "<name..." and its closing tag "</name..." (name: the ASCII letters after "<" or "</", in any case; a closing tag
// pairs with the latest earlier opening tag of its name that has no partner yet) change places after the reversal,
// so "<i>ab</i>" becomes "<i>ba</i>". A line that starts "{digits}{digits}" (a MicroDVD frame line) is cut at every
// '|', and each part is reversed by itself in its place; a part's start counts as a line start.
//
// Reversing twice gives the line back, except for a line that holds
// - a mark with no base that has one in the reversed line ("\u0301ab", "{\i1}\u0301ab");
// - bytes that are not valid UTF-8 but whose reversal is ("\xA9\xD7" becomes "\xD7\xA9", one character);
// - a '<' or '{' that opens no tag or brace block but does in the reversed line ("x>a<b", "}a{b");
// - a closing tag without a partner, and after it an opening tag of the same name without one ("</i>x<i>").
class TextReverser {
  public:
    // Writes the switched `line` to `out`, which has room for line.size() bytes: the same bytes in another order,
    // but for mirrored glyphs. Lines without '<', '{' and digits take a fast path; the others reuse this object's
    // memory, so that reversing line after line allocates only when a line has more tags than any before it.
    void Reverse(std::string_view line, char* out);

    // The code page of the lines that are not UTF-8. With kDetect (the default) the first such line decides it.
    void SetCodePage(CodePage code_page) { m_code_page = code_page; }
    CodePage GetCodePage() const { return m_code_page; }

  private:
    // Whether the line is to be switched by VisualOrder, if it holds a right-to-left letter, and how it is read.
    struct Reading {
        bool right_to_left;
        bool utf8;
    };
    void SwitchPart(const unsigned char* line, std::size_t begin, std::size_t end, Reading reading, char* out);
    void ReverseSegment(const unsigned char* line, std::size_t begin, std::size_t end, bool utf8, char* out);

    CodePage m_code_page = CodePage::kDetect;
    QuickVisualOrder m_quick_order;  // most lines with a right-to-left letter
    VisualOrder m_visual_order;      // the others
    std::vector<TagSpan> m_tags;     // the named tags of a part, in order
    TagPairer m_pairer;
};
