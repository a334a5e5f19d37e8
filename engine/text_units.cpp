#include "engine/text_units.h"

namespace {

std::size_t NameStart(const unsigned char* text, std::size_t start) {
    return start + (TagCloses(text, start) ? 2 : 1);
}

}  // namespace

bool TagHasName(const unsigned char* text, std::size_t start) {
    return UnitScanner::IsTagNameLetter(text[NameStart(text, start)]);
}

int CompareTagNames(const unsigned char* text, std::size_t first, std::size_t second) {
    const unsigned char* a = text + NameStart(text, first);
    const unsigned char* b = text + NameStart(text, second);
    for (;; ++a, ++b) {
        // A tag ends in '>', which stops both names.
        const int x = UnitScanner::IsTagNameLetter(*a) ? *a | 0x20 : 0;
        const int y = UnitScanner::IsTagNameLetter(*b) ? *b | 0x20 : 0;
        if (x != y || x == 0) {
            return x - y;
        }
    }
}

bool IsFrameLine(std::string_view line) {
    std::size_t i = 0;
    for (int field = 0; field < 2; ++field) {
        if (i >= line.size() || line[i] != '{') {
            return false;
        }
        const std::size_t digits = ++i;
        while (i < line.size() && IsAsciiDigit(static_cast<unsigned char>(line[i]))) {
            ++i;
        }
        if (i == digits || i >= line.size() || line[i] != '}') {
            return false;
        }
        ++i;
    }
    return true;
}
