// Trainer launch: posix_spawnp, an EINTR-retrying waitpid, and the status verdict.
#include "launch/spawn.hpp"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <csignal>

#include "common/os_error.hpp"
#include "launch/exit_status.hpp"

extern char** environ;

namespace solvarinth::launch {
namespace {

constexpr std::string_view kLaunchFailed = "Failed to launch train_generic command: ";
constexpr std::string_view kExited = "train_generic exited with status: ";
constexpr std::string_view kNulByte = "nul byte found in provided data";

Outcome launch_failure(std::string_view cause) { return fail(ErrorClass::Runtime, kLaunchFailed, cause); }

// posix_spawnattr_t needs a destroy on every path once initialised.
class SpawnAttributes {
public:
    SpawnAttributes() { error_ = posix_spawnattr_init(&attr_); }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
    ~SpawnAttributes() {
        if (error_ == 0) posix_spawnattr_destroy(&attr_);
    }

    // The interpreter ignores SIGPIPE and ignored signals survive exec, so without this a
    // trainer writing into a closed pipe would get EPIPE instead of dying as programs expect.
    int reset_sigpipe() {
        if (error_ != 0) return error_;
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGPIPE);
        if (int rc = posix_spawnattr_setsigdefault(&attr_, &defaults)) return rc;
        return posix_spawnattr_setflags(&attr_, POSIX_SPAWN_SETSIGDEF);
    }
    const posix_spawnattr_t* get() const noexcept { return &attr_; }

private:
    posix_spawnattr_t attr_;
    int error_;
};

// Starts the child; 0 and its pid, or the errno of the failed start. glibc's posix_spawnp
// reports a failed exec (ENOENT, EACCES, E2BIG...) here rather than as an exit status.
int start(const std::vector<std::string>& argv, pid_t* pid) {
    SpawnAttributes attributes;
    if (int rc = attributes.reset_sigpipe()) return rc;
    std::vector<char*> pointers;
    pointers.reserve(argv.size() + 1);
    for (const std::string& entry : argv) pointers.push_back(const_cast<char*>(entry.c_str()));
    pointers.push_back(nullptr);
    return posix_spawnp(pid, pointers[0], nullptr, attributes.get(), pointers.data(), environ);
}

// Waits for the child to end. A signal arriving meanwhile (EINTR) must not end the wait: the
// interpreter only notes it in its handler and runs the Python-level handler after we return.
// Another thread of the process that reaps any child (waitpid(-1), wait()) can take this
// child's status first; then waitpid fails with ECHILD and the wait fails with it. With SIGCHLD
// ignored the kernel reaps the child itself and waitpid fails with ECHILD once it has ended.
int wait_for(pid_t pid, int* status) noexcept {
    for (;;) {
        if (::waitpid(pid, status, 0) == pid) return 0;
        if (errno != EINTR) return errno;
    }
}

}  // namespace

Outcome start_trainer(const TrainerLaunchRequest& request, Child* child) {
    const std::vector<std::string> argv = build_argv(request);
    if (has_nul(argv)) return launch_failure(kNulByte);
    if (int rc = start(argv, &child->pid)) return launch_failure(os_error_text(rc));
    return std::nullopt;
}

ChildEnd wait_child(Child child) noexcept {
    ChildEnd end;
    end.error = wait_for(child.pid, &end.status);
    return end;
}

Outcome judge_end(ChildEnd end) {
    if (end.error != 0) return launch_failure(os_error_text(end.error));
    if (end.status == 0) return std::nullopt;
    return fail(ErrorClass::Runtime, kExited, status_text(end.status));
}

}  // namespace solvarinth::launch
