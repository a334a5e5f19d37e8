#include "cli/options.h"

#include <CLI.hpp>
#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>

#include "cli/help_formatter.h"
#include "cli/option_values.h"
#include "platform/code_page.h"
#include "platform/console.h"

namespace {

const char kDescription[] =
    "Re-times subtitle files (.srt, .sub, .vtt) in place; the untouched input is kept as NAME_original.EXT, which "
    "--restore puts back. FILE - reads standard input and writes the result to standard output. On Windows, * and ? "
    "in the last part of a FILE name stand for any characters and any one character, as a shell expands them "
    "elsewhere.";

const char kFooter[] =
    "TIME, for --add, --reduce and --shift, is at most 3:59:59,999: seconds (2, 2.5, 2,5: 1 to 3 digits after "
    "'.' or ','), seconds or whole milliseconds with their unit (2s, 2.5s, 500ms), M:SS (1:30, 1:30.25) or H:MM:SS "
    "(0:01:30,250), with a fraction as for seconds. Only --shift takes a sign: --shift -1.5 moves cues earlier, "
    "--shift +2 later.\n"
    "\n"
    "Formats: SubRip (.srt, .sub) and WebVTT (.vtt; on standard input, text whose first line starts with WEBVTT). "
    "A timing line is START --> END: hours of one or more digits (WebVTT may leave them out), blanks anywhere around "
    "the arrow, ',' or '.' before 1 to 3 digits of milliseconds; whatever follows END is kept. A cue number is a line "
    "of digits right before a timing line. Lines that hold --> but no readable times, MicroDVD frame lines "
    "({start}{end}text) and SubViewer times are left as they are, and the run says so. WebVTT keeps its own syntax.\n"
    "\n"
    "Exit status: 0 when every file was done, 1 when any failed or was refused, 2 for a usage error. A backup that "
    "was skipped does not count as a failure.";

const char kTimeForm[] = " (e.g. 2.5, 2s, 500ms, 1:30 or 0:01:30,250; at most 3:59:59,999)";

// The three ways to give an offset; a run takes one at most.
const char* const kOffsetOptions[] = {"--add", "--reduce", "--shift"};
// Options given twice are refused rather than "the last one wins": two offsets or two outputs in one command most
// likely come from a script that meant something else.
const char* const kSingleOptions[] = {"--add",         "--reduce",     "--shift",      "--output",
                                      "--code-page",   "--fix-rtl",    "--rtl-source", "--first-cue-at",
                                      "--last-cue-at", "--frame-rate", "--fps",        "--match"};
// The options that say where times go by points; none of them goes with an offset.
const char* const kPointOptions[] = {"--sync", "--first-cue-at", "--last-cue-at"};
// Everything --restore cannot go with: it puts a file back as it was, which no other option changes.
const char* const kNotWithRestore[] = {
    "--add",        "--reduce",  "--shift",  "--reduce-number", "--switch-orientation", "--from",
    "--to",         "--output",  "--force",  "--dry-run",       "--code-page",          "--fix-rtl",
    "--rtl-source", "--to-utf8", "--no-bom", "--sync",          "--first-cue-at",       "--last-cue-at",
    "--frame-rate", "--fps",     "--match"};

bool LooksLikeOption(const std::string& arg) {
    return arg.size() > 1 && arg[0] == '-';
}

// CLI11 keeps a "--" that ends the options among the arguments it did not take.
bool PastEndOfOptions(const CLI::App& app) {
    const std::vector<std::string> untaken = app.remaining();
    return std::find(untaken.begin(), untaken.end(), "--") != untaken.end();
}

// Why `value` is no TIME for --add (`direction` 0) or --reduce (1). A sign gets its own hint, with the two ways of
// saying what it most likely meant.
std::string InvalidTime(const std::string& value, const std::string& name, std::int32_t direction) {
    SyncSettings unused;
    if (!value.empty() && (value[0] == '-' || value[0] == '+') && ParseOffset(value.substr(1), &unused)) {
        const std::string magnitude = value.substr(1);
        const bool later = (direction == 0) == (value[0] == '+');
        return "invalid time '" + value + "' for " + name + ": a time here has no sign; use " +
               (later ? "--add " + magnitude + " or --shift +" : "--reduce " + magnitude + " or --shift -") + magnitude;
    }
    return "invalid time '" + value + "' for " + name + kTimeForm;
}

// Checks what depends on the FILE list, which may change when wildcards are expanded.
void CheckFiles(const CliOptions& options) {
    if (options.files.empty()) {
        return;  // told earlier, unless --help or --version is all the run does
    }
    if (!options.output.empty()) {
        if (options.files.size() != 1) {
            throw CLI::ValidationError("-o takes exactly one input FILE");
        }
        if (options.files[0] == "-") {
            throw CLI::ValidationError("with -, the result goes to standard output; use > to put it in a file");
        }
    }
    const bool reads_twice = options.settings.m_firstCueAt >= 0 || options.settings.m_lastCueAt >= 0 ||
                             !options.settings.m_matchReference.empty();
    if (reads_twice && std::find(options.files.begin(), options.files.end(), "-") != options.files.end()) {
        throw CLI::ValidationError(
            std::string(!options.settings.m_matchReference.empty() ? "--match"
                        : options.settings.m_firstCueAt >= 0       ? "--first-cue-at"
                                                                   : "--last-cue-at") +
            " reads the file once before rewriting it: give a FILE, as standard input (-) can be read only once");
    }
    if (options.restore && std::find(options.files.begin(), options.files.end(), "-") != options.files.end()) {
        throw CLI::ValidationError("--restore needs FILE names: standard input (-) has no backup");
    }
}

// The arguments of kelvaro-cli, read by CLI11 into a CliOptions; the checks that span options follow the reading.
class CommandLine {
  public:
    explicit CommandLine(CliOptions* options);

