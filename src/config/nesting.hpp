// The failure both config parsers report when a text nests deeper than their budget allows.
#pragma once

namespace solvarinth::config {

inline constexpr char kRecursionLimit[] = "recursion limit exceeded";

}  // namespace solvarinth::config
