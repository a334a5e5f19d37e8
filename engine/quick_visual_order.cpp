#include "engine/quick_visual_order.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "engine/bidi_rules.h"
#include "engine/byte_pair_table.h"
#include "engine/utf8.h"

namespace {

using C = BidiClass;

constexpr std::uint32_t Bit(C c) {
    return 1u << static_cast<unsigned>(c);
}

// What X9 would remove, isolates, and separators, whose levels L1 resets: lines with them take the full way.
constexpr std::uint32_t kDeclinedClasses = Bit(C::BN) | Bit(C::B) | Bit(C::S) | Bit(C::LRE) | Bit(C::LRO) |
                                           Bit(C::RLE) | Bit(C::RLO) | Bit(C::PDF) | Bit(C::LRI) | Bit(C::RLI) |
                                           Bit(C::FSI) | Bit(C::PDI);

// Right-to-left letters: below U+0590 there are none, and the direction formatting characters of these classes
// (RLM, ALM) are declined before.
constexpr std::uint32_t kRightToLeftClasses = Bit(C::R) | Bit(C::AL);

// The only direction formatting character below U+0800 (two bytes of UTF-8).
constexpr char32_t kArabicLetterMark = 0x061C;

// Letters of one direction and digits of one kind: a run of them, with the marks after them, resolves as one
// character of its class would, since the rules tell a run's characters apart nowhere. Neutrals, separators and
// terminators stay single: brackets pair, and one separator between numbers joins them.
constexpr std::uint32_t kRunClasses = Bit(C::L) | Bit(C::R) | Bit(C::AL) | Bit(C::EN) | Bit(C::AN);

// The class of each character of one or two bytes, looked up by a byte and the byte after it (any byte after ASCII),
// so that the line loop decodes and checks nothing itself. kTakeApart for every other pair: lead bytes of three and
// four, bytes that are not UTF-8, and the characters that decline a line ('<', '{', ALM and kDeclinedClasses).
constexpr std::uint8_t kTakeApart = 0xFF;

const BytePairTable kPairClasses = MakeBytePairTable(
    [](char32_t c) {
        const C bidi_class = GetBidiClass(c);
        const bool declined =
            c == '<' || c == '{' || c == kArabicLetterMark || (kDeclinedClasses & Bit(bidi_class)) != 0;
        return declined ? kTakeApart : static_cast<std::uint8_t>(bidi_class);
    },
    kTakeApart);

// What a run of letters holds besides letters of two bytes each.
constexpr std::uint8_t kRunMarked = 1;     // marks after letters
constexpr std::uint8_t kRunLongChars = 2;  // a letter of three or four bytes

// Writes the `size` bytes at `text`, letters of two bytes each, with their order reversed: eight bytes at a time, the
// byte swap of a word with the two bytes of each letter swapped back.
char* WriteReversedPairs(const unsigned char* text, std::size_t size, char* to) {
    constexpr std::uint64_t kEvenBytes = 0x00FF00FF00FF00FFull;
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, text + i, 8);
        word = __builtin_bswap64(word);
        word = (word >> 8 & kEvenBytes) | (word & kEvenBytes) << 8;
        std::memcpy(to + size - i - 8, &word, 8);
    }
    for (; i < size; i += 2) {
        to[size - i - 2] = static_cast<char>(text[i]);
        to[size - i - 1] = static_cast<char>(text[i + 1]);
    }
    return to + size;
}

// Writes the characters of text[begin, end), a run of right-to-left letters, in reverse order, each with the marks
// after it in its own order (`holds`: kRun flags). Returns the end of what it wrote.
char* WriteReversed(const unsigned char* text, std::size_t begin, std::size_t end, std::uint8_t holds, char* to) {
    if (holds == 0) {
        return WriteReversedPairs(text + begin, end - begin, to);
    }
    const bool marked = (holds & kRunMarked) != 0;
    char* const out_end = to + (end - begin);
    std::size_t cluster_start = begin;
    for (std::size_t i = begin; i < end;) {
        const unsigned char lead = text[i];
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        if (i > begin) {
            char32_t code_point = lead;
            if (marked && length > 1) {
                DecodeValidUtf8(text + i, &code_point);
            }
            if (!marked || GetBidiClass(code_point) != C::NSM) {
                CopyFewBytes(text + cluster_start, i - cluster_start, out_end - (i - begin));
                cluster_start = i;
            }
        }
        i += length;
    }
    CopyFewBytes(text + cluster_start, end - cluster_start, to);
    return out_end;
}

}  // namespace