    // Reads `args`; throws CLI::ParseError on a usage error.
    void Parse(const std::vector<std::string>& args);
    // The program's wording for `error`, where CLI11's differs.
    std::string Describe(const CLI::ParseError& error) const;
    std::string Help() const { return m_app.help(); }

  private:
    void AddValueOption(const char* group,
                        const char* name,
                        const char* type,
                        const char* description,
                        std::function<void(const std::string&)> take);
    void AddFlag(const char* group, const char* name, bool* flag, const char* description);
    void AddOffsetOptions();
    void AddCueOptions();
    void AddDriftOptions();
    void ApplyDrift();
    std::size_t Given(const char* const* names, std::size_t count) const;
    void AddRightToLeftOptions(const char* group);
    void AddWindowOptions();
    void AddOutputOptions();
    void AddOtherOptions();
    void AddFiles();
    void CheckCombinations() const;
    bool AsksForWork() const;
    void ApplyWindow(int from_seconds, int to_seconds);

    CLI::App m_app;
    CliOptions* m_options;
    int m_from_seconds = 0;
    int m_to_seconds = 0;
    std::string m_fix_rtl_mode;
    // --sync: each time as in the file, and where it should go.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> m_sync_points;
    bool m_has_rates = false;
    FrameRate m_rate_from;
    FrameRate m_rate_to;
};

CommandLine::CommandLine(CliOptions* options) : m_app(kDescription, "kelvaro-cli"), m_options(options) {
    m_app.formatter(std::make_shared<HelpFormatter>());
    m_app.footer(kFooter);
    m_app.set_help_flag();  // --help is an option like the others, so that a usage error beside it still counts
    m_app.allow_windows_style_options(false);  // "/dir/a.srt" is a file on Windows too
    m_app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)->disable_flag_override();
    AddOffsetOptions();
    AddDriftOptions();
    AddCueOptions();
    AddWindowOptions();
    AddOutputOptions();
    AddOtherOptions();
    AddFiles();
}

// CLI11 takes the value of an option that needs one whatever it looks like, so "--shift -1.5" and "--add -1" reach
// the callbacks, which tell the sign apart.
void CommandLine::AddValueOption(const char* group,
                                 const char* name,
                                 const char* type,
                                 const char* description,
                                 std::function<void(const std::string&)> take) {
    m_app.add_option_function<std::string>(name, std::move(take), description)->type_name(type)->group(group);
}

void CommandLine::AddFlag(const char* group, const char* name, bool* flag, const char* description) {
    m_app.add_flag(name, *flag, description)->group(group);
}

