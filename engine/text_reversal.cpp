#include "engine/text_reversal.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "engine/bidi.h"
#include "engine/byte_pair_table.h"
#include "engine/text_units.h"
#include "engine/utf8.h"

namespace {

constexpr std::uint64_t kOnes = 0x0101010101010101ull;
constexpr std::uint64_t kHighBits = kOnes * 0x80;

std::uint64_t LoadWord(const unsigned char* p) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    return word;
}

// For a word of ASCII bytes: nonzero when a byte is '<' or '{', or with `digits` an ASCII digit. Adding a constant
// below 0x80 to a byte below 0x80 carries into no other byte.
std::uint64_t FindInAscii(std::uint64_t ascii, bool digits) {
    // The high bit of each byte is set when the byte is not '<', and when it is not '{'.
    const std::uint64_t not_bracket =
        ((ascii ^ (kOnes * '<')) + kOnes * 0x7F) & ((ascii ^ (kOnes * '{')) + kOnes * 0x7F);
    std::uint64_t found = ~not_bracket;
    if (digits) {
        // At or above '0', and not above '9'.
        found |= (ascii + kOnes * (0x80 - '0')) & ~(ascii + kOnes * (0x7F - '9'));
    }
    return found & kHighBits;
}

// The same for any word: bytes above 0x7F never match.
std::uint64_t Find(std::uint64_t word, bool digits) {
    return FindInAscii(word & (kOnes * 0x7F), digits) & ~word;
}

// Whether UTF-8 text may hold a right-to-left letter: whether it holds a lead byte of U+0590 to U+08FF, of U+FB1D
// to U+FEFF (presentation forms) or of the right-to-left blocks of plane 1. Other bytes from 0xD6 on are rare enough
// in text to be checked one by one.
bool MayHoldRightToLeft(const unsigned char* p, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        if (p[i] < 0xD6) {
            continue;
        }
        const unsigned char next = i + 1 < size ? p[i + 1] : 0;
        if (p[i] <= 0xDF || (p[i] == 0xE0 && next >= 0xA0 && next <= 0xA3) ||
            (p[i] == 0xEF && next >= 0xAC && next <= 0xBB) || (p[i] == 0xF0 && (next == 0x90 || next == 0x9E))) {
            return true;
        }
    }
    return false;
}

// For each character of one or two bytes: whether it leaves a line right-to-left throughout (Hebrew and Arabic
// letters, marks, blanks and punctuation that is not mirrored; not digits, which the algorithm lifts to the next
// level), and whether it is a combining mark, which stays after the character before it. Looked up by a byte and the
// byte after it (any byte after ASCII), so that the line loop needs no decoding: a pair that is no valid character of
// two bytes has neither flag.
constexpr std::uint8_t kPlain = 1;
constexpr std::uint8_t kMark = 2;
std::uint8_t PlainFlags(char32_t c) {
    std::uint8_t flags = IsCombiningMark(c) ? kMark : 0;
    switch (GetBidiClass(c)) {
        case BidiClass::R:
        case BidiClass::AL:
        case BidiClass::NSM:
        case BidiClass::WS:
        case BidiClass::ES:
        case BidiClass::ET:
        case BidiClass::CS:
        case BidiClass::ON:
            // ALM, of class AL, is a direction formatting character, which stays after the character before it.
            flags |= MirrorOf(c) == c && !IsDirectionFormatting(c) ? kPlain : 0;
            break;
        default:
            break;
    }
    return flags;
}

const BytePairTable kPlainRightToLeft = MakeBytePairTable(PlainFlags, 0);

