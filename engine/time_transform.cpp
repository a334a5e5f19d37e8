#include "engine/time_transform.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <limits>
#include <numeric>

namespace {

std::uint64_t Magnitude(std::int64_t value) {
    return value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
}

}  // namespace

const FrameRate kCommonFrameRates[kCommonFrameRateCount] = {{24000, 1001}, {24, 1}, {25, 1},       {30000, 1001},
                                                            {30, 1},       {50, 1}, {60000, 1001}, {60, 1}};

// Up to six decimal digits, and nothing else: frames of nine digits times such a rate stay within 64 bits.
bool ParseWhole(const std::string& text, std::uint32_t* value) {
    if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    *value = static_cast<std::uint32_t>(std::stoul(text));
    return true;
}

bool FrameRate::Parse(const std::string& text, FrameRate* rate) {
    const std::size_t slash = text.find('/');
    if (slash != std::string::npos) {
        std::uint32_t numerator = 0;
        std::uint32_t denominator = 0;
        if (!ParseWhole(text.substr(0, slash), &numerator) || !ParseWhole(text.substr(slash + 1), &denominator) ||
            numerator == 0 || denominator == 0 || numerator > std::uint64_t{1000} * denominator) {
            return false;
        }
        *rate = {numerator, denominator};
        return true;
    }
    std::uint32_t whole = 0;
    std::uint32_t scale = 1;
    std::size_t i = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && whole <= 100000; ++i) {
        whole = whole * 10 + static_cast<std::uint32_t>(text[i] - '0');
    }
    if (i == 0 || whole > 100000) {
        return false;
    }
    if (i < text.size() && text[i] == '.') {
        const std::size_t decimals = text.size() - i - 1;
        if (decimals == 0 || decimals > 3) {
            return false;
        }
        for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
            whole = whole * 10 + static_cast<std::uint32_t>(text[i] - '0');
            scale *= 10;
        }
    }
    if (i != text.size() || whole == 0 || whole > 1000 * scale) {
        return false;
    }
    const std::uint32_t divisor = std::gcd(whole, scale);
    *rate = {whole / divisor, scale / divisor};
    return true;
}

std::string FrameRate::ToString() const {
    if (denominator == 1) {
        return std::to_string(numerator);
    }
    // To three decimals, as players name them: 24000/1001 is 23.976, 30000/1001 is 29.97.
    const std::uint64_t thousandths =
        (std::uint64_t{numerator} * 2000 + denominator) / (2 * std::uint64_t{denominator});
    std::string text = std::to_string(thousandths / 1000) + "." + std::to_string(1000 + thousandths % 1000).substr(1);
    while (text.back() == '0') {
        text.pop_back();
    }
    return text.back() == '.' ? text.substr(0, text.size() - 1) : text;
}

TimeTransform TimeTransform::Shift(std::int64_t offset_ms) {
    TimeTransform transform;
    transform.m_to = offset_ms;
    return transform;
}

TimeTransform TimeTransform::Rates(const FrameRate& from, const FrameRate& to) {
    TimeTransform transform;
    std::uint64_t numerator = std::uint64_t{from.numerator} * to.denominator;
    std::uint64_t denominator = std::uint64_t{from.denominator} * to.numerator;
    const std::uint64_t divisor = std::gcd(numerator, denominator);
    transform.m_numerator = static_cast<std::int64_t>(numerator / divisor);
    transform.m_denominator = denominator / divisor;
    transform.KeepDenominatorSmall();
    return transform;
}

TimeTransform TimeTransform::ThroughPoints(std::uint32_t source1,
                                           std::uint32_t target1,
                                           std::uint32_t source2,
                                           std::uint32_t target2) {
    TimeTransform transform;
    std::int64_t numerator = static_cast<std::int64_t>(target2) - target1;
    std::int64_t denominator = static_cast<std::int64_t>(source2) - source1;
    if (denominator < 0) {
        numerator = -numerator;
        denominator = -denominator;
    }
    const std::uint64_t divisor = std::gcd(Magnitude(numerator), static_cast<std::uint64_t>(denominator));
    transform.m_numerator = divisor == 0 ? 0 : numerator / static_cast<std::int64_t>(divisor);
    transform.m_denominator = divisor == 0 ? 1 : static_cast<std::uint64_t>(denominator) / divisor;
    transform.m_from = source1;
    transform.m_to = target1;
    transform.KeepDenominatorSmall();
    return transform;
}

TimeTransform TimeTransform::AnchoredAt(std::uint32_t source, std::int64_t target) const {
    TimeTransform transform = *this;
    transform.m_from = source;
    transform.m_to = target;
    return transform;
}

