// Internal faults and shared text helpers of the core.
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <new>
#include <string>

#include "check.hpp"
#include "common/decimal.hpp"
#include "common/fault.hpp"
#include "common/os_error.hpp"

namespace {

// Runs body in a child; returns its wait status and what it wrote to standard error.
template <typename F>
std::pair<int, std::string> in_child(F body) {
    int fds[2];
    if (pipe(fds) != 0) return {-1, ""};
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 2);
        close(fds[0]);
        body();
        _exit(0);
    }
    close(fds[1]);
    std::string err;
    char buf[256];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) err.append(buf, static_cast<std::size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return {status, err};
}

}  // namespace

TEST(internal_faults_abort_with_a_diagnostic) {
    const auto [status, err] = in_child([] { solvarinth::fatal("invariant broken"); });
    CHECK_EQ(WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT, true);
    CHECK_EQ(err.find("invariant broken") != std::string::npos, true);

    // Memory exhaustion escaping a guarded entry point becomes the same kind of fault.
    const auto [oom_status, oom_err] =
        in_child([] { solvarinth::no_unwind([]() -> int { throw std::bad_alloc(); }); });
    CHECK_EQ(WIFSIGNALED(oom_status) && WTERMSIG(oom_status) == SIGABRT, true);
    CHECK_EQ(oom_err.find("out of memory") != std::string::npos, true);
}

TEST(os_error_text_frames_the_system_message) {
    CHECK_EQ(solvarinth::os_error_text(2), std::string("No such file or directory (os error 2)"));
    CHECK_EQ(solvarinth::os_error_text(99999), std::string("Unknown error 99999 (os error 99999)"));
}

TEST(decimal_values_round_small_and_refuse_large) {
    CHECK_EQ(solvarinth::decimal_value("1e-400").value_or(-1), 0.0);
    CHECK_EQ(solvarinth::decimal_value("0e400").value_or(-1), 0.0);
    CHECK_EQ(solvarinth::decimal_value("0.000e99999999999").value_or(-1), 0.0);
    CHECK_EQ(solvarinth::decimal_value("1e308").value_or(-1), 1e308);
    CHECK_EQ(solvarinth::decimal_value("1e309").has_value(), false);
    CHECK_EQ(solvarinth::decimal_value("17977e304").has_value(), false);
}
