#include "engine/text_reversal.h"

#include <gtest/gtest.h>

namespace {

std::string Reversed(const std::string& line) {
    std::string out(line.size(), '?');
    ReverseText(line, out.data());
    return out;
}

TEST(ReverseText, ReversesCharactersOfUtf8AndBytesOfEverythingElse) {
    const struct {
        const char* name;
        std::string input;
        std::string output;
    } cases[] = {
        {"ascii", "Hello, world", "dlrow ,olleH"},
        {"empty", "", ""},
        {"hebrew", "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D!", "!\xD7\x9D\xD7\x95\xD7\x9C\xD7\xA9"},
        {"four-byte", "a\xF0\x9F\x98\x80" "b", "b\xF0\x9F\x98\x80" "a"},
        // shin + shin dot + qamats, then lamed: the points stay after their letter
        {"hebrew points", "\xD7\xA9\xD7\x81\xD6\xB8\xD7\x9C", "\xD7\x9C\xD7\xA9\xD7\x81\xD6\xB8"},
        // beh + fatha, then alef
        {"arabic vowel", "\xD8\xA8\xD9\x8E\xD8\xA7", "\xD8\xA7\xD8\xA8\xD9\x8E"},
        // e + combining acute (U+0301), then x
        {"latin combining", "e\xCC\x81x", "xe\xCC\x81"},
        // enclosing circle (U+20DD, category Me) stays with its 1
        {"enclosing mark", "1\xE2\x83\x9D" "2", "21\xE2\x83\x9D"},
        // a mark with nothing before it moves as a character of its own
        {"leading mark", "\xCC\x81" "ab", "ba\xCC\x81"},
        // eight ASCII bytes at a time, then a mark that belongs to the last of them
        {"mark after a long ascii run", "abcdefgh\xCC\x81" "ij", "jih\xCC\x81" "gfedcba"},
        {"long mixed line", "0123456789 \xD7\xA9\xD7\x9C", "\xD7\x9C\xD7\xA9 9876543210"},
        // Windows-1255 (not UTF-8): byte by byte
        {"ansi code page", "\xF9\xEC\xE5\xED", "\xED\xE5\xEC\xF9"},
        // broken UTF-8 anywhere in the line: byte by byte, so nothing is dropped
        {"truncated sequence", "\xD7\xA9\xD7", "\xD7\xA9\xD7"},
        {"overlong", "\xC0\xAF" "a", "a\xAF\xC0"},
        {"surrogate", "\xED\xA0\x80", "\x80\xA0\xED"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Reversed(c.input), c.output);
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
