// libFuzzer target: the YAML loader on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/utf8.hpp"
#include "config/yaml/check.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (!solvarinth::is_valid_utf8(text)) return 0;
    if (auto message = solvarinth::config::check_yaml(text)) {
        // Messages end up in a Python str: they must be UTF-8.
        if (!solvarinth::is_valid_utf8(message->text)) __builtin_trap();
    }
    return 0;
}