// For a UTF-8 line that is right-to-left throughout (see g_plain_right_to_left, which FillPlainRightToLeft must have
// filled), writes its reversal by cluster (a character and the combining marks after it) and returns true: the
// algorithm gives every character the paragraph's level then, so that is its display order. Returns false for any other
// line, with `out` holding anything.
bool ReversePlainRightToLeft(const unsigned char* p, std::size_t size, char* out) {
    std::size_t cluster_start = 0;
    std::size_t i = 0;
    // One character of one or two bytes, without a branch on which: lines mix the two at every word.
    const auto reverse = [&](unsigned lead, unsigned next) {
        const std::uint8_t flags = kPlainRightToLeft[BytePairIndex(lead, next)];
        if ((flags & kPlain) == 0) {
            return false;
        }
        const bool two = lead >= 0x80;
        const std::size_t length = two ? 2 : 1;
        if ((flags & kMark) != 0 && i > 0) {
            // A mark goes after its base: the cluster so far, in its own order, ends where the mark would.
            const std::size_t cluster_end = i + length;
            const std::size_t out_end = size - cluster_start;
            if (cluster_end - cluster_start <= 8 && cluster_end >= 8 && out_end >= 8) {
                // Eight bytes that end with the cluster: what lies before it in `out` belongs to characters that
                // come later in the line, which are written over it.
                std::memcpy(out + out_end - 8, p + cluster_end - 8, 8);
            } else {
                CopyFewBytes(p + cluster_start, cluster_end - cluster_start, out + (size - cluster_end));
            }
        } else {
            // A mark at the very start has no base and starts the first cluster.
            cluster_start = i;
            out[size - i - length] = static_cast<char>(lead);
            out[size - i - 1] = static_cast<char>(two ? next : lead);
        }
        i += length;
        return true;
    };
    while (i + 1 < size) {
        if (!reverse(p[i], p[i + 1])) {
            return false;
        }
    }
    // The last byte alone: as a lead byte it has no next one (and zero is none).
    return i == size || reverse(p[i], 0);
}

// '<', '{' and digits start the units longer than a character; a line without them takes the fast path.
std::uint64_t MarkupIn(std::uint64_t word) {
    return Find(word, true);
}

bool IsMarkup(unsigned char c) {
    return c == '<' || c == '{' || IsAsciiDigit(c);
}

std::uint64_t BracketIn(std::uint64_t word) {
    return Find(word, false);
}

// Whether `test` finds something in a word of the `size` bytes at `p`, or `byte_test` in a byte of a short text. The
// last word overlaps the one before it, which does no harm to a test.
template <typename WordTest, typename ByteTest>
bool AnyIn(const unsigned char* p, std::size_t size, WordTest test, ByteTest byte_test) {
    if (size < 8) {
        return std::any_of(p, p + size, byte_test);
    }
    for (std::size_t i = 0; i + 8 < size; i += 8) {
        if (test(LoadWord(p + i)) != 0) {
            return true;
        }
    }
    return test(LoadWord(p + size - 8)) != 0;
}

enum class Shape { kAscii, kHighBytes, kMarkup };

Shape ShapeOf(std::uint64_t word) {
    return (word & kHighBits) != 0 ? Shape::kHighBytes : FindInAscii(word, true) != 0 ? Shape::kMarkup : Shape::kAscii;
}

// Reverses the line into `out` while its bytes are ASCII and no markup, eight at a time (the byte swap of a word is
// the reversal of its bytes). Returns kAscii when the whole line is done, else what it found first.
Shape ReversePlainAscii(const unsigned char* p, std::size_t size, char* out) {
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        const std::uint64_t word = LoadWord(p + i);
        const Shape shape = ShapeOf(word);
        if (shape != Shape::kAscii) {
            return shape;
        }
        const std::uint64_t swapped = __builtin_bswap64(word);
        std::memcpy(out + size - i - 8, &swapped, 8);
    }
    if (i < size) {
        std::uint64_t last = 0;  // the last eight bytes, or the whole line with zeros, which are neither
        if (size >= 8) {
            last = LoadWord(p + size - 8);
        } else {
            for (std::size_t k = 0; k < size; ++k) {
                last |= std::uint64_t{p[k]} << (8 * k);
            }
        }
        const Shape shape = ShapeOf(last);
        if (shape != Shape::kAscii) {
            return shape;
        }
        for (; i < size; ++i) {
            out[size - 1 - i] = static_cast<char>(p[i]);
        }
    }
    return Shape::kAscii;
}

