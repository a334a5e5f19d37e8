#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A frame rate as a ratio of whole numbers: 25 is 25/1, 23.976 is 23976/1000, NTSC's exact rate 24000/1001.
struct FrameRate {
    std::uint32_t numerator = 25;
    std::uint32_t denominator = 1;

    // Reads "25", "23.976" (up to three decimals) or "24000/1001" (up to six digits each); false for anything else,
    // zero or above 1000.
    static bool Parse(const std::string& text, FrameRate* rate);
    // "25", "23.976", "24000/1001".
    std::string ToString() const;
};

// The common video frame rates, from the lowest: 23.976 (24000/1001), 24, 25, 29.97, 30, 50, 59.94, 60.
constexpr std::size_t kCommonFrameRateCount = 8;
extern const FrameRate kCommonFrameRates[kCommonFrameRateCount];

// The correction of one run, applied to every cue time inside its window:
//     t' = to + (t - from) x numerator / denominator,
// rounded to the nearest millisecond (a half up), in whole numbers only, so that the same file always gives the same
// bytes. The classic offset is the one with from 0, to the offset and the speed 1/1.
class TimeTransform {
  public:
    TimeTransform() = default;
    static TimeTransform Shift(std::int64_t offset_ms);
    // The speed that turns times timed against a video of rate `from` into times for one of rate `to`: from / to.
    static TimeTransform Rates(const FrameRate& from, const FrameRate& to);
    // The transform that takes `source1` to `target1` and `source2` to `target2`; the sources must differ.
    static TimeTransform ThroughPoints(std::uint32_t source1,
                                       std::uint32_t target1,
                                       std::uint32_t source2,
                                       std::uint32_t target2);

    // The same speed, anchored so that `source` goes to `target`.
    TimeTransform AnchoredAt(std::uint32_t source, std::int64_t target) const;
    // The same, with every time moved by `offset_ms` more.
    TimeTransform ShiftedBy(std::int64_t offset_ms) const;

    // The new time of `time`; may be below zero or past the largest cue time, which the caller decides about.
    std::int64_t Apply(std::uint32_t time) const;

    bool IsShift() const { return m_numerator >= 0 && static_cast<std::uint64_t>(m_numerator) == m_denominator; }
    // The shift of a transform that is one; for others, where 0 goes.
    std::int64_t Offset() const { return Apply(0); }
    std::int64_t Numerator() const { return m_numerator; }
    std::uint64_t Denominator() const { return m_denominator; }
    // Whether the speed is positive and from half to twice normal speed: anything else is most likely a mistake.
    bool SpeedIsLikely() const;
    // The speed as a percentage with three decimals ("104.271 %"), and the common frame-rate pair it is, if any
    // ("25 to 23.976 fps"), else empty.
    std::string SpeedText() const;
    std::string FrameRatePairText() const;
    // The whole transform for a user: "offset +1.500 s" for a shift, else "speed 104.271 % (25 to 23.976 fps),
    // offset -0.012 s", the offset being where 0:00:00 goes.
    std::string Describe() const;

  private:
    // Keeps the denominator below 2^32, which Apply's arithmetic needs.
    void KeepDenominatorSmall();

    std::int64_t m_from = 0;
    std::int64_t m_to = 0;
    std::int64_t m_numerator = 1;  // negative for points that run backwards, which a run refuses
    std::uint64_t m_denominator = 1;
};

// From a time of the file on, the transform of its cues: one piece of a correction that follows cuts between two
// releases of a video (scenes or advertisements one has and the other has not).
struct TimePiece {
    std::uint32_t from = 0;
    TimeTransform transform;
};

// The transform of the last piece whose `from` is at or before `time`, or `first` when there is none; `pieces` is in
// increasing order of `from`.
const TimeTransform& PieceAt(const std::vector<TimePiece>& pieces, const TimeTransform& first, std::uint32_t time);

// "+1.500 s", "-0.012 s".
std::string SignedSeconds(std::int64_t ms);
