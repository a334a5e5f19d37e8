// The correction of a run: shifts, frame-rate pairs and two points, rounded to the millisecond the same way on every
// system; and drifted films brought back.
#include "engine/time_transform.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "engine/rewrite_line.h"

namespace {

const FrameRate kFilm{24000, 1001};
const FrameRate kPal{25, 1};

TEST(TimeTransform, MovesEveryTimeAsAsked) {
    const struct {
        const char* what;
        TimeTransform transform;
        std::uint32_t time;
        std::int64_t moved;
    } rows[] = {
        {"shift", TimeTransform::Shift(1500), 0, 1500},
        {"shift back below zero", TimeTransform::Shift(-1500), 1000, -500},
        {"PAL to film", TimeTransform::Rates(kPal, kFilm), 1000, 1043},  // 1042.708
        {"film to PAL", TimeTransform::Rates(kFilm, kPal), 1043, 1000},  // 1000.280
        {"two points", TimeTransform::ThroughPoints(10000, 11000, 100000, 110000), 55000, 60500},
        {"before the first point", TimeTransform::ThroughPoints(10000, 11000, 100000, 110000), 0, 0},
        {"a half rounds up", TimeTransform::ThroughPoints(0, 0, 2, 1), 1, 1},         // 0.5
        {"before a point too", TimeTransform::ThroughPoints(10, 10, 12, 11), 9, 10},  // 9.5
        {"below a half", TimeTransform::ThroughPoints(0, 0, 3, 1), 1, 0},             // 0.333
        {"shift to a target", TimeTransform().AnchoredAt(60000, 62500), 61000, 63500},
        {"a speed anchored", TimeTransform::Rates(kPal, kFilm).AnchoredAt(60000, 60000), 60000, 60000},
        // The largest cue time: the caller decides what past it means.
        {"the largest time", TimeTransform::Rates(kPal, kFilm), std::numeric_limits<std::uint32_t>::max(), 4478398190},
        // Rates of many digits keep their speed to 1 in 2^31, and nothing overflows.
        {"rates of many digits", TimeTransform::Rates(FrameRate{999983, 999979}, FrameRate{999979, 999983}),
         std::numeric_limits<std::uint32_t>::max(), 4295001655},
        {"the largest time back", TimeTransform::ThroughPoints(0, 0, 4294967295u, 2147483647u), 4294967295u,
         2147483647},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.transform.Apply(row.time), row.moved) << row.what;
    }
}

TEST(TimeTransform, TellsItsSpeed) {
    const struct {
        TimeTransform transform;
        bool likely;
        const char* described;
    } rows[] = {
        {TimeTransform::Shift(-250), true, "offset -0.250 s"},
        {TimeTransform::Rates(kPal, kFilm), true, "speed 104.271 % (25 to 23.976 fps), offset +0.000 s"},
        {TimeTransform::Rates(FrameRate{23976, 1000}, kPal), true,
         "speed 95.904 % (23.976 to 25 fps), offset +0.000 s"},
        {TimeTransform::ThroughPoints(10000, 11000, 100000, 110000), true, "speed 110.000 %, offset +0.000 s"},
        {TimeTransform::ThroughPoints(0, 1000, 1000, 3500), false, "speed 250.000 % (60 to 24 fps), offset +1.000 s"},
        {TimeTransform::ThroughPoints(0, 5000, 1000, 4000), false, "speed -100.000 %, offset +5.000 s"},
        {TimeTransform::ThroughPoints(0, 5000, 1000, 5000), false, "speed 0.000 %, offset +5.000 s"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.transform.SpeedIsLikely(), row.likely) << row.described;
        EXPECT_EQ(row.transform.Describe(), row.described);
    }
}

