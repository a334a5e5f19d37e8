#include "engine/text_reversal.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Reversed(const std::string& line) {
    std::string out(line.size(), '?');
    ReverseText(line, out.data());
    return out;
}

TEST(ReverseText, ReversesUnitsOfTheLine) {
    const struct {
        const char* name;
        std::string input;
        std::string output;
    } cases[] = {
        {"ascii", "Hello, world", "dlrow ,olleH"},
        {"empty", "", ""},
        {"hebrew", "שלום!", "!םולש"},
        {"four-byte", "a\U0001F600b", "b\U0001F600a"},
        // shin + shin dot + qamats, then lamed: the points stay after their letter
        {"hebrew points", "\xD7\xA9\xD7\x81\xD6\xB8\xD7\x9C", "\xD7\x9C\xD7\xA9\xD7\x81\xD6\xB8"},
        // beh + fatha, then alef
        {"arabic vowel", "\xD8\xA8\xD9\x8E\xD8\xA7", "\xD8\xA7\xD8\xA8\xD9\x8E"},
        {"latin combining", "e\u0301x", "xe\u0301"},
        // enclosing circle (U+20DD, category Me)
        {"enclosing mark", "a\u20DDb", "ba\u20DD"},
        // a mark with nothing before it moves as a character of its own
        {"leading mark", "\u0301ab", "ba\u0301"},
        {"mark after a tag", "<i>\u05B8ab</i>", "<i>ba\u05B8</i>"},
        {"mark after a long ascii run", "abcdefgh\u0301ij", "jih\u0301gfedcba"},
        {"number", "בשנת 1999", "1999 תנשב"},
        {"separators", "at 10:30, 1,000 of 12.5", "12.5 fo 1,000 ,10:30 ta"},
        {"separators only single", "1..2 3.4.5", "3.4.5 2..1"},
        {"marked digits stay in the number", "x1\u20DD2", "1\u20DD2x"},
        {"long mixed line", "0123456789 \xD7\xA9\xD7\x9C", "\xD7\x9C\xD7\xA9 0123456789"},
        {"tag pair", "<i>שלום עולם</i>", "<i>םלוע םולש</i>"},
        {"tags inside", "שלום <b>עולם</b> יפה", "הפי <b>םלוע</b> םולש"},
        {"nested pairs", "<i><b>ab</b> cd</i>", "<i>dc <b>ba</b></i>"},
        {"same name nested", "<i>a<i>b</i>c</i>", "<i>c<i>b</i>a</i>"},
        {"crossing pairs", "<i>a<b>b</i>c</b>", "<b>c<i>b</b>a</i>"},
        {"case of names", "<I>ab</i>", "<I>ba</i>"},
        {"font", "<font color=\"#ff0\">שלום</font> עולם", "םלוע <font color=\"#ff0\">םולש</font>"},
        {"webvtt voice and class", "<v Dan>שלום <c.yellow>כן</c></v>", "<v Dan><c.yellow>ןכ</c> םולש</v>"},
        {"timestamp tag", "אב<00:00:01.000>גד", "דג<00:00:01.000>בא"},
        {"lone tags", "a<br>b</i>c", "c</i>b<br>a"},
        {"nameless closing tag", "a</>b<>", "><b</>a"},
        {"no tag", "a < b > c", "c > b < a"},
        {"stray brackets", "x>a<b", "b<a>x"},
        {"braces at the start", "{\\an8}שלום", "{\\an8}םולש"},
        {"braces at both ends", "{\\i1}שלום{\\i0}", "{\\i1}םולש{\\i0}"},
        {"braces in the middle", "ab{x}cd", "dc{x}ba"},
        {"only braces", "{a}{b}", "{a}{b}"},
        {"brace without end", "{a{b}", "a{{b}"},
        {"frame line", "{100}{200}Hello", "{100}{200}olleH"},
        {"frame line parts", "{100}{200}Hello|World", "{100}{200}olleH|dlroW"},
        {"frame line styles", "{1}{2}{y:i}שלום 5|{y:b}<b>עולם</b>|", "{1}{2}{y:i}5 םולש|{y:b}<b>םלוע</b>|"},
        {"bar outside a frame line", "{1}a|b", "{1}b|a"},
        // Windows-1255 (not UTF-8): byte by byte, with tags, brace blocks and numbers still whole
        {"ansi code page", "\xF9\xEC\xE5\xED", "\xED\xE5\xEC\xF9"},
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

TEST(ReverseText, TwiceGivesTheLineBack) {
    const std::string lines[] = {
        "<i>שָׁלוֹם, מָה שְׁלוֹמְךָ?</i>",
        "- אני בא ב-10:30, אל תאחר!",
        "{\\an8}<font color=\"#ffff00\">مرحبا بكم</font>",
        "{1200}{1350}{y:i}שלום|<b>עולם</b> 2024|{y:b}ביי",
        "<v Dan>مَرْحَبًا يا <c.yellow>صديقي</c></v>",
        "המחיר הוא 1,000.50 ₪ בלבד.",
        "<i>אתה <b>באמת</b> חושב כך?</i>",
        "<00:00:01.000>שלום <00:00:02.500>עולם",
        "שלום<br>עולם<br/>",
        "{\\i1}שלום{\\i0} {\\b1}עולם{\\b0}",
        "<i>\xF9\xEC\xE5\xED 1999</i> \xE0\xE1!",
        "الساعة ١٠ و 30 دقيقة، <i>يا <u>أحمد</u></i>.",
        "</i>לא נפתח ולא <b>נסגר",
    };
    TextReverser reverser;
    for (const std::string& line : lines) {
        SCOPED_TRACE(line);
        std::string once(line.size(), '?');
        std::string twice(line.size(), '?');
        reverser.Reverse(line, once.data());
        reverser.Reverse(once, twice.data());
        EXPECT_NE(once, line);
        EXPECT_EQ(twice, line);
    }
}

TEST(ReverseText, TwiceChangesOnlyTheDocumentedLines) {
    const std::string lines[] = {
        "\u0301ab",        // a mark with no base gains one
        "{\\i1}\u05B8ab",  // after a brace block
        "\xA9\xD7",        // not UTF-8, but its reversal is
        "x>a<b",           // a stray '<' opens a tag
        "}a{b",            // a stray '{' opens a brace block
        "</i>x<i>",        // a closing and an opening tag without partners
    };
    for (const std::string& line : lines) {
        SCOPED_TRACE(line);
        EXPECT_NE(Reversed(Reversed(line)), line);
    }
}

TEST(ReverseText, KnowsCombiningMarks) {
    EXPECT_TRUE(IsCombiningMark(0x0301));
    EXPECT_TRUE(IsCombiningMark(0x05B8));   // Hebrew qamats
    EXPECT_TRUE(IsCombiningMark(0x064E));   // Arabic fatha
    EXPECT_TRUE(IsCombiningMark(0x20DD));   // enclosing circle
    EXPECT_TRUE(IsCombiningMark(0xE01EF));  // last variation selector
    EXPECT_FALSE(IsCombiningMark('a'));
    EXPECT_FALSE(IsCombiningMark(0x05D0));  // alef
    EXPECT_FALSE(IsCombiningMark(0x0903));  // Devanagari visarga is a spacing mark (Mc)
}

}  // namespace
