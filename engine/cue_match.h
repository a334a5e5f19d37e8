#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/sync_settings.h"
#include "engine/time_transform.h"

// What matching a file's cue start times to those of a reference (a subtitle of the same video that is already in
// sync) found: the correction that puts the file's cues on the reference's, how many of them it puts on one, and
// whether that is enough to trust it.
struct CueMatch {
    enum class Verdict {
        kFound,
        kTooFewReferenceCues,  // fewer than kMinimumCues in the reference
        kTooFewFileCues,       // fewer than kMinimumCues in the file
        kNoMatch,              // the best correction puts too few cues on the reference's, or no more than chance would
        kAmbiguous,            // another speed puts nearly as many there
    };
    static constexpr std::size_t kMinimumCues = 10;
    // A cue is matched when a reference cue starts within this of where the correction puts it.
    static constexpr std::int64_t kMatchedWithinMs = 400;

    Verdict verdict = Verdict::kNoMatch;
    // The correction: one speed, and an offset a piece; more than one piece where the videos differ by cuts.
    std::vector<TimePiece> pieces;
    std::size_t reference_cues = 0;  // distinct start times
    std::size_t file_cues = 0;
    std::size_t matched_cues = 0;  // file cues the correction puts within kMatchedWithinMs of a reference cue
    // The share of the reference's span lying within kMatchedWithinMs of one of its cues, in thousandths: what a cue
    // put anywhere matches by chance.
    std::size_t chance_per_mille = 0;
    // The best correction with another speed, and how many cues it matches.
    TimeTransform runner_up;
    std::size_t runner_up_matched = 0;

    bool Found() const { return verdict == Verdict::kFound; }
    // "speed 100.000 %, offset +12.340 s", and for every cut ", from 0:41:07,250 offset +52.120 s".
    std::string DescribeCorrection() const;
    // "812 of 1,000 cues (81 %) start within 0.4 s of a reference cue (chance: 43 %); the next best speed, 95.904 %,
    // matches 97".
    std::string DescribeConfidence() const;
    // Why the correction is not trusted, naming `file` and `reference` and the figures; empty when it is found.
    std::string Refusal(const std::string& file, const std::string& reference) const;
};

// Finds the correction that takes the cue start times `file` onto `reference` (both in any order): a speed among 1
// and the ratios of the common frame rates, or up to 0.7 % off one of them, an offset of up to 20 minutes (each piece),
// and up to five cuts, each piece at least two minutes long. Deterministic; about n log n in the number of cues.
CueMatch MatchCueTimes(std::vector<CueTime> reference, std::vector<CueTime> file);
