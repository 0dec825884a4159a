// Internal faults and shared text helpers of the core.
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <new>
#include <string>

#include <doctest/doctest.h>

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

TEST_CASE("internal_faults_abort_with_a_diagnostic") {
    const auto [status, err] = in_child([] { solvarinth::fatal("invariant broken"); });
    CHECK(WIFSIGNALED(status));
    CHECK(WTERMSIG(status) == SIGABRT);
    CHECK(err.find("invariant broken") != std::string::npos);

    // Memory exhaustion escaping a guarded entry point becomes the same kind of fault.
    const auto [oom_status, oom_err] =
        in_child([] { solvarinth::no_unwind([]() -> int { throw std::bad_alloc(); }); });
    CHECK(WIFSIGNALED(oom_status));
    CHECK(WTERMSIG(oom_status) == SIGABRT);
    CHECK(oom_err.find("out of memory") != std::string::npos);
}

TEST_CASE("os_error_text_frames_the_system_message") {
    CHECK(solvarinth::os_error_text(2) == "No such file or directory (os error 2)");
    CHECK(solvarinth::os_error_text(99999) == "Unknown error 99999 (os error 99999)");
}

TEST_CASE("decimal_values_round_small_and_refuse_large") {
    CHECK(solvarinth::decimal_value("1e-400").value_or(-1) == 0.0);
    CHECK(solvarinth::decimal_value("0e400").value_or(-1) == 0.0);
    CHECK(solvarinth::decimal_value("0.000e99999999999").value_or(-1) == 0.0);
    CHECK(solvarinth::decimal_value("1e308").value_or(-1) == 1e308);
    CHECK_FALSE(solvarinth::decimal_value("1e309").has_value());
    CHECK_FALSE(solvarinth::decimal_value("17977e304").has_value());
    // Past a billion digits the first significant digit's place outweighs an exponent that was
    // once held at 10^9: 1e-400 and 1e399 written that long.
    std::string text(1'050'000'000 + 20, '0');
    text.replace(0, 1, "1").replace(1'050'000'001, std::string::npos, "e-1050000400");
    CHECK(solvarinth::decimal_value(text).value_or(-1) == 0.0);
    text.replace(0, 2, "0.").replace(1'050'000'002, std::string::npos, "1e1050000400");
    CHECK_FALSE(solvarinth::decimal_value(text).has_value());
}