void CommandLine::AddOffsetOptions() {
    const auto offset = [this](std::string name, std::int32_t direction) {
        return [this, name, direction](const std::string& value) {
            if (!ParseOffset(value, &m_options->settings)) {
                throw CLI::ValidationError(InvalidTime(value, name, direction));
            }
            m_options->settings.m_nDirection = direction;
        };
    };
    const char group[] = "Offset (give one)";
    AddValueOption(group, "--add", "TIME", "move every cue time later by TIME\n(e.g. --add 2.5)", offset("--add", 0));
    AddValueOption(group, "--reduce", "TIME", "move every cue time earlier by TIME\n(e.g. --reduce 0:00:01,500)",
                   offset("--reduce", 1));
    AddValueOption(group, "--shift", "TIME",
                   "move every cue time by TIME: later, or earlier when TIME starts with -\n"
                   "(e.g. --shift -1.5, --shift +2)",
                   [this](const std::string& value) {
                       if (!ParseSignedOffset(value, &m_options->settings)) {
                           throw CLI::ValidationError("invalid time '" + value + "' for --shift" + kTimeForm);
                       }
                   });
}

// A position in the film, in the forms of TIME.
bool ParseFilmTime(const std::string& text, std::uint32_t* ms) {
    SyncSettings time;
    if (!ParseOffset(text, &time)) {
        return false;
    }
    time.m_nDirection = 0;
    *ms = static_cast<std::uint32_t>(time.OffsetMs());
    return true;
}

void CommandLine::AddDriftOptions() {
    const char group[] = "Drift (a change of speed too)";
    m_app
        .add_option_function<std::vector<std::string>>(
            "--sync",
            [this](const std::vector<std::string>& values) {
                for (const std::string& value : values) {
                    const std::size_t equals = value.find('=');
                    std::uint32_t from = 0;
                    std::uint32_t to = 0;
                    if (equals == std::string::npos || !ParseFilmTime(value.substr(0, equals), &from) ||
                        !ParseFilmTime(value.substr(equals + 1), &to)) {
                        throw CLI::ValidationError("invalid point '" + value +
                                                   "' for --sync: give TIME=TIME, the time of a cue in the file and "
                                                   "where it should be (e.g. 1:02.5=1:04)");
                    }
                    m_sync_points.emplace_back(from, to);
                }
            },
            "the cue time A, as it is in the file, should be B; once: a shift to B; twice: a change of speed "
            "through both points\n(e.g. --sync 0:01:02,345=0:01:04,000 --sync 1:50:10=1:45:00)")
        ->type_name("A=B")
        ->expected(1)  // a value an occurrence, so that FILE is never taken for a point
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->group(group);
    const auto cue_at = [](std::string name, std::int64_t* target) {
        return [name, target](const std::string& value) {
            std::uint32_t ms = 0;
            if (!ParseFilmTime(value, &ms)) {
                throw CLI::ValidationError("invalid time '" + value + "' for " + name + kTimeForm);
            }
            *target = ms;
        };
    };
    AddValueOption(group, "--first-cue-at", "TIME",
                   "the first cue should start at TIME (read from the file before it is rewritten)\n"
                   "(e.g. --first-cue-at 0:00:41,200)",
                   cue_at("--first-cue-at", &m_options->settings.m_firstCueAt));
    AddValueOption(group, "--last-cue-at", "TIME",
                   "the last cue should start at TIME; with --first-cue-at, a change of speed through both\n"
                   "(e.g. --first-cue-at 41.2 --last-cue-at 1:51:03)",
                   cue_at("--last-cue-at", &m_options->settings.m_lastCueAt));
    AddValueOption(group, "--frame-rate", "FROM:TO",
                   "the subtitles are timed for a video of FROM frames a second and are to be played with one of TO: "
                   "every time is multiplied by FROM/TO\n(e.g. --frame-rate 25:23.976 makes a PAL file fit the film; "
                   "also 24000/1001)",
                   [this](const std::string& value) {
                       const std::size_t colon = value.find(':');
                       if (colon == std::string::npos || !FrameRate::Parse(value.substr(0, colon), &m_rate_from) ||
                           !FrameRate::Parse(value.substr(colon + 1), &m_rate_to)) {
                           throw CLI::ValidationError("invalid frame rates '" + value +
                                                      "' for --frame-rate (FROM:TO, e.g. 25:23.976 or "
                                                      "24000/1001:25)");
                       }
                       m_has_rates = true;
                   });
    AddValueOption(group, "--match", "REFERENCE",
                   "find the speed, the offset and any cuts from REFERENCE, a subtitle of the same video that is "
                   "already in sync (any language; .srt, .sub or .vtt); nothing is written when they do not match "
                   "well\n(e.g. --match english.srt --dry-run hebrew.srt)",
                   [this](const std::string& value) {
                       if (value == "-") {
                           throw CLI::ValidationError(
                               "--match needs a REFERENCE file: standard input (-) cannot be the reference");
                       }
                       m_options->settings.m_matchReference = value;
                   });
    AddValueOption(group, "--fps", "RATE",
                   "the frame rate of a MicroDVD file ({start}{end}text), whose frames are moved as times; by "
                   "default the rate on its first line ({1}{1}23.976)\n(e.g. --fps 23.976 --add 2 film.sub)",
                   [this](const std::string& value) {
                       if (!FrameRate::Parse(value, &m_options->settings.m_fps)) {
                           throw CLI::ValidationError("invalid frame rate '" + value +
                                                      "' for --fps (e.g. 25, 23.976 or 24000/1001)");
                       }
                   });
}

