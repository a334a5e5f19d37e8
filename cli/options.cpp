#include "cli/options.h"

#include <algorithm>
#include <cstdint>

const char kUsage[] =
    "Usage: kelvaro-cli [OPTIONS] FILE...\n"
    "Re-times subtitle files (.srt, .sub, .vtt) in place; the untouched input is kept as NAME_original.EXT.\n"
    "FILE - reads standard input and writes the result to standard output.\n"
    "\n"
    "  --add TIME             add TIME to every cue time\n"
    "  --reduce TIME          subtract TIME from every cue time\n"
    "                         TIME is H:MM:SS,mmm, H:MM:SS.mmm or seconds such as 2.5; at most 3:59:59,999\n"
    "  --reduce-number N      lower cue numbers by N (0 to 5000)\n"
    "  --switch-orientation   reverse every text line (right to left / left to right)\n"
    "  --from HH:MM:SS --to HH:MM:SS\n"
    "                         shift only the cue times inside this window, bounds included\n"
    "  --help                 show this help\n"
    "  --version              show the version\n"
    "\n"
    "Formats: SubRip (.srt, .sub) and WebVTT (.vtt; on standard input, text whose first line starts with WEBVTT).\n"
    "A timing line is START --> END: hours of one or more digits (WebVTT may leave them out), blanks anywhere around\n"
    "the arrow, ',' or '.' before 1 to 3 digits of milliseconds; whatever follows END is kept. A cue number is a line\n"
    "of digits right before a timing line. Lines that hold --> but no readable times, MicroDVD frame lines\n"
    "({start}{end}text) and SubViewer times are left as they are, and the run says so. WebVTT keeps its own syntax.\n"
    "\n"
    "Exit status: 0 when every file was done, 1 when any failed or was refused, 2 for a usage error.\n";

namespace {

constexpr std::uint32_t kMaxReduceNumber = 5000;
constexpr std::uint64_t kMaxOffsetMs = ((3ull * 60 + 59) * 60 + 59) * 1000 + 999;

constexpr std::size_t kAnyDigits = static_cast<std::size_t>(-1);
constexpr std::uint64_t kValueCap = 1ull << 40;  // far past every range checked here; values stop growing there

// Reads between `min_digits` and `max_digits` decimal digits at `*pos`.
bool ReadDigits(const std::string& text, std::size_t* pos, std::size_t min_digits, std::size_t max_digits,
                std::uint64_t* value) {
    std::size_t count = 0;
    *value = 0;
    while (*pos < text.size() && text[*pos] >= '0' && text[*pos] <= '9' && count < max_digits) {
        *value = std::min(*value * 10 + static_cast<std::uint64_t>(text[*pos] - '0'), kValueCap);
        ++*pos;
        ++count;
    }
    return count >= min_digits;
}

bool Expect(const std::string& text, std::size_t* pos, char c) {
    if (*pos < text.size() && text[*pos] == c) {
        ++*pos;
        return true;
    }
    return false;
}

// H:MM:SS with the fields' ranges; `hours_max` differs between an offset and a time of day.
bool ReadClock(const std::string& text, std::size_t* pos, std::uint64_t hours_max, std::uint64_t* seconds) {
    std::uint64_t hours, minutes, secs;
    if (!ReadDigits(text, pos, 1, 2, &hours) || !Expect(text, pos, ':') || !ReadDigits(text, pos, 2, 2, &minutes) ||
        !Expect(text, pos, ':') || !ReadDigits(text, pos, 2, 2, &secs)) {
        return false;
    }
    if (hours > hours_max || minutes > 59 || secs > 59) {
        return false;
    }
    *seconds = (hours * 60 + minutes) * 60 + secs;
    return true;
}

bool ParseMilliseconds(const std::string& text, std::uint64_t* total_ms) {
    std::size_t pos = 0;
    if (text.find(':') != std::string::npos) {
        std::uint64_t seconds, milliseconds = 0;
        if (!ReadClock(text, &pos, 3, &seconds)) {
            return false;
        }
        if (pos < text.size() && (Expect(text, &pos, ',') || Expect(text, &pos, '.')) &&
            !ReadDigits(text, &pos, 3, 3, &milliseconds)) {
            return false;
        }
        *total_ms = seconds * 1000 + milliseconds;
        return pos == text.size();
    }
    std::uint64_t seconds, fraction = 0;
    if (!ReadDigits(text, &pos, 1, kAnyDigits, &seconds)) {
        return false;
    }
    if (Expect(text, &pos, '.')) {
        const std::size_t start = pos;
        if (!ReadDigits(text, &pos, 1, 3, &fraction)) {
            return false;
        }
        for (std::size_t digits = pos - start; digits < 3; ++digits) {
            fraction *= 10;
        }
    }
    *total_ms = seconds * 1000 + fraction;
    return pos == text.size();
}

bool ParseReduceNumber(const std::string& text, std::uint32_t* number) {
    std::size_t pos = 0;
    std::uint64_t value;
    if (!ReadDigits(text, &pos, 1, kAnyDigits, &value) || pos != text.size() || value > kMaxReduceNumber) {
        return false;
    }
    *number = static_cast<std::uint32_t>(value);
    return true;
}

}  // namespace

