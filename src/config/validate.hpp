// validate_config: existence, read, format by suffix, then JSON or YAML well-formedness.
#pragma once

#include <string>

#include "common/trainer_error.hpp"

namespace solvarinth::config {

enum class ConfigFormat { Json, Yaml };

// The format named by the end of the path text, compared byte for byte; empty for any other.
std::optional<ConfigFormat> format_of(std::string_view path) noexcept;

// Success, or the one error that the Python caller sees. The parsed document is discarded.
// on_signal is asked whenever a signal interrupts the blocking open or read of the file.
Outcome validate_config(const std::string& path, SignalCheck on_signal = nullptr);

}  // namespace solvarinth::config
