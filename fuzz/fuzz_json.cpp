// libFuzzer target: the JSON validator and its error description on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/utf8.hpp"
#include "config/json/errors.hpp"
#include "config/json/validator.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The validator sees only text that passed the UTF-8 check, NUL-terminated.
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (!solvarinth::is_valid_utf8(text)) return 0;
    if (auto error = solvarinth::config::check_json(text.c_str(), text.size())) {
        const auto message = solvarinth::config::describe_json_error(text.c_str(), text.size(), *error);
        if (message.text.empty() || !message.position || error->offset > text.size()) __builtin_trap();
    }
    return 0;
}
