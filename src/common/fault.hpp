// Internal faults: violated invariants and memory exhaustion end the process, never unwind.
#pragma once

#include <new>
#include <string_view>
#include <utility>

namespace solvarinth {

// Writes "solvarinth_trainer: internal fault: <message>" to standard error and raises SIGABRT.
[[noreturn]] void fatal(std::string_view message) noexcept;

// Runs f and turns any C++ exception that escapes it into an internal fault, so that nothing
// unwinds through the interpreter. Memory exhaustion is the one we expect to see here.
template <typename F>
auto no_unwind(F&& f) noexcept -> decltype(f()) {
    try {
        return std::forward<F>(f)();
    } catch (const std::bad_alloc&) {
        fatal("out of memory");
    } catch (...) {
        fatal("unexpected C++ exception");
    }
}

}  // namespace solvarinth
