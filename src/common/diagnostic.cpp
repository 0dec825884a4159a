// The one place where a config failure's position is written into its text.
#include "common/diagnostic.hpp"

namespace solvarinth {

void append_position(Diagnostic& diagnostic, TextPosition position) {
    diagnostic.text += " at line ";
    diagnostic.text += std::to_string(position.line);
    diagnostic.text += " column ";
    diagnostic.text += std::to_string(position.column);
    if (!diagnostic.position) diagnostic.position = position;
}

}  // namespace solvarinth
