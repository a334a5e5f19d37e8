#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/sync_settings.h"

// Two subtitles of one made-up film, for matching: a reference in sync with its video, and a file made for another
// release of it. Each has its own line splits (cues split, merged and dropped) and start times jittered by up to
// 80 ms; the file is played at another speed and offset (reference = speed x file + offset) and its video may differ
// by cuts.
struct MadeUpCut {
    double at = 0.5;             // where in the film, as a share of its length
    std::int64_t length_ms = 0;  // of the material one video has and the other has not
    bool file_has_it = true;     // the file's video (an advertisement, a scene), or the reference's
    bool spoken = false;         // whether that material has cues
};

struct MadeUpRecipe {
    std::uint64_t seed = 1;
    std::size_t cues = 1000;
    double speed = 1;
    std::int64_t offset_ms = 0;
    std::vector<MadeUpCut> cuts;
};

struct MadeUpPair {
    std::vector<CueTime> reference;
    std::vector<CueTime> file;  // increasing
    // For each file cue, where it belongs in the reference's video; -1 for one in material that video has not.
    std::vector<std::int64_t> truth;
};

MadeUpPair MakeUpPair(const MadeUpRecipe& recipe);

// The cue start times of a made-up film of `cues` cues, with nothing in common with another seed's.
std::vector<CueTime> MakeUpFilm(std::uint64_t seed, std::size_t cues);