TimeTransform TimeTransform::ShiftedBy(std::int64_t offset_ms) const {
    TimeTransform transform = *this;
    transform.m_to += offset_ms;
    return transform;
}

void TimeTransform::KeepDenominatorSmall() {
    // Only rates of many digits get here (points are 32-bit times): halving both keeps the speed to 1 in 2^31.
    while (m_denominator > std::numeric_limits<std::uint32_t>::max()) {
        m_numerator /= 2;
        m_denominator /= 2;
    }
}

std::int64_t TimeTransform::Apply(std::uint32_t time) const {
    const std::int64_t distance = static_cast<std::int64_t>(time) - m_from;
    if (IsShift()) {
        return m_to + distance;
    }
    // distance x numerator / denominator as distance x whole + distance x part / denominator: |distance| and the
    // part are below 2^32, so no product overflows, whatever the points.
    const std::uint64_t magnitude = Magnitude(distance);
    const std::uint64_t whole = Magnitude(m_numerator) / m_denominator;
    const std::uint64_t product = magnitude * (Magnitude(m_numerator) % m_denominator);
    std::uint64_t quotient = magnitude * whole + product / m_denominator;
    const std::uint64_t remainder = product % m_denominator;
    const bool negative = (distance < 0) != (m_numerator < 0);
    // A half rounds up: towards later times.
    quotient += negative ? (2 * remainder > m_denominator ? 1 : 0) : (2 * remainder >= m_denominator ? 1 : 0);
    const std::int64_t moved = static_cast<std::int64_t>(
        std::min<std::uint64_t>(quotient, static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()) << 8));
    return m_to + (negative ? -moved : moved);
}

bool TimeTransform::SpeedIsLikely() const {
    // 1/2 <= numerator / denominator <= 2
    return m_numerator > 0 && 2 * static_cast<std::uint64_t>(m_numerator) >= m_denominator &&
           static_cast<std::uint64_t>(m_numerator) <= 2 * m_denominator;
}

std::string TimeTransform::SpeedText() const {
    // Thousandths of a percent, rounded half up (the sign apart).
    const std::uint64_t scaled = Magnitude(m_numerator) * 100000;
    const std::uint64_t thousandths = (2 * scaled + m_denominator) / (2 * m_denominator);
    return std::string(m_numerator < 0 ? "-" : "") + std::to_string(thousandths / 1000) + "." +
           std::to_string(1000 + thousandths % 1000).substr(1) + " %";
}

std::string TimeTransform::FrameRatePairText() const {
    if (IsShift() || m_numerator <= 0) {
        return std::string();
    }
    const double speed = static_cast<double>(m_numerator) / static_cast<double>(m_denominator);
    // Pairs of whole rates first: a speed two pairs give alike (60 to 24, 59.94 to 23.976) is named by the plainer.
    for (const bool whole : {true, false}) {
        for (const FrameRate& from : kCommonFrameRates) {
            for (const FrameRate& to : kCommonFrameRates) {
                if (whole && (from.denominator != 1 || to.denominator != 1)) {
                    continue;
                }
                const double pair = (static_cast<double>(from.numerator) / from.denominator) /
                                    (static_cast<double>(to.numerator) / to.denominator);
                // Distinct pairs differ by 0.1 % at least (23.976 and 24); a speed read off two cue times is within a
                // few thousandths of a percent of its pair, and one a hundredth of a percent off is another speed.
                if (&from != &to && std::fabs(speed / pair - 1) < 1e-4) {
                    return from.ToString() + " to " + to.ToString() + " fps";
                }
            }
        }
    }
    return std::string();
}

const TimeTransform& PieceAt(const std::vector<TimePiece>& pieces, const TimeTransform& first, std::uint32_t time) {
    const auto after = std::upper_bound(pieces.begin(), pieces.end(), time,
                                        [](std::uint32_t t, const TimePiece& piece) { return t < piece.from; });
    return after == pieces.begin() ? first : std::prev(after)->transform;
}

std::string SignedSeconds(std::int64_t ms) {
    const std::uint64_t magnitude = Magnitude(ms);
    return (ms < 0 ? "-" : "+") + std::to_string(magnitude / 1000) + "." +
           std::to_string(1000 + magnitude % 1000).substr(1) + " s";
}

std::string TimeTransform::Describe() const {
    if (IsShift()) {
        return "offset " + SignedSeconds(Offset());
    }
    const std::string pair = FrameRatePairText();
    return "speed " + SpeedText() + (pair.empty() ? "" : " (" + pair + ")") + ", offset " + SignedSeconds(Offset());
}
