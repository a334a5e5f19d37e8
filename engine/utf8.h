#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// Decodes one UTF-8 sequence at `p` (strictly: no overlong forms, no surrogates, nothing past U+10FFFF). Returns its
// length, or 0 when the bytes there are not valid UTF-8.
inline std::size_t DecodeUtf8(const unsigned char* p, std::size_t available, char32_t* code_point) {
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

// Whether the `size` bytes at `p` are valid UTF-8 throughout.
bool IsValidUtf8(const unsigned char* p, std::size_t size);

// Decodes the multi-byte sequence at `p` of text already known to be valid UTF-8. Returns its length.
inline std::size_t DecodeValidUtf8(const unsigned char* p, char32_t* code_point) {
    const unsigned char lead = p[0];
    if (lead < 0xE0) {
        *code_point = (static_cast<char32_t>(lead & 0x1F) << 6) | (p[1] & 0x3F);
        return 2;
    }
    if (lead < 0xF0) {
        *code_point =
            (static_cast<char32_t>(lead & 0x0F) << 12) | (static_cast<char32_t>(p[1] & 0x3F) << 6) | (p[2] & 0x3F);
        return 3;
    }
    *code_point = (static_cast<char32_t>(lead & 0x07) << 18) | (static_cast<char32_t>(p[1] & 0x3F) << 12) |
                  (static_cast<char32_t>(p[2] & 0x3F) << 6) | (p[3] & 0x3F);
    return 4;
}

// Writes the UTF-8 form of `code_point` (a valid scalar value) to `out`, which has room for 4 bytes. Returns its
// length.
inline std::size_t EncodeUtf8(char32_t code_point, char* out) {
    if (code_point < 0x80) {
        out[0] = static_cast<char>(code_point);
        return 1;
    }
    std::size_t length = code_point < 0x800 ? 2 : code_point < 0x10000 ? 3 : 4;
    for (std::size_t i = length - 1; i > 0; --i) {
        out[i] = static_cast<char>(0x80 | (code_point & 0x3F));
        code_point >>= 6;
    }
    static constexpr unsigned char kLeads[] = {0, 0, 0xC0, 0xE0, 0xF0};
    out[0] = static_cast<char>(kLeads[length] | code_point);
    return length;
}

// There are no combining marks below U+0300, whose UTF-8 form starts with the byte 0xCC.
constexpr char32_t kFirstMark = 0x300;
constexpr unsigned char kFirstMarkLead = 0xCC;

namespace utf8_internal {

struct CodePointRange {
    char32_t first;
    char32_t last;
};

inline constexpr CodePointRange kCombiningMarks[] = {
#include "engine/combining_marks.inc"
};
static_assert(kCombiningMarks[0].first == kFirstMark, "no marks below kFirstMark");

// Code points below U+0800 (one or two UTF-8 bytes, where Hebrew and Arabic live) are looked up in a bitmap that the
// compiler builds from the table, so that the common case needs no search.
constexpr char32_t kBitmapLimit = 0x800;

struct MarkBitmap {
    std::uint64_t words[kBitmapLimit / 64];
};

constexpr MarkBitmap BuildMarkBitmap() {
    MarkBitmap bitmap{};
    for (const CodePointRange& range : kCombiningMarks) {
        for (char32_t code_point = range.first; code_point <= range.last && code_point < kBitmapLimit; ++code_point) {
            bitmap.words[code_point / 64] |= std::uint64_t{1} << (code_point % 64);
        }
    }
    return bitmap;
}

inline constexpr MarkBitmap kLowMarks = BuildMarkBitmap();

bool IsHighMark(char32_t code_point);

}  // namespace utf8_internal

// Whether the code point is a combining mark (Unicode categories Mn and Me).
inline bool IsCombiningMark(char32_t code_point) {
    if (code_point < utf8_internal::kBitmapLimit) {
        return (utf8_internal::kLowMarks.words[code_point / 64] >> (code_point % 64) & 1) != 0;
    }
    return utf8_internal::IsHighMark(code_point);
}

// Copies the `length` bytes of a character or cluster to `to`: a few bytes, for which a call to memcpy would cost more
// than the copy. Returns the end of the copy.
inline char* CopyFewBytes(const unsigned char* from, std::size_t length, char* to) {
    switch (length) {
        case 4:
            to[3] = static_cast<char>(from[3]);
            [[fallthrough]];
        case 3:
            to[2] = static_cast<char>(from[2]);
            [[fallthrough]];
        case 2:
            to[1] = static_cast<char>(from[1]);
            [[fallthrough]];
        case 1:
            to[0] = static_cast<char>(from[0]);
            break;
        default:
            std::memcpy(to, from, length);
    }
    return to + length;
}
