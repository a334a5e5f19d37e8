// The orientation switch on text lines. Raw bytes: no crash, the result holds the same characters but for mirrored
// glyphs, switching twice gives the line back when nothing in it can turn into markup (and, for lines with a
// right-to-left letter, outside the exceptions TextReverser names), a line with markup added at an end switches like
// the line itself (the fast path and the full one agree), and the quick visual order writes what the full one writes.
// Lines built from subtitle-like pieces (words with and without points, numbers, nested tags, brace blocks, frame
// lines): switching twice gives the line back, outside the same exceptions, and the two orders agree.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "engine/bidi.h"
#include "engine/quick_visual_order.h"
#include "engine/text_reversal.h"
#include "engine/utf8.h"
#include "engine/visual_order.h"

namespace {

// Lines that are not UTF-8 are read as Windows-1255, whatever line came first.
TextReverser MakeReverser() {
    TextReverser reverser;
    reverser.SetCodePage(CodePage::kWindows1255);
    return reverser;
}

TextReverser g_reverser = MakeReverser();

std::string Reversed(std::string_view line) {
    std::string out(line.size(), '\0');
    g_reverser.Reverse(line, out.data());
    return out;
}

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

bool IsValid(std::string_view line) {
    return IsValidUtf8(reinterpret_cast<const unsigned char*>(line.data()), line.size());
}

bool StartsWithMark(std::string_view line) {
    char32_t code_point;
    return !line.empty() &&
           DecodeUtf8(reinterpret_cast<const unsigned char*>(line.data()), line.size(), &code_point) != 0 &&
           IsCombiningMark(code_point);
}

// The characters of a line: UTF-8, or Windows-1255 bytes.
std::vector<char32_t> Characters(std::string_view line, bool utf8) {
    const auto* text = reinterpret_cast<const unsigned char*>(line.data());
    std::vector<char32_t> characters;
    for (std::size_t i = 0; i < line.size();) {
        char32_t c = DecodeByte(CodePage::kWindows1255, text[i]);
        i += utf8 ? DecodeUtf8(text + i, line.size() - i, &c) : 1;
        characters.push_back(c);
    }
    return characters;
}

// The characters sorted, each glyph and its mirrored one counted as one.
std::vector<char32_t> Sorted(std::vector<char32_t> characters) {
    for (char32_t& c : characters) {
        c = std::min(c, MirrorOf(c));
    }
    std::sort(characters.begin(), characters.end());
    return characters;
}

bool IsFormatting(char32_t c) {
    return c == 0x200E || c == 0x200F || c == 0x061C || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

bool IsRightToLeftLetter(char32_t c) {
    return (GetBidiClass(c) == BidiClass::R || GetBidiClass(c) == BidiClass::AL) && c != 0x200F && c != 0x061C;
}

bool HoldsRightToLeftLetter(std::string_view line) {
    const std::vector<char32_t> characters = Characters(line, IsValid(line));
    return std::any_of(characters.begin(), characters.end(), IsRightToLeftLetter);
}

// Whether switching twice must give the line back: always for a line with no right-to-left letter; for one with
// such a letter, outside the exceptions TextReverser names, which come from the text between markup: a combining mark
// with no letter before it, left-to-right text beside right-to-left text (neutrals and tag pairs between them),
// digits in a line with Arabic letters (numbers read as Arabic ones, which separators and terminators do not join),
// direction formatting characters inside the line, and control characters.
bool MustComeBack(std::string_view line) {
    std::vector<char32_t> text;
    char32_t markup_end = 0;
    for (char32_t c : Characters(line, IsValid(line))) {
        if (markup_end == 0 && (c == '<' || c == '{')) {
            markup_end = c == '<' ? '>' : '}';
        } else if (markup_end != 0) {
            markup_end = c == markup_end ? 0 : markup_end;
        } else {
            text.push_back(c);
        }
    }
    bool right_to_left = false;
    bool left_to_right = false;
    bool arabic = false;
    bool digits = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const BidiClass bidi_class = GetBidiClass(text[i]);
        const BidiClass before = i > 0 ? GetBidiClass(text[i - 1]) : BidiClass::B;
        if (bidi_class == BidiClass::NSM &&
            (before == BidiClass::WS || before == BidiClass::BN || before == BidiClass::B || before == BidiClass::S ||
             before >= BidiClass::LRE)) {
            return !HoldsRightToLeftLetter(line);
        }
        // A formatting character between others stays with the one before it, which may end up at an end; a
        // control or zero-width character (class BN) is given a level by its neighbours, unless it joins two letters.
        const bool inside = i > 0 && i + 1 < text.size();
        if ((IsFormatting(text[i]) && inside && !IsFormatting(text[i - 1]) && !IsFormatting(text[i + 1])) ||
            (bidi_class == BidiClass::BN && !IsFormatting(text[i]) &&
             !(inside && IsRightToLeftLetter(text[i - 1]) && IsRightToLeftLetter(text[i + 1]))) ||
            bidi_class == BidiClass::B || bidi_class == BidiClass::S) {
            return !HoldsRightToLeftLetter(line);
        }
        right_to_left |= IsRightToLeftLetter(text[i]);
        left_to_right |= bidi_class == BidiClass::L;
        arabic |= bidi_class == BidiClass::AL;
        digits |= bidi_class == BidiClass::EN || bidi_class == BidiClass::AN;
    }
    return !HoldsRightToLeftLetter(line) || (right_to_left && !left_to_right && !(arabic && digits));
}

// For raw bytes, which hold any mix of classes, only the plainest right-to-left lines are held to it: letters,
// blanks, and marks right after a letter.
bool PlainLineMustComeBack(std::string_view line) {
    const std::vector<char32_t> text = Characters(line, IsValid(line));
    for (std::size_t i = 0; i < text.size(); ++i) {
        const BidiClass bidi_class = GetBidiClass(text[i]);
        const bool after_letter =
            i > 0 && (IsRightToLeftLetter(text[i - 1]) || GetBidiClass(text[i - 1]) == BidiClass::NSM);
        if (!IsRightToLeftLetter(text[i]) && bidi_class != BidiClass::WS &&
            !(bidi_class == BidiClass::NSM && after_letter)) {
            return !HoldsRightToLeftLetter(line);
        }
    }
    return true;
}

void CheckRawLine(std::string_view line) {
    const std::string once = Reversed(line);
    Check(once.size() == line.size() &&
          Sorted(Characters(once, IsValid(line))) == Sorted(Characters(line, IsValid(line))));

    // Bytes that are not UTF-8 but whose reversal is are read as characters the second time.
    if (line.find_first_of("<>{}|") == std::string_view::npos && !StartsWithMark(line) &&
        IsValid(line) == IsValid(once) && PlainLineMustComeBack(line)) {
        Check(Reversed(once) == line);
    }
    // Lines that are reversed; markup added to a right-to-left line takes part in the algorithm.
    if (line.find_first_of("<{0123456789") == std::string_view::npos && !HoldsRightToLeftLetter(line)) {
        Check(Reversed(std::string(line) + "<x>") == "<x>" + once);
        Check(Reversed("{x}" + std::string(line)) == "{x}" + once);
    }
}

// The quick order writes what the full one writes, on every line it takes.
void CheckQuickOrder(std::string_view line) {
    static QuickVisualOrder quick;
    static VisualOrder full;
    const auto* text = reinterpret_cast<const unsigned char*>(line.data());
    std::string quick_out(line.size(), '\0');
    std::string full_out(line.size(), '\0');
    const QuickVisualOrder::Result result = quick.Write(text, line.size(), quick_out.data());
    if (result != QuickVisualOrder::Result::kDeclined) {
        const bool written = full.Write(text, 0, line.size(), true, CodePage::kWindows1255, full_out.data());
        Check(written == (result == QuickVisualOrder::Result::kWritten) && (!written || quick_out == full_out));
    }
}

// Takes choices from the fuzz bytes; zeros once they run out.
struct Choices {
    std::size_t Below(std::size_t bound) { return next < size ? data[next++] % bound : 0; }
    bool Done() const { return next >= size; }

