// The libyaml parser wrapper: input set-up, event delivery, and libyaml's error as a message.
#include "config/yaml/parser.hpp"

#include <string>

#include "common/fault.hpp"

namespace solvarinth::config::yaml {
namespace {

// A leading byte-order mark is not content. With the encoding fixed to UTF-8, libyaml's reader
// keeps it and its scanner skips it while counting it as a column, so the first line would sit
// one column to the right of the rest. The scanner gets the text after it instead: every verdict,
// mark and offset is then that of the same text without the mark.
std::string_view without_byte_order_mark(std::string_view text) {
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
    return text;
}

bool same_place(const yaml_mark_t& a, const yaml_mark_t& b) {
    return a.line == b.line && a.column == b.column;
}

}  // namespace

void append_mark(Diagnostic& message, Mark mark) {
    if (mark.line == 0 && mark.column == 0) return;
    append_position(message, TextPosition{mark.line + 1, mark.column + 1});
}

Parser::Parser(std::string_view text) {
    if (!yaml_parser_initialize(&parser_)) fatal(kOutOfMemory);
    text = without_byte_order_mark(text);
    yaml_parser_set_input_string(&parser_, reinterpret_cast<const unsigned char*>(text.data()),
                                 text.size());
    // The text has already been checked as UTF-8; no detection from its first bytes.
    yaml_parser_set_encoding(&parser_, YAML_UTF8_ENCODING);
}

bool Parser::next(ParsedEvent& out) {
    out.reset();
    if (!yaml_parser_parse(&parser_, &out.event_)) {
        if (parser_.error == YAML_MEMORY_ERROR) fatal(kOutOfMemory);
        return false;
    }
    out.live_ = true;
    return true;
}

Diagnostic Parser::error_message() const {
    Diagnostic message{parser_.problem ? parser_.problem : "libyaml parser failed but there is no error",
                       std::nullopt};
    const yaml_mark_t& problem = parser_.problem_mark;
    if (problem.line != 0 || problem.column != 0) {
        append_mark(message, to_mark(problem));
    } else if (parser_.problem_offset != 0) {
        message.text += " at position " + std::to_string(parser_.problem_offset);
    }
    if (parser_.context) {
        message.text += ", ";
        message.text += parser_.context;
        if (!same_place(parser_.context_mark, problem)) append_mark(message, to_mark(parser_.context_mark));
    }
    return message;
}

}  // namespace solvarinth::config::yaml
