// The budgets that bound the work a hostile config can cause, and the text for running out.
#pragma once

#include <cstdint>

namespace solvarinth::config {

// JSON: each "[" or "{" takes one from a counter that fails when it reaches zero, so 127 nested
// levels pass and the 128th fails.
inline constexpr int kJsonNestingBudget = 128;
// YAML: a collection may open only while the counter is above zero, so 128 levels pass and the
// 129th fails.
inline constexpr std::uint32_t kYamlNestingBudget = 128;
// Past the budget a YAML document's events are still counted for the expansion limit, while its
// nesting stays within this many levels; libyaml's cost per event grows with the depth.
inline constexpr std::uint32_t kYamlDeepestCounted = 1024;
// Alias expansions allowed per YAML document, as a multiple of its event count.
inline constexpr std::uint64_t kYamlRepetitionFactor = 100;

inline constexpr char kRecursionLimit[] = "recursion limit exceeded";

}  // namespace solvarinth::config
