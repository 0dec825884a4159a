/* A stand-in for cargo in tests: records its argument vector, then ends as the test asks.
 *
 *   FAKE_CARGO_LOG     file that receives every argv entry (argv[0] included), each followed by NUL
 *   FAKE_CARGO_EXIT    exit code to leave with (default 0)
 *   FAKE_CARGO_SIGNAL  signal number to kill itself with instead
 *   FAKE_CARGO_CORE    when set with FAKE_CARGO_SIGNAL, allow a core dump first
 *   FAKE_CARGO_SLEEP_MS  sleep this long before ending
 *   FAKE_CARGO_CWD_LOG  file that receives the working directory the child started in
 *   FAKE_CARGO_SIGPIPE_LOG  file that receives "default" or "changed": SIGPIPE's disposition
 */
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

int main(int argc, char** argv) {
    const char* log = getenv("FAKE_CARGO_LOG");
    if (log != NULL) {
        FILE* f = fopen(log, "wb");
        if (f == NULL) return 99;
        for (int i = 0; i < argc; ++i) fwrite(argv[i], 1, strlen(argv[i]) + 1, f);
        fclose(f);
    }
    const char* cwd_log = getenv("FAKE_CARGO_CWD_LOG");
    if (cwd_log != NULL) {
        char cwd[4096];
        FILE* f = fopen(cwd_log, "wb");
        if (f == NULL || getcwd(cwd, sizeof cwd) == NULL) return 98;
        fputs(cwd, f);
        fclose(f);
    }
    const char* pipe_log = getenv("FAKE_CARGO_SIGPIPE_LOG");
    if (pipe_log != NULL) {
        struct sigaction current;
        sigaction(SIGPIPE, NULL, &current);
        FILE* f = fopen(pipe_log, "wb");
        if (f == NULL) return 97;
        fputs(current.sa_handler == SIG_DFL ? "default" : "changed", f);
        fclose(f);
    }
    const char* sleep_ms = getenv("FAKE_CARGO_SLEEP_MS");
    if (sleep_ms != NULL) {
        long ms = atol(sleep_ms);
        struct timespec ts = {ms / 1000, (ms % 1000) * 1000000L};
        while (nanosleep(&ts, &ts) != 0) {}
    }
    const char* sig = getenv("FAKE_CARGO_SIGNAL");
    if (sig != NULL) {
        int signo = atoi(sig);
        struct rlimit core = {0, 0};
        if (getenv("FAKE_CARGO_CORE") != NULL) core.rlim_cur = core.rlim_max = RLIM_INFINITY;
        setrlimit(RLIMIT_CORE, &core);
        signal(signo, SIG_DFL);
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, signo);
        sigprocmask(SIG_UNBLOCK, &set, NULL);
        raise(signo);
    }
    const char* code = getenv("FAKE_CARGO_EXIT");
    return code != NULL ? atoi(code) : 0;
}
