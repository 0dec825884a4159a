// The one failure record carried from the config and launch stages up to the Python boundary.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "common/diagnostic.hpp"

namespace solvarinth {

// The interpreter exception class a failure is raised as; the core never names Python types.
// Interrupted: a signal check (SignalCheck) ended the call and has recorded why itself (in the
// module, the exception a Python signal handler raised), so there is nothing more to raise.
enum class ErrorClass { FileNotFound, IO, Value, Runtime, Interrupted };

// Asked when a blocking system call was interrupted by a signal: true ends the call (as
// ErrorClass::Interrupted), false tries the system call again. No check means always again.
using SignalCheck = bool (*)() noexcept;

struct TrainerError {
    ErrorClass cls;
    std::string message;  // the whole message, raised as the exception's single argument
    // The first "line L column C" that message shows, for tools that point into the file; the
    // Python boundary ignores it.
    std::optional<TextPosition> position = std::nullopt;
};

// Empty on success. Kept as a plain optional so the success path allocates nothing.
using Outcome = std::optional<TrainerError>;

inline Outcome fail(ErrorClass cls, std::string message) {
    return TrainerError{cls, std::move(message)};
}

// A fixed prefix ("Failed to read config: ") followed by the cause text.
inline Outcome fail(ErrorClass cls, std::string_view prefix, std::string_view cause) {
    std::string message;
    message.reserve(prefix.size() + cause.size());
    message.append(prefix).append(cause);
    return TrainerError{cls, std::move(message)};
}

// A fixed prefix followed by a parser's diagnostic, whose position the error keeps.
inline Outcome fail(ErrorClass cls, std::string_view prefix, const Diagnostic& cause) {
    Outcome error = fail(cls, prefix, std::string_view(cause.text));
    error->position = cause.position;
    return error;
}

}  // namespace solvarinth
