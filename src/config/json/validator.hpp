// Strict JSON well-formedness check over RapidJSON's SAX reader, with a nesting budget.
#pragma once

#include <cstddef>
#include <optional>

namespace solvarinth::config {

// Where and why a JSON text failed. description is a static string.
struct JsonError {
    const char* description;
    std::size_t offset;  // byte offset at which the error was detected (== size at end of text)
};

// Checks that text holds exactly one JSON value (RFC 8259, no extensions) and nothing but
// whitespace after it. text must be valid UTF-8 and text[size] a NUL byte; NUL bytes inside
// the text are allowed and rejected as the grammar says. Allocates nothing unless a number
// needs a second look (then one copy of the text).
std::optional<JsonError> check_json(const char* text, std::size_t size);

}  // namespace solvarinth::config
