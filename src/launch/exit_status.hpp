// The text of a child's wait status, as shown after "train_generic exited with status: ".
#pragma once

#include <string>
#include <string_view>

namespace solvarinth::launch {

// "SIGKILL" and the like for signals 1 to 31; empty for any other number.
std::string_view signal_name(int signo) noexcept;

// "exit status: N", or "signal: N (NAME)" with " (core dumped)" when the core flag is set.
// Precondition: status != 0 (0 is success and gets no text).
std::string status_text(int status);

}  // namespace solvarinth::launch
