// Output lines for failed configs. The message is printed exactly as the Python module raises
// it; only the GitHub format escapes, because its runner would otherwise read a line feed, a
// '%', or (inside a property) a ':' or ',' in a path or message as part of the command syntax.
#include "cli/report.hpp"

namespace solvarinth::cli {
namespace {

// Workflow-command data: '%', CR and LF are percent-encoded.
void append_data(std::string& out, std::string_view text) {
    for (const char c : text) {
        switch (c) {
            case '%': out += "%25"; break;
            case '\r': out += "%0D"; break;
            case '\n': out += "%0A"; break;
            default: out += c;
        }
    }
}

// Workflow-command property values: as data, and ':' and ',' too, which delimit properties.
void append_property(std::string& out, std::string_view text) {
    for (const char c : text) {
        switch (c) {
            case ':': out += "%3A"; break;
            case ',': out += "%2C"; break;
            default: append_data(out, std::string_view(&c, 1));
        }
    }
}

std::string text_line(std::string_view path, const TrainerError& error) {
    std::string line(path);
    if (error.position) {
        line += ':' + std::to_string(error.position->line) + ':' + std::to_string(error.position->column);
    }
    line += ": ";
    line += error.message;
    line += '\n';
    return line;
}

std::string github_line(std::string_view path, const TrainerError& error) {
    std::string line = "::error file=";
    append_property(line, path);
    if (error.position) {
        line += ",line=" + std::to_string(error.position->line) + ",col=" + std::to_string(error.position->column);
    }
    line += "::";
    append_data(line, error.message);
    line += '\n';
    return line;
}

}  // namespace

std::string report_line(Format format, std::string_view path, const TrainerError& error) {
    return format == Format::Github ? github_line(path, error) : text_line(path, error);
}

}  // namespace solvarinth::cli
