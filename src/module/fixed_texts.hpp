// Texts callers match on letter for letter, kept exactly although they read like another binding's.
#pragma once

namespace solvarinth::py {

// Callers' scripts, notebooks and tests compare these messages and names as they stand, so none
// may be reworded, even where one names a type (PyString, PyList), a library or a link that has
// nothing to do with how this module is built.

// The kinds that "'<type>' object cannot be converted to '<kind>'" names for str and for list.
inline constexpr char kStrKind[] = "PyString";
inline constexpr char kListKind[] = "PyList";
// The type in that message when the value's type has no readable __qualname__.
inline constexpr char kUnknownTypeName[] = "<failed to extract type name>";
// OverflowError for an int outside its field's range.
inline constexpr char kOutOfRange[] = "out of range integral type conversion attempted";
// SystemError for an API call that failed without setting an exception.
inline constexpr char kNoErrorSet[] = "attempted to fetch exception but none was set";
// RuntimeError for a TrainerConfig read during a write, and for a write during any access.
inline constexpr char kAlreadyMutablyBorrowed[] = "Already mutably borrowed";
inline constexpr char kAlreadyBorrowed[] = "Already borrowed";
// AttributeError for `del config.steps` and the like.
inline constexpr char kCannotDelete[] = "can't delete attribute";
// TrainerConfig's repr shows a present base_ckpt as Some('<quoted>'), an absent one as None.
inline constexpr char kSomeOpen[] = "Some(";
// The class's qualified name: its __module__ reads "builtins".
inline constexpr char kClassName[] = "builtins.TrainerConfig";
// RuntimeError when the class cannot be created, with the interpreter's error as its cause.
inline constexpr char kClassInitFailed[] = "An error occurred while initializing class TrainerConfig";
// ImportError for an import from a second interpreter.
inline constexpr char kSubinterpreterRefused[] =
    "PyO3 modules do not yet support subinterpreters, see https://github.com/PyO3/pyo3/issues/576";

}  // namespace solvarinth::py
