// What aliases cost: the nesting height and alias count of each anchored node, the running count
// of alias expansions, and the replays of kept events that find where an alias that does not fit
// its nesting budget runs out.
//
// Aliases are not copied. A node that an alias names has been built by the time the alias is
// reached, and building it again could only differ in depth and in the alias count, so each such
// node's height and the expansions inside it are kept. An alias whose node fits the nesting budget
// where it stands is accounted for at once; only one that cannot fit is replayed, through its
// kept events, to find exactly where the budget runs out. An alias inside the node it names
// expands without end; its rounds are counted from the open collections around it.
//
// The expansion limit depends on the event count of the whole document, known only at its end,
// so nothing here compares against it: the count only grows, and whoever decides compares the
// count at the moment of a failure with the final limit.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string_view>
#include <vector>

#include "common/diagnostic.hpp"
#include "config/yaml/arena.hpp"
#include "config/yaml/keyed_hash.hpp"
#include "config/yaml/store.hpp"
#include "config/yaml/text_ids.hpp"

namespace solvarinth::config::yaml {

// Addition that stops at the largest count instead of wrapping: past any limit is past it.
std::uint64_t saturating_add(std::uint64_t a, std::uint64_t b);

// What building a node adds up to: its nesting height and the alias expansions inside it.
struct Summary {
    std::uint32_t height = 0;
    std::uint64_t expansions = 0;

    void absorb(const Summary& child) {
        if (child.height > height) height = child.height;
        expansions = saturating_add(expansions, child.expansions);
    }
};

// One open collection inside a kept node, as an endless expansion repeats it.
struct Level {
    std::uint64_t stored = kNotStored;    // its start event
    std::uint64_t child_at = kNotStored;  // where the child being built starts
    Summary done;                         // the children completed so far
};

// Anchor names and the kept event each one names now. A config may anchor every node under a
// name of its own: each distinct name is kept once, its text in an arena, found through a table
// under the keyed hash.
class AnchorNames {
public:
    // A later anchor of the same name takes over for the aliases that follow it.
    void bind(std::string_view name, std::uint64_t at);
    std::optional<std::uint64_t> find(std::string_view name) const;

private:
    TextIds names_{kAnchorNameDomain};
    std::deque<std::uint64_t> bound_;  // by name number - 1: the event the name stands for now
};

class Aliases {
public:
    explicit Aliases(Store& store) : store_(store) {}

    // The summary of the anchored node whose start event is at. A scalar's is always empty;
    // a collection's is kept here, its number in the start event's payload.
    void built(std::uint64_t at, const Summary& summary);
    bool is_built(std::uint64_t at) const {
        const Event e = store_[at];
        return e.kind == EventKind::Scalar || e.payload != 0;
    }

    // Counts an alias to the built node at target, standing where budget levels are left. Empty
    // when it fits, out then holding what it adds to the collection around it; otherwise the
    // recursion failure where the budget runs out.
    std::optional<Diagnostic> expand(std::uint64_t target, std::uint32_t budget, Summary& out);
    // An alias to the still open collection at target: open holds the kept collections from the
    // outermost, the alias standing in the last. Always ends in a recursion failure.
    Diagnostic expand_enclosing(std::uint64_t target, std::uint32_t budget, const std::vector<Level>& open);

    // The alias expansions counted so far, up to the failure when one was returned.
    std::uint64_t expansions() const { return expansions_; }

private:
    std::optional<Diagnostic> replay(std::uint64_t target, std::uint32_t budget);
    std::optional<Diagnostic> replay_node(std::uint64_t& pos, std::uint32_t budget);
    Diagnostic recursion_limit(std::uint64_t at) const;
    Summary summary_of(std::uint64_t at) const;

    Store& store_;
    std::uint64_t expansions_ = 0;
    std::deque<Summary> summaries_;  // of the built anchored collections
};

}  // namespace solvarinth::config::yaml
