#include "tests/made_up_pair.h"

#include <algorithm>
#include <cmath>

namespace {

// splitmix64: the same numbers on every system and library.
class Random {
  public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t Next() {
        std::uint64_t z = (m_state += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z ^ (z >> 31);
    }
    std::int64_t Between(std::int64_t low, std::int64_t high) {
        return low + static_cast<std::int64_t>(Next() % static_cast<std::uint64_t>(high - low + 1));
    }
    bool Chance(int percent) { return Between(0, 99) < percent; }

  private:
    std::uint64_t m_state;
};

// Dialogue: a cue every 0.6 to 4 s, now and then a pause of up to half a minute.
std::vector<std::int64_t> Dialogue(Random& random, std::size_t cues, std::int64_t start) {
    std::vector<std::int64_t> times;
    std::int64_t at = start;
    for (std::size_t i = 0; i < cues; ++i) {
        at += random.Chance(5) ? random.Between(5000, 30000) : random.Between(600, 4000);
        times.push_back(at);
    }
    return times;
}

// One release's line splits: a cue dropped or merged into the one before, split in two, or kept.
template <typename Keep>
void Resplit(Random& random, const std::vector<std::int64_t>& times, Keep keep) {
    for (std::size_t i = 0; i < times.size(); ++i) {
        if (random.Chance(10)) {
            continue;
        }
        keep(times[i], random.Between(-80, 80));
        if (random.Chance(6) && i + 1 < times.size()) {
            keep(times[i] + (times[i + 1] - times[i]) * 2 / 5, random.Between(-80, 80));
        }
    }
}

CueTime Clamped(double ms) {
    return static_cast<CueTime>(std::max(0.0, std::round(ms)));
}

}  // namespace

MadeUpPair MakeUpPair(const MadeUpRecipe& recipe) {
    Random random(recipe.seed);
    const std::vector<std::int64_t> film = Dialogue(random, recipe.cues, random.Between(20000, 90000));
    const double length = static_cast<double>(film.back());
    MadeUpPair pair;
    Resplit(random, film, [&pair](std::int64_t time, std::int64_t jitter) {
        pair.reference.push_back(static_cast<CueTime>(time + jitter));
    });
    // Where a time of the reference's video is in the file's, or -1 when the file's video does not have it.
    auto in_file_video = [&recipe, length](std::int64_t time) -> std::int64_t {
        std::int64_t moved = time;
        for (const MadeUpCut& cut : recipe.cuts) {
            const auto at = static_cast<std::int64_t>(cut.at * length);
            if (time >= at && !cut.file_has_it && time < at + cut.length_ms) {
                return -1;
            }
            moved += time < at ? 0 : cut.file_has_it ? cut.length_ms : -cut.length_ms;
        }
        return moved;
    };
    std::vector<std::pair<double, std::int64_t>> file;  // (video time, truth)
    Resplit(random, film, [&](std::int64_t time, std::int64_t jitter) {
        const std::int64_t video = in_file_video(time + jitter);
        if (video >= 0) {
            file.emplace_back(static_cast<double>(video), time + jitter);
        }
    });
    for (const MadeUpCut& cut : recipe.cuts) {
        if (cut.file_has_it && cut.spoken) {
            const auto at = static_cast<std::int64_t>(cut.at * length);
            const std::int64_t start = in_file_video(at) - cut.length_ms;
            for (std::int64_t time = start + 2000; time < start + cut.length_ms - 2000;
                 time += random.Between(1500, 4000)) {
                file.emplace_back(static_cast<double>(time), -1);
            }
        }
    }
    std::sort(file.begin(), file.end());
    for (const auto& [video, truth] : file) {
        const double time = (video - static_cast<double>(recipe.offset_ms)) / recipe.speed;
        if (time >= 0) {  // a file that starts later than its video has no cues before 0
            pair.file.push_back(Clamped(time));
            pair.truth.push_back(truth);
        }
    }
    return pair;
}

std::vector<CueTime> MakeUpFilm(std::uint64_t seed, std::size_t cues) {
    Random random(seed);
    std::vector<CueTime> times;
    for (const std::int64_t time : Dialogue(random, cues, random.Between(20000, 90000))) {
        times.push_back(static_cast<CueTime>(time));
    }
    return times;
}
