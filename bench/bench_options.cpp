#include "bench/bench_options.h"

#include <cstdlib>

const char kBenchUsage[] =
    "Usage: kelvaro-bench [OPTIONS]\n"
    "Generates SRT files and measures kelvaro-cli against cp + sync, the line rewriter in memory (English and\n"
    "mixed text, and right-to-left text) and matching 5,000 cues to 5,000.\n"
    "  --dir DIR       where to generate the files (default: a fresh directory under /tmp, removed at the end)\n"
    "  --cli PATH      the kelvaro-cli to run (default: build/native/cli/kelvaro-cli)\n"
    "  --big           also measure a 1 GB file\n"
    "  --repeat N      alternating pairs of cp + sync and the re-timing; the median is reported (default: 7)\n"
    "  --slice-mb N    megabytes loaded for the in-memory measurements (default: 64)\n"
    "  --keep          leave the generated files in place\n"
    "  --check         exit with status 1 when a target is missed\n"
    "  --help          show this text\n";

namespace {

bool ParsePositive(const std::string& text, long maximum, long* value) {
    char* end = nullptr;
    const long parsed = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || parsed < 1 || parsed > maximum) {
        return false;
    }
    *value = parsed;
    return true;
}

}  // namespace

bool ParseBenchOptions(const std::vector<std::string>& args, BenchOptions* options, std::string* error) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool has_value = i + 1 < args.size();
        long number = 0;
        if (arg == "--big") {
            options->big = true;
        } else if (arg == "--check") {
            options->check = true;
        } else if (arg == "--keep") {
            options->keep = true;
        } else if (arg == "--help") {
            options->show_help = true;
        } else if ((arg == "--dir" || arg == "--cli") && has_value) {
            (arg == "--dir" ? options->directory : options->cli_path) = args[++i];
        } else if (arg == "--repeat" && has_value) {
            if (!ParsePositive(args[++i], 100, &number)) {
                *error = "--repeat takes a number from 1 to 100";
                return false;
            }
            options->repeat = static_cast<int>(number);
        } else if (arg == "--slice-mb" && has_value) {
            if (!ParsePositive(args[++i], 4000, &number)) {
                *error = "--slice-mb takes a number from 1 to 4000";
                return false;
            }
            options->slice_bytes = static_cast<std::size_t>(number) * 1000 * 1000;
        } else {
            *error = "unknown option or missing value: " + arg;
            return false;
        }
    }
    return true;
}
