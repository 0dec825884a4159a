// A parser's failure text together with the first position the text shows.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace solvarinth {

// A place in the config text exactly as a message prints it: "line <line> column <column>".
struct TextPosition {
    std::uint64_t line;
    std::uint64_t column;

    bool operator==(const TextPosition&) const = default;
};

// The cause text of a config failure and the first position written into it, kept as data at the
// moment it is written so that tools never have to read positions back out of the text (a key or
// a parser's context may itself contain words like "line 3 column 4").
struct Diagnostic {
    std::string text;
    std::optional<TextPosition> position;
};

// Appends " at line L column C" and records the position if it is the first one shown.
void append_position(Diagnostic& diagnostic, TextPosition position);

}  // namespace solvarinth
