# The system's libyaml (through pkg-config) and RapidJSON, for SOLVARINTH_SYSTEM_LIBS builds. Sets
# SOLVARINTH_YAML_TARGET and SOLVARINTH_RAPIDJSON_DIR.

# A missing dependency stops configuration with one message naming the packages to install,
# instead of CMake's own words under pip's banner.
set(SOLVARINTH_MISSING "")
find_package(PkgConfig QUIET)
if(PKG_CONFIG_FOUND)
  pkg_check_modules(YAML QUIET IMPORTED_TARGET yaml-0.1)
endif()
if(NOT PKG_CONFIG_FOUND)
  list(APPEND SOLVARINTH_MISSING "pkg-config")
elseif(NOT YAML_FOUND)
  list(APPEND SOLVARINTH_MISSING "libyaml (yaml-0.1.pc)")
endif()
find_path(RAPIDJSON_INCLUDE_DIR rapidjson/reader.h)
if(NOT RAPIDJSON_INCLUDE_DIR)
  list(APPEND SOLVARINTH_MISSING "RapidJSON (rapidjson/reader.h)")
endif()
if(SOLVARINTH_MISSING)
  list(JOIN SOLVARINTH_MISSING ", " SOLVARINTH_MISSING_TEXT)
  message(FATAL_ERROR
    "solvarinth_trainer cannot be built with SOLVARINTH_SYSTEM_LIBS: not found: ${SOLVARINTH_MISSING_TEXT}.\n"
    "Install the build dependencies, then build again:\n"
    "  Debian/Ubuntu: sudo apt-get install g++ pkg-config libyaml-dev rapidjson-dev\n"
    "  Fedora:        sudo dnf install gcc-c++ pkgconf-pkg-config libyaml-devel rapidjson-devel\n"
    "  Homebrew:      brew install pkg-config libyaml rapidjson\n"
    "Or leave SOLVARINTH_SYSTEM_LIBS off to build with the copies in third_party/. "
    "See the Install section of README.md; a prebuilt wheel needs none of these.")
endif()

# The YAML verdicts and error positions are tested against one libyaml; another may differ.
if(NOT YAML_VERSION VERSION_EQUAL SOLVARINTH_LIBYAML_VERSION)
  message(WARNING
    "The system's libyaml is ${YAML_VERSION}, not ${SOLVARINTH_LIBYAML_VERSION} as in third_party/ "
    "and the tests: YAML configs may be judged differently (verdicts, error positions).")
endif()

set(SOLVARINTH_YAML_TARGET PkgConfig::YAML)
set(SOLVARINTH_RAPIDJSON_DIR "${RAPIDJSON_INCLUDE_DIR}")
