/* A stand-in for cargo in tests: records its argument vector, then ends as the test asks.
 *
 *   FAKE_CARGO_LOG     file that receives every argv entry (argv[0] included), each followed by NUL
 *   FAKE_CARGO_EXIT    exit code to leave with (default 0)
 *   FAKE_CARGO_SIGNAL  signal number to kill itself with instead
 *   FAKE_CARGO_CORE    when set with FAKE_CARGO_SIGNAL, allow a core dump first
 *   FAKE_CARGO_SLEEP_MS  sleep this long before ending
 *   FAKE_CARGO_CWD_LOG  file that receives the working directory the child started in
 *   FAKE_CARGO_SIGPIPE_LOG  file that receives "default" or "changed": SIGPIPE's disposition
 *   FAKE_CARGO_TIMES   file to which one line "START END\n" is appended (CLOCK_MONOTONIC seconds,
 *                      as Python's time.monotonic) just before ending; O_APPEND keeps the lines of
 *                      concurrent fakes whole
 *   FAKE_CARGO_OUTPUT_BYTES  write this many bytes of numbered lines to standard output first
 *   FAKE_CARGO_SIGNAL_PARENT  send this signal to the parent process (only it) halfway through
 *                      the sleep, when the parent is surely waiting
 *   FAKE_CARGO_EXIT_FROM_SEED  exit with the value of --seed (mod 256) instead of FAKE_CARGO_EXIT,
 *                      so that concurrent calls can tell their children's statuses apart
 */
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

static double monotonic_now(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (double)ts.tv_sec + (double)ts.tv_nsec / 1e9;
}

static int record_times(double start) {
    const char* path = getenv("FAKE_CARGO_TIMES");
    if (path == NULL) return 0;
    char line[64];
    int n = snprintf(line, sizeof line, "%.6f %.6f\n", start, monotonic_now());
    int fd = open(path, O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (fd < 0 || write(fd, line, (size_t)n) != n) return 96;
    close(fd);
    return 0;
}

/* Numbered lines "line 000001 ....\n" of 64 bytes, the last one cut to fit. */
static int write_output(long total) {
    char line[80];
    for (long i = 0; total > 0; ++i) {
        int n = snprintf(line, sizeof line, "line %06ld %051d\n", i, 0);
        if (n > total) n = (int)total;
        if (fwrite(line, 1, (size_t)n, stdout) != (size_t)n) return 95;
        total -= n;
    }
    return fflush(stdout) == 0 ? 0 : 95;
}

static void sleep_for(long ms) {
    struct timespec ts = {ms / 1000, (ms % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0) {}
}

int main(int argc, char** argv) {
    const double started = monotonic_now();
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
    const char* output = getenv("FAKE_CARGO_OUTPUT_BYTES");
    if (output != NULL && write_output(atol(output)) != 0) return 95;
    const char* sleep_ms = getenv("FAKE_CARGO_SLEEP_MS");
    const char* parent_sig = getenv("FAKE_CARGO_SIGNAL_PARENT");
    long ms = sleep_ms != NULL ? atol(sleep_ms) : 0;
    sleep_for(parent_sig != NULL ? ms / 2 : ms);
    if (parent_sig != NULL) {
        kill(getppid(), atoi(parent_sig));
        sleep_for(ms - ms / 2);
    }
    if (record_times(started) != 0) return 96;
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
    if (getenv("FAKE_CARGO_EXIT_FROM_SEED") != NULL) {
        for (int i = 1; i + 1 < argc; ++i)
            if (strcmp(argv[i], "--seed") == 0) return atoi(argv[i + 1]) % 256;
        return 94;
    }
    const char* code = getenv("FAKE_CARGO_EXIT");
    return code != NULL ? atoi(code) : 0;
}
