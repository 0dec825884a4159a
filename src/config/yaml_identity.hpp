// Value identities for mapping keys: every distinct value gets one number, so that keys compare
// by value in constant time however large they are or however many aliases they expand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <set>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "config/yaml_events.hpp"
#include "config/yaml_scalar.hpp"

namespace solvarinth::config::yaml {

// A scalar key's value in a form that compares by value: null equals null, integers by value,
// floats by value (all NaNs equal, -0.0 equals 0.0), strings by text.
struct ScalarKey {
    ScalarKind kind = ScalarKind::Null;
    bool flag = false;           // Bool: the value; Int: negative
    std::uint64_t number = 0;    // Int: magnitude; Float: bits of the normalised value
    std::string_view text;       // String

    auto operator<=>(const ScalarKey&) const = default;
};

// The value of the key node at pos (through an alias), or nothing when the key is a collection
// or a scalar under a local tag, which compare structurally through Identities.
std::optional<ScalarKey> scalar_key(const Document& doc, std::size_t pos);

class Identities {
public:
    explicit Identities(const Document& doc) : doc_(doc), table_(Order{this}) {}
    Identities(const Identities&) = delete;
    Identities& operator=(const Identities&) = delete;

    // The identity of the node starting at event pos, which building has already accepted;
    // pos moves past the node. Equal identities mean equal values: null equals null, numbers
    // compare by value within integers and within floats (all NaNs equal, -0.0 equals 0.0),
    // strings by text, collections and tagged values structurally, mappings regardless of order.
    std::uint32_t of(std::size_t& pos);

private:
    enum class Kind : std::uint8_t { Null, Bool, Int, Float, String, Sequence, Mapping, Tagged };

    struct Node {
        // Int: magnitude; Float: bits; String: arena offset of its text; Tagged: inner identity
        std::uint64_t number = 0;
        std::uint32_t first = 0;  // Sequence, Mapping: children in parts_[first, first + count);
                                  // Tagged: the event's tag number
        std::uint32_t count = 0;
        Kind kind = Kind::Null;
        bool flag = false;  // Bool: value; Int: negative
    };

    // A total order on node contents. Ordered rather than hashed, so that no text can be
    // crafted to make lookups slow.
    struct Order {
        const Identities* self;
        bool operator()(std::uint32_t a, std::uint32_t b) const { return self->less(a, b); }
    };

    std::uint32_t scalar(const Event& e);
    std::uint32_t sequence(std::size_t& pos);
    std::uint32_t mapping(std::size_t& pos);
    std::uint32_t target(std::uint64_t at);
    std::uint32_t wrap(std::uint32_t tag, std::uint32_t inner);
    std::uint32_t intern(const Node& node, const std::vector<std::uint32_t>& parts = {});
    bool less(std::uint32_t a, std::uint32_t b) const;

    const Document& doc_;
    // Deques, so that growing never holds two copies at once.
    std::deque<Node> nodes_;
    std::deque<std::uint32_t> parts_;
    std::set<std::uint32_t, Order> table_;
    std::unordered_map<std::uint64_t, std::uint32_t> aliased_;  // anchored event -> identity
};

}  // namespace solvarinth::config::yaml
