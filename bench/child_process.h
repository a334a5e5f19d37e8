#pragma once

#include <string>
#include <vector>

struct ChildRun {
    double wall_seconds = 0;
    long peak_rss_kb = 0;  // the child's peak resident set, as wait4 reports it
    int exit_status = 0;   // the exit code, or 128 + the signal number
};

// Runs the program `argv[0]` (a path, not searched) with the other arguments, its standard output discarded and
// its standard error shared with ours, and waits for it. The wall time runs from just before the fork to the
// reaping. Throws std::runtime_error when the child cannot be started or waited for.
//
// The kernel counts a child's resident set from the fork, so the caller's own resident memory at that moment is a
// floor under peak_rss_kb: call this while the caller is still small.
ChildRun RunChild(const std::vector<std::string>& argv);
