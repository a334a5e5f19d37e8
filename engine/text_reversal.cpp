#include "engine/text_reversal.h"

#include <algorithm>
#include <cstdint>
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

// Code points below U+0800 (one or two UTF-8 bytes, where Hebrew and Arabic live) are looked up in a bitmap that
// the compiler builds from the table, so that the common case needs no search.
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

constexpr MarkBitmap kLowMarks = BuildMarkBitmap();

bool IsHighMark(char32_t code_point) {
    const auto* end = std::end(kCombiningMarks);
    const auto* after =
        std::upper_bound(std::begin(kCombiningMarks), end, code_point,
                         [](char32_t value, const CodePointRange& range) { return value < range.first; });
    return after != std::begin(kCombiningMarks) && code_point <= (after - 1)->last;
}

bool IsAsciiWord(const unsigned char* p) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    return (word & 0x8080808080808080ull) == 0;
}

inline bool IsMark(char32_t code_point) {
    if (code_point < kBitmapLimit) {
        return (kLowMarks.words[code_point / 64] >> (code_point % 64) & 1) != 0;
    }
    return IsHighMark(code_point);
}

bool HasHighBytes(std::string_view line) {
    constexpr std::uint64_t kHighBits = 0x8080808080808080ull;
    std::size_t i = 0;
    for (; i + 8 <= line.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, line.data() + i, 8);
        if ((word & kHighBits) != 0) {
            return true;
        }
    }
    return std::any_of(line.begin() + i, line.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// Eight bytes at a time: the byte swap of a word is the reversal of its bytes.
void ReverseBytes(std::string_view line, char* out) {
    const std::size_t size = line.size();
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, line.data() + i, 8);
        word = __builtin_bswap64(word);
        std::memcpy(out + size - i - 8, &word, 8);
    }
    for (; i < size; ++i) {
        out[size - 1 - i] = line[i];
    }
}

// Clusters are a few bytes long; a call to memcpy would cost more than the copy.
void CopyCluster(const unsigned char* from, std::size_t length, char* to) {
    switch (length) {
        case 4:
            to[3] = static_cast<char>(from[3]);
            [[fallthrough]];
        case 3:
            to[2] = static_cast<char>(from[2]);
            [[fallthrough]];
        case 2:
            to[1] = static_cast<char>(from[1]);
            to[0] = static_cast<char>(from[0]);
            break;
        case 1:
            break;  // a single byte already stands where the byte reversal put it
        default:
            std::memcpy(to, from, length);
    }
}

// Turns the byte reversal of `line` in `out` into the reversal by cluster (a character and the combining marks that
// follow it), each cluster keeping its bytes in order, decoding every character once. Returns false at the first
// byte that is not valid UTF-8; `out` then holds a partial result.
bool RestoreClusters(std::string_view line, char* out) {
    const auto* p = reinterpret_cast<const unsigned char*>(line.data());
    const std::size_t size = line.size();
    std::size_t cluster_start = 0;
    std::size_t i = 0;
    while (i < size) {
        const unsigned char lead = p[i];
        char32_t code_point;
        std::size_t length;
        if (lead < 0x80) {
            // Eight ASCII bytes are eight one-byte clusters, already in place; only the last may still gain marks.
            if (i + 8 <= size && IsAsciiWord(p + i)) {
                if (i > 0) {
                    CopyCluster(p + cluster_start, i - cluster_start, out + (size - i));
                }
                cluster_start = i + 7;
                i += 8;
                continue;
            }
            code_point = lead, length = 1;
        } else if (lead >= 0xC2 && lead < 0xE0 && i + 1 < size && (p[i + 1] & 0xC0) == 0x80) {
            code_point = (static_cast<char32_t>(lead & 0x1F) << 6) | (p[i + 1] & 0x3F), length = 2;
        } else {
            length = DecodeUtf8(p + i, size - i, &code_point);
            if (length == 0) {
                return false;
            }
        }
        // Every character but a mark starts a cluster; a mark at the very start has no base and starts the first.
        if (i > 0 && (code_point < kCombiningMarks[0].first || !IsMark(code_point))) {
            CopyCluster(p + cluster_start, i - cluster_start, out + (size - i));
            cluster_start = i;
        }
        i += length;
    }
    CopyCluster(p + cluster_start, size - cluster_start, out);
    return true;
}

}  // namespace

bool IsCombiningMark(char32_t code_point) {
    return IsMark(code_point);
}

void ReverseText(std::string_view line, char* out) {
    ReverseBytes(line, out);
    if (HasHighBytes(line) && !RestoreClusters(line, out)) {
        ReverseBytes(line, out);  // not UTF-8 after all: byte by byte, undoing the clusters already restored
    }
}