std::size_t CommandLine::Given(const char* const* names, std::size_t count) const {
    return static_cast<std::size_t>(
        std::count_if(names, names + count, [this](const char* name) { return m_app.count(name) > 0; }));
}

// The correction the drift options ask for; the checks that need the file come with the run.
void CommandLine::ApplyDrift() {
    SyncSettings& settings = m_options->settings;
    const TimeTransform speed = m_has_rates ? TimeTransform::Rates(m_rate_from, m_rate_to) : TimeTransform();
    if (m_has_rates && !speed.SpeedIsLikely()) {
        throw CLI::ValidationError("--frame-rate " + m_rate_from.ToString() + ":" + m_rate_to.ToString() +
                                   " gives a speed of " + speed.SpeedText() +
                                   ", which is most likely a mistake (it must be from 50 % to 200 %)");
    }
    settings.m_drift = speed;
    if (m_sync_points.size() == 1) {
        settings.m_drift = speed.AnchoredAt(m_sync_points[0].first, m_sync_points[0].second);
    } else if (m_sync_points.size() == 2) {
        const auto [from1, to1] = m_sync_points[0];
        const auto [from2, to2] = m_sync_points[1];
        if (from1 == from2) {
            throw CLI::ValidationError("the two points of --sync start from the same time");
        }
        settings.m_drift = TimeTransform::ThroughPoints(from1, to1, from2, to2);
        if (!settings.m_drift.SpeedIsLikely()) {
            throw CLI::ValidationError("the two points of --sync give a speed of " + settings.m_drift.SpeedText() +
                                       ", which is most likely a mistake (it must be from 50 % to 200 %)");
        }
    }
}

void CommandLine::AddCueOptions() {
    const char group[] = "Cue numbers and text";
    AddValueOption(group, "--reduce-number", "N", "lower cue numbers by N (0 to 5000)\n(e.g. --reduce-number 1)",
                   [this](const std::string& value) {
                       if (!ParseReduceNumber(value, &m_options->settings.m_nReduceNumber)) {
                           throw CLI::ValidationError("invalid number '" + value + "' for --reduce-number (0 to 5000)");
                       }
                   });
    m_app
        .add_flag_callback(
            "--switch-orientation", [this] { m_options->settings.m_bSwitchOrientation = 1; },
            "for players that cannot show right-to-left text: write each text line in the order a bidi-aware player "
            "shows it (lines with no Hebrew or Arabic letter are reversed)\n(e.g. --switch-orientation film.srt)")
        ->group(group);
    AddRightToLeftOptions(group);
    AddValueOption(group, "--code-page", "NAME",
                   "the code page of lines that are not UTF-8, for --switch-orientation, --fix-rtl and --to-utf8: "
                   "windows-1255 (Hebrew), "
                   "windows-1256 (Arabic, Persian) or windows-1252; by default Windows' own code page when it is "
                   "one of the first two, else the file's bytes decide\n(e.g. --code-page windows-1256)",
                   [this](const std::string& value) {
                       if (!ParseCodePage(value, &m_options->settings.m_codePage)) {
                           throw CLI::ValidationError("unknown code page '" + value +
                                                      "' for --code-page (windows-1255, windows-1256 or "
                                                      "windows-1252)");
                       }
                   });
}

