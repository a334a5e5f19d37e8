#include "engine/cue_match.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>

#include "engine/timing_line.h"

// How the match goes:
// 1. The file is cut into chunks of consecutive cues. For every family of likely speeds (1, 25/24, 24/25, 30/25 ...,
//    each with the speeds within 0.2 % of it) a sample of chunks votes: every pair of a chunk's cue and a reference
//    cue within 20 minutes of it votes for their difference in 100 ms bins; a chunk's peak is its offset. A chunk is
//    short, so a speed up to 0.7 % off the family's blurs its peak by well under a second.
// 2. A line through the chunks' peaks (the pair of peaks whose line most other peaks lie on) gives the speed within
//    the family and the offset; it is refined on the cues themselves, with a tolerance that narrows, a few rounds.
// 3. Where chunks of the file do not follow that line, they vote again at the speed found; their peaks are the
//    offsets of other pieces, and a dynamic programme over the cues, with a penalty per cut, decides which cue takes
//    which offset.
// 4. The speed is made exact (a frame-rate ratio when it is within 20 ms of one over the file, else to 1 in 10^7),
//    every offset the median of its matched cues' differences, in whole milliseconds: what is written does not hang
//    on floating-point rounding.
namespace {

using Times = std::vector<std::int64_t>;  // milliseconds, increasing, distinct

constexpr std::int64_t kBinMs = 100;
constexpr std::int64_t kSearchMs = 20 * 60 * 1000;
constexpr std::size_t kBinCount = 2 * kSearchMs / kBinMs + 1;
constexpr std::size_t kPeakBins = 4;          // a peak gathers the votes of 400 ms
constexpr double kLargestSpeedError = 0.007;  // off the family's speed
constexpr std::size_t kSampledChunks = 24;    // per family, in the first step
constexpr std::int64_t kShortestPieceMs = 60000;
constexpr std::size_t kMostPieces = 6;
constexpr std::int64_t kExactSpeedWithinMs = 20;

// The frame rates whose ratios make the likely speeds: 23.976, 24, 25, 29.97 and 30.
constexpr std::size_t kRatesOfSpeeds = 5;

Times Distinct(std::vector<CueTime> times) {
    std::sort(times.begin(), times.end());
    times.erase(std::unique(times.begin(), times.end()), times.end());
    return Times(times.begin(), times.end());
}

double SpeedOf(const TimeTransform& transform) {
    return static_cast<double>(transform.Numerator()) / static_cast<double>(transform.Denominator());
}

// The likely speeds, exact, in groups of speeds within 0.2 % of each other (a family); 1 first.
std::vector<std::vector<TimeTransform>> SpeedFamilies() {
    std::vector<std::vector<TimeTransform>> families{{TimeTransform()}};
    for (std::size_t from = 0; from < kRatesOfSpeeds; ++from) {
        for (std::size_t to = 0; to < kRatesOfSpeeds; ++to) {
            const TimeTransform speed = TimeTransform::Rates(kCommonFrameRates[from], kCommonFrameRates[to]);
            const double value = SpeedOf(speed);
            auto family = std::find_if(families.begin(), families.end(), [value](const auto& members) {
                return std::fabs(value / SpeedOf(members.front()) - 1) < 0.002;
            });
            if (family == families.end()) {
                families.push_back({speed});
            } else if (std::none_of(family->begin(), family->end(), [&speed](const TimeTransform& member) {
                           return member.Numerator() == speed.Numerator() &&
                                  member.Denominator() == speed.Denominator();
                       })) {
                family->push_back(speed);
            }
        }
    }
    return families;
}

// r = speed x t + offset.
struct Line {
    double speed = 1;
    double offset = 0;
    std::int64_t At(std::int64_t t) const { return std::llround(speed * static_cast<double>(t) + offset); }
};

// The index of the reference time nearest `at`, given where the search for an earlier, smaller `at` ended.
std::size_t Nearest(const Times& reference, std::int64_t at, std::size_t* from) {
    std::size_t& j = *from;
    while (j + 1 < reference.size() && reference[j + 1] <= at) {
        ++j;
    }
    if (j + 1 < reference.size() && std::llabs(reference[j + 1] - at) < std::llabs(reference[j] - at)) {
        return j + 1;
    }
    return j;
}

// The share of [from, to] that lies within kMatchedWithinMs of a reference cue, in thousandths: what a cue put
// anywhere in it matches by chance.
std::size_t CoveredPerMille(const Times& reference, std::int64_t from, std::int64_t to) {
    if (to <= from) {
        return 1000;
    }
    std::int64_t covered = 0;
    std::int64_t reach = from;
    for (auto r = std::lower_bound(reference.begin(), reference.end(), from - CueMatch::kMatchedWithinMs);
         r != reference.end() && *r - CueMatch::kMatchedWithinMs < to; ++r) {
        const std::int64_t end = std::min(*r + CueMatch::kMatchedWithinMs, to);
        covered += std::max<std::int64_t>(0, end - std::max(reach, *r - CueMatch::kMatchedWithinMs));
        reach = std::max(reach, end);
    }
    return static_cast<std::size_t>(covered * 1000 / (to - from));
}

// The peak of one chunk: the offset (from r - speed x t) most of its cues agree on.
struct Peak {
    std::int64_t time = 0;  // of the chunk's middle cue, in the file
    double offset = 0;
    std::size_t votes = 0;
};

class Voter {
  public:
    Voter(const Times& reference, const Times& file) : m_reference(reference), m_file(file), m_bins(kBinCount) {}

