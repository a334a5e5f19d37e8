// kelvaro-bench: generates SRT files and measures kelvaro-cli and the line rewriter against the targets.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/bench_options.h"
#include "bench/child_process.h"
#include "bench/line_throughput.h"
#include "bench/result_table.h"
#include "bench/srt_generator.h"
#include "engine/cue_match.h"
#include "engine/synchronize_file.h"
#include "tests/made_up_pair.h"

namespace {

constexpr std::uint64_t kMegabyte = 1000 * 1000;
constexpr double kMaxTimeRatio = 1.5;
constexpr double kMaxPeakRssMb = 8.0;
constexpr double kMinRewriteRate = 2000.0;  // MB/s, re-timing
constexpr double kMinSwitchRate = 1000.0;   // with the switch, on the benchmark's mixed text
constexpr double kMinRightToLeftSwitchRate = 400.0;
constexpr int kRewritePasses = 5;
constexpr double kMaxMatchSeconds = 0.050;
constexpr double kMaxMatchWithCutsSeconds = 0.200;
constexpr int kMatchRuns = 15;

struct Sizes {
    const char* label;
    std::uint64_t bytes;
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::uint64_t FileSize(const std::string& path) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        throw std::runtime_error("Cannot find " + path);
    }
    return static_cast<std::uint64_t>(info.st_size);
}

void RemoveIfPresent(const std::string& path) {
    unlink(path.c_str());
}

ChildRun RunChecked(const std::vector<std::string>& argv) {
    const ChildRun run = RunChild(argv);
    if (run.exit_status != 0) {
        throw std::runtime_error(argv[0] + " " + argv[1] + "... failed with status " + std::to_string(run.exit_status));
    }
    return run;
}

// Times `cp FILE COPY && sync COPY` and an in-place re-timing by kelvaro-cli, alternately, on one generated file.
// Leftovers of the previous run are removed and everything is put on disk before each timed command, so that every
// run does the same work: the re-timing never has an older backup to keep. The ratio of each pair is what counts:
// the disk and the machine change from minute to minute, less within a pair.
void MeasureFile(const BenchOptions& options,
                 const std::string& directory,
                 const Sizes& size,
                 std::vector<ResultRow>* rows) {
    const std::string file = directory + "/bench-" + size.label + ".srt";
    const std::string copy = directory + "/bench-" + size.label + "-copy.srt";
    const auto generation_start = std::chrono::steady_clock::now();
    const GeneratedFile generated = GenerateSrt(file, size.bytes);
    std::printf("generated %s: %llu bytes, %llu cues in %.1f s\n", file.c_str(),
                static_cast<unsigned long long>(generated.bytes), static_cast<unsigned long long>(generated.cues),
                std::chrono::duration<double>(std::chrono::steady_clock::now() - generation_start).count());
    std::fflush(stdout);

    std::vector<double> copy_times;
    std::vector<double> retime_times;
    std::vector<double> ratios;
    long peak_rss_kb = 0;
    for (int i = 0; i < options.repeat; ++i) {
        RemoveIfPresent(copy);
        sync();
        copy_times.push_back(
            RunChecked({"/bin/sh", "-c", "cp -- \"$1\" \"$2\" && sync -- \"$2\"", "sh", file, copy}).wall_seconds);
        RemoveIfPresent(copy);
        RemoveIfPresent(OriginalName(file));
        sync();
        const ChildRun run = RunChecked({options.cli_path, "--add", "0:00:01,500", file});
        retime_times.push_back(run.wall_seconds);
        ratios.push_back(run.wall_seconds / copy_times.back());
        peak_rss_kb = std::max(peak_rss_kb, run.peak_rss_kb);
        // Shifting times keeps every line's length, so a result of another size means the run went wrong.
        if (FileSize(file) != FileSize(OriginalName(file))) {
            throw std::runtime_error("the re-timed " + file + " differs in size from its original");
        }
    }
    if (!options.keep) {
        RemoveIfPresent(copy);
        RemoveIfPresent(OriginalName(file));
    }

    const double ratio = Median(ratios);
    const double peak_rss_mb = static_cast<double>(peak_rss_kb) * 1024 / kMegabyte;
    char figure[160];
    std::snprintf(figure, sizeof figure, "%s vs %s: %.2f x (%.2f-%.2f, %zu pairs)",
                  FormatSeconds(Median(retime_times)).c_str(), FormatSeconds(Median(copy_times)).c_str(), ratio,
                  *std::min_element(ratios.begin(), ratios.end()), *std::max_element(ratios.begin(), ratios.end()),
                  ratios.size());
    char target[32];
    std::snprintf(target, sizeof target, "<= %.1f x cp + sync", kMaxTimeRatio);
    const std::string label = std::string(size.label) + " file";
    rows->push_back({"kelvaro-cli --add in place vs cp + sync, " + label, figure, target, ratio <= kMaxTimeRatio});
    rows->push_back({"kelvaro-cli --add, " + label + ", peak RSS", FormatMegabytes(peak_rss_mb),
                     "< " + FormatMegabytes(kMaxPeakRssMb), peak_rss_mb < kMaxPeakRssMb});
}

