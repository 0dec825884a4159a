// Building the first document as its events arrive: tags, the nesting budget, duplicate keys by
// value, alias accounting, and the node path of a failure. Only what a later event can still
// need is kept: the open collections with the keys of each open mapping, and the events of
// anchored nodes and of collection keys. Building stops at its first failure.
#pragma once

#include <yaml.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/diagnostic.hpp"
#include "config/limits.hpp"
#include "config/yaml/aliases.hpp"
#include "config/yaml/identity.hpp"
#include "config/yaml/keys.hpp"
#include "config/yaml/store.hpp"

namespace solvarinth::config::yaml {

// The first failure of building, and how many alias expansions building had counted before it.
struct BuildFailure {
    Diagnostic message;
    std::uint64_t expansions = 0;
};

class Builder {
public:
    Builder();
    Builder(const Builder&) = delete;
    Builder& operator=(const Builder&) = delete;

    // Each node event in order. The node methods return where the node's start event is kept,
    // kNotStored when it is not; an anchored node is always kept while building goes on.
    std::uint64_t scalar(const yaml_event_t& e, bool anchored) {
        // An untagged, unanchored scalar inside a collection, outside any kept region, cannot
        // fail but as a repeated key, changes nothing a failure message reads and is stored
        // nowhere: the keys waiting in its mapping may be judged after it, and a key of that
        // kind joins them. Most scalars are of this kind; the test is inline for them.
        if (!e.data.scalar.tag && !anchored && keeping_ == 0 && identifying_ == 0 && depth_ > 0 &&
            (!pending_ || pending_ == &frames_[depth_ - 1].keys))
            return inert_scalar(e);
        return any_scalar(e, anchored);
    }
    std::uint64_t start(const yaml_event_t& e, bool mapping, bool anchored);
    void end();
    void alias(std::uint64_t target);
    // The null node of an empty stream.
    void void_node() { complete_ = true; }
    // The events stop before the document's node is complete, for this reason.
    void cut_short(const Diagnostic& reason);
    // No more events come.
    void finish() { settle(); }

    const std::optional<BuildFailure>& failure() const { return failure_; }
    std::uint64_t expansions() const { return aliases_.expansions(); }

private:
    enum class Role { Root, Element, Key, Value };

    struct Frame {
        bool mapping = false;
        bool anchored = false;      // its summary is kept for the aliases that name it
        bool is_key = false;        // a mapping key: compared with the other keys when it ends
        bool opens_region = false;  // the outermost kept collection of a run of kept events
        bool at_value = false;      // mapping: the next node is an entry's value
        bool key_named = false;     // mapping: the entry's key is a scalar, whose text names it
        bool identify = false;      // a key or inside one: its identity is built from its children's
        std::uint32_t tag = 0;      // its tag's number, 0 for none
        std::size_t ids_from = 0;   // identify: where its children's identities start in child_ids_
        Mark mark;
        std::size_t index = 0;      // sequence: the element being built
        Level level;
        std::string key;            // mapping: the text of the entry's scalar key
        MappingKeys keys;
    };

    Role role() const;
    // The levels a child of the innermost open collection may still nest: start() refuses a
    // collection when none are left, so depth_ never passes the budget.
    std::uint32_t budget() const { return kYamlNestingBudget - static_cast<std::uint32_t>(depth_); }
    Frame& top() { return frames_[depth_ - 1]; }
    void child_starts();
    void finish_child(const Summary& s);
    void identified(std::uint32_t id);
    bool add_key(std::optional<std::string> repeated);
    bool settle();
    std::uint64_t inert_scalar(const yaml_event_t& e);
    void name_key(Frame& f, std::string_view text);
    std::uint64_t any_scalar(const yaml_event_t& e, bool anchored);
    std::optional<std::string> alias_key(std::uint64_t target);

    // What an alias to an anchored scalar stands for as a key, read once per anchor: its value
    // and hash, or, under a local tag, its identity.
    struct AliasKey {
        Scalar value;
        std::uint64_t hash = 0;
        std::uint32_t id = 0;
        bool wrapped = false;
    };
    std::vector<Level> open_levels() const;
    std::string render(std::size_t frames) const;
    void fail(Diagnostic message);
    void fail_at(std::size_t frames, Mark mark, std::string_view text);

    Store store_;
    Identities ids_{store_};
    Aliases aliases_{store_};
    // The open collections, outermost first; frames past depth_ stay for reuse.
    std::vector<Frame> frames_;
    std::size_t depth_ = 0;
    std::size_t keeping_ = 0;      // open collections that started a run of kept events
    std::size_t identifying_ = 0;  // open collections whose identity is being built
    // The identities of the completed children of the open identifying collections, in order.
    std::vector<std::uint32_t> child_ids_;
    bool complete_ = false;
    // The keys of the innermost mapping when scalar keys of it are still to be compared.
    MappingKeys* pending_ = nullptr;
    std::optional<BuildFailure> failure_;
    std::unordered_map<std::uint64_t, AliasKey> alias_keys_;  // by the anchored scalar's event
};

}  // namespace solvarinth::config::yaml
