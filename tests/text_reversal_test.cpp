#include "engine/text_reversal.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "engine/quick_visual_order.h"
#include "engine/utf8.h"
#include "engine/visual_order.h"

#include "tests/fribidi_oracle.h"

namespace {

// One reverser for every line, as a run uses it.
std::string Reversed(const std::string& line) {
    static TextReverser reverser;
    std::string out(line.size(), '?');
    reverser.Reverse(line, out.data());
    return out;
}

// Real subtitle lines are reversed in the corpus, and the fuzz target reverses lines built from their pieces twice.
TEST(ReverseText, ReversesUnitsOfTheLine) {
    const struct {
        const char* name;
        std::string input;
        std::string output;
    } cases[] = {
        {"empty", "", ""},
        {"four-byte", "a\U0001F600b", "b\U0001F600a"},
        // shin + shin dot + qamats, then lamed: the points stay after their letter
        {"hebrew points", "\xD7\xA9\xD7\x81\xD6\xB8\xD7\x9C", "\xD7\x9C\xD7\xA9\xD7\x81\xD6\xB8"},
        // beh + fatha, then alef
        {"arabic vowel", "\xD8\xA8\xD9\x8E\xD8\xA7", "\xD8\xA7\xD8\xA8\xD9\x8E"},
        {"latin combining", "e\u0301x", "xe\u0301"},
        // enclosing circle (U+20DD, category Me)
        {"enclosing mark", "a\u20DDb", "ba\u20DD"},
        {"last variation selector", "a\U000E01EFb", "ba\U000E01EF"},
        {"a spacing mark (Mc) is no combining mark", "\u0915\u0903x", "x\u0903\u0915"},
        // a mark with nothing before it moves as a character of its own
        {"leading mark", "\u0301ab", "ba\u0301"},
        {"mark after a tag", "<i>\u05B8ab</i>", "<i>ba\u05B8</i>"},
        {"mark after a long ascii run", "abcdefgh\u0301ij", "jih\u0301gfedcba"},
        {"number", "בשנת 1999", "1999 תנשב"},
        {"separators", "at 10:30, 1,000 of 12.5", "12.5 fo 1,000 ,10:30 ta"},
        {"marked digits stay in the number", "x1\u20DD2", "1\u20DD2x"},
        {"long mixed line", "0123456789 \xD7\xA9\xD7\x9C", "\xD7\x9C\xD7\xA9 0123456789"},
        {"nested pairs", "<i><b>ab</b> cd</i>", "<i>dc <b>ba</b></i>"},
        {"same name nested", "<i>a<i>b</i>c</i>", "<i>c<i>b</i>a</i>"},
        {"crossing pairs", "<i>a<b>b</i>c</b>", "<b>c<i>b</b>a</i>"},
        {"case of names", "<I>ab</i>", "<I>ba</i>"},
        {"lone tags", "a<br>b</i>c", "c</i>b<br>a"},
        {"nameless closing tag", "a</>b<>", "><b</>a"},
        {"no tag", "a < b > c", "c > b < a"},
        {"stray brackets", "x>a<b", "b<a>x"},
        {"braces in the middle", "ab{x}cd", "dc{x}ba"},
        {"only braces", "{a}{b}", "{a}{b}"},
        {"brace without end", "{a{b}", "a{{b}"},
        {"frame line parts", "{100}{200}Hello|World", "{100}{200}olleH|dlroW"},
        {"frame line styles", "{1}{2}{y:i}שלום 5|{y:b}<b>עולם</b>|", "{1}{2}{y:i}5 םולש|{y:b}<b>םלוע</b>|"},
        {"bar outside a frame line", "{1}a|b", "{1}b|a"},
        // Windows-1255 (not UTF-8): byte by byte, with tags, brace blocks and numbers still whole
        {"ansi punctuation", "\x2E\xEB\xEF", "\xEF\xEB\x2E"},
        {"ansi markup", "{\\an8}<i>\xF9\xEC 1999</i>", "{\\an8}<i>1999 \xEC\xF9</i>"},
        // broken UTF-8 anywhere in the line: byte by byte, so nothing is dropped
        {"truncated sequence", "\xD7\xA9\xD7", "\xD7\xA9\xD7"},
        {"overlong",
         "\xC0\xAF"
         "a",
         "a\xAF\xC0"},
        {"surrogate", "\xED\xA0\x80", "\x80\xA0\xED"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Reversed(c.input), c.output);
    }
}

// A line with a Hebrew or Arabic letter is written as a bidi-aware player shows it; the corpus and the generated lines
// of the bidi tests hold it against GNU FriBidi. These are the shapes real lines have, markup and marks included.
TEST(SwitchText, WritesWhatABidiAwarePlayerShows) {
    const struct {
        const char* name;
        std::string input;
        std::string output;
    } cases[] = {
        {"brackets are mirrored", "(שלום) [צוחק]", "[קחוצ] (םולש)"},
        {"latin words keep their order", "אני אוהב Coca Cola!", "!Coca Cola בהוא ינא"},
        {"a date", "לפני 94/02/08", "94/02/08 ינפל"},
        {"a percentage", "50% הנחה", "החנה 50%"},
        {"a range", "פרקים 1-5", "1-5 םיקרפ"},
        {"arabic-indic digits", "عام ٢٠١٨", "٢٠١٨ ماع"},
        {"persian digits", "سن ۱۶ سال", "لاس ۱۶ نس"},
        {"guillemets", "«مرحبا»", "«ابحرم»"},
        {"dialogue dash", "- כן.", ".ןכ -"},
        {"points after their letter", "שָׁלוֹם עולם", "םלוע םוֹלשָׁ"},
        {"embedding before a brace block stays first", "\u202B{\\an8}שלום עולם\u202C", "\u202B{\\an8}םלוע םולש\u202C"},
        {"mark before a brace block stays first", "\u200F{\\an8}שלום.", "\u200F{\\an8}.םולש"},
        {"mark in the middle stays after its character", "היא 123\u200F.", ".123\u200F איה"},
        {"arabic letter mark stays after its character", "אב\u061Cג.", ".גב\u061Cא"},
        {"brace block at the end", "שלום{\\b0}", "םולש{\\b0}"},
        {"tags around a latin part", "שלום <i>abc</i> def", "<i>abc</i> def םולש"},
        {"tags around both directions", "<i>abc שלום</i>", "<i>םולש abc</i>"},
        {"nested tags", "<b>א<i>ב</i>ג</b>", "<b>ג<i>ב</i>א</b>"},
        {"empty pair", "שלום <i></i>עולם", "םלוע<i></i> םולש"},
        {"a lone tag is a neutral", "שלום<br>עולם 12", "12 םלוע<br>םולש"},
        {"frame line parts", "{1}{2}שלום OK|עולם", "{1}{2}OK םולש|םלוע"},
        {"no right-to-left letter", "hello (world) 12", "12 )dlrow( olleh"},
        {"only a mark", "\u200Fhello", "olleh\u200F"},
    };
    std::vector<std::string> plain;  // rows with a right-to-left letter and no markup, which FriBidi checks too
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Reversed(c.input), c.output);
        if (c.input.find_first_of("<{") == std::string::npos && c.input.find("hello") == std::string::npos) {
            plain.push_back(c.input);
        }
    }
    if (HaveFriBidi()) {
        const std::vector<FriBidiOrder> orders = RunFriBidi(plain);
        for (std::size_t i = 0; i < plain.size(); ++i) {
            EXPECT_EQ(WithoutFormatting(Reversed(plain[i])), DisplayWithoutFormatting(plain[i], orders[i])) << plain[i];
        }
    }
}

