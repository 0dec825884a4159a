// Stage 1 and 2 of validation: the path must exist, and the file must read whole as UTF-8.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "common/trainer_error.hpp"

namespace solvarinth::config {

// The file content in one malloc'd block that always has a NUL byte after the text, so parsers
// that stop at NUL never read past the end (a NUL inside the text is still part of it).
class TextBuffer {
public:
    std::string_view view() const noexcept { return {data_.get(), size_}; }
    const char* c_str() const noexcept { return data_ ? data_.get() : ""; }

private:
    friend Outcome read_config_text(const std::string& path, TextBuffer& out, SignalCheck on_signal);
    // Moves the text to a block of capacity usable bytes and the NUL's slot; false, with the
    // block as it was, when there is no memory for it.
    bool resize(std::size_t capacity) noexcept;
    struct Free {
        void operator()(char* p) const noexcept { std::free(p); }
    };
    std::unique_ptr<char, Free> data_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;  // usable bytes, not counting the terminating NUL's slot
};

// Fails as ErrorClass::FileNotFound when the path cannot be stat'ed (following links), and as
// ErrorClass::IO for open/read failures, an allocation failure, or content that is not UTF-8.
// An open or read interrupted by a signal is tried again unless on_signal says to stop: a FIFO
// without a writer blocks in either until someone opens its other end.
Outcome check_exists(const std::string& path);
Outcome read_config_text(const std::string& path, TextBuffer& out, SignalCheck on_signal = nullptr);

}  // namespace solvarinth::config
