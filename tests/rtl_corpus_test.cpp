// Real-looking Hebrew, Arabic and Persian files, UTF-8 and single-byte, through the orientation switch: GNU FriBidi
// as the reference for what a bidi-aware player shows, the code page each file is read in, switching twice, and
// single-byte lines switched like their UTF-8 forms.
#include <gtest/gtest.h>

#include <iostream>
#include <string>
#include <vector>

#include "engine/code_pages.h"
#include "engine/text_reversal.h"
#include "tests/fribidi_oracle.h"
#include "tests/rtl_test_lines.h"
#include "tests/test_support.h"

namespace {

struct CorpusFile {
    const char* name;
    CodePage code_page;  // kDetect: UTF-8, where there is nothing to detect
};

const CorpusFile kFiles[] = {
    {"bidi_hebrew_utf8.srt", CodePage::kDetect},        {"bidi_arabic_utf8.srt", CodePage::kDetect},
    {"bidi_persian_utf8.srt", CodePage::kDetect},       {"bidi_hebrew_cp1255.srt", CodePage::kWindows1255},
    {"bidi_arabic_cp1256.srt", CodePage::kWindows1256}, {"bidi_persian_cp1256.srt", CodePage::kWindows1256},
    {"western_cp1252.srt", CodePage::kWindows1252},
};

std::string Read(const char* name) {
    return ReadWholeFile(std::string(KELVARO_TEST_DATA) + "/corpus/" + name);
}

std::string FromUtf8(const std::string& line, CodePage code_page) {
    std::string bytes;
    for (char32_t c : CodePoints(line)) {
        bytes += static_cast<char>(EncodeByte(code_page, c));
    }
    return bytes;
}

std::string Switched(TextReverser& reverser, const std::string& line) {
    std::string out(line.size(), '?');
    reverser.Reverse(line, out.data());
    return out;
}

// The lines that switching twice need not give back, as the switch's header names them: a combining mark with no
// letter before it, and a European number right after Arabic text (the last strong letter before it is of class AL)
// that a separator or a terminator touches ("1-5", "50%"): the algorithm reads it as an Arabic number, which those do
// not join, and once switched the Arabic text stands after it.
bool IsKnownAsymmetric(const std::string& utf8) {
    const std::vector<char32_t> text = CodePoints(utf8);
    const auto joins = [&](std::size_t i) {
        return i < text.size() && (GetBidiClass(text[i]) == BidiClass::ES || GetBidiClass(text[i]) == BidiClass::ET);
    };
    BidiClass last_strong = BidiClass::R;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const BidiClass c = GetBidiClass(text[i]);
        if (c == BidiClass::NSM && (i == 0 || text[i - 1] == ' ')) {
            return true;
        }
        if (c == BidiClass::L || c == BidiClass::R || c == BidiClass::AL) {
            last_strong = c;
        }
        if (c == BidiClass::EN && last_strong == BidiClass::AL && (joins(i + 1) || (i > 0 && joins(i - 1)))) {
            return true;
        }
    }
    return false;
}

TEST(RightToLeftCorpus, EachFileIsReadInItsCodePage) {
    for (const CorpusFile& file : kFiles) {
        const std::string content = Read(file.name);
        EXPECT_EQ(GuessCodePage(reinterpret_cast<const unsigned char*>(content.data()), content.size()), file.code_page)
            << file.name;
    }
}

TEST(RightToLeftCorpus, SwitchedLinesShowAsABidiAwarePlayerShowsThem) {
    if (!HaveFriBidi()) {
        GTEST_SKIP() << "no fribidi command (Debian package libfribidi-bin)";
    }
    std::vector<std::string> lines;     // UTF-8, right-to-left, without markup
    std::vector<std::string> switched;  // as the switch wrote them, in UTF-8
    for (const CorpusFile& file : kFiles) {
        TextReverser reverser;
        reverser.SetCodePage(file.code_page);
        for (const std::string& line : TextLines(Read(file.name))) {
            const std::string utf8 = ToUtf8(line, file.code_page);
            if (HoldsRightToLeftLetter(utf8) && utf8.find_first_of("<{") == std::string::npos) {
                lines.push_back(utf8);
                switched.push_back(ToUtf8(Switched(reverser, line), file.code_page));
            }
        }
    }
    const std::vector<FriBidiOrder> orders = RunFriBidi(lines);
    int same = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string shown = DisplayWithoutFormatting(lines[i], orders[i]);
        same += WithoutFormatting(switched[i]) == shown;
        EXPECT_EQ(WithoutFormatting(switched[i]), shown) << lines[i];
    }
    std::cout << same << " of " << lines.size() << " right-to-left lines without markup show as FriBidi shows them\n";
    EXPECT_GT(lines.size(), 200u);
}

TEST(RightToLeftCorpus, SwitchingTwiceGivesTheLineBack) {
    int lines = 0;
    int exceptions = 0;
    int exceptions_back = 0;
    for (const CorpusFile& file : kFiles) {
        TextReverser reverser;
        reverser.SetCodePage(file.code_page);
        for (const std::string& line : TextLines(Read(file.name))) {
            ++lines;
            const std::string twice = Switched(reverser, Switched(reverser, line));
            if (IsKnownAsymmetric(ToUtf8(line, file.code_page))) {
                ++exceptions;
                exceptions_back += twice == line;
                continue;
            }
            EXPECT_EQ(ToUtf8(twice, file.code_page), ToUtf8(line, file.code_page)) << file.name;
        }
    }
    std::cout << lines - exceptions << " of " << lines << " text lines come back when switched twice; of the "
              << exceptions << " known exceptions, " << exceptions_back << " do too\n";
}

TEST(RightToLeftCorpus, SingleByteLinesSwitchLikeTheirUtf8Forms) {
    for (const CorpusFile& file : kFiles) {
        if (file.code_page == CodePage::kDetect) {
            continue;
        }
        TextReverser single_byte;
        single_byte.SetCodePage(file.code_page);
        TextReverser utf8;
        for (const std::string& line : TextLines(Read(file.name))) {
            EXPECT_EQ(Switched(single_byte, line),
                      FromUtf8(Switched(utf8, ToUtf8(line, file.code_page)), file.code_page))
                << file.name << ": " << ToUtf8(line, file.code_page);
        }
    }
}

}  // namespace
