#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "engine/utf8.h"  // IsCombiningMark

// Reverses subtitle text lines, which switches them between right-to-left and left-to-right order. A line is cut
// into units, each keeping its bytes in order, and the units are written in reverse order:
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
    // Writes the reversal of `line` to `out`, which has room for line.size() bytes: the same bytes in another
    // order. Lines without '<', '{' and digits take a fast path; the others reuse this object's memory, so that
    // reversing line after line allocates only when a line has more tags than any before it.
    void Reverse(std::string_view line, char* out);

  private:
    struct Tag {
        std::size_t start;
        std::size_t end;
        std::size_t partner;  // index in m_tags of the other tag of the pair, or kNoPartner
    };
    static constexpr std::size_t kNoPartner = ~std::size_t{0};

    void ReverseSegment(const unsigned char* line, std::size_t begin, std::size_t end, bool utf8, char* out);
    void PairTags(const unsigned char* line);

    std::vector<Tag> m_tags;             // the named tags of a part, in order
    std::vector<std::size_t> m_order;    // indices of m_tags by name, then position
    std::vector<std::size_t> m_waiting;  // opening tags of one name without a partner yet
};
