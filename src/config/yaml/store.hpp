// The events a later part of the document can still need, kept in compact form: the nodes that
// carry an anchor (an alias may name them) and the collection keys being compared. Every other
// event is judged as it arrives and never stored. Also the document's tags: each node's tag is
// classified as it arrives, and only a local tag's name is ever kept, once per distinct name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "config/yaml/arena.hpp"
#include "config/yaml/keyed_hash.hpp"
#include "config/yaml/parser.hpp"
#include "config/yaml/tag.hpp"
#include "config/yaml/text_ids.hpp"

namespace solvarinth::config::yaml {

// Where a node's start event is kept, when it is not.
inline constexpr std::uint64_t kNotStored = UINT64_MAX;

enum class EventKind : std::uint8_t {
    Scalar,
    Alias,
    SequenceStart,
    SequenceEnd,
    MappingStart,
    MappingEnd,
};

// A kept event as it is read back. Kept, it is a record of a few bytes at a position of the
// store: a head byte (kind and flags), the tag's number when there is one, then what the kind
// needs. A region can be as large as the document, and a bracket is one byte of it.
struct Event {
    std::uint64_t payload = 0;  // Scalar: arena reference of its text; Alias: the anchored
                                // event's position; anchored collection start: see Aliases::built
    std::uint32_t tag = 0;      // 0: untagged; otherwise a tag number (Store::tag_id)
    EventKind kind = EventKind::Scalar;
    std::uint8_t flags = 0;     // kPlain, kAliased
};

inline constexpr std::uint8_t kPlain = 1;    // a plain scalar, subject to type resolution
inline constexpr std::uint8_t kAliased = 2;  // an anchored event: an alias may refer to it

class Store {
public:
    Store();
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    // Positions grow with each event kept; size() is where the next one goes if it fits its
    // block. A position taken from size() is read as the event kept next, wherever that went.
    std::uint64_t size() const { return records_.end(); }
    Event operator[](std::uint64_t at) const {
        std::uint64_t pos = at;
        return next(pos);
    }
    // The event at pos; pos moves to the one after it.
    Event next(std::uint64_t& pos) const;
    // The position of the event after the one at at.
    std::uint64_t after(std::uint64_t at) const {
        next(at);
        return at;
    }
    EventKind kind(std::uint64_t at) const {
        return static_cast<EventKind>(*records_.at(records_.settled(at)) & kKindBits);
    }
    std::string_view text(const Event& scalar) const { return text_at(scalar.payload); }
    std::string_view text_at(std::uint64_t ref) const { return texts_.sized_at(ref); }
    // The mark of a collection start: the only events whose marks a message can name.
    Mark mark(std::uint64_t at) const;
    const Tag& tag_at(std::uint32_t id) const { return tags_[id - 1]; }
    const Tag* tag(const Event& e) const { return e.tag == 0 ? nullptr : &tags_[e.tag - 1]; }

    // A libyaml tag text as building sees it, empty for none. The text stays libyaml's, valid
    // while its event is. libyaml hands every node its tag whole, a %TAG prefix expanded, so a
    // long prefix on many nodes costs each of them its length: here no more than a comparison
    // with the tag before.
    std::optional<Tag> classify(const yaml_char_t* tag);
    // The tag's number for an event that is kept or a key's identity. Every tag of a class
    // that only its class matters for shares one number; a local tag's number stands for its
    // name, kept once.
    std::uint32_t tag_id(const std::optional<Tag>& tag) { return tag ? tag_id(*tag) : 0; }
    // Appends an event and returns its position. Only a collection start keeps its mark.
    std::uint64_t add_start(EventKind kind, Mark mark, std::uint32_t tag, std::uint8_t flags);
    std::uint64_t add_end(EventKind kind);
    std::uint64_t add_scalar(std::string_view text, std::uint32_t tag, std::uint8_t flags);
    std::uint64_t add_alias(std::uint64_t target);
    // An anchored collection start's payload is free for whoever keeps something per anchored
    // collection: 32 bits, set once the collection is complete.
    void set_payload(std::uint64_t at, std::uint32_t value);

private:
    static constexpr unsigned char kKindBits = 0x07;
    static constexpr unsigned char kFlagShift = 3;  // kPlain, kAliased above the kind
    static constexpr unsigned char kTagged = 0x20;  // a tag number follows the head

    // Reserves a record of head, tag and then bytes more; returns where those bytes go.
    char* add_record(EventKind kind, std::uint32_t tag, std::uint8_t flags, std::size_t bytes, std::uint64_t& at);
    std::uint32_t tag_id(const Tag& tag);
    bool valid_local_name(std::string_view name);

    Arena records_;  // the kept events, in blocks that never move
    Arena texts_;    // scalar texts, each behind its size
    // A record per class that needs no text, then one per distinct local name, in the order of
    // the names' numbers. A config may give every node a tag of its own.
    std::deque<Tag> tags_;
    TextIds local_names_{kTagNameDomain};
    std::uint32_t last_local_ = 0;  // the local tag interned last: consecutive nodes often share one
    // The last local name found to be UTF-8: the part another name shares with it needs no check.
    std::string last_valid_;
};

}  // namespace solvarinth::config::yaml
