// Matching cue start times: any two lists of times, from the bytes as gaps (so that they look like dialogue, with
// now and then a jump anywhere up to the largest time). No crash, the same answer twice, and a found correction that
// is whole: pieces in order from 0, a likely speed, no more matched cues than the file has.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "engine/cue_match.h"

namespace {

std::vector<CueTime> Times(const std::uint8_t* data, std::size_t size) {
    std::vector<CueTime> times;
    std::uint64_t at = 0;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const std::uint32_t gap = static_cast<std::uint32_t>(data[i]) << 8 | data[i + 1];
        at = gap >= 0xFF00 ? (std::uint64_t{gap & 0xFF} << 24) * 0x101 : at + gap * 8;
        times.push_back(static_cast<CueTime>(at & 0xFFFFFFFFu));
    }
    return times;
}

bool Same(const CueMatch& a, const CueMatch& b) {
    if (a.verdict != b.verdict || a.matched_cues != b.matched_cues || a.pieces.size() != b.pieces.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.pieces.size(); ++i) {
        const TimeTransform& x = a.pieces[i].transform;
        const TimeTransform& y = b.pieces[i].transform;
        if (a.pieces[i].from != b.pieces[i].from || x.Numerator() != y.Numerator() ||
            x.Denominator() != y.Denominator() || x.Offset() != y.Offset()) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    const std::size_t split = 1 + (size - 1) * data[0] / 256;
    const std::vector<CueTime> reference = Times(data + 1, split - 1);
    const std::vector<CueTime> file = Times(data + split, size - split);
    const CueMatch match = MatchCueTimes(reference, file);
    if (!Same(match, MatchCueTimes(reference, file))) {
        std::abort();
    }
    if (match.Found()) {
        if (match.pieces.empty() || match.pieces.front().from != 0 || match.matched_cues > match.file_cues) {
            std::abort();
        }
        for (std::size_t i = 0; i < match.pieces.size(); ++i) {
            if (!match.pieces[i].transform.SpeedIsLikely() ||
                (i > 0 && match.pieces[i].from <= match.pieces[i - 1].from)) {
                std::abort();
            }
        }
        if (match.Refusal("f", "r").size() != 0 || match.DescribeCorrection().empty()) {
            std::abort();
        }
    } else if (match.Refusal("f", "r").empty()) {
        std::abort();
    }
    return 0;
}
