// Event collection: libyaml's event parser over the in-memory text, owned through RAII wrappers,
// with each event copied into the document's compact form and released at once.
#include "config/yaml_events.hpp"

#include <yaml.h>

#include <functional>
#include <map>

#include "common/fault.hpp"
#include "common/utf8.hpp"

namespace solvarinth::config::yaml {
namespace {

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

// A leading byte-order mark is not content. With the encoding fixed to UTF-8, libyaml's reader
// keeps it and its scanner skips it while counting it as a column, so the first line would sit
// one column to the right of the rest. The scanner gets the text after it instead: every verdict,
// mark and offset is then that of the same text without the mark.
std::string_view without_byte_order_mark(std::string_view text) {
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
    return text;
}

class Parser {
public:
    explicit Parser(std::string_view text) {
        if (!yaml_parser_initialize(&parser_)) fatal(kOutOfMemory);
        text = without_byte_order_mark(text);
        yaml_parser_set_input_string(&parser_, reinterpret_cast<const unsigned char*>(text.data()),
                                     text.size());
        // The text has already been checked as UTF-8; no detection from its first bytes.
        yaml_parser_set_encoding(&parser_, YAML_UTF8_ENCODING);
    }
    ~Parser() { yaml_parser_delete(&parser_); }
    Parser(const Parser&) = delete;
    Parser& operator=(const Parser&) = delete;

    // False on a parse error, whose description error_message() then gives.
    bool next(ParsedEvent& out) {
        out.reset();
        if (!yaml_parser_parse(&parser_, &out.event_)) {
            if (parser_.error == YAML_MEMORY_ERROR) fatal(kOutOfMemory);
            return false;
        }
        out.live_ = true;
        return true;
    }

