// Internal faults: violated invariants and memory exhaustion end the process, never unwind.
#pragma once

#include <new>
#include <string_view>
#include <utility>

namespace solvarinth {

// Memory exhaustion has one text and two fates. The config file buffer is sized by the file
// itself, so a file too large to hold is the caller's input problem: that read reports the text
// as its cause ("Failed to read config: out of memory", an OSError). Everywhere else (the
// parsers, the builders, the binding, the launch) memory runs out only when the process itself
// is in trouble, and that is an internal fault: fatal(kOutOfMemory).
inline constexpr std::string_view kOutOfMemory = "out of memory";

// Writes "solvarinth_trainer: internal fault: <message>" to standard error and raises SIGABRT.
[[noreturn]] void fatal(std::string_view message) noexcept;

// Runs f and turns any C++ exception that escapes it into an internal fault, so that nothing
// unwinds through the interpreter. Memory exhaustion is the one we expect to see here.
template <typename F>
auto no_unwind(F&& f) noexcept -> decltype(f()) {
    try {
        return std::forward<F>(f)();
    } catch (const std::bad_alloc&) {
        fatal(kOutOfMemory);
    } catch (...) {
        fatal("unexpected C++ exception");
    }
}

}  // namespace solvarinth
