#include "engine/utf8.h"

#include <algorithm>
#include <iterator>

namespace utf8_internal {

bool IsHighMark(char32_t code_point) {
    const auto* after =
        std::upper_bound(std::begin(kCombiningMarks), std::end(kCombiningMarks), code_point,
                         [](char32_t value, const CodePointRange& range) { return value < range.first; });
    return after != std::begin(kCombiningMarks) && code_point <= (after - 1)->last;
}

}  // namespace utf8_internal

bool IsValidUtf8(const unsigned char* p, std::size_t size) {
    char32_t code_point;
    for (std::size_t i = 0; i < size;) {
        if (p[i] < 0x80) {
            ++i;
            continue;
        }
        const std::size_t length = DecodeUtf8(p + i, size - i, &code_point);
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}
