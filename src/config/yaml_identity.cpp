// Key identity by hash-consing: a node's identity is looked up from its kind, its scalar value
// or its children's identities, so structural equality never recurses into the children again.
#include "config/yaml_identity.hpp"

#include <algorithm>
#include <bit>
#include <limits>

#include "common/fault.hpp"
#include "config/yaml_keys.hpp"

namespace solvarinth::config::yaml {

std::uint32_t Identities::of(std::size_t& pos) {
    const std::size_t at = pos;
    const Event& e = store_[pos++];
    std::uint32_t id;
    switch (e.kind) {
        case EventKind::Void:
            id = intern(Node{});
            break;
        case EventKind::Alias:
            return target(e.payload);
        case EventKind::Scalar:
            id = scalar(e, read_scalar(store_, e));
            break;
        case EventKind::SequenceStart:
            id = wrap(e.tag, sequence(pos));
            break;
        case EventKind::MappingStart:
            id = wrap(e.tag, mapping(pos));
            break;
        default:
            fatal("YAML identity taken at the end of a collection");
    }
    if (e.flags & kAliased) aliased_.emplace(at, id);
    return id;
}

std::uint32_t Identities::target(std::uint64_t at) {
    if (const auto found = aliased_.find(at); found != aliased_.end()) return found->second;
    std::size_t pos = at;
    return of(pos);
}

std::uint32_t Identities::scalar(const Event& e, const ScalarRead& read) {
    if (read.error) fatal("YAML identity taken of a scalar that failed to build");
    const Scalar& v = read.value;
    Node node;
    node.scalar = v.kind;
    node.flag = v.flag;
    // A string value is always its scalar's whole text, so the arena's copy serves.
    node.number = v.kind == ScalarKind::Float    ? std::bit_cast<std::uint64_t>(v.real)
                  : v.kind == ScalarKind::String ? e.payload
                                                 : v.magnitude;
    const std::uint32_t id = intern(node);
    return read.wrapper ? wrap(e.tag, id) : id;
}

// The Scalar a leaf node packs, for comparing it by the one rule.
[[gnu::always_inline]] inline Scalar Identities::value_of(const Node& leaf) const {
    Scalar v;
    v.kind = leaf.scalar;
    v.flag = leaf.flag;
    if (leaf.scalar == ScalarKind::Float) v.real = std::bit_cast<double>(leaf.number);
    else if (leaf.scalar == ScalarKind::String) v.text = store_.text_at(leaf.number);
    else v.magnitude = leaf.number;
    return v;
}

std::uint32_t Identities::wrap(std::uint32_t tag, std::uint32_t inner) {
    if (tag == 0 || store_.tag_at(tag).kind != TagClass::Local) return inner;
    Node node;
    node.kind = Kind::Tagged;
    node.number = inner;
    node.first = tag;
    return intern(node);
}

std::uint32_t Identities::sequence(std::size_t& pos) {
    std::vector<std::uint32_t> items;
    while (store_[pos].kind != EventKind::SequenceEnd) items.push_back(of(pos));
    ++pos;
    Node node;
    node.kind = Kind::Sequence;
    return intern(node, items);
}

std::uint32_t Identities::mapping(std::size_t& pos) {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> entries;
    while (store_[pos].kind != EventKind::MappingEnd) {
        const std::uint32_t key = of(pos);
        entries.emplace_back(key, of(pos));
    }
    ++pos;
    // Keys within a mapping are distinct, so ordering by key gives one form per mapping value.
    std::sort(entries.begin(), entries.end());
    std::vector<std::uint32_t> flat;
    flat.reserve(entries.size() * 2);
    for (const auto& [k, v] : entries) {
        flat.push_back(k);
        flat.push_back(v);
    }
    Node node;
    node.kind = Kind::Mapping;
    return intern(node, flat);
}

std::uint32_t Identities::intern(const Node& node, const std::vector<std::uint32_t>& parts) {
    if (nodes_.size() >= std::numeric_limits<std::uint32_t>::max() ||
        parts_.size() + parts.size() >= std::numeric_limits<std::uint32_t>::max())
        fatal(kOutOfMemory);
    Node stored = node;
    const std::size_t parts_before = parts_.size();
    if (node.kind == Kind::Sequence || node.kind == Kind::Mapping) {
        stored.first = static_cast<std::uint32_t>(parts_before);
        stored.count = static_cast<std::uint32_t>(parts.size());
        parts_.insert(parts_.end(), parts.begin(), parts.end());
    }
    nodes_.push_back(stored);
    const auto id = static_cast<std::uint32_t>(nodes_.size() - 1);
    const auto [found, inserted] = table_.insert(id);
    if (!inserted) {
        nodes_.pop_back();
        parts_.resize(parts_before);
    }
    return *found;
}

bool Identities::less(std::uint32_t a, std::uint32_t b) const {
    const Node& x = nodes_[a];
    const Node& y = nodes_[b];
    if (x.kind != y.kind) return x.kind < y.kind;
    switch (x.kind) {
        case Kind::Scalar:
            return compare_keys(value_of(x), value_of(y)) < 0;
        case Kind::Tagged:
            if (x.number != y.number) return x.number < y.number;
            return store_.tag_at(x.first).name() < store_.tag_at(y.first).name();
        case Kind::Sequence:
        case Kind::Mapping:
            break;
    }
    if (x.count != y.count) return x.count < y.count;
    const auto xs = parts_.begin() + x.first;
    const auto ys = parts_.begin() + y.first;
    return std::lexicographical_compare(xs, xs + x.count, ys, ys + y.count);
}

}  // namespace solvarinth::config::yaml
