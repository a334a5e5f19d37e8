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

// An offset: H:MM:SS,mmm or H:MM:SS.mmm (hours 0 to 3, minutes and seconds 0 to 59, milliseconds 0 to 999), H:MM:SS,
// or plain seconds with up to three decimals; at most 3:59:59,999. On success sets the four offset fields.
bool ParseOffset(const std::string& text, SyncSettings* settings);

// A time of day HH:MM:SS (hours 0 to 23); on success sets `*seconds` to the seconds since midnight.
bool ParseTimeOfDay(const std::string& text, int* seconds);

extern const char kUsage[];
