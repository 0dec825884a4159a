// Status texts checked against the system's own signal numbering and names and against real
// children's wait statuses; the command line checked on edge requests.
#include <signal.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <string>
#include <vector>

#include <doctest/doctest.h>

#include "launch/command.hpp"
#include "launch/exit_status.hpp"

using solvarinth::launch::build_argv;
using solvarinth::launch::has_nul;
using solvarinth::launch::signal_name;
using solvarinth::launch::status_text;
using solvarinth::launch::TrainerLaunchRequest;

namespace {

// The Linux wait-status layout, written out here so that the expectations do not come from the
// macros the code under test decodes with: exit code in bits 8-15, signal in bits 0-6, core
// flag in bit 7, 0x7f in the low byte for a stopped child.
constexpr int exited(int code) { return (code & 0xff) << 8; }
constexpr int killed(int signo, bool core) { return signo | (core ? 0x80 : 0); }
constexpr int stopped(int signo) { return (signo << 8) | 0x7f; }

// The name the C library gives a signal number, "" where it has none (0, the real-time range,
// numbers past it). glibc names 29 "POLL"; its other name, "IO", is the one the texts use.
std::string system_name(int signo) {
    const char* abbrev = sigabbrev_np(signo);
    if (abbrev == nullptr) return "";
    return signo == SIGIO ? "SIGIO" : std::string("SIG") + abbrev;
}

std::string signal_text(int signo, bool core) {
    const std::string name = system_name(signo);
    return "signal: " + std::to_string(signo) + (name.empty() ? "" : " (" + name + ")") +
           (core ? " (core dumped)" : "");
}

// The wait status the kernel reports for a child that runs body.
template <typename F>
int status_of_child(F body) {
    const pid_t pid = fork();
    if (pid == 0) {
        body();
        _exit(0);
    }
    int status = -1;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return -1;
    return status;
}

// Ends the calling child through signo's default action, whatever the parent had set up.
void die_by(int signo) {
    signal(signo, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signo);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
    raise(signo);
}

}  // namespace

TEST_CASE("signal_names_follow_the_system_numbering") {
    static_assert(SIGPOLL == SIGIO);
    for (int signo = 0; signo <= 130; ++signo) {
        CAPTURE(signo);
        CHECK(std::string(signal_name(signo)) == system_name(signo));
    }
    for (int signo : {-1, -9, INT_MIN, INT_MAX, SIGRTMAX + 1}) {
        CAPTURE(signo);
        CHECK(signal_name(signo).empty());
    }
}

TEST_CASE("signal_statuses_name_the_signal_and_the_core_flag") {
    // 1 to 126: every number the 7 signal bits can hold (127 marks a stopped child).
    for (int signo = 1; signo <= 126; ++signo) {
        for (bool core : {false, true}) {
            CAPTURE(signo);
            CAPTURE(core);
            CHECK(status_text(killed(signo, core)) == signal_text(signo, core));
        }
    }
}

TEST_CASE("exit_statuses_and_states_waitpid_does_not_report") {
    for (int code : {1, 2, 126, 127, 128, 129, 255}) {
        CAPTURE(code);
        CHECK(status_text(exited(code)) == "exit status: " + std::to_string(code));
    }
    // Without WUNTRACED or WCONTINUED these never arrive; they must not pass for an exit or a
    // signal, whose texts would then be wrong.
    for (int status : {stopped(SIGSTOP), stopped(SIGTSTP), stopped(SIGTTIN), 0xffff}) {
        CAPTURE(status);
        CHECK(status_text(status).starts_with("unrecognised wait status"));
    }
}

TEST_CASE("real_children_get_the_texts_of_their_ends") {
    struct Row {
        int exit_code;  // -1: ends by signo instead
        int signo;
        std::string text;
    };
    const Row rows[] = {
        {1, 0, "exit status: 1"},
        {255, 0, "exit status: 255"},
        {256 + 3, 0, "exit status: 3"},  // the kernel keeps the low 8 bits
        {-1, SIGKILL, signal_text(SIGKILL, false)},
        {-1, SIGTERM, signal_text(SIGTERM, false)},
        {-1, SIGUSR1, signal_text(SIGUSR1, false)},
        {-1, SIGRTMIN, signal_text(SIGRTMIN, false)},
        {-1, SIGRTMAX, signal_text(SIGRTMAX, false)},
    };
    for (const Row& row : rows) {
        const int status = status_of_child([&] {
            if (row.exit_code >= 0) _exit(row.exit_code);
            die_by(row.signo);
        });
        CAPTURE(row.exit_code);
        CAPTURE(row.signo);
        CHECK(status_text(status) == row.text);
    }
}

TEST_CASE("argv_layout_and_nul_refusal") {
    TrainerLaunchRequest request{"c.json", "", 18446744073709551615ULL, 4294967295U, std::string()};
    const std::vector<std::string> argv = build_argv(request);
    REQUIRE(argv.size() == 18u);  // the indexing below needs every slot
    CHECK(argv[13] == "18446744073709551615");
    CHECK(argv[15] == "4294967295");
    CHECK(argv[16] == "--base-ckpt");
    CHECK(argv[17] == std::string());
    CHECK_FALSE(has_nul(argv));
    request.base_ckpt.reset();
    request.output_dir = std::string("a\0b", 3);
    const std::vector<std::string> with_nul = build_argv(request);
    CHECK(with_nul.size() == 16u);
    CHECK(has_nul(with_nul));
}
