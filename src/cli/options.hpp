// Command-line parsing of solvarinth-check: options, paths and usage errors.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace solvarinth::cli {

enum class Format { Text, Github };

enum class Action { Check, Help, Version, UsageError };

struct Options {
    Action action = Action::Check;
    Format format = Format::Text;
    std::vector<std::string> paths;  // byte strings exactly as given, in argument order
    std::string problem;             // UsageError: what was wrong, for standard error
};

// The usage line: the head of --help, and the last line of every usage error.
inline constexpr std::string_view kUsage = "usage: solvarinth-check [--format text|github] PATH...\n";

// The text --help prints: the usage line, what the command does and its exit statuses.
std::string help_text();

Options parse_options(int argc, char** argv);

}  // namespace solvarinth::cli