    Diagnostic error_message() const;

private:
    yaml_parser_t parser_;
};

Mark to_mark(const yaml_mark_t& m) { return Mark{m.line, m.column}; }

bool same_place(const yaml_mark_t& a, const yaml_mark_t& b) {
    return a.line == b.line && a.column == b.column;
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

std::string_view text_of(const yaml_char_t* s) {
    return s ? std::string_view(reinterpret_cast<const char*>(s)) : std::string_view();
}

Tag classify(std::string_view text) {
    constexpr std::string_view kCore = "tag:yaml.org,2002:";
    if (text.starts_with(kCore)) {
        const std::string_view kind = text.substr(kCore.size());
        if (kind == "bool") return {std::string(text), TagClass::Bool, 0};
        if (kind == "int") return {std::string(text), TagClass::Int, 0};
        if (kind == "float") return {std::string(text), TagClass::Float, 0};
        if (kind == "null") return {std::string(text), TagClass::Null, 0};
    }
    if (!text.starts_with('!')) return {std::string(text), TagClass::Other, 0};
    const std::string_view rest = text.substr(1);
    if (!is_valid_utf8(rest)) return {std::string(text), TagClass::LocalUnreadable, 0};
    if (rest.empty()) return {std::string(text), TagClass::LocalEmpty, 0};
    // "!x" and a verbatim "!<!!x>" name the same tag.
    return {std::string(text), TagClass::Local, rest.starts_with('!') ? std::size_t{2} : 1};
}

enum class Step { Next, Stop, DocumentEnd };

class Collector {
public:
    explicit Collector(Document& doc, std::size_t text_size) : doc_(doc) {
        // Scalar texts rarely outgrow the text they come from; unused capacity is never touched.
        doc_.arena.reserve(text_size + 16);
    }
    Step take(const yaml_event_t& e);

private:
    Step alias(const yaml_event_t& e);
    Step open(EventKind kind, const yaml_event_t& e, const yaml_char_t* anchor, const yaml_char_t* tag);
    void scalar(const yaml_event_t& e);
    Event& push(EventKind kind, const yaml_mark_t& mark);
    void bind(const yaml_char_t* anchor);
    std::uint32_t tag_index(const yaml_char_t* tag);
    std::uint64_t store_text(std::string_view text);

    Document& doc_;
    std::map<std::string, std::uint64_t, std::less<>> anchors_;
    std::map<std::string, std::uint32_t, std::less<>> tag_ids_;
    std::uint32_t depth_ = 0;
};

Step Collector::take(const yaml_event_t& e) {
    switch (e.type) {
        case YAML_STREAM_START_EVENT:
        case YAML_DOCUMENT_START_EVENT:
            return Step::Next;
        case YAML_DOCUMENT_END_EVENT:
            return Step::DocumentEnd;
        case YAML_STREAM_END_EVENT:
            // An empty stream, or one of comments only, is one document holding a null.
            if (doc_.events.empty()) push(EventKind::Void, e.start_mark);
            return Step::Stop;
        case YAML_ALIAS_EVENT:
            return alias(e);
        case YAML_SCALAR_EVENT:
            scalar(e);
            return Step::Next;
        case YAML_SEQUENCE_START_EVENT:
            return open(EventKind::SequenceStart, e, e.data.sequence_start.anchor,
                        e.data.sequence_start.tag);
        case YAML_MAPPING_START_EVENT:
            return open(EventKind::MappingStart, e, e.data.mapping_start.anchor,
                        e.data.mapping_start.tag);
        case YAML_SEQUENCE_END_EVENT:
        case YAML_MAPPING_END_EVENT:
            push(e.type == YAML_SEQUENCE_END_EVENT ? EventKind::SequenceEnd : EventKind::MappingEnd,
                 e.start_mark);
            --depth_;
            return Step::Next;
        case YAML_NO_EVENT:
            break;
    }
    fatal("libyaml delivered no event");
}

Step Collector::alias(const yaml_event_t& e) {
    const auto found = anchors_.find(text_of(e.data.alias.anchor));
    if (found == anchors_.end()) {
        doc_.error = Diagnostic{"unknown anchor", std::nullopt};
        append_mark(*doc_.error, to_mark(e.start_mark));
        return Step::Stop;
    }
    push(EventKind::Alias, e.start_mark).payload = found->second;
    doc_.events[found->second].flags |= kAliased;
    return Step::Next;
}

Step Collector::open(EventKind kind, const yaml_event_t& e, const yaml_char_t* anchor,
                     const yaml_char_t* tag) {
    bind(anchor);
    const std::uint32_t tag_id = tag_index(tag);
    push(kind, e.start_mark).tag = tag_id;
    // Building walks every event in order, so it fails here at the latest: nothing after this
    // event can change the outcome, and parsing further only feeds libyaml's per-level stacks.
    return ++depth_ > kNestingBudget ? Step::Stop : Step::Next;
}

void Collector::scalar(const yaml_event_t& e) {
    const auto& s = e.data.scalar;
    bind(s.anchor);
    const std::uint32_t tag_id = tag_index(s.tag);
    const std::uint64_t at = store_text(std::string_view(reinterpret_cast<const char*>(s.value), s.length));
    Event& event = push(EventKind::Scalar, e.start_mark);
    event.payload = at;
    event.tag = tag_id;
    if (s.style == YAML_PLAIN_SCALAR_STYLE) event.flags |= kPlain;
}

Event& Collector::push(EventKind kind, const yaml_mark_t& mark) {
    Event& event = doc_.events.emplace_back();
    event.kind = kind;
    if (mark.line < kWideMark && mark.column < kWideMark) {
        event.line = static_cast<std::uint32_t>(mark.line);
        event.column = static_cast<std::uint32_t>(mark.column);
    } else {
        event.line = event.column = kWideMark;
        doc_.wide_marks.emplace(doc_.events.size() - 1, to_mark(mark));
    }
    return event;
}

void Collector::bind(const yaml_char_t* anchor) {
    if (!anchor) return;
    // A later anchor of the same name takes over for the aliases that follow it.
    anchors_.insert_or_assign(std::string(text_of(anchor)), doc_.events.size());
}

std::uint32_t Collector::tag_index(const yaml_char_t* tag) {
    if (!tag) return 0;
    const std::string_view text = text_of(tag);
    if (const auto found = tag_ids_.find(text); found != tag_ids_.end()) return found->second;
    doc_.tags.push_back(classify(text));
    const auto id = static_cast<std::uint32_t>(doc_.tags.size());
    tag_ids_.emplace(std::string(text), id);
    return id;
}

std::uint64_t Collector::store_text(std::string_view text) {
    const std::uint64_t at = doc_.arena.size();
    std::uint64_t n = text.size();
    do {
        const auto low = static_cast<unsigned char>(n & 0x7F);
        n >>= 7;
        doc_.arena.push_back(static_cast<char>(n ? (low | 0x80) : low));
    } while (n);
    doc_.arena.append(text);
    return at;
}

// True when anything other than the end of the stream follows the first document.
bool more_follows(Parser& parser) {
    ParsedEvent next;
    if (!parser.next(next)) return true;
    return next->type != YAML_STREAM_END_EVENT;
}

}  // namespace

void append_mark(Diagnostic& message, Mark mark) {
    if (mark.line == 0 && mark.column == 0) return;
    append_position(message, TextPosition{mark.line + 1, mark.column + 1});
}

std::string_view Document::text_at(std::uint64_t offset) const {
    std::uint64_t at = offset;
    std::uint64_t size = 0;
    for (unsigned shift = 0;; shift += 7) {
        const auto byte = static_cast<unsigned char>(arena[at++]);
        size |= std::uint64_t{byte & 0x7Fu} << shift;
        if (!(byte & 0x80)) break;
    }
    return std::string_view(arena).substr(at, size);
}

Mark Document::mark(std::size_t i) const {
    const Event& e = events[i];
    if (e.line == kWideMark) return wide_marks.at(i);
    return Mark{e.line, e.column};
}

Document load_first_document(std::string_view text) {
    Document doc;
    Parser parser(text);
    Collector collector(doc, text.size());
    ParsedEvent event;
    for (;;) {
        if (!parser.next(event)) {
            doc.error = parser.error_message();
            return doc;
        }
        switch (collector.take(*event)) {
            case Step::Next:
                continue;
            case Step::Stop:
                return doc;
            case Step::DocumentEnd:
                event.reset();
                doc.more_documents = more_follows(parser);
                return doc;
        }
    }
}

}  // namespace solvarinth::config::yaml
