#include "cli/help_formatter.h"

#include <vector>

HelpFormatter::HelpFormatter() {
    column_width(25);
}

std::string HelpFormatter::make_help(const CLI::App* app, std::string name, CLI::AppFormatMode) const {
    std::string text = make_usage(app, name) + make_description(app);
    for (const std::string& group : app->get_groups()) {
        const std::vector<const CLI::Option*> options = app->get_options(
            [&group](const CLI::Option* option) { return option->get_group() == group && option->nonpositional(); });
        if (!group.empty() && !options.empty()) {
            text += make_group(group, false, options);
        }
    }
    return text + "\n" + make_footer(app);
}

// A positional may be left out only beside --help or --version, so the usage line shows it as needed.
std::string HelpFormatter::make_option_usage(const CLI::Option* option) const {
    return option->get_name(true, false) + "...";
}
