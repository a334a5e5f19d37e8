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
};

// Parses the arguments after the program name. On a usage error returns false and sets `*error` to a one-line
// description of what is wrong.
bool ParseOptions(const std::vector<std::string>& args, CliOptions* options, std::string* error);

// The text --help prints: a usage line, what the program does, the options by topic, formats and exit statuses.
std::string HelpText();
