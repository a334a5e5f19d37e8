#include "engine/bidi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "engine/code_pages.h"
#include "engine/text_reversal.h"
#include "engine/utf8.h"
#include "tests/fribidi_oracle.h"
#include "tests/test_support.h"

namespace {

std::vector<std::string> Split(const std::string& line, char separator) {
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, separator);) {
        if (!field.empty()) {
            fields.push_back(field);
        }
    }
    return fields;
}

template <typename T>
std::string Joined(const std::vector<T>& values) {
    std::string out;
    for (T value : values) {
        out += std::to_string(value) + " ";
    }
    return out;
}

TEST(BidiTables, ClassesAndMirrors) {
    const struct {
        char32_t code_point;
        BidiClass bidi_class;
        char32_t mirror;
    } cases[] = {
        {U'a', BidiClass::L, U'a'},     {U'(', BidiClass::ON, U')'},     {0xAB, BidiClass::ON, 0xBB},
        {0x05D0, BidiClass::R, 0x05D0}, {0x05B8, BidiClass::NSM, 0},     {0x05FF, BidiClass::R, 0},  // unassigned
        {0x0627, BidiClass::AL, 0},     {0x064E, BidiClass::NSM, 0},     {0x0663, BidiClass::AN, 0},
        {0x06F1, BidiClass::EN, 0},     {0x061C, BidiClass::AL, 0},      {0x200F, BidiClass::R, 0},
        {0x20CF, BidiClass::ET, 0},     {0x2329, BidiClass::ON, 0x232A}, {0x200D, BidiClass::BN, 0},
        {0x1F600, BidiClass::ON, 0},    {0x10FFFF, BidiClass::BN, 0},    {kNeutralPlaceholder, BidiClass::ON, 0xFFFC},
        {0xE0001, BidiClass::BN, 0},    {0x20000, BidiClass::L, 0},      {0x1E900, BidiClass::R, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.code_point));
        EXPECT_EQ(GetBidiClass(c.code_point), c.bidi_class);
        EXPECT_EQ(MirrorOf(c.code_point), c.mirror ? c.mirror : c.code_point);
    }
    // The switch writes a mirrored glyph in the place of the other: it must take as many bytes. The quick order
    // looks for mirrors among the other neutrals (ON) only.
    for (char32_t c = 0; c < 0x20000; ++c) {
        char original[4];
        char mirrored[4];
        ASSERT_EQ(EncodeUtf8(c, original), EncodeUtf8(MirrorOf(c), mirrored)) << c;
        ASSERT_TRUE(!HasMirror(c) || GetBidiClass(c) == BidiClass::ON) << c;
    }
}

