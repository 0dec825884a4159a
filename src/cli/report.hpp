// One failed config as one line of output, in the text or the GitHub workflow-command format.
#pragma once

#include <string>
#include <string_view>

#include "cli/options.hpp"
#include "common/trainer_error.hpp"

namespace solvarinth::cli {

// The line (with its line feed) that reports error for path in the given format.
std::string report_line(Format format, std::string_view path, const TrainerError& error);

}  // namespace solvarinth::cli
