// Identity of collection and tagged keys: one number per distinct value, so that such keys
// compare in constant time however large they are or however many aliases they expand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "config/yaml/arena.hpp"
#include "config/yaml/scalar.hpp"
#include "config/yaml/store.hpp"

namespace solvarinth::config::yaml {

class Identities {
public:
    explicit Identities(const Store& store) : store_(store) {}
    Identities(const Identities&) = delete;
    Identities& operator=(const Identities&) = delete;

    // Equal identities mean equal values: scalars as compare_keys has them, collections and
    // tagged values structurally, mappings regardless of order.
    //
    // Built bottom up, as a key's events arrive, each node once: a scalar that building accepted,
    // with the number of its tag (0 for none); a sequence from its items' identities; a mapping
    // from its entries' identities, key and value in turn, which it reorders.
    std::uint32_t scalar(const ScalarRead& read, std::uint32_t tag);
    std::uint32_t sequence(const std::uint32_t* items, std::size_t count, std::uint32_t tag);
    std::uint32_t mapping(std::uint32_t* entries, std::size_t count, std::uint32_t tag);
    // The identity of the anchored node whose kept events start at at, as an alias to it stands
    // for. Read from the kept events once, or given by remember() when it was built bottom up.
    std::uint32_t target(std::uint64_t at);
    // The identity of the anchored node at at, whose kept events end before end.
    void remember(std::uint64_t at, std::uint64_t end, std::uint32_t id);

private:
    enum class Kind : std::uint8_t { Scalar, Sequence, Mapping, Tagged };

    // 12 bytes: a key as large as the document itself may intern a node for each of its events,
    // and one 126 levels deep a node for every two bytes of it.
    struct Node {
        // Scalar: Int magnitude, Float bits, String arena reference of its text; Tagged: the inner
        // identity above the tag's number; Sequence, Mapping: where its children start in parts_
        // above their count, or the only child itself (a chain of one-item sequences is a common
        // deep key). In two halves, so that a node needs only 4-byte alignment.
        std::uint32_t low = 0;
        std::uint32_t high = 0;
        Kind kind = Kind::Scalar;
        ScalarKind scalar = ScalarKind::Null;
        bool flag = false;        // Scalar: as Scalar::flag
        std::uint8_t check = 0;   // the keyed hash's top byte: most probes need not look further

        // Scalar
        std::uint64_t number() const { return std::uint64_t{high} << 32 | low; }
        void set_number(std::uint64_t n) {
            low = static_cast<std::uint32_t>(n);
            high = static_cast<std::uint32_t>(n >> 32);
        }
        // Tagged
        std::uint32_t inner() const { return high; }
        std::uint32_t tag() const { return low; }
        void set_tagged(std::uint32_t inner_id, std::uint32_t tag_number) {
            high = inner_id;
            low = tag_number;
        }
        // Sequence, Mapping: parts_from() only when count() is not 1, only_part() only when it is
        std::uint32_t parts_from() const { return high; }
        const std::uint32_t* only_part() const { return &high; }
        std::uint32_t count() const { return low; }
        void set_parts(std::uint32_t from, std::uint32_t n) {
            high = from;
            low = n;
        }
    };
    static_assert(sizeof(Node) == 12);

    // A node to be interned: its fields, and for a scalar string or a collection the contents
    // that are copied in only when the value is new.
    struct Candidate {
        Node node;
        std::string_view text;
        const std::uint32_t* parts = nullptr;
        std::uint32_t count = 0;
        std::uint64_t hash = 0;
    };

    struct Remembered {
        std::uint32_t id;
        std::uint64_t end;
    };

    std::uint32_t of(std::uint64_t& pos);
    std::uint32_t of_collection(std::uint64_t& pos, bool mapping, std::uint32_t tag);
    std::uint32_t collection(Kind kind, const std::uint32_t* parts, std::size_t count, std::uint32_t tag);
    static std::uint64_t collection_domain(Kind kind);
    std::uint32_t wrap(std::uint32_t tag, std::uint32_t inner);
    std::uint32_t intern(Candidate c);
    bool equal(const Node& known, const Candidate& c) const;
    std::uint64_t hash_of(const Node& n) const;
    std::string_view text_of(const Node& n) const;
    void grow();

    const Store& store_;
    // Deques, so that growing never holds two copies at once.
    std::deque<Node> nodes_;
    std::deque<std::uint32_t> parts_;
    Arena texts_;  // string scalars' texts, each behind its size
    // Open addressing by the keyed hash, at most three quarters full; kNoNode marks an empty
    // slot. Most interned nodes are new, so a miss is the common probe.
    std::vector<std::uint32_t> slots_;
    std::unordered_map<std::uint64_t, Remembered> aliased_;  // anchored event -> identity, end
};

}  // namespace solvarinth::config::yaml