// Re-timing the first lines of `file` in memory, then with the switch as well: the whole text path of a run (reading,
// rewriting and writing, big blocks in two parts on two threads), which the targets are for; and the rewriter alone,
// fed a line at a time on one thread, for reference.
void MeasureRewriting(const BenchOptions& options,
                      const std::string& file,
                      const char* text,
                      double switch_target,
                      std::vector<ResultRow>* rows) {
    const LineSlice slice = LoadLineSlice(file, options.slice_bytes);
    const std::string slice_label = ", " + std::string(text) + " (" + std::to_string(slice.bytes.size() / kMegabyte) +
                                    " MB, " + std::to_string(slice.lines.size()) + " lines)";
    SyncSettings settings;
    settings.m_nDirection = 0;  // add
    settings.m_nSeconds = 1;
    settings.m_nMilliseconds = 500;
    for (const bool switch_orientation : {false, true}) {
        settings.m_bSwitchOrientation = switch_orientation ? 1 : 0;
        const double path_rate = MeasureTextPathRate(slice, settings, kRewritePasses);
        const double target = switch_orientation ? switch_target : kMinRewriteRate;
        const std::string measure =
            std::string("Rewrite in memory, offset") + (switch_orientation ? " + switch" : "") + slice_label;
        rows->push_back({measure, FormatRate(path_rate), ">= " + FormatRate(target), path_rate >= target});
        const double rate = MeasureRewriteRate(slice, settings, kRewritePasses);
        rows->push_back({"  the rewriter alone, a line at a time, one thread", FormatRate(rate), "", true});
    }
}

// Matching 5,000 cues to 5,000: a film put through 25 to 23.976 fps and a shift, without and with two cuts.
void MeasureMatching(std::vector<ResultRow>* rows) {
    const MadeUpRecipe plain{31, 5200, 25 / (24000.0 / 1001), -20000, {}};
    MadeUpRecipe cut = plain;
    cut.cuts = {{0.3, 10000, false, false}, {0.7, 300000, true, true}};
    for (const MadeUpRecipe& recipe : {plain, cut}) {
        const MadeUpPair pair = MakeUpPair(recipe);
        std::vector<double> seconds;
        bool found = true;
        for (int i = 0; i < kMatchRuns; ++i) {
            const auto start = std::chrono::steady_clock::now();
            found = MatchCueTimes(pair.reference, pair.file).Found() && found;
            seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        }
        const bool cuts = !recipe.cuts.empty();
        const double limit = cuts ? kMaxMatchWithCutsSeconds : kMaxMatchSeconds;
        const double median = Median(seconds);
        rows->push_back({std::string("Match ") + std::to_string(pair.file.size()) + " cues to " +
                             std::to_string(pair.reference.size()) + (cuts ? ", two cuts" : "") + ", median",
                         FormatSeconds(median), "<= " + FormatSeconds(limit), found && median <= limit});
    }
}

int Run(const BenchOptions& options) {
    if (access(options.cli_path.c_str(), X_OK) != 0) {
        throw std::runtime_error("Cannot run " + options.cli_path + " (give its path with --cli)");
    }
    std::string directory = options.directory;
    const bool temporary = directory.empty();
    if (temporary) {
        char name[] = "/tmp/kelvaro-bench-XXXXXX";
        if (mkdtemp(name) == nullptr) {
            throw std::runtime_error("Cannot create a temporary directory under /tmp");
        }
        directory = name;
    } else if (mkdir(directory.c_str(), 0755) != 0 && errno != EEXIST) {
        throw std::runtime_error("Cannot create " + directory);
    }

    std::vector<ResultRow> rows;
    // The floor under every peak RSS figure: what a child of this process shows before it does anything.
    rows.push_back({"peak RSS of /bin/true (floor)",
                    FormatMegabytes(static_cast<double>(RunChecked({"/bin/true", "-"}).peak_rss_kb) * 1024 / kMegabyte),
                    "", true});
    const Sizes small{"100MB", 100 * kMegabyte};
    const Sizes big{"1GB", 1000 * kMegabyte};
    MeasureFile(options, directory, small, &rows);
    if (options.big) {
        MeasureFile(options, directory, big, &rows);
        if (!options.keep) {
            RemoveIfPresent(directory + "/bench-1GB.srt");
        }
    }
    MeasureMatching(&rows);
    // Last, because loading the slice would raise the resident memory that every later child starts from. The runs in
    // place left gigabytes for the system to write back, on both cores: they are written first, so that the two
    // threads of a run in memory have the machine to themselves.
    sync();
    const std::string small_file = directory + "/bench-100MB.srt";
    MeasureRewriting(options, small_file, "mixed text", kMinSwitchRate, &rows);
    const std::string right_to_left = directory + "/bench-rtl.srt";
    GenerateSrt(right_to_left, options.slice_bytes, TextMix::kRightToLeft);
    MeasureRewriting(options, right_to_left, "right-to-left text", kMinRightToLeftSwitchRate, &rows);
    if (!options.keep) {
        RemoveIfPresent(small_file);
        RemoveIfPresent(right_to_left);
        if (temporary) {
            rmdir(directory.c_str());
        }
    }

    std::printf("\n");
    PrintResultTable(rows);
    const bool all_passed = std::all_of(rows.begin(), rows.end(), [](const ResultRow& row) { return row.passed; });
    return options.check && !all_passed ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    BenchOptions options;
    std::string error;
    if (!ParseBenchOptions(std::vector<std::string>(argv + 1, argv + argc), &options, &error)) {
        std::fprintf(stderr, "kelvaro-bench: %s\nTry 'kelvaro-bench --help' for more information.\n", error.c_str());
        return 2;
    }
    if (options.show_help) {
        std::fputs(kBenchUsage, stdout);
        return 0;
    }
    try {
        return Run(options);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "kelvaro-bench: %s\n", failure.what());
        return 2;
    }
}
