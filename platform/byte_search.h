#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// The first `byte` in [begin, end), or nullptr: what memchr does, 32 bytes a step in vector registers wherever the
// compiler has them.
inline const char* FindByteInVectors(const char* begin, const char* end, char byte) {
    using Bytes = unsigned char __attribute__((vector_size(16)));
    constexpr bool kLittleEndian = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;
    Bytes wanted = {};
    wanted += static_cast<unsigned char>(byte);
    // Where a step found the byte: the first of the 0xFF bytes in `equal`.
    const auto first = [](const char* at, const auto& equal) {
        std::uint64_t halves[2];
        std::memcpy(halves, &equal, 16);
        const int half = halves[0] != 0 ? 0 : 1;
        const int bit = kLittleEndian ? __builtin_ctzll(halves[half]) : __builtin_clzll(halves[half]);
        return at + 8 * half + bit / 8;
    };
    const char* p = begin;
    for (; end - p >= 32; p += 32) {
        Bytes low;
        Bytes high;
        std::memcpy(&low, p, 16);
        std::memcpy(&high, p + 16, 16);
        const auto low_equal = low == wanted;  // 0xFF where the byte is, else 0
        const auto high_equal = high == wanted;
        const auto any = low_equal | high_equal;
        std::uint64_t halves[2];
        std::memcpy(halves, &any, 16);
        if ((halves[0] | halves[1]) != 0) {
            std::memcpy(halves, &low_equal, 16);
            return (halves[0] | halves[1]) != 0 ? first(p, low_equal) : first(p + 16, high_equal);
        }
    }
    for (; end - p >= 16; p += 16) {
        Bytes chunk;
        std::memcpy(&chunk, p, 16);
        const auto equal = chunk == wanted;
        std::uint64_t halves[2];
        std::memcpy(halves, &equal, 16);
        if ((halves[0] | halves[1]) != 0) {
            return first(p, equal);
        }
    }
    for (; p < end; ++p) {
        if (*p == byte) {
            return p;
        }
    }
    return nullptr;
}

// The search the line loop uses for line ends and arrows all the time. The C libraries differ widely here: glibc's
// memchr is faster than the loop above, and the POSIX backend uses it; the one Windows programs call searches a byte
// at a time (under Wine at least), and the Windows backend uses the loop, which makes a run there half again as fast.
const char* FindByte(const char* begin, const char* end, char byte);