// The code pages the switch reads lines in that are not UTF-8.
TEST(CodePages, NamesTablesAndDetection) {
    const struct {
        const char* name;
        bool known;
        CodePage code_page;
    } names[] = {
        {"windows-1255", true, CodePage::kWindows1255},
        {"CP1256", true, CodePage::kWindows1256},
        {"1252", true, CodePage::kWindows1252},
        {"Windows1255", true, CodePage::kWindows1255},
        {"hebrew", true, CodePage::kWindows1255},
        {"ARABIC", true, CodePage::kWindows1256},
        {"western", true, CodePage::kWindows1252},
        {"utf-8", false, CodePage::kDetect},
        {"1251", false, CodePage::kDetect},
        {"", false, CodePage::kDetect},
        {"windows-", false, CodePage::kDetect},
        {"cp12555", false, CodePage::kDetect},
    };
    for (const auto& c : names) {
        CodePage code_page = CodePage::kDetect;
        EXPECT_EQ(ParseCodePage(c.name, &code_page), c.known) << c.name;
        EXPECT_EQ(code_page, c.code_page) << c.name;
    }
    // Every byte a code page defines comes back from its code point.
    for (CodePage code_page : {CodePage::kWindows1252, CodePage::kWindows1255, CodePage::kWindows1256}) {
        for (int byte = 0; byte < 256; ++byte) {
            const char32_t code_point = DecodeByte(code_page, static_cast<unsigned char>(byte));
            if (code_point != 0 || byte == 0) {  // 0: a byte the code page leaves undefined
                EXPECT_EQ(EncodeByte(code_page, code_point), byte) << byte;
            }
        }
    }
    EXPECT_EQ(DecodeByte(CodePage::kWindows1255, 0xE0), U'\u05D0');  // alef
    EXPECT_EQ(DecodeByte(CodePage::kWindows1256, 0xC7), U'\u0627');  // alef
    EXPECT_EQ(DecodeByte(CodePage::kWindows1255, 0xFE), U'\u200F');  // RLM
    // Whole files are in the corpus test; these are the edges.
    // Each guess, and the other code page the bytes may be in when they are not clear (kDetect: they are).
    const struct {
        const char* text;
        CodePage code_page;
        CodePage doubt;
    } guesses[] = {
        {"plain ASCII\r\n", CodePage::kDetect, CodePage::kDetect},
        {"UTF-8 \xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D", CodePage::kDetect, CodePage::kDetect},
        // Two words cannot tell Hebrew from Arabic for sure; three can.
        {"\xF9\xEC\xE5\xED \xF2\xE5\xEC\xED", CodePage::kWindows1255, CodePage::kWindows1256},  // shalom olam
        {"\xF9\xEC\xE5\xED \xF2\xE5\xEC\xED \xEE\xE4", CodePage::kWindows1255, CodePage::kDetect},
        {"\xF9\xC8\xEC\xE5\xEC\xED", CodePage::kWindows1255, CodePage::kWindows1256},  // a point inside a word
        {"\xC7\xE1\xD3\xE1\xC7\xE3 \xDA\xE1\xED\xDF\xE3 \xC7\xE1", CodePage::kWindows1256, CodePage::kDetect},
        {"\x98\xCA\xC7\xC8 \x90\xE1", CodePage::kWindows1256, CodePage::kWindows1255},  // Persian ketab, gol
        {"caf\xE9 cr\xE8me br\xFBl\xE9"
         "e",
         CodePage::kWindows1252, CodePage::kDetect},
        // Accented letters that come in pairs as often as Hebrew letters come alone: either may be meant.
        {"\xE9\xE9 a\xE9 \xE9", CodePage::kWindows1255, CodePage::kWindows1252},
    };
    for (const auto& c : guesses) {
        const std::string text = c.text;
        CodePage doubt = CodePage::kWindows1252;
        EXPECT_EQ(GuessCodePage(reinterpret_cast<const unsigned char*>(text.data()), text.size(), &doubt), c.code_page)
            << c.text;
        EXPECT_EQ(doubt, c.doubt) << c.text;
    }
}

// Unicode's own test lines for paragraphs of either direction, without the embeddings and isolates that are not done.
TEST(BidiParagraph, MatchesUnicodeTestLines) {
    std::ifstream file("/usr/share/unicode/BidiCharacterTest.txt");
    if (!file) {
        GTEST_SKIP() << "no /usr/share/unicode/BidiCharacterTest.txt (Debian package unicode-data)";
    }
    BidiParagraph bidi;
    int run = 0;
    int passed = 0;
    for (std::string line; std::getline(file, line);) {
        const std::vector<std::string> fields = Split(line, ';');
        if (line.empty() || line[0] == '#' || fields.size() < 5 || (fields[1] != "0" && fields[1] != "1")) {
            continue;
        }
        bidi.SetDirection(fields[1] == "1" ? ParagraphDirection::kRightToLeft : ParagraphDirection::kLeftToRight);
        std::vector<char32_t> text;
        for (const std::string& hex : Split(fields[0], ' ')) {
            text.push_back(static_cast<char32_t>(std::stoul(hex, nullptr, 16)));
        }
        if (std::any_of(text.begin(), text.end(), [](char32_t c) { return GetBidiClass(c) >= BidiClass::LRE; })) {
            continue;
        }
        bidi.Resolve(text.data(), text.size(), /*marks_after_base=*/false);
        const std::vector<std::string> levels = Split(fields[3], ' ');
        std::string expected_levels;
        std::string actual_levels;
        for (std::size_t i = 0; i < levels.size(); ++i) {
            expected_levels += levels[i] + " ";
            actual_levels += levels[i] == "x" ? "x " : std::to_string(bidi.Levels()[i]) + " ";
        }
        std::string actual_order;
        for (std::uint32_t logical : bidi.VisualToLogical()) {
            actual_order += levels[logical] == "x" ? "" : std::to_string(logical) + " ";
        }
        ++run;
        if (actual_levels == expected_levels && actual_order == fields[4] + " ") {
            ++passed;
        } else if (run - passed <= 10) {
            ADD_FAILURE() << line << "\n levels " << actual_levels << "\n order " << actual_order;
        }
    }
    std::cout << "BidiCharacterTest.txt: " << passed << " of " << run << " lines of either direction pass\n";
    EXPECT_EQ(passed, run);
    EXPECT_GT(run, 10000);
}