// Lines that are not UTF-8 are read in the file's code page, and written back in it.
TEST(SwitchText, ReadsSingleByteLinesInTheirCodePage) {
    const struct {
        CodePage code_page;
        std::string input;
        std::string output;
    } cases[] = {
        // Windows-1256: brackets mirrored around an Arabic word; after Arabic text digits are an Arabic number, which
        // '%' does not join
        {CodePage::kWindows1256, "(\xC7\xE1\xD3\xE1\xC7\xE3) 12%", "%12 (\xE3\xC7\xE1\xD3\xE1\xC7)"},
        // Windows-1255: RLM (0xFE) stays after the letter before it
        {CodePage::kWindows1255, "\xF9\xEC\xE5\xED\xFE 12.", ".12 \xED\xFE\xE5\xEC\xF9"},
        // guillemets (0xAB, 0xBB) mirrored, a Latin word kept
        {CodePage::kWindows1255, "\xAB\xF9\xEC\xE5\xED\xBB OK", "OK \xAB\xED\xE5\xEC\xF9\xBB"},
        // Windows-1252 holds no right-to-left letter: byte by byte, as always
        {CodePage::kWindows1252, "caf\xE9 (ol\xE9)",
         ")\xE9lo( \xE9"
         "fac"},
    };
    for (const auto& c : cases) {
        TextReverser reverser;
        reverser.SetCodePage(c.code_page);
        std::string out(c.input.size(), '?');
        reverser.Reverse(c.input, out.data());
        EXPECT_EQ(out, c.output) << CodePageName(c.code_page);
    }
}

