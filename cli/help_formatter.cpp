#include "cli/help_formatter.h"

#include <algorithm>
#include <vector>

namespace {

// Breaks each line of `text` at blanks so that none is longer than `width`; the pieces of a line keep its indent. A
// word longer than the width stays whole, on a line of its own.
std::string Wrap(const std::string& text, std::size_t width) {
    std::string wrapped;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string line = text.substr(start, end - start);
        if (line.size() <= width) {
            wrapped += line;
        } else {
            const std::string indent = line.substr(0, line.find_first_not_of(' '));
            std::string piece = indent;
            for (std::size_t word = indent.size(); word < line.size();) {
                const std::size_t word_end = std::min(line.find(' ', word), line.size());
                const std::string next = line.substr(word, word_end - word);
                if (piece.size() > indent.size() && piece.size() + 1 + next.size() > width) {
                    wrapped += piece + "\n";
                    piece = indent;
                }
                piece += (piece.size() > indent.size() ? " " : "") + next;
                word = line.find_first_not_of(' ', word_end);
                word = word == std::string::npos ? line.size() : word;
            }
            wrapped += piece;
        }
        if (end < text.size()) {
            wrapped += "\n";
        }
        start = end + 1;
    }
    return wrapped;
}

}  // namespace

HelpFormatter::HelpFormatter() {
    column_width(25);
}

std::string HelpFormatter::make_help(const CLI::App* app, std::string name, CLI::AppFormatMode) const {
    std::string text = make_usage(app, name) + Wrap(make_description(app), kHelpWidth);
    for (const std::string& group : app->get_groups()) {
        const std::vector<const CLI::Option*> options = app->get_options(
            [&group](const CLI::Option* option) { return option->get_group() == group && option->nonpositional(); });
        if (!group.empty() && !options.empty()) {
            text += make_group(group, false, options);
        }
    }
    return text + "\n" + Wrap(make_footer(app), kHelpWidth);
}

std::string HelpFormatter::make_option_name(const CLI::Option* option, bool is_positional) const {
    if (is_positional) {
        return Formatter::make_option_name(option, is_positional);
    }
    std::string names;
    for (const std::string& name : option->get_snames()) {
        names += (names.empty() ? "-" : ", -") + name;
    }
    for (const std::string& name : option->get_lnames()) {
        names += (names.empty() ? "--" : ", --") + name;
    }
    return names;
}

// An optional value is written right after the name, without a blank: --fix-rtl[=MODE].
std::string HelpFormatter::make_option_opts(const CLI::Option* option) const {
    const std::string opts = Formatter::make_option_opts(option);
    return opts.compare(0, 2, " [") == 0 ? opts.substr(1) : opts;
}

// The description starts at the column width, on the option's line or, after a long name, on the next one.
std::string HelpFormatter::make_option_desc(const CLI::Option* option) const {
    return Wrap(option->get_description(), kHelpWidth - column_width_);
}

// A positional may be left out only beside --help or --version, so the usage line shows it as needed.
std::string HelpFormatter::make_option_usage(const CLI::Option* option) const {
    return option->get_name(true, false) + "...";
}
