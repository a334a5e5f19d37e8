#pragma once

#include <string>
#include <vector>

#include "engine/sync_settings.h"

// What the command line asks for. `settings` holds everything but the input file, which each of `files` supplies.
struct CliOptions {
    SyncSettings settings;
    std::vector<std::string> files;
    bool show_help = false;
    bool show_version = false;
    bool restore = false;  // put each FILE's backup of the last run back; nothing else is given with it
    bool dry_run = false;  // tell what a run would do, write nothing
    std::string output;    // when not empty, the result goes to this file and the one input FILE stays as it is
    bool force = false;    // `output` may replace an existing file
};

// Parses the arguments after the program name. On a usage error returns false and sets `*error` to a one-line
// description of what is wrong.
bool ParseOptions(const std::vector<std::string>& args, CliOptions* options, std::string* error);

// Expands the wildcards in `options->files` where the shell leaves them to the program (see ExpandWildcards), then
// checks again what depends on the number of FILEs. Does nothing for --help and --version. Called after
// ParseOptions; on a usage error (a pattern that matches no file, -o with several FILEs) returns false and sets
// `*error` as ParseOptions does.
bool ExpandFileNames(CliOptions* options, std::string* error);

// The text --help prints: a usage line, what the program does, the options by topic, time forms, formats and exit
// statuses; no line is longer than 80 columns.
std::string HelpText();
