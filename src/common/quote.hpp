// The double-quoted, escaped form of a text, used by TrainerConfig's repr and YAML key messages.
#pragma once

#include <string>
#include <string_view>

namespace solvarinth {

// Wraps a well-formed UTF-8 text in double quotes. NUL, tab, carriage return, line feed, backslash
// and double quote get backslash escapes; combining marks (Grapheme_Extend) and characters that
// do not print (Cc, Cf, Cs, Co, Cn, Zl, Zp, and Zs other than the space) become \u{hex}.
std::string quoted(std::string_view utf8);

// quoted() of any bytes: a text that is not well-formed UTF-8 has its bad sequences replaced by
// U+FFFD first, so that messages built from it stay UTF-8.
std::string quoted_lossy(std::string_view bytes);

}  // namespace solvarinth
