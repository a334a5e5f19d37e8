#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

// A byte of something for each character of one or two UTF-8 bytes, looked up by the character's first byte and the
// byte after it (any byte after an ASCII character): a loop over a line needs no decoding, and no check of its own
// that the bytes are UTF-8, since a pair that is no such character gets `other`.
using BytePairTable = std::array<std::uint8_t, 0x10000>;

inline std::size_t BytePairIndex(unsigned lead, unsigned next) {
    return lead << 8 | next;
}

template <typename ValueOf>
BytePairTable MakeBytePairTable(ValueOf value_of, std::uint8_t other) {
    BytePairTable table;
    table.fill(other);
    for (char32_t c = 0; c < 0x80; ++c) {
        std::fill_n(&table[BytePairIndex(c, 0)], 0x100, value_of(c));
    }
    for (char32_t c = 0x80; c < 0x800; ++c) {
        table[BytePairIndex(0xC0 | c >> 6, 0x80 | (c & 0x3F))] = value_of(c);
    }
    return table;
}
