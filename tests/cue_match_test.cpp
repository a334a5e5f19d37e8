// Matching a file to a subtitle of the same video that is already in sync: made-up pairs over the likely speeds,
// speeds just off them, offsets of minutes and cuts; and pairs that must be refused.
#include "engine/cue_match.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/made_up_pair.h"

namespace {

constexpr double kPalToFilm = 25 / (24000.0 / 1001);
constexpr double kFilmToPal = 1 / kPalToFilm;

// Every file cue that has a place in the reference's video ends within `within_ms` of it, for this share of them.
double ShareWithin(const CueMatch& match, const MadeUpPair& pair, std::int64_t within_ms) {
    std::size_t placed = 0;
    std::size_t near = 0;
    for (std::size_t i = 0; i < pair.file.size(); ++i) {
        if (pair.truth[i] < 0) {
            continue;
        }
        ++placed;
        const TimeTransform& transform = PieceAt(match.pieces, match.pieces.front().transform, pair.file[i]);
        near += std::llabs(transform.Apply(pair.file[i]) - pair.truth[i]) <= within_ms ? 1 : 0;
    }
    return static_cast<double>(near) / static_cast<double>(placed);
}

TEST(CueMatch, FindsTheCorrection) {
    const struct {
        const char* what;
        MadeUpRecipe recipe;
        std::size_t pieces;
    } rows[] = {
        {"short, shifted", {1, 50, 1, 2500, {}}, 1},
        {"PAL release, ten minutes early", {2, 400, kPalToFilm, -600000, {}}, 1},
        {"film release, ten minutes late", {3, 2000, kFilmToPal, 600000, {}}, 1},
        {"just off speed 1", {4, 5000, 1.0012, 15000, {}}, 1},
        {"half a percent slow", {5, 1000, 0.995, -3000, {}}, 1},
        {"off a frame-rate pair", {6, 1500, kPalToFilm * 1.004, 42000, {}}, 1},
        {"30 to 25", {7, 3000, 1.2, 0, {}}, 1},
        {"NTSC to film", {8, 800, 1.001, 30000, {}}, 1},
        {"advertisement", {9, 2000, 1, 5000, {{0.5, 120000, true, false}}}, 2},
        {"two cuts", {10, 5000, kPalToFilm, -20000, {{0.3, 10000, false, false}, {0.7, 300000, true, true}}}, 3},
        {"short film, a scene missing", {11, 400, 1, 0, {{0.6, 60000, false, false}}}, 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const MadeUpPair pair = MakeUpPair(row.recipe);
        const CueMatch match = MatchCueTimes(pair.reference, pair.file);
        ASSERT_TRUE(match.Found()) << match.Refusal("file", "reference");
        EXPECT_EQ(match.pieces.size(), row.pieces) << match.DescribeCorrection();
        EXPECT_GE(ShareWithin(match, pair, 100), 0.95)
            << match.DescribeCorrection() << "; " << match.DescribeConfidence();
    }
}

// Pairs drawn at random: any likely speed or one up to 0.5 % off it, offsets up to ten minutes either way, 50 to
// 5,000 cues, no cut to two.
TEST(CueMatch, FindsTheCorrectionOfAnyPair) {
    const double speeds[] = {1, kPalToFilm, kFilmToPal, 25 / 24.0, 24 / 25.0, 1.001, 1 / 1.001, 1.2, 1 / 1.2};
    std::uint64_t state = 7;
    auto draw = [&state](std::uint64_t below) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return (state >> 33) % below;
    };
    std::size_t cases = 0;
    for (std::uint64_t seed = 100; seed < 160; ++seed) {
        MadeUpRecipe recipe;
        recipe.seed = seed;
        recipe.cues = 50 + draw(4951);
        recipe.speed = speeds[draw(std::size(speeds))] * (draw(2) == 0 ? 1 : 1 + (double(draw(1001)) - 500) / 100000);
        recipe.offset_ms = static_cast<std::int64_t>(draw(1200001)) - 600000;
        for (std::uint64_t cuts = recipe.cues >= 400 ? draw(3) : 0; cuts > 0; --cuts) {
            recipe.cuts.push_back(
                {0.25 + 0.5 * double(cuts - 1), 10000 + std::int64_t(draw(290001)), draw(2) == 0, draw(2) == 0});
        }
        const MadeUpPair pair = MakeUpPair(recipe);
        if (pair.file.size() < 50) {
            continue;  // a large offset left a fragment of the film in the file, which may well be refused
        }
        ++cases;
        SCOPED_TRACE("seed " + std::to_string(seed) + ", " + std::to_string(recipe.cues) + " cues, speed " +
                     std::to_string(recipe.speed) + ", offset " + std::to_string(recipe.offset_ms) + ", " +
                     std::to_string(recipe.cuts.size()) + " cuts");
        const CueMatch match = MatchCueTimes(pair.reference, pair.file);
        ASSERT_TRUE(match.Found()) << match.Refusal("file", "reference");
        // A cut before the file's first cue (a large offset) is not seen.
        EXPECT_LE(match.pieces.size(), recipe.cuts.size() + 1) << match.DescribeCorrection();
        EXPECT_GE(ShareWithin(match, pair, 100), 0.95) << match.DescribeCorrection();
    }
    EXPECT_GE(cases, 50u);
}

TEST(CueMatch, RefusesWhatItCannotTrust) {
    const MadeUpPair pair = MakeUpPair({20, 1000, 1, 0, {}});
    const std::vector<CueTime> nine(pair.reference.begin(), pair.reference.begin() + 9);
    std::vector<MadeUpCut> many_cuts;
    for (int i = 1; i < 16; ++i) {
        many_cuts.push_back({i / 16.0, 20000 + 7000 * i, i % 2 == 0, true});
    }
    const MadeUpPair other_edit = MakeUpPair({21, 2000, 1, 0, many_cuts});
    const struct {
        const char* what;
        std::vector<CueTime> reference;
        std::vector<CueTime> file;
        CueMatch::Verdict verdict;
    } rows[] = {
        {"another film", MakeUpFilm(22, 1000), pair.file, CueMatch::Verdict::kNoMatch},
        {"another film, dense", MakeUpFilm(23, 3000), MakeUpFilm(24, 1500), CueMatch::Verdict::kNoMatch},
        {"a reference of nine cues", nine, pair.file, CueMatch::Verdict::kTooFewReferenceCues},
        {"another edit", other_edit.reference, other_edit.file, CueMatch::Verdict::kNoMatch},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const CueMatch match = MatchCueTimes(row.reference, row.file);
        EXPECT_EQ(match.verdict, row.verdict) << match.Refusal("file", "reference");
    }
}

}  // namespace