void CommandLine::AddRightToLeftOptions(const char* group) {
    // A flag with an optional value: "--fix-rtl film.srt" must not take the file for the mode.
    std::string* mode = &m_fix_rtl_mode;
    m_app
        .add_flag("--fix-rtl{all-players}", *mode,
                  "bring lines with a Hebrew, Arabic or Persian letter into one form: all-players (the default: "
                  "logical order wrapped in RLE ... PDF, or RLM ... RLM in a single-byte file, right in every "
                  "player), ltr-players (punctuation moved for players that lay out every line left to right) or "
                  "logical (for players that take the direction from the text); other lines stay as they are\n"
                  "(e.g. --fix-rtl, --fix-rtl=ltr-players)")
        ->disable_flag_override(false)
        ->type_name("[=MODE]")
        ->group(group);
    AddValueOption(
        group, "--rtl-source", "FORM",
        "how the file has its right-to-left lines: community (punctuation moved for left-to-right "
        "players) or logical; by default the lines tell, and a file where they do not is refused\n"
        "(e.g. --fix-rtl --rtl-source=community)",
        [this](const std::string& value) {
            if (!ParseRtlSource(value, &m_options->settings.m_rtlSource)) {
                throw CLI::ValidationError("unknown form '" + value + "' for --rtl-source (community or logical)");
            }
        });
    m_app
        .add_flag_callback(
            "--to-utf8", [this] { m_options->settings.m_bToUtf8 = 1; },
            "store the result as UTF-8, with a byte-order mark; lines in a code page are converted from it (see "
            "--code-page)\n(e.g. --to-utf8 film.srt)")
        ->group(group);
    m_app
        .add_flag_callback(
            "--no-bom", [this] { m_options->settings.m_bByteOrderMark = 0; },
            "with --to-utf8: no byte-order mark, for players that show it")
        ->group(group);
}

void CommandLine::AddWindowOptions() {
    const auto time_of_day = [](std::string name, int* seconds) {
        return [name, seconds](const std::string& value) {
            if (!ParseTimeOfDay(value, seconds)) {
                throw CLI::ValidationError("invalid time of day '" + value + "' for " + name + " (HH:MM:SS)");
            }
        };
    };
    const char group[] = "Window";
    AddValueOption(group, "--from", "HH:MM:SS",
                   "shift only the cue times from this time of day to --to, both included\n"
                   "(e.g. --from 00:30:00 --to 01:00:00)",
                   time_of_day("--from", &m_from_seconds));
    AddValueOption(group, "--to", "HH:MM:SS", "the end of that window, later than --from; give both or neither",
                   time_of_day("--to", &m_to_seconds));
}

void CommandLine::AddOutputOptions() {
    const char group[] = "Output and backup";
    AddValueOption(group, "-o,--output", "FILE",
                   "write the result to FILE and leave the one input FILE as it is, with no backup\n"
                   "(e.g. --add 2 -o fixed.srt film.srt)",
                   [this](const std::string& value) {
                       if (value.empty()) {
                           throw CLI::ValidationError("option '--output' needs a value");
                       }
                       if (value == "-") {
                           throw CLI::ValidationError(
                               "-o needs a file name; for the result on standard output, give - as FILE and the "
                               "input with <");
                       }
                       m_options->output = value;
                   });
    AddFlag(group, "--force", &m_options->force, "let -o replace a FILE that exists\n(e.g. -o fixed.srt --force)");
    AddFlag(group, "--dry-run", &m_options->dry_run,
            "tell what a run would do, and write nothing\n(e.g. --dry-run --add 2 film.srt)");
    AddFlag(group, "--restore", &m_options->restore,
            "put back each FILE as the last run found it (NAME_original.EXT); takes no other option\n"
            "(e.g. --restore film.srt)");
}

void CommandLine::AddOtherOptions() {
    AddFlag("Other", "-h,--help", &m_options->show_help, "show this help");
    AddFlag("Other", "-V,--version", &m_options->show_version, "show the version");
}

