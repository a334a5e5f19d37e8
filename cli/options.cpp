#include "cli/options.h"

#include <CLI.hpp>
#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>

#include "cli/help_formatter.h"
#include "cli/option_values.h"

namespace {

const char kDescription[] =
    "Re-times subtitle files (.srt, .sub, .vtt) in place; the untouched input is kept as NAME_original.EXT.\n"
    "FILE - reads standard input and writes the result to standard output.";

const char kFooter[] =
    "Formats: SubRip (.srt, .sub) and WebVTT (.vtt; on standard input, text whose first line starts with WEBVTT).\n"
    "A timing line is START --> END: hours of one or more digits (WebVTT may leave them out), blanks anywhere around\n"
    "the arrow, ',' or '.' before 1 to 3 digits of milliseconds; whatever follows END is kept. A cue number is a line\n"
    "of digits right before a timing line. Lines that hold --> but no readable times, MicroDVD frame lines\n"
    "({start}{end}text) and SubViewer times are left as they are, and the run says so. WebVTT keeps its own syntax.\n"
    "\n"
    "Exit status: 0 when every file was done, 1 when any failed or was refused, 2 for a usage error.";

const char kTimeForm[] = " (H:MM:SS,mmm or seconds, at most 3:59:59,999)";

bool LooksLikeOption(const std::string& arg) {
    return arg.size() > 1 && arg[0] == '-';
}

// CLI11 keeps a "--" that ends the options among the arguments it did not take.
bool PastEndOfOptions(const CLI::App& app) {
    const std::vector<std::string> untaken = app.remaining();
    return std::find(untaken.begin(), untaken.end(), "--") != untaken.end();
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
    void AddOffsetOptions();
    void AddCueOptions();
    void AddWindowOptions();
    void AddOtherOptions();
    void AddFiles();
    void CheckCombinations() const;
    void ApplyWindow(int from_seconds, int to_seconds);

    CLI::App m_app;
    CliOptions* m_options;
    int m_from_seconds = 0;
    int m_to_seconds = 0;
};

CommandLine::CommandLine(CliOptions* options) : m_app(kDescription, "kelvaro-cli"), m_options(options) {
    m_app.formatter(std::make_shared<HelpFormatter>());
    m_app.footer(kFooter);
    m_app.set_help_flag();  // --help is an option like the others, so that a usage error beside it still counts
    m_app.allow_windows_style_options(false);  // "/dir/a.srt" is a file on Windows too
    m_app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)->disable_flag_override();
    AddOffsetOptions();
    AddCueOptions();
    AddWindowOptions();
    AddOtherOptions();
    AddFiles();
}

void CommandLine::AddValueOption(const char* group,
                                 const char* name,
                                 const char* type,
                                 const char* description,
                                 std::function<void(const std::string&)> take) {
    m_app.add_option_function<std::string>(name, std::move(take), description)->type_name(type)->group(group);
}

void CommandLine::AddOffsetOptions() {
    const auto offset = [this](std::string name, std::int32_t direction) {
        return [this, name, direction](const std::string& value) {
            if (!ParseOffset(value, &m_options->settings)) {
                throw CLI::ValidationError("invalid time '" + value + "' for " + name + kTimeForm);
            }
            m_options->settings.m_nDirection = direction;
        };
    };
    AddValueOption("Offset", "--add", "TIME", "add TIME to every cue time", offset("--add", 0));
    AddValueOption("Offset", "--reduce", "TIME",
                   "subtract TIME from every cue time\n"
                   "(TIME: H:MM:SS,mmm, H:MM:SS.mmm or seconds such as 2.5; at most 3:59:59,999)",
                   offset("--reduce", 1));
}

void CommandLine::AddCueOptions() {
    AddValueOption("Cue numbers and text", "--reduce-number", "N", "lower cue numbers by N (0 to 5000)",
                   [this](const std::string& value) {
                       if (!ParseReduceNumber(value, &m_options->settings.m_nReduceNumber)) {
                           throw CLI::ValidationError("invalid number '" + value + "' for --reduce-number (0 to 5000)");
                       }
                   });
    m_app
        .add_flag_callback(
            "--switch-orientation", [this] { m_options->settings.m_bSwitchOrientation = 1; },
            "reverse every text line (right to left / left to right)")
        ->group("Cue numbers and text");
}

void CommandLine::AddWindowOptions() {
    const auto time_of_day = [](std::string name, int* seconds) {
        return [name, seconds](const std::string& value) {
            if (!ParseTimeOfDay(value, seconds)) {
                throw CLI::ValidationError("invalid time of day '" + value + "' for " + name + " (HH:MM:SS)");
            }
        };
    };
    AddValueOption("Window", "--from", "HH:MM:SS",
                   "shift only the cue times inside a window that starts at this time of day, bounds included",
                   time_of_day("--from", &m_from_seconds));
    AddValueOption("Window", "--to", "HH:MM:SS", "the end of that window; give both --from and --to, or neither",
                   time_of_day("--to", &m_to_seconds));
}

void CommandLine::AddOtherOptions() {
    m_app.add_flag("--help", m_options->show_help, "show this help")->group("Other");
    m_app.add_flag("--version", m_options->show_version, "show the version")->group("Other");
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
    CheckCombinations();
    if (m_app.count("--from") > 0) {
        ApplyWindow(m_from_seconds, m_to_seconds);
    }
}

void CommandLine::CheckCombinations() const {
    if (m_app.count("--add") + m_app.count("--reduce") > 1) {
        throw CLI::ValidationError("give at most one of --add and --reduce");
    }
    if ((m_app.count("--from") > 0) != (m_app.count("--to") > 0)) {
        throw CLI::ValidationError("give both --from and --to, or neither");
    }
    if (m_options->files.empty() && !m_options->show_help && !m_options->show_version) {
        throw CLI::ValidationError("no FILE given");
    }
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
    CommandLine command_line(options);
    try {
        command_line.Parse(args);
    } catch (const CLI::ParseError& parse_error) {
        *error = command_line.Describe(parse_error);
        return false;
    }
    return true;
}

std::string HelpText() {
    CliOptions options;
    return CommandLine(&options).Help();
}
