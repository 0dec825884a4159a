// Key identity: scalar values compared as keys, hash-consing of collection and tagged keys (a
// node's identity is looked up from its kind, its scalar value or its children's identities, so
// structural equality never recurses into the children again), and the keys of one mapping.
#include "config/yaml_identity.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <tuple>

#include "common/fault.hpp"
#include "common/quote.hpp"
#include "common/utf8.hpp"

namespace solvarinth::config::yaml {
namespace {

constexpr std::string_view kDuplicateEntry = "duplicate entry ";

// One NaN and a zero without sign, so that floats equal as keys have equal bits.
std::uint64_t key_bits(double v) {
    const double normal = std::isnan(v) ? std::numeric_limits<double>::quiet_NaN() : v == 0 ? 0.0 : v;
    return std::bit_cast<std::uint64_t>(normal);
}

// The order ValueLess describes. Always inlined: interning a key compares its leaves through
// here at every step of the table lookup.
[[gnu::always_inline]] inline std::weak_ordering compare_values(const Scalar& a, const Scalar& b) {
    if (a.kind != b.kind) return a.kind <=> b.kind;
    switch (a.kind) {
        case ScalarKind::Null:
            return std::weak_ordering::equivalent;
        case ScalarKind::Bool:
        case ScalarKind::Int:
            return std::tie(a.flag, a.magnitude) <=> std::tie(b.flag, b.magnitude);
        case ScalarKind::Float:
            return key_bits(a.real) <=> key_bits(b.real);
        case ScalarKind::String:
            break;
    }
    return a.text <=> b.text;
}

// compare_values(a, b) == 0, with the cheaper equality test for texts.
bool equal_values(const Scalar& a, const Scalar& b) {
    if (a.kind != b.kind) return false;
    switch (a.kind) {
        case ScalarKind::Null:
            return true;
        case ScalarKind::Bool:
        case ScalarKind::Int:
            return a.flag == b.flag && a.magnitude == b.magnitude;
        case ScalarKind::Float:
            return key_bits(a.real) == key_bits(b.real);
        case ScalarKind::String:
            break;
    }
    return a.text == b.text;
}

// A key other than null as a repeated-key message shows it: `true`, -3, 1.5, "text".
std::string shown(const Scalar& key) {
    switch (key.kind) {
        case ScalarKind::Null:
            break;
        case ScalarKind::Bool:
            return key.flag ? "`true`" : "`false`";
        case ScalarKind::Int: {
            std::string text(key.flag ? "-" : "");
            return text += std::to_string(key.magnitude);
        }
        case ScalarKind::Float:
            return format_float(key.real);
        case ScalarKind::String:
            return is_valid_utf8(key.text) ? quoted(key.text) : quoted(utf8_lossy(key.text));
    }
    fatal("YAML null key shown as a value");
}

// The failure text naming the earlier of two equal scalar keys.
std::string repeated(const Scalar& first) {
    if (first.kind == ScalarKind::Null) return std::string(kDuplicateEntry) + "with null key";
    return std::string(kDuplicateEntry) + "with key " + shown(first);
}

}  // namespace

bool ValueLess::operator()(const Scalar& a, const Scalar& b) const { return compare_values(a, b) < 0; }

std::optional<std::string> MappingKeys::add(std::size_t key_at, const std::optional<ScalarRead>& read) {
    if (read && !read->wrapper) return add_scalar(read->value);
    const Event* e = &doc_[key_at];
    if (e->kind == EventKind::Alias) e = &doc_[e->payload];
    std::uint32_t id;
    if (read) {
        id = ids_.scalar(*e, *read);
    } else if (e->kind == EventKind::Scalar) {
        // An alias to a scalar: read here, once.
        const ScalarRead target = read_scalar(doc_, *e);
        if (!target.wrapper) return add_scalar(target.value);
        id = ids_.scalar(*e, target);
    } else {
        std::size_t pos = key_at;
        id = ids_.of(pos);
    }
    if (structural_.insert(id).second) return std::nullopt;
    return std::string(kDuplicateEntry) + "in YAML map";
}

std::optional<std::string> MappingKeys::add_scalar(const Scalar& key) {
    if (index_.empty()) {
        for (const Scalar& known : small_)
            if (equal_values(known, key)) return repeated(known);
        if (small_.size() < kLinear) {
            small_.push_back(key);
            return std::nullopt;
        }
        index_.insert(small_.begin(), small_.end());
        small_.clear();
    }
    const auto [first, fresh] = index_.insert(key);
    if (fresh) return std::nullopt;
    return repeated(*first);
}

std::uint32_t Identities::of(std::size_t& pos) {
    const std::size_t at = pos;
    const Event& e = doc_[pos++];
    std::uint32_t id;
    switch (e.kind) {
        case EventKind::Void:
            id = intern(Node{});
            break;
        case EventKind::Alias:
            return target(e.payload);
        case EventKind::Scalar:
            id = scalar(e, read_scalar(doc_, e));
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
    else if (leaf.scalar == ScalarKind::String) v.text = doc_.text_at(leaf.number);
    else v.magnitude = leaf.number;
    return v;
}

std::uint32_t Identities::wrap(std::uint32_t tag, std::uint32_t inner) {
    if (tag == 0 || doc_.tags[tag - 1].kind != TagClass::Local) return inner;
    Node node;
    node.kind = Kind::Tagged;
    node.number = inner;
    node.first = tag;
    return intern(node);
}

std::uint32_t Identities::sequence(std::size_t& pos) {
    std::vector<std::uint32_t> items;
    while (doc_[pos].kind != EventKind::SequenceEnd) items.push_back(of(pos));
    ++pos;
    Node node;
    node.kind = Kind::Sequence;
    return intern(node, items);
}

std::uint32_t Identities::mapping(std::size_t& pos) {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> entries;
    while (doc_[pos].kind != EventKind::MappingEnd) {
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
            return compare_values(value_of(x), value_of(y)) < 0;
        case Kind::Tagged:
            if (x.number != y.number) return x.number < y.number;
            return doc_.tags[x.first - 1].name() < doc_.tags[y.first - 1].name();
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
