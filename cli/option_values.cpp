#include "cli/option_values.h"

#include <algorithm>

namespace {

constexpr std::uint32_t kMaxReduceNumber = 5000;
constexpr std::uint64_t kMaxOffsetMs = ((3ull * 60 + 59) * 60 + 59) * 1000 + 999;

constexpr std::size_t kAnyDigits = static_cast<std::size_t>(-1);
constexpr std::uint64_t kValueCap = 1ull << 40;  // far past every range checked here; values stop growing there

// Reads between `min_digits` and `max_digits` decimal digits at `*pos`.
bool ReadDigits(const std::string& text,
                std::size_t* pos,
                std::size_t min_digits,
                std::size_t max_digits,
                std::uint64_t* value) {
    std::size_t count = 0;
    *value = 0;
    while (*pos < text.size() && text[*pos] >= '0' && text[*pos] <= '9' && count < max_digits) {
        *value = std::min(*value * 10 + static_cast<std::uint64_t>(text[*pos] - '0'), kValueCap);
        ++*pos;
        ++count;
    }
    return count >= min_digits;
}

bool Expect(const std::string& text, std::size_t* pos, char c) {
    if (*pos < text.size() && text[*pos] == c) {
        ++*pos;
        return true;
    }
    return false;
}

// H:MM:SS with the fields' ranges; `hours_max` differs between an offset and a time of day.
bool ReadClock(const std::string& text, std::size_t* pos, std::uint64_t hours_max, std::uint64_t* seconds) {
    std::uint64_t hours, minutes, secs;
    if (!ReadDigits(text, pos, 1, 2, &hours) || !Expect(text, pos, ':') || !ReadDigits(text, pos, 2, 2, &minutes) ||
        !Expect(text, pos, ':') || !ReadDigits(text, pos, 2, 2, &secs)) {
        return false;
    }
    if (hours > hours_max || minutes > 59 || secs > 59) {
        return false;
    }
    *seconds = (hours * 60 + minutes) * 60 + secs;
    return true;
}

// M:SS, minutes of one or two digits.
bool ReadMinutes(const std::string& text, std::size_t* pos, std::uint64_t* seconds) {
    std::uint64_t minutes, secs;
    if (!ReadDigits(text, pos, 1, 2, &minutes) || !Expect(text, pos, ':') || !ReadDigits(text, pos, 2, 2, &secs) ||
        minutes > 59 || secs > 59) {
        return false;
    }
    *seconds = minutes * 60 + secs;
    return true;
}

// An optional fraction of a second: '.' or ',' and 1 to 3 digits, as milliseconds.
bool ReadFraction(const std::string& text, std::size_t* pos, std::uint64_t* milliseconds) {
    *milliseconds = 0;
    if (!Expect(text, pos, '.') && !Expect(text, pos, ',')) {
        return true;
    }
    const std::size_t start = *pos;
    if (!ReadDigits(text, pos, 1, 3, milliseconds)) {
        return false;
    }
    for (std::size_t digits = *pos - start; digits < 3; ++digits) {
        *milliseconds *= 10;
    }
    return true;
}

bool ParseMilliseconds(const std::string& text, std::uint64_t* total_ms) {
    std::size_t pos = 0;
    std::uint64_t seconds, fraction;
    switch (std::count(text.begin(), text.end(), ':')) {
        case 2:
            if (!ReadClock(text, &pos, 3, &seconds)) {
                return false;
            }
            break;
        case 1:
            if (!ReadMinutes(text, &pos, &seconds)) {
                return false;
            }
            break;
        case 0:
            if (!ReadDigits(text, &pos, 1, kAnyDigits, &seconds)) {
                return false;
            }
            if (text.compare(pos, std::string::npos, "ms") == 0) {
                *total_ms = seconds;
                return true;
            }
            break;
        default:
            return false;
    }
    if (!ReadFraction(text, &pos, &fraction)) {
        return false;
    }
    if (text.find(':') == std::string::npos) {
        Expect(text, &pos, 's');
    }
    *total_ms = seconds * 1000 + fraction;
    return pos == text.size();
}

}  // namespace

bool ParseOffset(const std::string& text, SyncSettings* settings) {
    std::uint64_t total_ms;
    if (!ParseMilliseconds(text, &total_ms) || total_ms > kMaxOffsetMs) {
        return false;
    }
    settings->m_nHours = static_cast<std::uint32_t>(total_ms / 3600000);
    settings->m_nMinutes = static_cast<std::uint32_t>(total_ms / 60000 % 60);
    settings->m_nSeconds = static_cast<std::uint32_t>(total_ms / 1000 % 60);
    settings->m_nMilliseconds = static_cast<std::uint32_t>(total_ms % 1000);
    return true;
}

bool ParseSignedOffset(const std::string& text, SyncSettings* settings) {
    const bool negative = !text.empty() && text[0] == '-';
    const bool sign = negative || (!text.empty() && text[0] == '+');
    if (!ParseOffset(text.substr(sign ? 1 : 0), settings)) {
        return false;
    }
    const bool zero = settings->m_nHours == 0 && settings->m_nMinutes == 0 && settings->m_nSeconds == 0 &&
                      settings->m_nMilliseconds == 0;
    settings->m_nDirection = negative && !zero ? 1 : 0;
    return true;
}

bool ParseTimeOfDay(const std::string& text, int* seconds) {
    std::size_t pos = 0;
    std::uint64_t value;
    if (!ReadClock(text, &pos, 23, &value) || pos != text.size()) {
        return false;
    }
    *seconds = static_cast<int>(value);
    return true;
}

bool ParseReduceNumber(const std::string& text, std::uint32_t* number) {
    std::size_t pos = 0;
    std::uint64_t value;
    if (!ReadDigits(text, &pos, 1, kAnyDigits, &value) || pos != text.size() || value > kMaxReduceNumber) {
        return false;
    }
    *number = static_cast<std::uint32_t>(value);
    return true;
}
