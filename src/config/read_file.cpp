// Existence check and whole-file read, retried on EINTR unless the caller's signal check says
// to stop; the descriptor never outlives the read.
#include "config/read_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "common/fault.hpp"
#include "common/large_block.hpp"
#include "common/os_error.hpp"
#include "common/utf8.hpp"

namespace solvarinth::config {
namespace {

constexpr std::string_view kNotFound = "Config file not found: ";
constexpr std::string_view kReadFailed = "Failed to read config: ";
constexpr std::string_view kInvalidUtf8 = "stream did not contain valid UTF-8";
constexpr std::size_t kInitialCapacity = 8192;  // for files that report no size (pipes, /proc)

Outcome read_failure(std::string_view cause) { return fail(ErrorClass::IO, kReadFailed, cause); }

// After a system call failed with EINTR: whether to give up, the check having said why.
bool stop_on_signal(SignalCheck on_signal) { return on_signal != nullptr && on_signal(); }

// Closes on every path out of the read, including early returns.
class Descriptor {
public:
    explicit Descriptor(int fd) noexcept : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const noexcept { return fd_; }

private:
    int fd_;
};

}  // namespace

bool TextBuffer::resize(std::size_t capacity) noexcept {
    char* moved = static_cast<char*>(std::realloc(data_.get(), capacity + 1));
    if (moved == nullptr) return false;
    data_.release();  // the old pointer is moved's, or realloc has freed it
    data_.reset(moved);
    capacity_ = capacity;
    return true;
}

Outcome check_exists(const std::string& path) {
    struct stat st;
    // A NUL cannot reach the kernel; like every other stat failure it means "not found".
    if (std::memchr(path.data(), '\0', path.size()) != nullptr || ::stat(path.c_str(), &st) != 0) {
        return fail(ErrorClass::FileNotFound, kNotFound, path);
    }
    return std::nullopt;
}

Outcome read_config_text(const std::string& path, TextBuffer& out, SignalCheck on_signal) {
    int opened;
    while ((opened = ::open(path.c_str(), O_RDONLY | O_CLOEXEC)) < 0 && errno == EINTR)
        if (stop_on_signal(on_signal)) return fail(ErrorClass::Interrupted, std::string());
    const int open_errno = errno;  // before anything else can overwrite it
    const Descriptor fd(opened);
    if (fd.get() < 0) return read_failure(os_error_text(open_errno));

    struct stat st;
    std::size_t capacity = kInitialCapacity;
    if (::fstat(fd.get(), &st) == 0 && st.st_size > 0) capacity = static_cast<std::size_t>(st.st_size);
    // One spare byte lets the final zero-length read (end of file) land without growing, and
    // holds the terminating NUL afterwards.
    char* block = static_cast<char*>(allocate_large(capacity + 1));
    if (block == nullptr) return read_failure(kOutOfMemory);
    out.data_.reset(block);
    out.capacity_ = capacity;
    out.size_ = 0;

    for (;;) {
        if (out.size_ == out.capacity_ + 1 && !out.resize(out.capacity_ * 2)) return read_failure(kOutOfMemory);
        const ssize_t n = ::read(fd.get(), out.data_.get() + out.size_, out.capacity_ + 1 - out.size_);
        if (n == 0) break;
        if (n < 0) {
            const int read_errno = errno;
            if (read_errno != EINTR) return read_failure(os_error_text(read_errno));
            if (stop_on_signal(on_signal)) return fail(ErrorClass::Interrupted, std::string());
            continue;
        }
        out.size_ += static_cast<std::size_t>(n);
    }
    // The loop ends only on a zero-length read, which it makes only with room left: the NUL fits.
    out.data_.get()[out.size_] = '\0';
    if (!is_valid_utf8(out.view())) return read_failure(kInvalidUtf8);
    return std::nullopt;
}

}  // namespace solvarinth::config
