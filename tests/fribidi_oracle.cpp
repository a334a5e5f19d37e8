#include "tests/fribidi_oracle.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "engine/bidi.h"
#include "engine/utf8.h"
#include "tests/test_support.h"

namespace {

template <typename T>
std::vector<T> Numbers(const std::string& line) {
    std::vector<T> numbers;
    std::istringstream in(line);
    for (long long value; in >> value;) {
        numbers.push_back(static_cast<T>(value));
    }
    return numbers;
}

}  // namespace

bool HaveFriBidi() {
    return std::system("command -v fribidi >/dev/null 2>&1") == 0;
}

std::vector<FriBidiOrder> RunFriBidi(const std::vector<std::string>& lines, ParagraphDirection direction) {
    TempDir dir;
    std::string input;
    for (const std::string& line : lines) {
        input += line + "\n";
    }
    WriteWholeFile(dir.File("in"), input);
    const std::string command =
        std::string("fribidi ") + (direction == ParagraphDirection::kRightToLeft ? "--rtl" : "--ltr") +
        " --nopad --nobreak --reordernsm --novisual --vtol --levels <" + dir.File("in") + " >" + dir.File("out");
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    std::istringstream out(ReadWholeFile(dir.File("out")));
    std::vector<FriBidiOrder> orders(lines.size());
    for (FriBidiOrder& order : orders) {
        std::string visual_to_logical;
        std::string levels;
        std::getline(out, visual_to_logical);
        std::getline(out, levels);
        order = {Numbers<std::uint32_t>(visual_to_logical), Numbers<int>(levels)};
    }
    return orders;
}

std::string DisplayWithoutFormatting(const std::string& line, const FriBidiOrder& order) {
    const std::vector<char32_t> text = CodePoints(line);
    std::vector<char32_t> shown;
    for (std::uint32_t logical : order.visual_to_logical) {
        const char32_t c = logical < text.size() ? text[logical] : U'\uFFFD';
        const bool mirrored = logical < order.levels.size() && order.levels[logical] % 2 == 1;
        if (!IsDirectionFormatting(c)) {
            shown.push_back(mirrored ? MirrorOf(c) : c);
        }
    }
    return Utf8(shown);
}

std::string WithoutFormatting(const std::string& line) {
    std::vector<char32_t> text = CodePoints(line);
    text.erase(std::remove_if(text.begin(), text.end(), [](char32_t c) { return IsDirectionFormatting(c); }),
               text.end());
    return Utf8(text);
}

std::vector<char32_t> CodePoints(const std::string& utf8) {
    std::vector<char32_t> text;
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t code_point = 0xFFFD;
        const std::size_t length =
            DecodeUtf8(reinterpret_cast<const unsigned char*>(utf8.data()) + i, utf8.size() - i, &code_point);
        text.push_back(length ? code_point : 0xFFFD);
        i += length ? length : 1;
    }
    return text;
}

std::string Utf8(const std::vector<char32_t>& code_points) {
    std::string out;
    for (char32_t code_point : code_points) {
        char encoded[4];
        out.append(encoded, EncodeUtf8(code_point, encoded));
    }
    return out;
}
