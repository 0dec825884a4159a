// Alias accounting: summaries for aliases that fit, walks over kept events for those that do not.
#include "config/yaml_aliases.hpp"

#include <algorithm>
#include <limits>
#include <string>

#include "common/fault.hpp"
#include "config/limits.hpp"

namespace solvarinth::config::yaml {

std::uint64_t saturating_add(std::uint64_t a, std::uint64_t b) {
    return b > std::numeric_limits<std::uint64_t>::max() - a ? std::numeric_limits<std::uint64_t>::max()
                                                              : a + b;
}

Diagnostic Aliases::recursion_limit(std::size_t at) const {
    Diagnostic message{std::string(kRecursionLimit), std::nullopt};
    append_mark(message, store_.mark(at));
    return message;
}

std::optional<Diagnostic> Aliases::expand(std::uint64_t target, std::uint32_t budget, Summary& out) {
    const auto found = built_.find(target);
    if (found == built_.end()) fatal("YAML alias names an event that was never built");
    const Summary s = found->second;
    if (s.height <= budget) {
        expansions_ = saturating_add(expansions_, saturating_add(1, s.jumps));
        out = Summary{s.height, saturating_add(s.jumps, 1)};
        return std::nullopt;
    }
    // The node does not fit the budget left: walking it again finds where building fails.
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
                for (std::size_t pos = l->stored + 1; pos < l->child_at;)
                    if (auto failure = replay_node(pos, budget)) return *failure;
                fatal("YAML alias expansion fits after all");
            }
            expansions_ = saturating_add(expansions_, l->done.jumps);
        }
    }
}

// Expands an alias to a complete node by walking its kept events again. Everything but the
// nesting budget was checked when those events were first built.
std::optional<Diagnostic> Aliases::replay(std::uint64_t target, std::uint32_t budget) {
    expansions_ = saturating_add(expansions_, 1);
    const auto found = built_.find(target);
    if (found == built_.end()) fatal("YAML alias names an event that was never built");
    if (found->second.height <= budget) {
        expansions_ = saturating_add(expansions_, found->second.jumps);
        return std::nullopt;
    }
    std::size_t pos = target;
    return replay_node(pos, budget);
}

std::optional<Diagnostic> Aliases::replay_node(std::size_t& pos, std::uint32_t budget) {
    // A replay never passes the alias that started it, so it stays within kept events.
    if (pos >= store_.size()) fatal("YAML alias replay ran past the kept events");
    const std::size_t at = pos;
    const Event& e = store_[pos++];
    switch (e.kind) {
        case EventKind::Void:
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
    while (pos < store_.size() && store_[pos].kind != end)
        if (auto failure = replay_node(pos, budget - 1)) return failure;
    ++pos;
    return std::nullopt;
}

}  // namespace solvarinth::config::yaml
