// Alias accounting: summaries for aliases that fit, replays of kept events for those that do not.
#include "config/yaml/aliases.hpp"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>

#include "common/fault.hpp"
#include "config/limits.hpp"
#include "config/yaml/keyed_hash.hpp"

namespace solvarinth::config::yaml {
std::uint64_t saturating_add(std::uint64_t a, std::uint64_t b) {
    return b > std::numeric_limits<std::uint64_t>::max() - a ? std::numeric_limits<std::uint64_t>::max()
                                                              : a + b;
}

void AnchorNames::bind(std::string_view name, std::uint64_t at) {
    bool added;
    const std::uint32_t id = names_.add(name, added);
    if (added) bound_.push_back(at);
    else bound_[id - 1] = at;
}

std::optional<std::uint64_t> AnchorNames::find(std::string_view name) const {
    const std::uint32_t id = names_.find(name);
    if (id == 0) return std::nullopt;
    return bound_[id - 1];
}

void Aliases::built(std::uint64_t at, const Summary& summary) {
    if (store_.kind(at) == EventKind::Scalar) return;
    // Summary numbers are 32-bit: 2^32 anchored collections would need tens of gigabytes of
    // their kept events first.
    if (summaries_.size() >= UINT32_MAX) fatal(kOutOfMemory);
    summaries_.push_back(summary);
    store_.set_payload(at, static_cast<std::uint32_t>(summaries_.size()));
}

Summary Aliases::summary_of(std::uint64_t at) const {
    if (!is_built(at)) fatal("YAML alias names an event that was never built");
    const Event e = store_[at];
    if (e.kind == EventKind::Scalar) return Summary{};
    return summaries_[e.payload - 1];
}

Diagnostic Aliases::recursion_limit(std::uint64_t at) const {
    Diagnostic message{std::string(kRecursionLimit), std::nullopt};
    append_mark(message, store_.mark(at));
    return message;
}

std::optional<Diagnostic> Aliases::expand(std::uint64_t target, std::uint32_t budget, Summary& out) {
    const Summary s = summary_of(target);
    if (s.height <= budget) {
        expansions_ = saturating_add(expansions_, saturating_add(1, s.expansions));
        out = Summary{s.height, saturating_add(s.expansions, 1)};
        return std::nullopt;
    }
    // The node does not fit the budget left: replaying it finds where building fails.
    if (auto failure = replay(target, budget)) return failure;
    fatal("YAML alias expansion fits after all");
}

// The expansion would repeat forever: the open collections from the named one down to the alias,
// each time one level deeper, until the budget runs out. The children already complete in each
// open collection are summed up in its level, so each round costs one step per open level.
Diagnostic Aliases::expand_enclosing(std::uint64_t target, std::uint32_t budget,
                                     const std::vector<Level>& open) {
    const auto named = std::find_if(open.begin(), open.end(),
                                    [&](const Level& l) { return l.stored == target; });
    if (named == open.end()) fatal("YAML alias names an event that was never built");
    for (;;) {
        expansions_ = saturating_add(expansions_, 1);
        for (auto l = named; l != open.end(); ++l) {
            if (budget == 0) return recursion_limit(l->stored);
            --budget;
            if (l->done.height > budget) {
                for (std::uint64_t pos = store_.after(l->stored); pos < l->child_at;)
                    if (auto failure = replay_node(pos, budget)) return *failure;
                fatal("YAML alias expansion fits after all");
            }
            expansions_ = saturating_add(expansions_, l->done.expansions);
        }
    }
}

// Expands an alias to a complete node by replaying its kept events. Everything but the
// nesting budget was checked when those events were first built.
std::optional<Diagnostic> Aliases::replay(std::uint64_t target, std::uint32_t budget) {
    expansions_ = saturating_add(expansions_, 1);
    const Summary s = summary_of(target);
    if (s.height <= budget) {
        expansions_ = saturating_add(expansions_, s.expansions);
        return std::nullopt;
    }
    std::uint64_t pos = target;
    return replay_node(pos, budget);
}

std::optional<Diagnostic> Aliases::replay_node(std::uint64_t& pos, std::uint32_t budget) {
    // A replay never passes the alias that started it, so it stays within kept events.
    if (pos >= store_.size()) fatal("YAML alias replay ran past the kept events");
    const std::uint64_t at = pos;
    const Event e = store_.next(pos);
    switch (e.kind) {
        case EventKind::Scalar:
            return std::nullopt;
        case EventKind::Alias:
            return replay(e.payload, budget);
        case EventKind::SequenceStart:
        case EventKind::MappingStart:
            break;
        default:
            fatal("YAML collection end where a node starts");
    }
    if (budget == 0) return recursion_limit(at);
    const EventKind end = e.kind == EventKind::SequenceStart ? EventKind::SequenceEnd : EventKind::MappingEnd;
    while (pos < store_.size() && store_.kind(pos) != end)
        if (auto failure = replay_node(pos, budget - 1)) return failure;
    if (pos < store_.size()) pos = store_.after(pos);
    return std::nullopt;
}

}  // namespace solvarinth::config::yaml
