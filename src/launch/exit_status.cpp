// The text of a child's wait status.
#include "launch/exit_status.hpp"

#include <sys/wait.h>

#include <array>
#include <cstdio>

namespace solvarinth::launch {
namespace {

// Linux numbering on x86-64 and the other common architectures.
constexpr std::array<std::string_view, 32> kSignalNames = {
    "",        "SIGHUP",  "SIGINT",    "SIGQUIT", "SIGILL",    "SIGTRAP",   "SIGABRT", "SIGBUS",
    "SIGFPE",  "SIGKILL", "SIGUSR1",   "SIGSEGV", "SIGUSR2",   "SIGPIPE",   "SIGALRM", "SIGTERM",
    "SIGSTKFLT", "SIGCHLD", "SIGCONT", "SIGSTOP", "SIGTSTP",   "SIGTTIN",   "SIGTTOU", "SIGURG",
    "SIGXCPU", "SIGXFSZ", "SIGVTALRM", "SIGPROF", "SIGWINCH",  "SIGIO",     "SIGPWR",  "SIGSYS",
};

}  // namespace

std::string_view signal_name(int signo) noexcept {
    if (signo <= 0 || signo >= static_cast<int>(kSignalNames.size())) return {};
    return kSignalNames[static_cast<std::size_t>(signo)];
}

std::string status_text(int status) {
    if (WIFEXITED(status)) return "exit status: " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) {
        const int signo = WTERMSIG(status);
        std::string text = "signal: " + std::to_string(signo);
        if (const std::string_view name = signal_name(signo); !name.empty()) {
            text += " (";
            text += name;
            text += ')';
        }
        if (WCOREDUMP(status)) text += " (core dumped)";
        return text;
    }
    // waitpid without WUNTRACED never reports a stop; keep the raw word rather than guess.
    char buf[64];
    std::snprintf(buf, sizeof buf, "unrecognised wait status: %d %#x", status, static_cast<unsigned>(status));
    return buf;
}

}  // namespace solvarinth::launch