// Eight bytes at a time: the byte swap of a word is the reversal of its bytes.
void ReverseBytes(const unsigned char* p, std::size_t size, char* out) {
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        const std::uint64_t word = __builtin_bswap64(LoadWord(p + i));
        std::memcpy(out + size - i - 8, &word, 8);
    }
    for (; i < size; ++i) {
        out[size - 1 - i] = static_cast<char>(p[i]);
    }
}

enum class Restored { kDone, kNotUtf8, kMarkup };

// Turns the byte reversal of the line in `out` into the reversal by cluster (a character and the combining marks
// that follow it), each cluster keeping its bytes in order, decoding every character once. Stops at the first byte
// that is not valid UTF-8 or starts a longer unit; `out` then holds a partial result.
Restored RestoreClusters(const unsigned char* p, std::size_t size, char* out) {
    std::size_t cluster_start = 0;
    std::size_t i = 0;
    while (i < size) {
        const unsigned char lead = p[i];
        char32_t code_point;
        std::size_t length;
        if (lead < 0x80) {
            // Eight ASCII bytes are eight one-byte clusters, already in place; only the last may still gain marks.
            if (i + 8 <= size && (LoadWord(p + i) & kHighBits) == 0) {
                if (FindInAscii(LoadWord(p + i), true) != 0) {
                    return Restored::kMarkup;
                }
                if (i > 0) {
                    CopyFewBytes(p + cluster_start, i - cluster_start, out + (size - i));
                }
                cluster_start = i + 7;
                i += 8;
                continue;
            }
            if (lead >= '0' && IsMarkup(lead)) {
                return Restored::kMarkup;
            }
            code_point = lead, length = 1;
        } else if (lead >= 0xC2 && lead < 0xE0 && i + 1 < size && (p[i + 1] & 0xC0) == 0x80) {
            code_point = (static_cast<char32_t>(lead & 0x1F) << 6) | (p[i + 1] & 0x3F), length = 2;
        } else {
            length = DecodeUtf8(p + i, size - i, &code_point);
            if (length == 0) {
                return Restored::kNotUtf8;
            }
        }
        // Every character but a mark starts a cluster; a mark at the very start has no base and starts the first.
        if (i > 0 && (code_point < kFirstMark || !IsCombiningMark(code_point))) {
            CopyFewBytes(p + cluster_start, i - cluster_start, out + (size - i));
            cluster_start = i;
        }
        i += length;
    }
    CopyFewBytes(p + cluster_start, size - cluster_start, out);
    return Restored::kDone;
}

void CopyUnit(const unsigned char* from, std::size_t length, char* to) {
    if (length > 8) {
        std::memcpy(to, from, length);
        return;
    }
    for (std::size_t k = 0; k < length; ++k) {
        to[k] = static_cast<char>(from[k]);
    }
}

}  // namespace

