# libyaml and RapidJSON from third_party/, the default. Sets SOLVARINTH_YAML_TARGET and
# SOLVARINTH_RAPIDJSON_DIR.

# libyaml as a static library of our own: hidden symbols (the module exports nothing of it, and
# cannot clash with another libyaml in the process), no DLL import markers, and the version macros
# libyaml's own build writes into its config.h. It is compiled from a copy in the build directory
# with our patches applied (cmake/libyaml_patch.cmake; why each one, in its header in
# third_party/patches/). SOLVARINTH_SYSTEM_LIBS builds take the distribution's libyaml as it is,
# without them.
include(cmake/libyaml_patch.cmake)
set(yaml_dir ${CMAKE_CURRENT_BINARY_DIR}/libyaml-${SOLVARINTH_LIBYAML_VERSION})
solvarinth_patch_libyaml(${CMAKE_CURRENT_SOURCE_DIR}/third_party/libyaml ${yaml_dir})
file(GLOB SOLVARINTH_LIBYAML_SOURCES ${yaml_dir}/src/*.c)
add_library(solvarinth_yaml STATIC ${SOLVARINTH_LIBYAML_SOURCES})
string(REPLACE "." ";" yaml_version_parts ${SOLVARINTH_LIBYAML_VERSION})
list(GET yaml_version_parts 0 yaml_major)
list(GET yaml_version_parts 1 yaml_minor)
list(GET yaml_version_parts 2 yaml_patch)
target_compile_definitions(solvarinth_yaml
  PUBLIC YAML_DECLARE_STATIC
  PRIVATE YAML_VERSION_MAJOR=${yaml_major} YAML_VERSION_MINOR=${yaml_minor}
          YAML_VERSION_PATCH=${yaml_patch} YAML_VERSION_STRING="${SOLVARINTH_LIBYAML_VERSION}")
target_include_directories(solvarinth_yaml SYSTEM PUBLIC ${yaml_dir}/include)
# libyaml checks its invariants with assert(), as in the distributions' builds; a release build's
# NDEBUG would turn a broken invariant into undefined behaviour instead of a stop.
target_compile_options(solvarinth_yaml PRIVATE -UNDEBUG)

set(SOLVARINTH_YAML_TARGET solvarinth_yaml)
set(SOLVARINTH_RAPIDJSON_DIR ${CMAKE_CURRENT_SOURCE_DIR}/third_party/rapidjson/include)
