// The reversal of text lines. Raw bytes: no crash, the result holds the same bytes, reversing twice gives the line
// back when nothing in it can turn into markup, and a line with markup added at an end reverses like the line
// itself (the fast path and the full one agree). Lines built from subtitle-like pieces (words with and without
// points, numbers, nested tags, brace blocks, frame lines): reversing twice gives the line back.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "engine/text_reversal.h"
#include "engine/utf8.h"

namespace {

TextReverser g_reverser;

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

void CheckRawLine(std::string_view line) {
    const std::string once = Reversed(line);
    std::array<std::size_t, 256> counts{};
    for (std::size_t i = 0; i < line.size(); ++i) {
        ++counts[static_cast<unsigned char>(line[i])];
        --counts[static_cast<unsigned char>(once[i])];
    }
    Check(std::all_of(counts.begin(), counts.end(), [](std::size_t count) { return count == 0; }));

    // Bytes that are not UTF-8 but whose reversal is are read as characters the second time.
    if (line.find_first_of("<>{}|") == std::string_view::npos && !StartsWithMark(line) &&
        IsValid(line) == IsValid(once)) {
        Check(Reversed(once) == line);
    }
    if (line.find_first_of("<{0123456789") == std::string_view::npos) {
        Check(Reversed(std::string(line) + "<x>") == "<x>" + once);
        Check(Reversed("{x}" + std::string(line)) == "{x}" + once);
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

    Choices choices{data, size};
    const std::string line = BuildLine(choices);
    Check(Reversed(Reversed(line)) == line);
    return 0;
}
