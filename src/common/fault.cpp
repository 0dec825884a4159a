// Internal faults: a diagnostic on standard error, then SIGABRT.
#include "common/fault.hpp"

#include <csignal>
#include <cstdio>
#include <cstdlib>

// The Itanium C++ ABI's accessor of the calling thread's exception state, which creates it on the
// first call; libstdc++ and libc++abi both define it, only libstdc++'s <cxxabi.h> declares it.
namespace __cxxabiv1 {
struct __cxa_eh_globals;
extern "C" __cxa_eh_globals* __cxa_get_globals() noexcept;
}  // namespace __cxxabiv1

namespace solvarinth {

void prepare_exception_state() noexcept {
    __cxxabiv1::__cxa_eh_globals* const state = __cxxabiv1::__cxa_get_globals();
    // libstdc++ declares the accessor const: without a use of the result, a compiler that sees
    // that declaration may drop the call.
    asm volatile("" : : "r"(state));
}

void fatal(std::string_view message) noexcept {
    std::fprintf(stderr, "solvarinth_trainer: internal fault: %.*s\n",
                 static_cast<int>(message.size()), message.data());
    std::fflush(stderr);
    std::abort();
}

}  // namespace solvarinth
