// YAML well-formedness check: libyaml's events of the first document, built as they arrive.
#pragma once

#include <optional>
#include <string_view>

#include "common/diagnostic.hpp"

namespace solvarinth::config {

// Empty when text is exactly one well-formed YAML document (an empty stream counts as one null
// document); otherwise the message that follows "Invalid YAML config: ", with its position.
std::optional<Diagnostic> check_yaml(std::string_view text);

}  // namespace solvarinth::config
