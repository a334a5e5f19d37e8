#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "engine/utf8.h"

// The units that the reversal of a text line moves whole (see TextReverser for the rules).
enum class UnitKind { kCharacter, kBaselessMarks, kNumber, kTag, kBraces };

inline bool IsAsciiDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

// Cuts the text before `end` into units: characters (single bytes when `utf8` is false) with their marks, numbers,
// tags and brace blocks. The same text always gives the same units.
class UnitScanner {
  public:
    UnitScanner(const unsigned char* text, std::size_t end, bool utf8) : m_text(text), m_end(end), m_utf8(utf8) {}

    // The kind of the unit that starts at `i` (before the end); sets `*next` to the position after it.
    UnitKind Next(std::size_t i, std::size_t* next) const {
        const unsigned char c = m_text[i];
        if (c == '<') {
            const unsigned char after = i + 1 < m_end ? m_text[i + 1] : 0;
            if ((IsTagNameLetter(after) || IsAsciiDigit(after) || after == '/') &&
                (*next = ClosedAt(i + 1, '<', '>')) != 0) {
                return UnitKind::kTag;
            }
        } else if (c == '{') {
            if ((*next = ClosedAt(i + 1, '{', '}')) != 0) {
                return UnitKind::kBraces;
            }
        } else if (IsAsciiDigit(c)) {
            *next = NumberEnd(i);
            return UnitKind::kNumber;
        }
        if (c < 0x80 || !m_utf8) {
            *next = SkipMarks(i + 1);
            return UnitKind::kCharacter;
        }
        char32_t code_point;
        *next = SkipMarks(i + DecodeValidUtf8(m_text + i, &code_point));
        return IsCombiningMark(code_point) ? UnitKind::kBaselessMarks : UnitKind::kCharacter;
    }

    static bool IsTagNameLetter(unsigned char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }

  private:
    // The position after the first `close` from `i` on, or 0 when an `open` or the end comes first.
    std::size_t ClosedAt(std::size_t i, unsigned char open, unsigned char close) const {
        for (; i < m_end; ++i) {
            if (m_text[i] == close) {
                return i + 1;
            }
            if (m_text[i] == open) {
                return 0;
            }
        }
        return 0;
    }

    std::size_t SkipMarks(std::size_t i) const {
        char32_t code_point;
        while (m_utf8 && i < m_end && m_text[i] >= kFirstMarkLead) {
            const std::size_t length = DecodeValidUtf8(m_text + i, &code_point);
            if (!IsCombiningMark(code_point)) {
                break;
            }
            i += length;
        }
        return i;
    }

    // From a digit: digits with their marks, and single separators between digits.
    std::size_t NumberEnd(std::size_t i) const {
        for (;;) {
            i = SkipMarks(i + 1);
            if (i < m_end && IsAsciiDigit(m_text[i])) {
                continue;
            }
            const unsigned char c = i + 1 < m_end ? m_text[i] : 0;
            if ((c == '.' || c == ',' || c == ':') && IsAsciiDigit(m_text[i + 1])) {
                ++i;
                continue;
            }
            return i;
        }
    }

    const unsigned char* m_text;
    std::size_t m_end;
    bool m_utf8;
};

// For the tag that starts at `start`: whether it has a name (ASCII letters right after "<" or "</"), whether it is
// a closing tag, and how two names compare, ignoring case.
bool TagHasName(const unsigned char* text, std::size_t start);
inline bool TagCloses(const unsigned char* text, std::size_t start) {
    return text[start + 1] == '/';
}
int CompareTagNames(const unsigned char* text, std::size_t first, std::size_t second);

// A named tag of a line, and the index of the other tag of its pair.
struct TagSpan {
    static constexpr std::size_t kNoPartner = ~std::size_t{0};
    std::size_t start;
    std::size_t end;
    std::size_t partner = kNoPartner;  // index in the list of tags, or kNoPartner
};

// Pairs opening tags "<name..." with closing tags "</name..." (name: the ASCII letters after "<" or "</", in any
// case): a closing tag pairs with the latest earlier opening tag of its name that has no partner yet. Keeps its
// memory between calls.
class TagPairer {
  public:
    // Sets the partner of every tag of `tags` (named tags of `text`, in order) that has one.
    void Pair(const unsigned char* text, std::vector<TagSpan>& tags);

  private:
    std::vector<std::size_t> m_order;    // indices of the tags by name, then position
    std::vector<std::size_t> m_waiting;  // opening tags of one name without a partner yet
};

// Whether the line starts "{digits}{digits}", as a MicroDVD frame line does.
bool IsFrameLine(std::string_view line);
