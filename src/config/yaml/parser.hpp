// libyaml's event parser over an in-memory text, owned through RAII wrappers: the one source of
// YAML events, and the marks and messages that come from it.
#pragma once

#include <yaml.h>

#include <cstdint>
#include <string_view>

#include "common/diagnostic.hpp"

namespace solvarinth::config::yaml {

struct Mark {
    std::uint64_t line = 0;  // zero-based, as libyaml counts
    std::uint64_t column = 0;
};

inline Mark to_mark(const yaml_mark_t& m) { return Mark{m.line, m.column}; }

// Appends " at line L column C" (1-based), or nothing for the first character of the text,
// whose mark carries no information.
void append_mark(Diagnostic& message, Mark mark);

// A NUL-terminated libyaml string as a view; empty for a null pointer.
inline std::string_view text_of(const yaml_char_t* s) {
    return s ? std::string_view(reinterpret_cast<const char*>(s)) : std::string_view();
}

// One event owned by the caller; released whatever path leaves the scope.
class ParsedEvent {
public:
    ParsedEvent() = default;
    ~ParsedEvent() { reset(); }
    ParsedEvent(const ParsedEvent&) = delete;
    ParsedEvent& operator=(const ParsedEvent&) = delete;

    void reset() noexcept {
        if (live_) yaml_event_delete(&event_);
        live_ = false;
    }
    const yaml_event_t& operator*() const noexcept { return event_; }
    const yaml_event_t* operator->() const noexcept { return &event_; }

private:
    friend class Parser;
    yaml_event_t event_{};
    bool live_ = false;
};

class Parser {
public:
    // Parses text as UTF-8, less a leading byte-order mark. The text must outlive the parser.
    explicit Parser(std::string_view text);
    ~Parser() { yaml_parser_delete(&parser_); }
    Parser(const Parser&) = delete;
    Parser& operator=(const Parser&) = delete;

    // False on a parse error, whose description error_message() then gives.
    bool next(ParsedEvent& out);
    Diagnostic error_message() const;

private:
    yaml_parser_t parser_;
};

}  // namespace solvarinth::config::yaml