// Lines made of the pieces subtitles are made of, ordered by GNU FriBidi and by us, marks kept after their base;
// and switched as FriBidi shows them.
TEST(BidiParagraph, MatchesFriBidi) {
    if (!HaveFriBidi()) {
        GTEST_SKIP() << "no fribidi command (Debian package libfribidi-bin)";
    }
    const char* pieces[] = {
        "שלום",   "עולם",   "מה",     "שָׁלוֹם",   "בְּ",      "مرحبا",  "كتاب", "كَتَبَ", "سلام", "Hello", "OK",
        "DVD",    "12",     "1999",   "3.5",    "10:30",  "1,000",  "٣٤٥",  "۱۲۳", ", ",   ".",     ":",
        "/",      "-",      "+",      "%",      "$",      "#",      "(",    ")",   "[",    "]",     "{",
        "}",      "«",      "»",      " ",      " ",      " ",      "!",    "?",   "\"",   "'",     "...",
        "\u200F", "\u200E", "\u061C", "\uFFFC", "\u05B8", "\u064B", "\t",
    };
    std::mt19937 random(20240611);
    std::vector<std::string> lines;
    for (int i = 0; i < 3000; ++i) {
        std::string line;
        for (int count = 1 + random() % 12; count > 0; --count) {
            line += pieces[random() % std::size(pieces)];
        }
        lines.push_back(line);
    }
    const std::vector<FriBidiOrder> orders = RunFriBidi(lines);
    const std::vector<FriBidiOrder> left_to_right = RunFriBidi(lines, ParagraphDirection::kLeftToRight);
    BidiParagraph bidi;
    BidiParagraph ltr_bidi;
    ltr_bidi.SetDirection(ParagraphDirection::kLeftToRight);
    TextReverser reverser;
    int matched = 0;
    int matched_ltr = 0;
    int switched = 0;
    int switched_right = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        const std::vector<char32_t> text = CodePoints(line);
        bidi.Resolve(text.data(), text.size());
        std::vector<int> levels(bidi.Levels().begin(), bidi.Levels().end());
        const bool same = bidi.VisualToLogical() == orders[i].visual_to_logical && levels == orders[i].levels;
        matched += same;
        EXPECT_TRUE(same) << line << "\n fribidi " << Joined(orders[i].visual_to_logical) << "/ "
                          << Joined(orders[i].levels) << "\n ours    " << Joined(bidi.VisualToLogical()) << "/ "
                          << Joined(levels);
        ltr_bidi.Resolve(text.data(), text.size());
        const std::vector<int> ltr_levels(ltr_bidi.Levels().begin(), ltr_bidi.Levels().end());
        const bool ltr_same =
            ltr_bidi.VisualToLogical() == left_to_right[i].visual_to_logical && ltr_levels == left_to_right[i].levels;
        matched_ltr += ltr_same;
        EXPECT_TRUE(ltr_same) << "left to right: " << line << "\n fribidi " << Joined(left_to_right[i].levels)
                              << "\n ours    " << Joined(ltr_levels);
        // The switch: lines with a right-to-left letter (RLM and ALM are none) and no brace block, which keeps its
        // place.
        const bool right_to_left = std::any_of(text.begin(), text.end(), [](char32_t c) {
            return (GetBidiClass(c) == BidiClass::R || GetBidiClass(c) == BidiClass::AL) && c != 0x200F && c != 0x61C;
        });
        if (right_to_left && line.find('{') == std::string::npos) {
            std::string out(line.size(), '?');
            reverser.Reverse(line, out.data());
            ++switched;
            switched_right += WithoutFormatting(out) == DisplayWithoutFormatting(line, orders[i]);
            EXPECT_EQ(WithoutFormatting(out), DisplayWithoutFormatting(line, orders[i])) << line;
        }
    }
    std::cout << "FriBidi: " << matched << " of " << lines.size() << " generated lines match right to left, "
              << matched_ltr << " left to right; switched " << switched_right << " of " << switched
              << " as it shows them\n";
}

}  // namespace
