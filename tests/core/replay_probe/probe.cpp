// A stand-in fuzz target for the replay driver's own tests: it accepts only the exact bytes of
// fine.bin (a NUL and a non-UTF-8 byte inside), so a driver that truncates, stops at a NUL or
// feeds the wrong file fails; any other input crashes it, as a returning crash input would.
#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    if (input == std::string_view("fine\0\xff\n", 7)) return 0;
    __builtin_trap();
}
