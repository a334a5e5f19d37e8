#include "engine/clock_text_shift.h"

#include <cstring>

#include "engine/timing_line.h"

namespace {

constexpr std::int64_t kHundredHours = 100LL * 3600000;
constexpr bool kLittleEndian = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;
constexpr std::uint64_t kOnes = 0x0101010101010101ull;

// The places of a time from its least significant byte on, which is the time's text read backwards. The clock:
// seconds (ones, tens), ':', minutes (ones, tens), ':', hours (ones, tens). The fraction: milliseconds (ones, tens,
// hundreds), ','. A separator's place is 0xFF while the digits are added, which passes a carry on and makes none.
constexpr std::uint64_t kClockDigits = 0xFFFF00FFFF00FFFFull;
constexpr std::uint64_t kClockSeparators = 0x0000FF0000FF0000ull;
constexpr std::uint64_t kClockText = 0x30303A30303A3030ull;  // "00:00:00" backwards
constexpr std::uint64_t kFractionDigits = 0x00FFFFFFull;
constexpr std::uint64_t kFractionSeparator = 0xFF000000ull;
constexpr std::uint64_t kFractionText = 0x2C303030ull;  // ",000" backwards
// 256 less the base of each place: a place then carries into the next just when its digit reaches the base.
constexpr std::uint64_t kClockBias = 0xF6F600FAF600FAF6ull;
constexpr std::uint64_t kFractionBias = 0x00F6F6F6ull;

// Adds `addend` and `carry_in` to `places` (digits and separators as above, `bias` for each place); returns the
// places with each digit back below its base, and sets `*carry_out` when the highest place carried.
std::uint64_t AddPlaces(std::uint64_t places,
                        std::uint64_t addend,
                        std::uint64_t bias,
                        std::uint64_t carry_in,
                        bool* carry_out) {
    std::uint64_t partial;
    std::uint64_t sum;
    const bool first = __builtin_add_overflow(places, addend, &partial);
    const bool second = __builtin_add_overflow(partial, carry_in, &sum);
    *carry_out = first || second;
    // The carries into each bit; the one out of each byte is the lowest bit of the next, and the highest byte's is
    // the carry out. A place that did not carry still holds its bias.
    const std::uint64_t carried = ((places ^ addend ^ sum) >> 8 & kOnes) | (*carry_out ? kOnes << 56 : 0);
    return sum - (bias & (~carried & kOnes) * 0xFF);
}

std::uint64_t PlacesOf(std::int64_t ms) {
    const std::int64_t seconds = ms / 1000 % 60;
    const std::int64_t minutes = ms / 60000 % 60;
    const std::int64_t hours = ms / 3600000;
    const std::int64_t digits[8] = {seconds % 10, seconds / 10, 0, minutes % 10, minutes / 10, 0,
                                    hours % 10,   hours / 10};
    std::uint64_t places = 0;
    for (int i = 0; i < 8; ++i) {
        places |= static_cast<std::uint64_t>(digits[i]) << (8 * i);
    }
    return places;
}

std::uint64_t FractionPlacesOf(std::int64_t ms) {
    const std::int64_t milliseconds = ms % 1000;
    return static_cast<std::uint64_t>(milliseconds % 10 | milliseconds / 10 % 10 << 8 | milliseconds / 100 << 16);
}

std::uint64_t FromLowFirst(std::uint64_t word) {
    return kLittleEndian ? word : __builtin_bswap64(word);
}

std::uint32_t FromLowFirst(std::uint32_t word) {
    return kLittleEndian ? word : __builtin_bswap32(word);
}

}  // namespace

bool ClockTextShift::Fits(std::int64_t offset_ms) {
    return offset_ms > -kHundredHours && offset_ms < kHundredHours;
}

ClockTextShift::ClockTextShift(std::int64_t offset_ms) {
    if (!Fits(offset_ms)) {
        return;
    }
    // X - D is X + (100 hours - D) less 100 hours: the sum must carry out of the hours, or X - D is below zero.
    m_negative = offset_ms < 0;
    const std::int64_t added = m_negative ? kHundredHours + offset_ms : offset_ms;
    m_clock_addend = PlacesOf(added) + kClockBias;
    m_fraction_addend = FractionPlacesOf(added) + kFractionBias;
}

bool ClockTextShift::Move(const char* from, char* to) const {
    FixedTimeBytes bytes;
    if (!LoadFixedTime(from, &bytes)) {
        return false;
    }
    const std::uint64_t clock = (__builtin_bswap64(bytes.clock) & kClockDigits & kOnes * 0x0F) | kClockSeparators;
    const std::uint64_t fraction =
        (__builtin_bswap32(bytes.fraction) & kFractionDigits & kOnes * 0x0F) | kFractionSeparator;
    bool fraction_carry;
    bool clock_carry;
    const std::uint64_t moved_fraction = AddPlaces(fraction, m_fraction_addend, kFractionBias, 0, &fraction_carry);
    // The fraction sits in the low half of its word: its carry is the bit above it.
    const std::uint64_t moved_clock =
        AddPlaces(clock, m_clock_addend, kClockBias, moved_fraction >> 32 & 1, &clock_carry);
    if (clock_carry != m_negative) {
        return false;
    }
    const std::uint64_t clock_text = (moved_clock & kClockDigits) | kClockText;
    const auto fraction_text = static_cast<std::uint32_t>((moved_fraction & kFractionDigits) | kFractionText);
    const std::uint64_t clock_out = FromLowFirst(__builtin_bswap64(clock_text));
    const std::uint32_t fraction_out = FromLowFirst(__builtin_bswap32(fraction_text));
    std::memcpy(to, &clock_out, 8);
    std::memcpy(to + 8, &fraction_out, 4);
    return true;
}