// The quick order, and the one-pass reversal of lines right to left throughout, must write what the full order
// writes, on every line they take. Random lines of the pieces that decide levels: letters of both directions with
// their marks (and letters of three bytes), the number classes and what joins them, neutrals, brackets (mirrored,
// nested, canonically equal, deeper than the bracket stack), white space at the ends, and what they must decline
// (controls, formatting characters, markup, broken UTF-8).
TEST(SwitchText, FastWaysWriteWhatTheFullOrderWrites) {
    const std::vector<std::string_view> pieces = {"\u05D0",     "\u05E9\u05DC",
                                                  "\u05B8",     "\u05BC\u05B0",
                                                  "\u0628",     "\u0627\u0644",
                                                  "\u064E",     "\u0662",
                                                  "\u06F1",     "1",
                                                  "23",         "a",
                                                  "Zq",         "\u00E9",
                                                  "\u0301",     " ",
                                                  "  ",         ".",
                                                  ",",          ":",
                                                  "-",          "+",
                                                  "%",          "$",
                                                  "#",          "/",
                                                  "\u00A0",     "(",
                                                  ")",          "[",
                                                  "]",          "\u00AB",
                                                  "\u00BB",     "\"",
                                                  "!",          "?",
                                                  "\u2026",     "\u2014",
                                                  "\U0001F600", "\uFD3E",
                                                  "\uFD3F",     "\u2329",
                                                  "\u3009",     "\u0660",
                                                  "\u066A",     "\u200F",
                                                  "\u200C",     "\t",
                                                  "\u061C",     "<i>",
                                                  "{",          "\xD7",
                                                  "\uFB2A",     "\uFEFB\uFE8D"};
    std::mt19937 random(7);
    QuickVisualOrder quick;
    VisualOrder full;
    TextReverser reverser;
    int written = 0;
    for (int round = 0; round < 100000; ++round) {
        std::string line;
        const std::size_t count = 1 + random() % (round % 100 == 0 ? 150 : 24);
        for (std::size_t i = 0; i < count; ++i) {
            line += pieces[random() % (round % 3 == 0 ? 20 : pieces.size())];
        }
        const auto* text = reinterpret_cast<const unsigned char*>(line.data());
        std::string quick_out(line.size(), '?');
        std::string full_out(line.size(), '?');
        // Whichever way the switch takes, a line of UTF-8 without markup comes out as the full order writes it.
        if (line.find_first_of("<{") == std::string::npos && IsValidUtf8(text, line.size()) &&
            full.Write(text, 0, line.size(), true, CodePage::kWindows1255, full_out.data())) {
            std::string switched(line.size(), '?');
            reverser.Reverse(line, switched.data());
            ASSERT_EQ(switched, full_out) << line;
        }
        switch (quick.Write(text, line.size(), quick_out.data())) {
            case QuickVisualOrder::Result::kWritten:
                ++written;
                ASSERT_TRUE(full.Write(text, 0, line.size(), true, CodePage::kWindows1255, full_out.data())) << line;
                ASSERT_EQ(quick_out, full_out) << line;
                break;
            case QuickVisualOrder::Result::kNoRightToLeft:
                ASSERT_FALSE(full.Write(text, 0, line.size(), true, CodePage::kWindows1255, full_out.data())) << line;
                break;
            case QuickVisualOrder::Result::kDeclined:
                break;
        }
    }
    EXPECT_GT(written, 20000);
}

// Every character of one or two UTF-8 bytes, alone, doubled and before the next one, among Hebrew and Arabic letters,
// blanks and numbers: whichever way the switch takes (the one-pass reversal's table, the quick order's classes), it
// writes what the full order writes. Random lines meet only the characters they were built from.
TEST(SwitchText, EveryCharacterBelowU0800AsTheFullOrderWritesIt) {
    const std::vector<std::pair<std::string, std::string>> contexts = {
        {"\u05D0", "\u05D1"}, {"\u05D0 ", " \u05D1."}, {"\u0628", " 12"}, {"- ", "\u0627\u0644"}, {"\u05E9\u05B8", ""}};
    VisualOrder full;
    for (char32_t c = 0x20; c < 0x800; ++c) {
        char encoded[4];
        const std::string character(encoded, EncodeUtf8(c, encoded));
        const std::string next(encoded, EncodeUtf8(c + 1, encoded));  // of the same class, mostly: a run
        if (c == '<' || c == '{' || c == 0x7F) {
            continue;  // markup, which the full order does not take; DEL, a control like those below U+0020
        }
        for (const auto& [before, after] : contexts) {
            for (const std::string& middle : {character, character + character, character + next}) {
                const std::string line = before + middle + after;
                std::string expected(line.size(), '?');
                ASSERT_TRUE(full.Write(reinterpret_cast<const unsigned char*>(line.data()), 0, line.size(), true,
                                       CodePage::kWindows1255, expected.data()));
                ASSERT_EQ(Reversed(line), expected) << "U+" << std::hex << static_cast<std::uint32_t>(c);
            }
        }
    }
}

}  // namespace