    Peak ChunkPeak(std::size_t begin, std::size_t end, double speed) {
        std::fill(m_bins.begin(), m_bins.end(), 0u);
        for (std::size_t i = begin; i < end; ++i) {
            const std::int64_t at = std::llround(speed * static_cast<double>(m_file[i]));
            auto j = std::lower_bound(m_reference.begin(), m_reference.end(), at - kSearchMs);
            for (; j != m_reference.end() && *j <= at + kSearchMs; ++j) {
                ++m_bins[static_cast<std::size_t>((*j - at + kSearchMs) / kBinMs)];
            }
        }
        std::size_t best = 0;
        std::size_t best_votes = 0;
        std::size_t votes = 0;
        for (std::size_t bin = 0; bin < kBinCount; ++bin) {
            votes += m_bins[bin];
            votes -= bin >= kPeakBins ? m_bins[bin - kPeakBins] : 0;
            if (votes > best_votes) {
                best_votes = votes;
                best = bin + 1 - std::min(bin + 1, kPeakBins);
            }
        }
        // The peak's offset: the median of the differences that voted for it.
        const std::int64_t low = static_cast<std::int64_t>(best) * kBinMs - kSearchMs;
        const std::int64_t high = low + static_cast<std::int64_t>(kPeakBins) * kBinMs;
        m_differences.clear();
        for (std::size_t i = begin; i < end; ++i) {
            const std::int64_t at = std::llround(speed * static_cast<double>(m_file[i]));
            auto j = std::lower_bound(m_reference.begin(), m_reference.end(), at + low);
            for (; j != m_reference.end() && *j < at + high; ++j) {
                m_differences.push_back(*j - at);
            }
        }
        Peak peak;
        peak.time = m_file[begin + (end - begin) / 2];
        peak.votes = best_votes;
        if (!m_differences.empty()) {
            auto middle = m_differences.begin() + static_cast<std::ptrdiff_t>(m_differences.size() / 2);
            std::nth_element(m_differences.begin(), middle, m_differences.end());
            peak.offset = static_cast<double>(*middle);
        }
        return peak;
    }

