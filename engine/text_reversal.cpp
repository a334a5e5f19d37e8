#include "engine/text_reversal.h"

#include <algorithm>
#include <cstring>

namespace {

struct CodePointRange {
    char32_t first;
    char32_t last;
};

constexpr CodePointRange kCombiningMarks[] = {
#include "engine/combining_marks.inc"
};

// Decodes one UTF-8 sequence at `p` (strictly: no overlong forms, no surrogates, nothing past U+10FFFF). Returns its
// length, or 0 when the bytes there are not valid UTF-8.
std::size_t DecodeUtf8(const unsigned char* p, std::size_t available, char32_t* code_point) {
    const unsigned char lead = p[0];
    if (lead < 0x80) {
        *code_point = lead;
        return 1;
    }
    std::size_t length;
    char32_t value;
    char32_t minimum;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, value = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, value = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, value = lead & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (length > available) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80) {
            return 0;
        }
        value = (value << 6) | (p[i] & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return 0;
    }
    *code_point = value;
    return length;
}

bool IsValidUtf8(std::string_view line) {
    const auto* p = reinterpret_cast<const unsigned char*>(line.data());
    std::size_t i = 0;
    while (i < line.size()) {
        char32_t code_point;
        const std::size_t length = DecodeUtf8(p + i, line.size() - i, &code_point);
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}

bool HasHighBytes(std::string_view line) {
    return std::any_of(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

}  // namespace

bool IsCombiningMark(char32_t code_point) {
    if (code_point < kCombiningMarks[0].first) {
        return false;
    }
    const auto* end = std::end(kCombiningMarks);
    const auto* after = std::upper_bound(std::begin(kCombiningMarks), end, code_point,
                                         [](char32_t value, const CodePointRange& range) { return value < range.first; });
    return after != std::begin(kCombiningMarks) && code_point <= (after - 1)->last;
}

void ReverseText(std::string_view line, std::string& out) {
    out.resize(line.size());
    if (!HasHighBytes(line) || !IsValidUtf8(line)) {
        std::reverse_copy(line.begin(), line.end(), out.begin());
        return;
    }
    // Each cluster (a character and the marks that follow it) keeps its bytes in order and lands mirrored.
    const auto* p = reinterpret_cast<const unsigned char*>(line.data());
    const std::size_t size = line.size();
    std::size_t cluster_start = 0;
    std::size_t i = 0;
    while (i < size) {
        char32_t code_point;
        const std::size_t length = DecodeUtf8(p + i, size - i, &code_point);
        std::size_t next = i + length;
        while (next < size) {
            char32_t following;
            const std::size_t following_length = DecodeUtf8(p + next, size - next, &following);
            if (!IsCombiningMark(following)) {
                break;
            }
            next += following_length;
        }
        std::memcpy(&out[size - next], line.data() + cluster_start, next - cluster_start);
        cluster_start = i = next;
    }
}
