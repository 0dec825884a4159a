// Internal faults: a diagnostic on standard error, then SIGABRT.
#include "common/fault.hpp"

#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace solvarinth {

void fatal(std::string_view message) noexcept {
    std::fprintf(stderr, "solvarinth_trainer: internal fault: %.*s\n",
                 static_cast<int>(message.size()), message.data());
    std::fflush(stderr);
    std::abort();
}

}  // namespace solvarinth