  private:
    const Times& m_reference;
    const Times& m_file;
    std::vector<std::uint32_t> m_bins;
    std::vector<std::int64_t> m_differences;
};

// The line most peaks lie on (within 300 ms), with a speed within kLargestSpeedError of `speed`: through two peaks,
// or level.
Line BestLine(const std::vector<Peak>& peaks, double speed) {
    auto consensus = [&peaks](double slope, double* intercept) {
        std::size_t best = 0;
        for (const Peak& anchor : peaks) {
            const double at = anchor.offset - slope * static_cast<double>(anchor.time);
            std::size_t votes = 0;
            double sum = 0;
            for (const Peak& other : peaks) {
                const double b = other.offset - slope * static_cast<double>(other.time);
                if (std::fabs(b - at) <= 300) {
                    votes += other.votes;
                    sum += b * static_cast<double>(other.votes);
                }
            }
            if (votes > best) {
                best = votes;
                *intercept = sum / static_cast<double>(votes);
            }
        }
        return best;
    };
    Line line{speed, 0};
    std::size_t best = consensus(0, &line.offset);
    for (std::size_t i = 0; i < peaks.size(); ++i) {
        for (std::size_t j = i + 1; j < peaks.size(); ++j) {
            const double span = static_cast<double>(peaks[j].time - peaks[i].time);
            const double slope = (peaks[j].offset - peaks[i].offset) / span;
            if (span < 30000 || std::fabs(slope) > kLargestSpeedError * speed) {
                continue;
            }
            double intercept = 0;
            const std::size_t votes = consensus(slope, &intercept);
            if (votes > best) {
                best = votes;
                line = Line{speed + slope, intercept};
            }
        }
    }
    return line;
}

// For each file cue, whether `line` (or the line of its piece) puts it within `tolerance` of a reference cue, and
// that cue.
struct Pairs {
    std::vector<std::int64_t> file;
    std::vector<std::int64_t> reference;
    std::vector<std::size_t> piece;
};

Pairs PairsWithin(const Times& reference,
                  const Times& file,
                  const std::vector<Line>& lines,
                  const std::vector<std::size_t>& piece_of,
                  std::int64_t tolerance) {
    Pairs pairs;
    std::size_t from = 0;
    std::size_t last_piece = 0;
    for (std::size_t i = 0; i < file.size(); ++i) {
        const std::size_t piece = piece_of.empty() ? 0 : piece_of[i];
        if (piece != last_piece) {
            from = 0;  // another line: the search starts over
            last_piece = piece;
        }
        const std::int64_t at = lines[piece].At(file[i]);
        const std::size_t j = Nearest(reference, at, &from);
        if (std::llabs(reference[j] - at) <= tolerance) {
            pairs.file.push_back(file[i]);
            pairs.reference.push_back(reference[j]);
            pairs.piece.push_back(piece);
        }
    }
    return pairs;
}

// Least squares with one slope and an intercept a piece; false when the pairs do not span enough time to tell a
// slope, or it leaves the family.
bool FitSlope(const Pairs& pairs, double family_speed, std::vector<Line>* lines) {
    const std::size_t count = lines->size();
    std::vector<double> sum_t(count), sum_r(count), n(count);
    for (std::size_t k = 0; k < pairs.file.size(); ++k) {
        sum_t[pairs.piece[k]] += static_cast<double>(pairs.file[k]);
        sum_r[pairs.piece[k]] += static_cast<double>(pairs.reference[k]);
        n[pairs.piece[k]] += 1;
    }
    double tt = 0;
    double tr = 0;
    for (std::size_t k = 0; k < pairs.file.size(); ++k) {
        const std::size_t p = pairs.piece[k];
        const double dt = static_cast<double>(pairs.file[k]) - sum_t[p] / n[p];
        tt += dt * dt;
        tr += dt * (static_cast<double>(pairs.reference[k]) - sum_r[p] / n[p]);
    }
    const double spread = std::sqrt(tt / std::max(1.0, static_cast<double>(pairs.file.size())));
    const double slope = tt > 0 ? tr / tt : 0;
    const bool told = spread >= 20000 && std::fabs(slope / family_speed - 1) <= 2 * kLargestSpeedError;
    for (std::size_t p = 0; p < count; ++p) {
        Line& line = (*lines)[p];
        line.speed = told ? slope : line.speed;
        if (n[p] > 0) {
            line.offset = (sum_r[p] - line.speed * sum_t[p]) / n[p];
        }
    }
    return told;
}

// Narrows the tolerance round by round, so that a line found on part of the file takes in the rest.
void Refine(const Times& reference,
            const Times& file,
            double family_speed,
            const std::vector<std::size_t>& piece_of,
            std::vector<Line>* lines) {
    for (const std::int64_t tolerance : {400, 400, 300, 300}) {
        const Pairs pairs = PairsWithin(reference, file, *lines, piece_of, tolerance);
        if (pairs.file.size() < 2) {
            return;
        }
        FitSlope(pairs, family_speed, lines);
    }
}

std::size_t Matched(const Times& reference,
                    const Times& file,
                    const std::vector<Line>& lines,
                    const std::vector<std::size_t>& piece_of) {
    return PairsWithin(reference, file, lines, piece_of, CueMatch::kMatchedWithinMs).file.size();
}

// Which piece (offset) each cue takes: a cue costs 1 where its piece's line does not match it, a cut costs
// `penalty`. Ties keep the earlier piece, so a cut falls as late as the cues allow.
std::vector<std::size_t> CheapestPieces(const std::vector<std::vector<bool>>& matched, std::size_t penalty) {
    const std::size_t cues = matched.front().size();
    const std::size_t states = matched.size();
    std::vector<std::size_t> cost(states);
    std::vector<std::size_t> next(states);
    std::vector<std::uint8_t> came_from(cues * states);
    for (std::size_t k = 0; k < states; ++k) {
        cost[k] = matched[k][0] ? 0 : 1;
    }
    for (std::size_t i = 1; i < cues; ++i) {
        const std::size_t cheapest =
            static_cast<std::size_t>(std::min_element(cost.begin(), cost.end()) - cost.begin());
        for (std::size_t k = 0; k < states; ++k) {
            const bool cut = cost[cheapest] + penalty < cost[k];
            came_from[i * states + k] = static_cast<std::uint8_t>(cut ? cheapest : k);
            next[k] = (cut ? cost[cheapest] + penalty : cost[k]) + (matched[k][i] ? 0 : 1);
        }
        cost.swap(next);
    }
    std::vector<std::size_t> piece_of(cues);
    std::size_t state = static_cast<std::size_t>(std::min_element(cost.begin(), cost.end()) - cost.begin());
    for (std::size_t i = cues; i-- > 0;) {
        piece_of[i] = state;
        state = came_from[i * states + state];
    }
    return piece_of;
}

// Whether the pieces are few and long enough to be cuts rather than chance.
bool PlausiblePieces(const Times& file, const std::vector<std::size_t>& piece_of) {
    std::size_t pieces = 1;
    std::size_t start = 0;
    for (std::size_t i = 1; i <= file.size(); ++i) {
        if (i == file.size() || piece_of[i] != piece_of[start]) {
            const std::int64_t end = i == file.size() ? file.back() : file[i];
            if (end - file[start] < kShortestPieceMs && file.back() - file.front() >= kShortestPieceMs) {
                return false;
            }
            pieces += i < file.size() ? 1 : 0;
            start = i;
        }
    }
    return pieces <= kMostPieces;
}

// The offsets of the chunks the main line does not explain, at its speed, as candidate lines (the main one first).
// For each file cue, whether `line` puts it within kMatchedWithinMs of a reference cue.
std::vector<bool> MatchedCues(const Times& reference, const Times& file, const Line& line) {
    const Pairs pairs = PairsWithin(reference, file, {line}, {}, CueMatch::kMatchedWithinMs);
    std::vector<bool> matched(file.size());
    for (std::size_t i = 0, k = 0; i < file.size() && k < pairs.file.size(); ++i) {
        if (pairs.file[k] == file[i]) {
            matched[i] = true;
            ++k;
        }
    }
    return matched;
}

std::size_t CountIn(const std::vector<bool>& flags, std::size_t begin, std::size_t end) {
    return static_cast<std::size_t>(std::count(flags.begin() + static_cast<std::ptrdiff_t>(begin),
                                               flags.begin() + static_cast<std::ptrdiff_t>(end), true));
}

std::vector<Line> OtherOffsets(const Times& reference, const Times& file, const Line& main, std::size_t chunk) {
    std::vector<Line> lines{main};
    const std::vector<bool> matched = MatchedCues(reference, file, main);
    Voter voter(reference, file);
    std::vector<Peak> peaks;
    for (std::size_t begin = 0; begin < file.size(); begin += chunk) {
        const std::size_t end = std::min(file.size(), begin + chunk);
        if (2 * CountIn(matched, begin, end) >= end - begin) {
            continue;
        }
        // Votes are taken against the main line's offset, so that a peak's offset is the one of r - (line at t).
        const Peak peak = voter.ChunkPeak(begin, end, main.speed);
        if (2 * peak.votes >= end - begin) {
            peaks.push_back(peak);
        }
    }
    // Peaks within 300 ms of each other are one offset, the first found.
    for (const Peak& peak : peaks) {
        const bool known = std::any_of(lines.begin(), lines.end(), [&peak](const Line& line) {
            return std::fabs(line.offset - peak.offset) <= 300;
        });
        if (!known && lines.size() < 2 * kMostPieces) {
            lines.push_back(Line{main.speed, peak.offset});
        }
    }
    return lines;
}

// Which of `lines` each cue takes: the fewest unmatched cues, with a penalty per cut, in few pieces of a minute or
// more. A piece whose offset matches no more of its cues than chance gives the best of thousands of offsets (five
// standard deviations above chance, taken where the piece's cues go, as dialogue is denser in places) holds cues of
// material the reference's video has not: those cues are taken as matching no offset, so that they go with a
// neighbouring piece.
std::vector<std::size_t> AssignPieces(const Times& reference, const Times& file, const std::vector<Line>& lines) {
    std::vector<std::vector<bool>> matched;
    for (const Line& line : lines) {
        matched.push_back(MatchedCues(reference, file, line));
    }
    std::vector<std::size_t> piece_of;
    auto by_chance = [&](std::size_t first, std::size_t end) {
        const Line& line = lines[piece_of[first]];
        const double chance =
            static_cast<double>(CoveredPerMille(reference, line.At(file[first]), line.At(file[end - 1]))) / 1000;
        const double n = static_cast<double>(end - first);
        return n * chance + 5 * std::sqrt(n * chance * (1 - chance));
    };
    for (bool cleared = true; cleared;) {
        for (std::size_t penalty = std::max<std::size_t>(8, file.size() / 200);; penalty *= 2) {
            piece_of = CheapestPieces(matched, penalty);
            if (PlausiblePieces(file, piece_of) || penalty > file.size()) {
                break;
            }
        }
        if (!PlausiblePieces(file, piece_of)) {
            std::fill(piece_of.begin(), piece_of.end(), 0);
        }
        cleared = false;
        for (std::size_t start = 0, i = 1; i <= file.size(); ++i) {
            if (i < file.size() && piece_of[i] == piece_of[start]) {
                continue;
            }
            const std::size_t hits = CountIn(matched[piece_of[start]], start, i);
            const bool alone = start == 0 && i == file.size();
            if (!alone && hits > 0 && static_cast<double>(hits) <= by_chance(start, i)) {
                for (std::vector<bool>& line : matched) {
                    std::fill(line.begin() + static_cast<std::ptrdiff_t>(start),
                              line.begin() + static_cast<std::ptrdiff_t>(i), false);
                }
                cleared = true;
            }
            start = i;
        }
    }
    return piece_of;
}

// Numbers the pieces in their order, each a line of its own, and refines them; neighbours within 300 ms are one
// piece, also when refining brought them together.
void Renumber(const Times& reference,
              const Times& file,
              double family_speed,
              std::vector<Line>* lines,
              std::vector<std::size_t>* piece_of) {
    auto renumber = [lines, piece_of, &file]() {
        bool merged = false;
        std::vector<Line> ordered;
        for (std::size_t i = 0, last = 0; i < file.size(); ++i) {
            const std::size_t piece = (*piece_of)[i];
            const bool next = i == 0 || piece != last;
            last = piece;
            if (next && i > 0 && std::fabs((*lines)[piece].offset - ordered.back().offset) <= 300) {
                merged = true;
            } else if (next) {
                ordered.push_back((*lines)[piece]);
            }
            (*piece_of)[i] = ordered.size() - 1;
        }
        lines->swap(ordered);
        return merged;
    };
    renumber();
    do {
        Refine(reference, file, family_speed, *piece_of, lines);
    } while (renumber());
}

// The speed, made exact: a ratio of common frame rates in the family when it is within kExactSpeedWithinMs of it
// over the file's span, else to 1 in 10^7.
TimeTransform ExactSpeed(double speed, const std::vector<TimeTransform>& family, std::int64_t span) {
    for (const TimeTransform& member : family) {
        if (std::fabs(speed - SpeedOf(member)) * static_cast<double>(span) <= kExactSpeedWithinMs) {
            return member;
        }
    }
    constexpr std::uint32_t kScale = 10000000;
    const auto scaled = static_cast<std::uint32_t>(std::llround(speed * kScale));
    return TimeTransform::ThroughPoints(0, 0, kScale, scaled);
}

// The integer correction a piece at a time: every offset the median of its pairs' differences.
std::vector<TimePiece> ExactPieces(const Times& reference,
                                   const Times& file,
                                   const TimeTransform& speed,
                                   const std::vector<Line>& lines,
                                   const std::vector<std::size_t>& piece_of) {
    const Pairs pairs = PairsWithin(reference, file, lines, piece_of, CueMatch::kMatchedWithinMs);
    std::vector<std::vector<std::int64_t>> differences(lines.size());
    for (std::size_t k = 0; k < pairs.file.size(); ++k) {
        differences[pairs.piece[k]].push_back(pairs.reference[k] -
                                              speed.Apply(static_cast<std::uint32_t>(pairs.file[k])));
    }
    std::vector<TimePiece> pieces;
    for (std::size_t i = 0; i < file.size(); ++i) {
        if (i > 0 && piece_of[i] == piece_of[i - 1]) {
            continue;
        }
        std::vector<std::int64_t>& own = differences[piece_of[i]];
        std::int64_t offset = std::llround(lines[piece_of[i]].offset);
        if (!own.empty()) {
            auto middle = own.begin() + static_cast<std::ptrdiff_t>(own.size() / 2);
            std::nth_element(own.begin(), middle, own.end());
            offset = *middle;
        }
        pieces.push_back({i == 0 ? 0 : static_cast<std::uint32_t>(file[i]), speed.ShiftedBy(offset)});
    }
    return pieces;
}

std::size_t MatchedExactly(const Times& reference, const Times& file, const std::vector<TimePiece>& pieces) {
    std::size_t matched = 0;
    for (const std::int64_t t : file) {
        const auto time = static_cast<std::uint32_t>(t);
        const std::int64_t at = PieceAt(pieces, pieces.front().transform, time).Apply(time);
        const auto after = std::lower_bound(reference.begin(), reference.end(), at);
        const bool near_after = after != reference.end() && *after - at <= CueMatch::kMatchedWithinMs;
        const bool near_before = after != reference.begin() && at - *std::prev(after) <= CueMatch::kMatchedWithinMs;
        matched += near_after || near_before ? 1 : 0;
    }
    return matched;
}

// One family's best linear correction.
struct Candidate {
    Line line;
    std::size_t matched = 0;
    std::size_t family = 0;
};

std::string Thousands(std::size_t value) {
    std::string digits = std::to_string(value);
    for (std::size_t at = digits.size(); at > 3; at -= 3) {
        digits.insert(at - 3, ",");
    }
    return digits;
}

std::string CueTimes(std::size_t count) {
    return count == 1 ? std::string("1 cue time") : Thousands(count) + " cue times";
}

std::string Percent(std::size_t part, std::size_t whole) {
    return std::to_string(whole == 0 ? 0 : (part * 100 + whole / 2) / whole) + " %";
}

std::string ClockText(std::uint32_t ms) {
    char text[kLongestClockTime];
    return std::string(text, PutClockTime(text, ms, ',', true));
}

}  // namespace

