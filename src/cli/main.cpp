// solvarinth-check: runs the config check of train_from_config over each PATH, launching nothing.
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>

#include "cli/options.hpp"
#include "cli/report.hpp"
#include "common/fault.hpp"
#include "common/version.hpp"
#include "config/validate.hpp"

namespace {

using namespace solvarinth;

enum Status { kPassed = 0, kFailed = 1, kBadUsage = 2 };

// Writes all of text to fd; false on a write error, with errno set. A reader that went away
// (EPIPE) shows up here as a plain error because SIGPIPE is ignored.
bool write_all(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Standard output failed: a closed pipe (`| head`) ends the command quietly, anything else
// (a full disk) is worth a word on standard error. Either way the verdict is not fully known
// to the reader, so the status is a failure.
int output_failed() {
    if (errno != EPIPE) {
        const std::string note = std::string("solvarinth-check: cannot write output: ") + std::strerror(errno) + "\n";
        (void)write_all(STDERR_FILENO, note);
    }
    return kFailed;
}

int check_all(const cli::Options& options) {
    int status = kPassed;
    for (const std::string& path : options.paths) {
        const Outcome outcome = config::validate_config(path);
        if (!outcome) continue;
        status = kFailed;
        if (!write_all(STDOUT_FILENO, cli::report_line(options.format, path, *outcome))) return output_failed();
    }
    return status;
}

int run(int argc, char** argv) {
    const cli::Options options = cli::parse_options(argc, argv);
    switch (options.action) {
        case cli::Action::Help:
            return write_all(STDOUT_FILENO, cli::help_text()) ? kPassed : output_failed();
        case cli::Action::Version:
            return write_all(STDOUT_FILENO, std::string("solvarinth-check ") + kVersion + "\n") ? kPassed
                                                                                                : output_failed();
        case cli::Action::UsageError:
            (void)write_all(STDERR_FILENO, "solvarinth-check: " + options.problem + "\n" + std::string(cli::kUsage));
            return kBadUsage;
        case cli::Action::Check:
            break;
    }
    return check_all(options);
}

}  // namespace

int main(int argc, char** argv) {
    // A write to a closed pipe must become EPIPE, not a silent death by signal with status 141.
    ::signal(SIGPIPE, SIG_IGN);
    // Memory exhaustion in the parsers ends in the same internal-fault diagnostic as in the module.
    return solvarinth::no_unwind([&] { return run(argc, argv); });
}
