#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "engine/sync_settings.h"

// The first bytes of a file, cut into lines the way text mode reads them (LF ends a line, a CR before it goes too).
struct LineSlice {
    std::string bytes;                    // the whole lines that fit into the requested size
    std::vector<std::string_view> lines;  // views into `bytes`
    std::size_t line_bytes = 0;           // the lines' own bytes, without their ends
};

// Loads at most `max_bytes` from the start of `path`, ending at the last line end in that range. Throws
// std::runtime_error on a file error.
LineSlice LoadLineSlice(const std::string& path, std::size_t max_bytes);

// Rewrites every line of `slice` with one LineRewriter per pass, `passes` times, and returns the median rate in
// megabytes (10^6 bytes) of line bytes per second.
double MeasureRewriteRate(const LineSlice& slice, const SyncSettings& settings, int passes);

// Runs the whole text path of a run over `slice` in memory (reading its lines, rewriting them, writing the result to
// a buffer), `passes` times, and returns the median rate in megabytes of input per second.
double MeasureTextPathRate(const LineSlice& slice, const SyncSettings& settings, int passes);