CueMatch MatchCueTimes(std::vector<CueTime> reference_times, std::vector<CueTime> file_times) {
    CueMatch match;
    const Times reference = Distinct(std::move(reference_times));
    const Times file = Distinct(std::move(file_times));
    match.reference_cues = reference.size();
    match.file_cues = file.size();
    if (reference.size() < CueMatch::kMinimumCues) {
        match.verdict = CueMatch::Verdict::kTooFewReferenceCues;
        return match;
    }
    if (file.size() < CueMatch::kMinimumCues) {
        match.verdict = CueMatch::Verdict::kTooFewFileCues;
        return match;
    }
    match.chance_per_mille = CoveredPerMille(reference, reference.front(), reference.back());
    const std::size_t chunk = std::clamp<std::size_t>(file.size() / 8, 8, 32);
    const std::size_t chunks = (file.size() + chunk - 1) / chunk;
    const std::size_t sampled = std::min(chunks, kSampledChunks);
    const auto families = SpeedFamilies();

    // Steps 1 and 2, every family.
    Voter voter(reference, file);
    std::vector<Candidate> candidates;
    for (std::size_t f = 0; f < families.size(); ++f) {
        const double speed = SpeedOf(families[f].front());
        std::vector<Peak> peaks;
        for (std::size_t s = 0; s < sampled; ++s) {
            const std::size_t begin = (s * chunks / sampled) * chunk;
            peaks.push_back(voter.ChunkPeak(begin, std::min(file.size(), begin + chunk), speed));
        }
        std::vector<Line> lines{BestLine(peaks, speed)};
        Refine(reference, file, speed, {}, &lines);

        candidates.push_back({lines.front(), Matched(reference, file, lines, {}), f});
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate& a, const Candidate& b) { return a.matched > b.matched; });
    const Candidate& best = candidates.front();
    const double family_speed = SpeedOf(families[best.family].front());

    // Step 3: the pieces.
    std::vector<Line> lines = OtherOffsets(reference, file, best.line, chunk);
    std::vector<std::size_t> piece_of(file.size(), 0);
    if (lines.size() > 1) {
        piece_of = AssignPieces(reference, file, lines);
        Renumber(reference, file, family_speed, &lines, &piece_of);
    }

    // Step 4: exact figures.
    const TimeTransform speed = ExactSpeed(lines.front().speed, families[best.family], file.back() - file.front());
    match.pieces = ExactPieces(reference, file, speed, lines, piece_of);
    match.matched_cues = MatchedExactly(reference, file, match.pieces);
    for (const Candidate& other : candidates) {
        if (other.family != best.family) {
            match.runner_up = TimeTransform::ThroughPoints(
                                  0, 0, 10000000, static_cast<std::uint32_t>(std::llround(other.line.speed * 1e7)))
                                  .ShiftedBy(std::llround(other.line.offset));
            match.runner_up_matched = other.matched;
            break;
        }
    }

    // Trusted only when well above chance and well ahead of any other speed. Well above: at least three in ten of the
    // cues that chance leaves unmatched are matched, and the count is six standard deviations above what chance
    // gives, as the best of the hundreds of thousands of corrections tried may reach five on a few dozen cues.
    const std::size_t share = match.matched_cues * 1000 / match.file_cues;
    const std::size_t chance = match.chance_per_mille;
    const double n = static_cast<double>(match.file_cues);
    const double p = static_cast<double>(chance) / 1000;
    const bool above_chance = share >= 300 && (share - std::min(share, chance)) * 10 >= (1000 - chance) * 3 &&
                              static_cast<double>(match.matched_cues) >= n * p + 6 * std::sqrt(n * p * (1 - p));
    if (!above_chance) {
        match.verdict = CueMatch::Verdict::kNoMatch;
    } else if (match.runner_up_matched * 10 >= match.matched_cues * 9) {
        match.verdict = CueMatch::Verdict::kAmbiguous;
    } else {
        match.verdict = CueMatch::Verdict::kFound;
    }
    return match;
}

