// Command-line parsing of solvarinth-check. Anything after "--" is a path, so that a config
// whose name starts with a dash can still be checked.
#include "cli/options.hpp"

#include <optional>

namespace solvarinth::cli {
namespace {

// What --help prints after the usage line.
constexpr std::string_view kAbout =
    "\n"
    "Checks each JSON (.json) or YAML (.yaml, .yml) training config exactly as\n"
    "solvarinth_trainer.train_from_config does before it launches a run.\n"
    "Prints nothing for a good file and one line for a bad one:\n"
    "  text:   PATH:LINE:COLUMN: MESSAGE   (or PATH: MESSAGE without a position)\n"
    "  github: ::error file=PATH,line=LINE,col=COLUMN::MESSAGE\n"
    "\n"
    "options:\n"
    "  --format text|github  output format (default: text)\n"
    "  -h, --help            show this help and exit\n"
    "  --version             show the version and exit\n"
    "  --                    treat every later argument as a path\n"
    "\n"
    "exit status: 0 every file passed, 1 some file failed, 2 usage error\n";

std::optional<Format> format_named(std::string_view name) {
    if (name == "text") return Format::Text;
    if (name == "github") return Format::Github;
    return std::nullopt;
}

Options usage_error(std::string problem) {
    Options options;
    options.action = Action::UsageError;
    options.problem = std::move(problem);
    return options;
}

}  // namespace

std::string help_text() { return std::string(kUsage).append(kAbout); }

Options parse_options(int argc, char** argv) {
    Options options;
    bool only_paths = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        // A lone "-" is an ordinary (odd) file name: standard input is not read.
        if (only_paths || arg.size() < 2 || arg[0] != '-') {
            options.paths.emplace_back(arg);
        } else if (arg == "--") {
            only_paths = true;
        } else if (arg == "-h" || arg == "--help") {
            options.action = Action::Help;
            return options;
        } else if (arg == "--version") {
            options.action = Action::Version;
            return options;
        } else if (arg == "--format" || arg.starts_with("--format=")) {
            std::string_view value;
            if (arg == "--format") {
                if (++i == argc) return usage_error("--format needs a value: text or github");
                value = argv[i];
            } else {
                value = arg.substr(9);
            }
            const std::optional<Format> format = format_named(value);
            if (!format) return usage_error("unknown format '" + std::string(value) + "' (text or github)");
            options.format = *format;
        } else {
            return usage_error("unknown option '" + std::string(arg) + "'");
        }
    }
    if (options.paths.empty()) return usage_error("no PATH given");
    return options;
}

}  // namespace solvarinth::cli