void CommandLine::AddFiles() {
    // CLI11 takes a dash and a digit ("-5") for a negative number, so it would pass as a file; before "--" it is
    // refused here, and CLI11 then reports it as unexpected like any other unknown option.
    const CLI::Validator not_an_option(
        [this](std::string& file) {
            return LooksLikeOption(file) && !PastEndOfOptions(m_app) ? std::string("an option") : std::string();
        },
        "");
    m_app.add_option("FILE", m_options->files)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->check(not_an_option);
    m_app.validate_positionals();
}

void CommandLine::Parse(const std::vector<std::string>& args) {
    std::vector<std::string> reversed(args.rbegin(), args.rend());  // CLI11 reads from the back
    m_app.parse(reversed);
    ApplyDrift();
    if (m_app.count("--fix-rtl") > 0 && !ParseRtlFixMode(m_fix_rtl_mode, &m_options->settings.m_rtlFix)) {
        throw CLI::ValidationError("unknown mode '" + m_fix_rtl_mode +
                                   "' for --fix-rtl (all-players, ltr-players or logical)");
    }
    CheckCombinations();
    if (m_app.count("--from") > 0) {
        ApplyWindow(m_from_seconds, m_to_seconds);
    }
}

void CommandLine::CheckCombinations() const {
    for (const char* name : kSingleOptions) {
        if (m_app.count(name) > 1) {
            throw CLI::ValidationError("option '" + std::string(name) + "' given more than once");
        }
    }
    if (std::count_if(std::begin(kOffsetOptions), std::end(kOffsetOptions),
                      [this](const char* name) { return m_app.count(name) > 0; }) > 1) {
        throw CLI::ValidationError("give only one of --add, --reduce and --shift");
    }
    const std::size_t offsets = Given(kOffsetOptions, std::size(kOffsetOptions));
    const std::size_t point_kinds = Given(kPointOptions, std::size(kPointOptions));
    const std::size_t points =
        m_sync_points.size() + (m_app.count("--first-cue-at") > 0 ? 1 : 0) + (m_app.count("--last-cue-at") > 0 ? 1 : 0);
    if (offsets > 0 && point_kinds > 0) {
        throw CLI::ValidationError(std::string("give only one of ") +
                                   (m_app.count("--add") > 0      ? "--add"
                                    : m_app.count("--reduce") > 0 ? "--reduce"
                                                                  : "--shift") +
                                   " and " + (m_sync_points.empty() ? "--first-cue-at and --last-cue-at" : "--sync") +
                                   ": both say where the times go");
    }
    if (m_sync_points.size() > 2) {
        throw CLI::ValidationError("--sync given " + std::to_string(m_sync_points.size()) +
                                   " times: two points already set the speed and the offset");
    }
    if (!m_sync_points.empty() && points > m_sync_points.size()) {
        throw CLI::ValidationError("give points with --sync or with --first-cue-at and --last-cue-at, not both");
    }
    if (m_app.count("--match") > 0) {
        for (const char* name :
             {"--add", "--reduce", "--shift", "--sync", "--first-cue-at", "--last-cue-at", "--frame-rate", "--from"}) {
            if (m_app.count(name) > 0) {
                throw CLI::ValidationError(std::string("give only one of --match and ") +
                                           (std::string(name) == "--from" ? "--from/--to" : name) +
                                           ": --match finds where every cue goes");
            }
        }
    }
    if (m_has_rates && points > 1) {
        throw CLI::ValidationError("give only one of --frame-rate and two points: both set the speed");
    }
    if ((m_app.count("--from") > 0) != (m_app.count("--to") > 0)) {
        throw CLI::ValidationError("give both --from and --to, or neither");
    }
    if (m_app.count("--from") > 0 && m_from_seconds >= m_to_seconds) {
        throw CLI::ValidationError("--from must be earlier than --to");
    }
    if (m_options->restore) {
        for (const char* name : kNotWithRestore) {
            if (m_app.count(name) > 0) {
                throw CLI::ValidationError("--restore takes no other option: leave out " + std::string(name));
            }
        }
    }
    const SyncSettings& settings = m_options->settings;
    const bool fixes = m_app.count("--fix-rtl") > 0;
    if (m_options->restore) {
        // told above
    } else if (m_app.count("--code-page") > 0 && settings.m_bSwitchOrientation == 0 && !fixes &&
               settings.m_bToUtf8 == 0) {
        throw CLI::ValidationError(
            "--code-page goes only with --switch-orientation, --fix-rtl or --to-utf8, which read lines in it");
    } else if (fixes && settings.m_bSwitchOrientation != 0) {
        throw CLI::ValidationError(
            "give only one of --fix-rtl and --switch-orientation: they write right-to-left lines in different ways");
    } else if (m_app.count("--rtl-source") > 0 && !fixes) {
        throw CLI::ValidationError("--rtl-source goes only with --fix-rtl, which reads lines by it");
    } else if (settings.m_bByteOrderMark == 0 && settings.m_bToUtf8 == 0) {
        throw CLI::ValidationError("--no-bom goes only with --to-utf8; a run keeps the byte-order mark of a file");
    }
    if (m_options->force && m_options->output.empty()) {
        throw CLI::ValidationError("--force goes only with -o, whose FILE it lets be replaced");
    }
    const bool informs_only = m_options->show_help || m_options->show_version;
    if (m_options->files.empty() && !informs_only) {
        throw CLI::ValidationError("no FILE given");
    }
    CheckFiles(*m_options);
    if (!informs_only && !m_options->restore && !AsksForWork()) {
        throw CLI::ValidationError(
            "nothing to do: give --add, --reduce or --shift TIME, --sync, --frame-rate, --match, --reduce-number N, "
            "--switch-orientation, --fix-rtl or --to-utf8");
    }
}

