// The package version, for the module's __version__ and the command's --version.
#pragma once

// The number itself is written only in pyproject.toml; the build passes it in.
#ifndef SOLVARINTH_VERSION
#error "SOLVARINTH_VERSION must come from the build (CMake reads it from pyproject.toml)"
#endif

namespace solvarinth {

inline constexpr char kVersion[] = SOLVARINTH_VERSION;

}  // namespace solvarinth