    const std::uint8_t* data;
    std::size_t size;
    std::size_t next = 0;
};

// Pieces that start with no mark, so that no mark follows a tag or brace block. Words in Hebrew and Arabic with and
// without points, Latin, and Windows-1255; numbers; punctuation; tags without partners; brace blocks.
const std::vector<std::string_view> kPieces[] = {
    {"שלום", "עולם", "שָׁלוֹם", "בְּרֵאשִׁית", "תּוֹדָה", "مرحبا", "مَرْحَبًا", "عليّ", "صديقي", "Hello", "don't", "e\xCC\x81t\xC3\xA9",
     "\xF9\xEC\xE5\xED", "\xE1\xC8\xF8\xE0\xF9"},
    {"1999", "12.5", "1,000", "10:30", "7", "2024", "0.5", "1\xE2\x83\x9D"},
    {" ", " ", ", ", ".", "!", "?", "-", "...", "\"", "(", ")", ": ", "'"},
    {"<br>", "<br/>", "<00:00:01.000>"},
    {"{\\an8}", "{\\i1}", "{\\i0}", "{y:i}", "{\\c&H00FFFF&}"},
};
constexpr std::string_view kPairs[][2] = {
    {"<i>", "</i>"}, {"<b>", "</b>"},        {"<u>", "</u>"},     {"<font color=\"#ff0\">", "</font>"},
    {"<I>", "</i>"}, {"<c.yellow>", "</c>"}, {"<v Dan>", "</v>"},
};
const std::vector<std::string_view>& kBraces = kPieces[4];

std::string_view Pick(Choices& choices, const std::vector<std::string_view>& options) {
    return options[choices.Below(options.size())];
}

// Pieces of text, words and punctuation more often than the rest, and pairs of tags around more text.
void AppendText(Choices& choices, int depth, std::string* line) {
    const std::size_t pieces = 1 + choices.Below(6);
    for (std::size_t i = 0; i < pieces && !choices.Done(); ++i) {
        constexpr int kKinds[] = {0, 0, 1, 2, 2, 3, 4, -1};  // -1: a pair of tags
        const int kind = kKinds[choices.Below(std::size(kKinds))];
        if (kind >= 0) {
            line->append(Pick(choices, kPieces[kind]));
        } else if (depth < 4) {
            const auto& pair = kPairs[choices.Below(std::size(kPairs))];
            line->append(pair[0]);
            AppendText(choices, depth + 1, line);
            line->append(pair[1]);
        }
    }
}

// Text, or a frame line of one to three parts; brace blocks may start and end each.
std::string BuildLine(Choices& choices) {
    const bool frame_line = choices.Below(4) == 0;
    std::string line =
        frame_line ? "{" + std::to_string(choices.Below(256)) + "}{" + std::to_string(choices.Below(256)) + "}" : "";
    const std::size_t parts = frame_line ? 1 + choices.Below(3) : 1;
    for (std::size_t part = 0; part < parts; ++part) {
        line += part > 0 ? "|" : "";
        line.append(choices.Below(3) == 0 ? Pick(choices, kBraces) : "");
        AppendText(choices, 0, &line);
        line.append(choices.Below(3) == 0 ? Pick(choices, kBraces) : "");
    }
    return line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CheckRawLine(std::string_view(reinterpret_cast<const char*>(data), size));
    CheckQuickOrder(std::string_view(reinterpret_cast<const char*>(data), size));

    Choices choices{data, size};
    const std::string line = BuildLine(choices);
    CheckQuickOrder(line);
    if (MustComeBack(line)) {
        Check(Reversed(Reversed(line)) == line);
    }
    return 0;
}