// An option that re-times counts even when its value is 0 (--add 0, --reduce-number 0): it is what the user asked
// for, and a script that works out the value gets 0 as one answer among others, which must not turn into a usage
// error. --dry-run, -o and a window alone ask for nothing.
bool CommandLine::AsksForWork() const {
    return std::any_of(std::begin(kOffsetOptions), std::end(kOffsetOptions),
                       [this](const char* name) { return m_app.count(name) > 0; }) ||
           m_app.count("--reduce-number") > 0 || m_options->settings.m_bSwitchOrientation != 0 ||
           m_app.count("--fix-rtl") > 0 || m_options->settings.m_bToUtf8 != 0 ||
           Given(kPointOptions, std::size(kPointOptions)) > 0 || m_has_rates || m_app.count("--match") > 0;
}

void CommandLine::ApplyWindow(int from_seconds, int to_seconds) {
    SyncSettings& settings = m_options->settings;
    // The window is a time of day; any date serves, and the dialog's own is used.
    settings.m_bBetweenTimes = 1;
    settings.m_timeFrom = WindowTime(from_seconds / 3600, from_seconds / 60 % 60, from_seconds % 60);
    settings.m_timeTo = WindowTime(to_seconds / 3600, to_seconds / 60 % 60, to_seconds % 60);
}

std::string CommandLine::Describe(const CLI::ParseError& error) const {
    if (dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr) {
        for (const std::string& arg : m_app.remaining()) {
            if (arg != "--") {
                return "unknown option '" + arg + "'";
            }
        }
    }
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr) {
        // A value missing, or one given to a flag. CLI11 begins the message with the option's name, with or without
        // its dashes.
        const std::string what = error.what();
        std::string name = what.substr(0, what.find_first_of(": "));
        name = "--" + name.substr(std::min(name.find_first_not_of('-'), name.size()));
        if (const CLI::Option* option = m_app.get_option_no_throw(name)) {
            return "option '" + name + (option->get_items_expected_max() == 0 ? "' takes no value" : "' needs a value");
        }
    }
    return error.what();
}

}  // namespace

bool ParseOptions(const std::vector<std::string>& args, CliOptions* options, std::string* error) {
    options->settings.m_nDirection = 0;
    options->settings.m_codePage = CodePageFromAnsiNumber(AnsiCodePageNumber());
    CommandLine command_line(options);
    try {
        command_line.Parse(args);
    } catch (const CLI::ParseError& parse_error) {
        *error = command_line.Describe(parse_error);
        return false;
    }
    return true;
}

bool ExpandFileNames(CliOptions* options, std::string* error) {
    if (options->show_help || options->show_version) {
        return true;
    }
    const Status expanded = ExpandWildcards(&options->files);
    if (!expanded.ok()) {
        *error = expanded.message();
        return false;
    }
    try {
        CheckFiles(*options);
    } catch (const CLI::ValidationError& invalid) {
        *error = invalid.what();
        return false;
    }
    return true;
}

std::string HelpText() {
    CliOptions options;
    return CommandLine(&options).Help();
}
