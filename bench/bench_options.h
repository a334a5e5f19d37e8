#pragma once

#include <cstddef>
#include <string>
#include <vector>

// What the benchmark is asked to do.
struct BenchOptions {
    std::string directory;  // empty: a fresh temporary directory, removed at the end
    std::string cli_path = "build/native/cli/kelvaro-cli";
    bool big = false;                             // also a 1 GB file
    bool check = false;                           // exit 1 when a target is missed
    bool keep = false;                            // leave the generated files in place
    int repeat = 7;                               // alternating pairs of timed runs; the median is reported
    std::size_t slice_bytes = 64u * 1000 * 1000;  // what the in-memory measurement loads
    bool show_help = false;
};

// Parses the arguments after the program name. On a usage error returns false and sets `*error`.
bool ParseBenchOptions(const std::vector<std::string>& args, BenchOptions* options, std::string* error);

extern const char kBenchUsage[];