std::string CueMatch::DescribeCorrection() const {
    if (pieces.empty()) {
        return std::string();
    }
    std::string text = pieces.front().transform.Describe();
    for (std::size_t i = 1; i < pieces.size(); ++i) {
        text += ", from " + ClockText(pieces[i].from) + " offset " + SignedSeconds(pieces[i].transform.Offset());
    }
    return text;
}

std::string CueMatch::DescribeConfidence() const {
    std::string text = Thousands(matched_cues) + " of " + Thousands(file_cues) + " cues (" +
                       Percent(matched_cues, file_cues) +
                       ") start within 0.4 s of a reference cue (chance: " + Percent(chance_per_mille, 1000) + ")";
    if (runner_up_matched > 0) {
        text += "; the next best speed, " + runner_up.SpeedText() + ", matches " + Thousands(runner_up_matched);
    }
    return text;
}

std::string CueMatch::Refusal(const std::string& file, const std::string& reference) const {
    const std::string head = "Cannot match " + file + " to " + reference + ": ";
    const std::string tail = "; nothing was changed";
    switch (verdict) {
        case Verdict::kFound:
            return std::string();
        case Verdict::kTooFewReferenceCues:
            return head + reference + " has " + CueTimes(reference_cues) + ", and matching needs at least " +
                   std::to_string(kMinimumCues) + tail;
        case Verdict::kTooFewFileCues:
            return head + file + " has " + CueTimes(file_cues) + ", and matching needs at least " +
                   std::to_string(kMinimumCues) + tail;
        case Verdict::kNoMatch:
            return head + "with the best correction found (" + DescribeCorrection() + "), only " +
                   DescribeConfidence() + ": too few to trust, they do not look like subtitles of the same video" +
                   tail;
        case Verdict::kAmbiguous:
            return head + "two speeds fit about as well (" + DescribeCorrection() + ": " + DescribeConfidence() +
                   "), so neither can be trusted" + tail;
    }
    return std::string();
}