void TextReverser::Reverse(std::string_view line, char* out) {
    const auto* text = reinterpret_cast<const unsigned char*>(line.data());
    const std::size_t size = line.size();
    const Shape shape = ReversePlainAscii(text, size, out);
    if (shape == Shape::kAscii || (shape == Shape::kHighBytes && ReversePlainRightToLeft(text, size, out))) {
        return;
    }
    // Cue numbers from 1000 on are text lines as well: one number, which stays as it is.
    if (shape == Shape::kMarkup && std::all_of(text, text + size, IsAsciiDigit)) {
        CopyUnit(text, size, out);
        return;
    }
    // A line without a lead byte of a right-to-left letter (most lines of Latin text) needs no visual order.
    const bool may_hold_right_to_left = MayHoldRightToLeft(text, size);
    if (may_hold_right_to_left && m_quick_order.Write(text, size, out) == QuickVisualOrder::Result::kWritten) {
        return;
    }
    Reading reading{false, true};
    if (shape == Shape::kHighBytes) {
        if (may_hold_right_to_left) {
            reading = {true, IsValidUtf8(text, size)};
        } else {
            ReverseBytes(text, size, out);
            switch (RestoreClusters(text, size, out)) {
                case Restored::kDone:
                    return;
                case Restored::kNotUtf8:
                    reading = {true, false};
                    break;
                case Restored::kMarkup:
                    reading.utf8 = IsValidUtf8(text, size);
                    reading.right_to_left = !reading.utf8;
                    break;
            }
        }
    } else {
        reading.utf8 = IsValidUtf8(text, size);
        reading.right_to_left = !reading.utf8 || may_hold_right_to_left;
    }
    if (!reading.utf8) {
        if (m_code_page == CodePage::kDetect) {
            m_code_page = GuessCodePage(text, size);
        }
        // Western text holds no right-to-left letter; single bytes without markup are simply reversed.
        reading.right_to_left = m_code_page != CodePage::kWindows1252;
        if (!reading.right_to_left && !AnyIn(text, size, MarkupIn, IsMarkup)) {
            ReverseBytes(text, size, out);
            return;
        }
    }
    if (!IsFrameLine(line)) {
        SwitchPart(text, 0, size, reading, out);
        return;
    }
    for (std::size_t begin = 0;;) {
        const std::size_t bar = line.find('|', begin);
        const std::size_t end = bar == std::string_view::npos ? size : bar;
        SwitchPart(text, begin, end, reading, out);
        if (end == size) {
            return;
        }
        out[bar] = '|';
        begin = bar + 1;
    }
}

void TextReverser::SwitchPart(const unsigned char* text,
                              std::size_t begin,
                              std::size_t end,
                              Reading reading,
                              char* out) {
    if (!reading.right_to_left || !m_visual_order.Write(text, begin, end, reading.utf8, m_code_page, out)) {
        ReverseSegment(text, begin, end, reading.utf8, out);
    }
}

void TextReverser::ReverseSegment(const unsigned char* text, std::size_t begin, std::size_t end, bool utf8, char* out) {
    const UnitScanner scanner(text, end, utf8);
    std::size_t middle_begin = begin;
    std::size_t middle_end = end;
    m_tags.clear();
    // Brace blocks at either end and tag pairs need a look at the whole part before anything moves.
    if (AnyIn(text + begin, end - begin, BracketIn, [](unsigned char c) { return c == '<' || c == '{'; })) {
        bool leading = true;
        middle_end = begin;
        for (std::size_t i = begin, next; i < end; i = next) {
            const UnitKind kind = scanner.Next(i, &next);
            if (kind == UnitKind::kBraces) {
                middle_begin = leading ? next : middle_begin;
                continue;
            }
            leading = false;
            middle_end = next;
            if (kind == UnitKind::kTag && TagHasName(text, i)) {
                m_tags.push_back({i, next});
            }
        }
        if (leading) {
            middle_end = middle_begin;
        }
        m_pairer.Pair(text, m_tags);
        std::memcpy(out + begin, text + begin, middle_begin - begin);
        std::memcpy(out + middle_end, text + middle_end, end - middle_end);
    }
    // A unit goes where the reversal puts it, moved by the difference in length of the pairs that change places
    // around it; a tag with a partner writes the partner.
    std::ptrdiff_t shift = 0;
    std::size_t tag = 0;
    for (std::size_t i = middle_begin, next; i < middle_end; i = next) {
        const UnitKind kind = scanner.Next(i, &next);
        const unsigned char* from = text + i;
        std::size_t length = next - i;
        if (kind == UnitKind::kTag && tag < m_tags.size() && m_tags[tag].start == i) {
            const TagSpan& own = m_tags[tag++];
            if (own.partner != TagSpan::kNoPartner) {
                const TagSpan& partner = m_tags[own.partner];
                from = text + partner.start;
                length = partner.end - partner.start;
                shift += static_cast<std::ptrdiff_t>(own.end - own.start) - static_cast<std::ptrdiff_t>(length);
            }
        }
        CopyUnit(from, length, out + middle_begin + (middle_end - next) + shift);
    }
}
