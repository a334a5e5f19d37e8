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

#include "engine/utf8.h"
#include "tests/test_support.h"

namespace {

std::vector<char32_t> CodePoints(const std::string& utf8) {
    std::vector<char32_t> text;
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t code_point = 0;
        i += DecodeUtf8(reinterpret_cast<const unsigned char*>(utf8.data()) + i, utf8.size() - i, &code_point);
        text.push_back(code_point);
    }
    return text;
}

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
}

// Unicode's own test lines for right-to-left paragraphs, without the embeddings and isolates that are not done.
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
        if (line.empty() || line[0] == '#' || fields.size() < 5 || fields[1] != "1") {
            continue;
        }
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
    std::cout << "BidiCharacterTest.txt: " << passed << " of " << run << " right-to-left lines pass\n";
    EXPECT_EQ(passed, run);
    EXPECT_GT(run, 10000);
}

// Lines made of the pieces subtitles are made of, ordered by GNU FriBidi and by us, marks kept after their base.
TEST(BidiParagraph, MatchesFriBidi) {
    if (std::system("command -v fribidi >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "no fribidi command (Debian package libfribidi-bin)";
    }
    const char* pieces[] = {
        "שלום",   "עולם",   "מה",     "שָׁלוֹם",   "בְּ",      "مرحبا",  "كتاب", "كَتَبَ", "سلام", "Hello", "OK",
        "DVD",    "12",     "1999",   "3.5",    "10:30",  "1,000",  "٣٤٥",  "۱۲۳", ", ",   ".",     ":",
        "/",      "-",      "+",      "%",      "$",      "#",      "(",    ")",   "[",    "]",     "{",
        "}",      "«",      "»",      " ",      " ",      " ",      "!",    "?",   "\"",   "'",     "...",
        "\u200F", "\u200E", "\u061C", "\uFFFC", "\u05B8", "\u064B", "\t",
    };
    // Where we differ from FriBidi on purpose: {line, why}. None so far.
    const std::vector<std::pair<std::string, std::string>> known_differences = {};
    std::mt19937 random(20240611);
    std::string input;
    std::vector<std::string> lines;
    for (int i = 0; i < 3000; ++i) {
        std::string line;
        for (int count = 1 + random() % 12; count > 0; --count) {
            line += pieces[random() % std::size(pieces)];
        }
        lines.push_back(line);
        input += line + "\n";
    }
    TempDir dir;
    WriteWholeFile(dir.File("in"), input);
    const std::string command = "fribidi --rtl --nopad --nobreak --reordernsm --novisual --vtol --levels <" +
                                dir.File("in") + " >" + dir.File("out");
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::istringstream out(ReadWholeFile(dir.File("out")));
    BidiParagraph bidi;
    int matched = 0;
    int unexplained = 0;
    for (const std::string& line : lines) {
        std::string order;
        std::string levels;
        std::getline(out, order);
        std::getline(out, levels);
        const std::vector<char32_t> text = CodePoints(line);
        bidi.Resolve(text.data(), text.size());
        const bool same = Joined(bidi.VisualToLogical()) == order && Joined(bidi.Levels()) == levels;
        const bool known = std::any_of(known_differences.begin(), known_differences.end(),
                                       [&](const auto& known) { return known.first == line; });
        matched += same;
        if (!same && !known && ++unexplained <= 10) {
            ADD_FAILURE() << line << "\n fribidi " << order << "/ " << levels << "\n ours    "
                          << Joined(bidi.VisualToLogical()) << "/ " << Joined(bidi.Levels());
        }
    }
    std::cout << "FriBidi: " << matched << " of " << lines.size() << " generated lines match\n";
    EXPECT_EQ(unexplained, 0);
}

}  // namespace
