#pragma once

#include <CLI.hpp>
#include <cstddef>
#include <string>

// CLI11's help layout with the usage line first, as GNU tools have it and help2man reads it: "Usage: NAME [OPTIONS]
// FILE...", the description, each option group under its own heading with one blank line between, then the footer.
// Positional arguments appear on the usage line only. An option with a short name shows both as "-o, --output".
// Texts are wrapped at blanks so that no line is longer than kHelpWidth columns.
class HelpFormatter : public CLI::Formatter {
  public:
    static constexpr std::size_t kHelpWidth = 80;

    HelpFormatter();

    std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const override;
    std::string make_option_name(const CLI::Option* option, bool is_positional) const override;
    std::string make_option_desc(const CLI::Option* option) const override;
    std::string make_option_opts(const CLI::Option* option) const override;
    std::string make_option_usage(const CLI::Option* option) const override;
};