TEST(FrameRate, ReadsTheFormsPlayersUse) {
    const struct {
        const char* text;
        bool valid;
        std::uint32_t numerator, denominator;
        const char* shown;
    } rows[] = {
        {"25", true, 25, 1, "25"},
        {"23.976", true, 2997, 125, "23.976"},
        {"24000/1001", true, 24000, 1001, "23.976"},
        {"30000/1001", true, 30000, 1001, "29.97"},
        {"29.970", true, 2997, 100, "29.97"},
        {"23.9760", false, 0, 0, ""},
        {"0", false, 0, 0, ""},
        {"25/0", false, 0, 0, ""},
        {"1000000/1001", false, 0, 0, ""},
        {"-25", false, 0, 0, ""},
        {"25fps", false, 0, 0, ""},
        {"2000", false, 0, 0, ""},
        {"", false, 0, 0, ""},
    };
    for (const auto& row : rows) {
        FrameRate rate{0, 0};
        ASSERT_EQ(FrameRate::Parse(row.text, &rate), row.valid) << row.text;
        if (row.valid) {
            EXPECT_EQ(rate.numerator, row.numerator) << row.text;
            EXPECT_EQ(rate.denominator, row.denominator) << row.text;
            EXPECT_EQ(rate.ToString(), row.shown) << row.text;
        }
    }
}

// A 1,400-cue film of two hours, as generated cue times.
std::vector<std::uint32_t> FilmTimes() {
    std::mt19937 random(1400);
    std::vector<std::uint32_t> times;
    std::uint32_t time = 41200;
    for (int cue = 0; cue < 1400; ++cue) {
        times.push_back(time);
        times.push_back(time + 1000 + random() % 3000);
        time = times.back() + 100 + random() % 1200;
    }
    return times;
}

std::string SubRip(const std::vector<std::uint32_t>& times) {
    std::string text;
    char buffer[kLongestClockTime];
    for (std::size_t i = 0; i < times.size(); i += 2) {
        text += std::to_string(i / 2 + 1) + "\n";
        text.append(buffer, PutClockTime(buffer, times[i], ',', true));
        text += " --> ";
        text.append(buffer, PutClockTime(buffer, times[i + 1], ',', true));
        text += "\nLine " + std::to_string(i / 2 + 1) + "\n\n";
    }
    return text;
}

std::vector<std::uint32_t> Retimed(const std::string& text, const SyncSettings& settings) {
    LineRewriter rewriter(settings);
    std::vector<std::uint32_t> times;
    const auto take = [&](std::size_t ready) {
        for (std::size_t i = 0; i < ready; ++i) {
            TimingLine timing;
            if (ParseTimingLine(rewriter.Line(i), false, &timing)) {
                times.push_back(timing.start.ms);
                times.push_back(timing.end.ms);
            }
        }
    };
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find('\n', start);
        take(rewriter.Feed(std::string_view(text).substr(start, end - start)));
        start = end + 1;
    }
    take(rewriter.Finish());
    return times;
}

std::uint32_t LargestDifference(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
    EXPECT_EQ(a.size(), b.size());
    std::uint32_t largest = 0;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        largest = std::max<std::uint32_t>(largest, static_cast<std::uint32_t>(std::abs(std::int64_t{a[i]} - b[i])));
    }
    return largest;
}

TEST(TimeTransform, BringsADriftedFilmBack) {
    const std::vector<std::uint32_t> original = FilmTimes();
    SyncSettings drift;
    drift.m_drift = TimeTransform::Rates(kPal, FrameRate{23976, 1000});
    const std::vector<std::uint32_t> drifted = Retimed(SubRip(original), drift);
    // Two points, the first and the last cue, as a user reads them off the video.
    SyncSettings two_points;
    two_points.m_drift = TimeTransform::ThroughPoints(drifted.front(), original.front(), drifted[drifted.size() - 2],
                                                      original[original.size() - 2]);
    EXPECT_LE(LargestDifference(Retimed(SubRip(drifted), two_points), original), 1u);
    // And back the way it came.
    SyncSettings back;
    back.m_drift = TimeTransform::Rates(FrameRate{23976, 1000}, kPal);
    EXPECT_LE(LargestDifference(Retimed(SubRip(drifted), back), original), 1u);
    // Speed 1: not a byte changes.
    EXPECT_EQ(Retimed(SubRip(original), SyncSettings()), original);
}

}  // namespace
