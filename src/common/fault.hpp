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

// Has the C++ runtime make the calling thread's exception state now, while memory is still there.
// A runtime loaded by dlopen keeps it in thread-local storage that glibc allocates on the first
// use in each thread; if that first use is a std::bad_alloc thrown because memory has run out,
// the allocation fails as well and glibc ends the process before any handler of ours runs.
void prepare_exception_state() noexcept;

// Runs f and turns any C++ exception that escapes it into an internal fault, so that nothing
// unwinds through the interpreter. Memory exhaustion is the one we expect to see here: our own
// operator new aborts without throwing (operator_new.cpp), but the compiled code of the shared
// libstdc++ allocates with its own, which throws, and so does ours under the sanitizers. Every
// entry from the interpreter, on whichever thread, comes through here, so that thread's exception
// state is made first.
template <typename F>
auto no_unwind(F&& f) noexcept -> decltype(f()) {
    prepare_exception_state();
    try {
        return std::forward<F>(f)();
    } catch (const std::bad_alloc&) {
        fatal(kOutOfMemory);
    } catch (...) {
        fatal("unexpected C++ exception");
    }
}

}  // namespace solvarinth
