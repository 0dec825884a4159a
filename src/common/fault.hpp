// Internal faults: violated invariants and memory exhaustion end the process, never unwind.
#pragma once

#include <new>
#include <string_view>
#include <utility>

namespace solvarinth {

// Out of memory: the config read reports it ("Failed to read config: out of memory", an
// ErrorClass::IO failure) because its buffer is sized by the file, an input the caller controls;
// anywhere else it is an internal fault, fatal(kOutOfMemory), as only a process already in
// trouble gets there.
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
