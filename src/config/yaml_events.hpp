// The first document of a YAML stream as a compact list of libyaml events, with aliases already
// bound to the event they name, ready for the builder to walk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/diagnostic.hpp"

namespace solvarinth::config::yaml {

// Deepest nesting of sequences and mappings that building accepts.
inline constexpr std::uint32_t kNestingBudget = 128;

enum class EventKind : std::uint8_t {
    Void,  // the single null node of an empty stream
    Scalar,
    Alias,
    SequenceStart,
    SequenceEnd,
    MappingStart,
    MappingEnd,
};

// What a node's tag does to building.
enum class TagClass : std::uint8_t {
    Local,            // "!name": the node becomes a tagged value
    LocalEmpty,       // "!" alone: building fails
    LocalUnreadable,  // "!" and bytes that are not UTF-8: the node reads as untagged
    Bool,             // core schema tags: a scalar must be a valid value of the kind
    Int,
    Float,
    Null,
    Other,            // a scalar carrying it is a string, a collection is unchanged
};

// Building a node tagged "!" alone fails with this text, scalar or collection.
inline constexpr std::string_view kEmptyTag = "empty YAML tag is not allowed";

struct Tag {
    std::string text;     // as resolved by libyaml, handles expanded
    TagClass kind;
    std::size_t name_at;  // Local: where the name compared between tagged values starts in text

    std::string_view name() const { return std::string_view(text).substr(name_at); }
};

struct Mark {
    std::uint64_t line = 0;  // zero-based, as libyaml counts
    std::uint64_t column = 0;
};

// Appends " at line L column C" (1-based), or nothing for the first character of the text,
// whose mark carries no information.
void append_mark(Diagnostic& message, Mark mark);

struct Event {
    std::uint64_t payload = 0;  // Scalar: offset of its text in the arena; Alias: anchored event
    std::uint32_t line = 0;     // kWideMark when the mark lives in Document::wide_marks
    std::uint32_t column = 0;
    std::uint32_t tag = 0;      // 0: untagged; otherwise 1 + index into Document::tags
    EventKind kind = EventKind::Void;
    std::uint8_t flags = 0;     // kPlain, kAliased
};

inline constexpr std::uint8_t kPlain = 1;    // a plain scalar, subject to type resolution
inline constexpr std::uint8_t kAliased = 2;  // some alias refers to this event
inline constexpr std::uint32_t kWideMark = UINT32_MAX;

struct Document {
    // A deque keeps growth free of large reallocation peaks; events are 24 bytes each.
    std::deque<Event> events;
    std::string arena;  // scalar texts, each behind a variable-length size prefix
    std::vector<Tag> tags;
    std::unordered_map<std::size_t, Mark> wide_marks;
    // Why collection stopped early: a parser error or an unknown anchor, already formatted.
    std::optional<Diagnostic> error;
    // Set when something follows the first document: a second one, or a parser error.
    bool more_documents = false;

    std::size_t size() const { return events.size(); }
    const Event& operator[](std::size_t i) const { return events[i]; }
    std::string_view text(const Event& scalar) const { return text_at(scalar.payload); }
    std::string_view text_at(std::uint64_t offset) const;
    Mark mark(std::size_t i) const;
    const Tag* tag(const Event& e) const { return e.tag == 0 ? nullptr : &tags[e.tag - 1]; }
};

// Parses text as UTF-8 and collects the events of its first document. Collection stops after a
// collection that opens deeper than the nesting budget, since building is certain to fail there
// and libyaml's own stacks would otherwise grow with every further level.
Document load_first_document(std::string_view text);

}  // namespace solvarinth::config::yaml
