// Status texts and the command line, checked on synthesised wait statuses and requests.
#include <string>
#include <vector>

#include "check.hpp"
#include "launch/command.hpp"
#include "launch/exit_status.hpp"

using solvarinth::launch::build_argv;
using solvarinth::launch::has_nul;
using solvarinth::launch::status_text;
using solvarinth::launch::TrainerLaunchRequest;

TEST(status_texts) {
    struct Row {
        int status;
        const char* text;
    };
    const Row rows[] = {
        {3 << 8, "exit status: 3"},
        {255 << 8, "exit status: 255"},
        {1 << 8, "exit status: 1"},
        {9, "signal: 9 (SIGKILL)"},
        {11 | 0x80, "signal: 11 (SIGSEGV) (core dumped)"},
        {6 | 0x80, "signal: 6 (SIGABRT) (core dumped)"},
        {16, "signal: 16 (SIGSTKFLT)"},
        {31, "signal: 31 (SIGSYS)"},
        {32, "signal: 32"},
        {34, "signal: 34"},
        {64 | 0x80, "signal: 64 (core dumped)"},
    };
    for (const Row& row : rows) CHECK_EQ(status_text(row.status), std::string(row.text));
}

TEST(every_classic_signal_has_a_name) {
    const char* names[] = {"SIGHUP",  "SIGINT",  "SIGQUIT", "SIGILL",    "SIGTRAP", "SIGABRT", "SIGBUS",
                           "SIGFPE",  "SIGKILL", "SIGUSR1", "SIGSEGV",   "SIGUSR2", "SIGPIPE", "SIGALRM",
                           "SIGTERM", "SIGSTKFLT", "SIGCHLD", "SIGCONT", "SIGSTOP", "SIGTSTP", "SIGTTIN",
                           "SIGTTOU", "SIGURG",  "SIGXCPU", "SIGXFSZ",   "SIGVTALRM", "SIGPROF", "SIGWINCH",
                           "SIGIO",   "SIGPWR",  "SIGSYS"};
    for (int signo = 1; signo <= 31; ++signo)
        CHECK_EQ(status_text(signo), "signal: " + std::to_string(signo) + " (" + names[signo - 1] + ")");
}

TEST(argv_layout_and_nul_refusal) {
    TrainerLaunchRequest request{"c.json", "", 18446744073709551615ULL, 4294967295U, std::string()};
    const std::vector<std::string> argv = build_argv(request);
    CHECK_EQ(argv.size(), 18u);
    CHECK_EQ(argv[13], std::string("18446744073709551615"));
    CHECK_EQ(argv[15], std::string("4294967295"));
    CHECK_EQ(argv[16], std::string("--base-ckpt"));
    CHECK_EQ(argv[17], std::string());
    CHECK_EQ(has_nul(argv), false);
    request.base_ckpt.reset();
    request.output_dir = std::string("a\0b", 3);
    const std::vector<std::string> with_nul = build_argv(request);
    CHECK_EQ(with_nul.size(), 16u);
    CHECK_EQ(has_nul(with_nul), true);
}