QuickVisualOrder::Result QuickVisualOrder::Write(const unsigned char* text, std::size_t size, char* out) {
    if (m_starts.size() < size + 1) {
        m_code_points.resize(size);
        m_starts.resize(size + 1);
        m_original.resize(size);
        m_types.resize(size);
        m_run_holds.resize(size);
    }
    char32_t* code_points = m_code_points.data();
    std::uint32_t* starts = m_starts.data();
    C* original = m_original.data();
    std::size_t count = 0;
    std::uint32_t present = 0;
    bool brackets = false;
    bool mirrored = false;
    std::uint8_t* run_holds = m_run_holds.data();
    C run = C::ON;  // the class of the run the last element is, or ON when it is a single character
    for (std::size_t i = 0; i < size;) {
        // At the last byte, the byte itself stands for the next one, which makes no valid pair.
        const unsigned lead = text[i];
        const unsigned next = text[i + (i + 1 < size ? 1 : 0)];
        const std::uint8_t entry = kPairClasses[BytePairIndex(lead, next)];
        char32_t code_point;
        std::size_t length;
        C bidi_class;
        if (entry != kTakeApart) {
            const bool two = lead >= 0x80;
            code_point = two ? (lead & 0x1F) << 6 | (next & 0x3F) : lead;
            length = two ? 2 : 1;
            bidi_class = static_cast<C>(entry);
        } else {
            if (lead == '<' || lead == '{') {
                return Result::kDeclined;
            }
            length = DecodeUtf8(text + i, size - i, &code_point);
            if (length == 0 || IsDirectionFormatting(code_point)) {
                return Result::kDeclined;
            }
            bidi_class = GetBidiClass(code_point);
            if ((kDeclinedClasses & Bit(bidi_class)) != 0) {
                return Result::kDeclined;
            }
        }
        i += length;
        const std::uint8_t long_char = length == 2 ? 0 : kRunLongChars;
        // A letter or digit of the class of the run before it, or a mark after one, joins that run.
        if (run != C::ON && (bidi_class == run || bidi_class == C::NSM)) {
            run_holds[count - 1] |= bidi_class == C::NSM ? kRunMarked : long_char;
            continue;
        }
        run = (kRunClasses & Bit(bidi_class)) != 0 ? bidi_class : C::ON;
        present |= Bit(bidi_class);
        if (bidi_class == C::ON) {  // brackets and every character with a mirror are other neutrals
            brackets = brackets || bidi_rules::MayBeBracket(code_point);
            mirrored = mirrored || HasMirror(code_point);
        }
        code_points[count] = code_point;
        starts[count] = static_cast<std::uint32_t>(i - length);
        original[count] = bidi_class;
        run_holds[count] = long_char;
        ++count;
    }
    starts[count] = static_cast<std::uint32_t>(size);
    if ((present & kRightToLeftClasses) == 0) {
        return Result::kNoRightToLeft;
    }

    C* types = m_types.data();
    constexpr std::uint32_t kNumbers = Bit(C::EN) | Bit(C::AN);
    if ((present & Bit(C::L)) == 0 && (present & kNumbers) == 0) {
        // Nothing but right-to-left letters and neutrals: everything is at level 1.
        std::fill(types, types + count, C::R);
    } else {
        std::copy(original, original + count, types);
        bidi_rules::ResolveWeakTypes(types, count, present, C::R);
        if ((present & Bit(C::L)) == 0) {
            // Without a left-to-right letter (W7 makes none of a number then), every neutral lies between
            // right-to-left letters, numbers, which N0 and N1 take for R, or the ends: they all become R, and only
            // the numbers go up to level 2.
            std::replace_if(
                types, types + count, [](C type) { return type != C::EN && type != C::AN; }, C::R);
        } else {
            if (brackets) {
                bidi_rules::ResolveBracketPairs(types, count, code_points, original, C::R, m_bracket_stack,
                                                m_bracket_pairs);
            }
            bidi_rules::ResolveNeutrals(types, count, C::R);
        }
    }
    // I1-I2 leave R at level 1 and lift the rest (L and numbers) to 2. L1 changes nothing: white space at the end
    // lies between the last strong type and eos (R), so N1-N2 made it R already.
    const auto odd = [types](std::size_t k) { return types[k] == C::R; };

    // L2 reverses the runs at level 2 and then the whole line; L3 first reverses each base with the marks after it
    // at level 1, so that they come out in their own order.
    char* to = out;
    for (std::size_t end = count; end > 0;) {
        std::size_t start = end - 1;
        if (!odd(start)) {
            while (start > 0 && !odd(start - 1)) {
                --start;
            }
            const std::size_t length = starts[end] - starts[start];
            std::memcpy(to, text + starts[start], length);
            to += length;
            end = start;
            continue;
        }
        if (original[start] == C::NSM) {
            while (start > 0 && odd(start - 1) && original[start - 1] == C::NSM) {
                --start;
            }
            start -= start > 0 && odd(start - 1) ? 1 : 0;
        }
        for (std::size_t k = start; k < end; ++k) {
            if (original[k] == C::R || original[k] == C::AL) {
                to = WriteReversed(text, starts[k], starts[k + 1], run_holds[k], to);
                continue;
            }
            const std::size_t length = starts[k + 1] - starts[k];
            if (mirrored && HasMirror(code_points[k])) {
                char encoded[4];
                if (EncodeUtf8(MirrorOf(code_points[k]), encoded) == length) {
                    to = CopyFewBytes(reinterpret_cast<const unsigned char*>(encoded), length, to);
                    continue;
                }
            }
            to = CopyFewBytes(text + starts[k], length, to);
        }
        end = start;
    }
    return Result::kWritten;
}