bool ParseOffset(const std::string& text, SyncSettings* settings) {
    std::uint64_t total_ms;
    if (!ParseMilliseconds(text, &total_ms) || total_ms > kMaxOffsetMs) {
        return false;
    }
    settings->m_nHours = static_cast<std::uint32_t>(total_ms / 3600000);
    settings->m_nMinutes = static_cast<std::uint32_t>(total_ms / 60000 % 60);
    settings->m_nSeconds = static_cast<std::uint32_t>(total_ms / 1000 % 60);
    settings->m_nMilliseconds = static_cast<std::uint32_t>(total_ms % 1000);
    return true;
}

bool ParseTimeOfDay(const std::string& text, int* seconds) {
    std::size_t pos = 0;
    std::uint64_t value;
    if (!ReadClock(text, &pos, 23, &value) || pos != text.size()) {
        return false;
    }
    *seconds = static_cast<int>(value);
    return true;
}

bool ParseOptions(const std::vector<std::string>& args, CliOptions* options, std::string* error) {
    SyncSettings& settings = options->settings;
    settings.m_nDirection = 0;
    bool have_offset = false;
    bool have_from = false;
    bool have_to = false;
    bool only_files = false;
    int from_seconds = 0;
    int to_seconds = 0;

    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (only_files || arg == "-" || arg.compare(0, 2, "--") != 0) {
            if (!only_files && arg.size() > 1 && arg[0] == '-' && arg != "-") {
                *error = "unknown option '" + arg + "'";
                return false;
            }
            options->files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            only_files = true;
            continue;
        }
        std::string value;
        bool has_inline_value = false;
        const std::size_t equals = arg.find('=');
        if (equals != std::string::npos) {
            value = arg.substr(equals + 1);
            arg.resize(equals);
            has_inline_value = true;
        }
        const bool takes_value =
            arg == "--add" || arg == "--reduce" || arg == "--reduce-number" || arg == "--from" || arg == "--to";
        if (takes_value && !has_inline_value) {
            if (i + 1 >= args.size()) {
                *error = "option '" + arg + "' needs a value";
                return false;
            }
            value = args[++i];
        } else if (!takes_value && has_inline_value) {
            *error = "option '" + arg + "' takes no value";
            return false;
        }

        if (arg == "--add" || arg == "--reduce") {
            if (have_offset) {
                *error = "give at most one of --add and --reduce";
                return false;
            }
            if (!ParseOffset(value, &settings)) {
                *error = "invalid time '" + value + "' for " + arg + " (H:MM:SS,mmm or seconds, at most 3:59:59,999)";
                return false;
            }
            have_offset = true;
            settings.m_nDirection = arg == "--reduce" ? 1 : 0;
        } else if (arg == "--reduce-number") {
            if (!ParseReduceNumber(value, &settings.m_nReduceNumber)) {
                *error = "invalid number '" + value + "' for --reduce-number (0 to 5000)";
                return false;
            }
        } else if (arg == "--from" || arg == "--to") {
            int* seconds = arg == "--from" ? &from_seconds : &to_seconds;
            if (!ParseTimeOfDay(value, seconds)) {
                *error = "invalid time of day '" + value + "' for " + arg + " (HH:MM:SS)";
                return false;
            }
            (arg == "--from" ? have_from : have_to) = true;
        } else if (arg == "--switch-orientation") {
            settings.m_bSwitchOrientation = 1;
        } else if (arg == "--help") {
            options->show_help = true;
        } else if (arg == "--version") {
            options->show_version = true;
        } else {
            *error = "unknown option '" + arg + "'";
            return false;
        }
    }

    if (have_from != have_to) {
        *error = "give both --from and --to, or neither";
        return false;
    }
    if (have_from) {
        // The window is a time of day; any date serves, and the dialog's own is used.
        settings.m_bBetweenTimes = 1;
        settings.m_timeFrom = WindowTime(from_seconds / 3600, from_seconds / 60 % 60, from_seconds % 60);
        settings.m_timeTo = WindowTime(to_seconds / 3600, to_seconds / 60 % 60, to_seconds % 60);
    }
    if (options->files.empty() && !options->show_help && !options->show_version) {
        *error = "no FILE given";
        return false;
    }
    return true;
}
