#include "engine/code_pages.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "engine/utf8.h"

namespace {

#include "engine/code_page_tables.inc"

struct NamedCodePage {
    const char* name;
    const char* other_name;
    CodePage code_page;
};

constexpr NamedCodePage kNamed[] = {
    {"windows-1252", "western", CodePage::kWindows1252},
    {"windows-1255", "hebrew", CodePage::kWindows1255},
    {"windows-1256", "arabic", CodePage::kWindows1256},
};

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return SameIgnoringCase(text.substr(0, prefix.size()), prefix);
}

bool IsAsciiLetter(unsigned char c) {
    return (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
}

// Windows-1256 letters that start Arabic and Persian words often and that Windows-1255 has no letter at.
bool IsArabicWordStart(unsigned char c) {
    return (c >= 0xC0 && c <= 0xDF && c != 0xD7) || c == 0x81 || c == 0x8D || c == 0x8E || c == 0x90 || c == 0x98;
}

}  // namespace

char32_t DecodeByte(CodePage code_page, unsigned char c) {
    return c < 0x80 ? c : kUpperHalves[static_cast<int>(code_page)][c - 0x80];
}

int EncodeByte(CodePage code_page, char32_t code_point) {
    if (code_point < 0x80) {
        return static_cast<int>(code_point);
    }
    const char16_t* half = kUpperHalves[static_cast<int>(code_page)];
    const char16_t* found = std::find(half, half + 128, code_point);
    return code_point != 0 && code_point < 0x10000 && found != half + 128 ? static_cast<int>(0x80 + (found - half))
                                                                          : -1;
}

CodePage GuessCodePage(const unsigned char* text, std::size_t size, CodePage* doubt) {
    std::uint64_t high = 0;
    std::uint64_t marks = 0;
    std::uint64_t high_after_high = 0;
    std::uint64_t word_starts = 0;
    std::uint64_t arabic_word_starts = 0;
    unsigned char previous = ' ';
    for (std::size_t i = 0; i < size;) {
        const unsigned char c = text[i];
        char32_t code_point;
        const std::size_t length = c < 0x80 ? 1 : DecodeUtf8(text + i, size - i, &code_point);
        if (length > 1) {
            previous = 'a';  // a UTF-8 character: like a Latin letter, no word starts after it
            i += length;
            continue;
        }
        if (c == 0xFD || c == 0xFE) {
            ++marks;  // LRM and RLM in both right-to-left code pages, which a fix adds: they tell little
            ++i;
            continue;
        }
        if (c >= 0x80) {
            ++high;
            high_after_high += previous >= 0x80;
            if (previous < 0x80 && !IsAsciiLetter(previous)) {
                ++word_starts;
                arabic_word_starts += IsArabicWordStart(c);
            }
        }
        previous = c;
        ++i;
    }
    CodePage unused;
    doubt = doubt != nullptr ? doubt : &unused;
    *doubt = CodePage::kDetect;
    if (high == 0) {
        // Marks alone read the same in both right-to-left code pages; in Windows-1252 they would be letters.
        *doubt = marks > 0 ? CodePage::kWindows1252 : CodePage::kDetect;
        return marks > 0 ? CodePage::kWindows1255 : CodePage::kDetect;
    }
    const bool western = high_after_high * 4 < high;
    const bool arabic = arabic_word_starts * 5 >= word_starts;
    // Sure only well away from the lines drawn above, and for Hebrew against Arabic with a few words to go by.
    if (high_after_high * 6 >= high && high_after_high * 2 <= high) {
        *doubt = western ? (arabic ? CodePage::kWindows1256 : CodePage::kWindows1255) : CodePage::kWindows1252;
    } else if (!western && (word_starts < 3 ||
                            (arabic_word_starts * 10 >= word_starts && arabic_word_starts * 5 <= word_starts * 2))) {
        *doubt = arabic ? CodePage::kWindows1255 : CodePage::kWindows1256;
    }
    if (western) {
        return CodePage::kWindows1252;
    }
    return arabic ? CodePage::kWindows1256 : CodePage::kWindows1255;
}

bool DecodeToUtf8(std::string_view line, CodePage code_page, std::string* out, unsigned char* undefined) {
    out->clear();
    code_page = code_page == CodePage::kDetect ? CodePage::kWindows1255 : code_page;
    for (const char byte : line) {
        const auto c = static_cast<unsigned char>(byte);
        const char32_t code_point = DecodeByte(code_page, c);
        if (code_point == 0 && c != 0) {
            *undefined = c;
            return false;
        }
        char encoded[4];
        out->append(encoded, EncodeUtf8(code_point, encoded));
    }
    return true;
}

bool ParseCodePage(std::string_view name, CodePage* code_page) {
    for (const NamedCodePage& named : kNamed) {
        const std::string_view number = std::string_view(named.name).substr(std::size("windows-") - 1);
        std::string_view rest = name;
        for (std::string_view prefix : {"windows-", "windows", "cp"}) {
            if (StartsWithIgnoringCase(rest, prefix)) {
                rest.remove_prefix(prefix.size());
                break;
            }
        }
        if (rest == number || SameIgnoringCase(name, named.other_name)) {
            *code_page = named.code_page;
            return true;
        }
    }
    return false;
}

const char* CodePageName(CodePage code_page) {
    for (const NamedCodePage& named : kNamed) {
        if (named.code_page == code_page) {
            return named.name;
        }
    }
    return "detect";
}

CodePage CodePageFromAnsiNumber(unsigned number) {
    return number == 1255 ? CodePage::kWindows1255 : number == 1256 ? CodePage::kWindows1256 : CodePage::kDetect;
}
