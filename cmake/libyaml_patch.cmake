# Our patches to the vendored libyaml, applied at configure time to a copy of third_party/libyaml
# in the build directory; third_party/libyaml stays byte for byte as upstream released it.
#
# The patch is applied here, in CMake, rather than by `patch`: an sdist must build with a compiler
# and CMake alone (scripts/check_sdist_in_root.sh builds it in a Debian root that has no `patch`),
# and `git apply` needs a checkout. The application is strict: every hunk must match exactly at
# its line, no offset, no fuzz. Three sets of SHA-256 pins keep it exact: the patch itself, each
# file it touches as vendored (another libyaml needs the patch ported), and each file as patched
# (what GNU `patch -p1` makes of them, so a fault in this applier cannot go unnoticed).
#
# After changing the patch: make it with `diff -u` (a/ and b/ paths relative to the libyaml
# directory, context lines kept with their leading space), check that `patch -p1 --dry-run` in a
# copy of third_party/libyaml takes it, then renew the pins from the messages configure prints.

set(SOLVARINTH_LIBYAML_PATCH
    ${CMAKE_CURRENT_SOURCE_DIR}/third_party/patches/libyaml-0.2.5-tag-directive-index.patch)
set(SOLVARINTH_LIBYAML_PATCH_PIN d4e79cd3fbf151365e8e1d6ed7cd08a3a0b73a96e6394887f4221657c9e99459)
# Each file the patch touches: its SHA-256 as vendored, then as patched.
set(SOLVARINTH_LIBYAML_PATCHED_PINS
  include/yaml.h   de39c9fc2b2c8584775e6d0dc0f13c8e778ceba47d419cff9d85465ca35d6954
                   94b1c6793b24ebe0f0c97011b7661ab73872c891ac122abb7f4f3759158b86cf
  src/api.c        71f9263a2c77237762c8fa5e7c3d2bdd35723ecf1e2898222c7a603a5bf3f2db
                   1ea7aa169fe30eb2d33e687f917d828b85784363b1aae8320cf60ea502388694
  src/parser.c     b418ed8d6ef7e86dbd0e59c8dc7a00c8e48200b0252dd41e25d00d4616c7b2dc
                   cb3769126fff4e53d5117313c7d253b15c4cbbcde68437b5aad40061b2a24354
)

# solvarinth_patch_apply(SOURCE_TEXT HUNKS OUT_VAR PATH): applies the hunks (the lines of the
# patch for one file after its +++ line) to SOURCE_TEXT.
function(solvarinth_patch_apply source hunks out_var path)
  set(done "")
  set(rest "${source}")
  set(at 1)                 # the line of the original file that `rest` starts with
  set(old_left 0)
  set(new_left 0)
  while(NOT hunks STREQUAL "")
    string(FIND "${hunks}" "\n" nl)
    if(nl EQUAL -1)
      message(FATAL_ERROR "${path}: the patch does not end with a newline")
    endif()
    string(SUBSTRING "${hunks}" 0 ${nl} line)
    math(EXPR nl "${nl} + 1")
    string(SUBSTRING "${hunks}" ${nl} -1 hunks)
    if(old_left EQUAL 0 AND new_left EQUAL 0)
      # Between hunks, as for `patch`, anything but a hunk header (a diff or index line) is skipped.
      if(NOT line MATCHES "^@@ -([0-9]+)(,([0-9]+))? \\+([0-9]+)(,([0-9]+))? @@")
        continue()
      endif()
      set(start ${CMAKE_MATCH_1})
      set(old_left 1)
      set(new_left 1)
      if(NOT CMAKE_MATCH_2 STREQUAL "")
        set(old_left ${CMAKE_MATCH_3})
      endif()
      if(NOT CMAKE_MATCH_5 STREQUAL "")
        set(new_left ${CMAKE_MATCH_6})
      endif()
      if(old_left EQUAL 0)
        message(FATAL_ERROR "${path}: a hunk without context or removed lines at line ${start}")
      endif()
      set(old_text "")
      set(new_text "")
      continue()
    endif()
    if(line STREQUAL "")
      message(FATAL_ERROR "${path}: an empty line in a hunk (a context line lost its leading space)")
    endif()
    string(SUBSTRING "${line}" 0 1 kind)
    string(SUBSTRING "${line}" 1 -1 text)
    if(kind STREQUAL " " OR kind STREQUAL "-")
      string(APPEND old_text "${text}\n")
      math(EXPR old_left "${old_left} - 1")
    endif()
    if(kind STREQUAL " " OR kind STREQUAL "+")
      string(APPEND new_text "${text}\n")
      math(EXPR new_left "${new_left} - 1")
    endif()
    if(NOT kind MATCHES "^[ +-]$" OR old_left LESS 0 OR new_left LESS 0)
      message(FATAL_ERROR "${path}: a hunk at line ${start} does not add up: ${line}")
    endif()
    if(old_left EQUAL 0 AND new_left EQUAL 0)
      # The hunk's old lines must come next in `rest` exactly at line `start`, at a line start.
      string(FIND "${rest}" "${old_text}" pos)
      set(skipped 0)
      if(pos GREATER 0)
        string(SUBSTRING "${rest}" 0 ${pos} before)
        string(REGEX MATCHALL "\n" newlines "${before}")
        list(LENGTH newlines skipped)
        if(NOT before MATCHES "\n$")
          set(pos -1)
        endif()
      endif()
      math(EXPR expected "${start} - ${at}")
      if(pos EQUAL -1 OR NOT skipped EQUAL expected)
        message(FATAL_ERROR "${path}: the patch's hunk for line ${start} does not match the file there")
      endif()
      string(SUBSTRING "${rest}" 0 ${pos} before)
      string(APPEND done "${before}${new_text}")
      string(LENGTH "${old_text}" length)
      math(EXPR pos "${pos} + ${length}")
      string(SUBSTRING "${rest}" ${pos} -1 rest)
      string(REGEX MATCHALL "\n" newlines "${old_text}")
      list(LENGTH newlines length)
      math(EXPR at "${start} + ${length}")
    endif()
  endwhile()
  if(NOT old_left EQUAL 0 OR NOT new_left EQUAL 0)
    message(FATAL_ERROR "${path}: the patch ends inside a hunk")
  endif()
  set(${out_var} "${done}${rest}" PARENT_SCOPE)
endfunction()

# solvarinth_patch_libyaml(SOURCE_DIR OUT_DIR): OUT_DIR gets SOURCE_DIR's include/ and src/, the
# files the patch touches patched. Files are written only when they change, so that configuring
# again rebuilds nothing.
function(solvarinth_patch_libyaml source_dir out_dir)
  set(patch "${SOLVARINTH_LIBYAML_PATCH}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${patch}")
  file(SHA256 "${patch}" actual)
  if(NOT actual STREQUAL SOLVARINTH_LIBYAML_PATCH_PIN)
    message(FATAL_ERROR
      "${patch} is not the reviewed patch (SHA-256 ${actual}, pinned "
      "${SOLVARINTH_LIBYAML_PATCH_PIN}). After a deliberate change, renew the pins in "
      "cmake/libyaml_patch.cmake as its header says.")
  endif()

  # The patch text after its header, split at each file's +++ line.
  file(READ "${patch}" text)
  string(FIND "${text}" "\n--- a/" first)
  if(first EQUAL -1)
    message(FATAL_ERROR "${patch}: no file in the patch")
  endif()
  math(EXPR first "${first} + 1")
  string(SUBSTRING "${text}" ${first} -1 text)

  set(pins ${SOLVARINTH_LIBYAML_PATCHED_PINS})
  set(excluded "")
  set(differing "")
  while(pins)
    list(POP_FRONT pins path vendored patched)
    list(APPEND excluded PATTERN "${path}" EXCLUDE)
    set(header "--- a/${path}\n+++ b/${path}\n")
    string(FIND "${text}" "${header}" at)
    if(NOT at EQUAL 0)
      message(FATAL_ERROR "${patch}: expected ${path} next in the patch")
    endif()
    string(LENGTH "${header}" length)
    string(SUBSTRING "${text}" ${length} -1 text)
    string(FIND "${text}" "\n--- a/" next)
    if(next EQUAL -1)
      set(hunks "${text}")
      set(text "")
    else()
      math(EXPR next "${next} + 1")
      string(SUBSTRING "${text}" 0 ${next} hunks)
      string(SUBSTRING "${text}" ${next} -1 text)
    endif()

    set(file "${source_dir}/${path}")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${file}")
    file(SHA256 "${file}" actual)
    if(NOT actual STREQUAL vendored)
      string(APPEND differing "  ${path} as vendored: ${actual}\n")
      continue()
    endif()
    file(READ "${file}" source)
    solvarinth_patch_apply("${source}" "${hunks}" result "${path}")
    string(SHA256 actual "${result}")
    if(NOT actual STREQUAL patched)
      string(APPEND differing "  ${path} as patched: ${actual}\n")
      continue()
    endif()
    set(out "${out_dir}/${path}")
    set(current "")
    if(EXISTS "${out}")
      file(SHA256 "${out}" current)
    endif()
    if(NOT current STREQUAL patched)
      file(WRITE "${out}" "${result}")
    endif()
  endwhile()
  if(NOT text STREQUAL "")
    message(FATAL_ERROR "${patch} touches files cmake/libyaml_patch.cmake does not pin")
  endif()
  if(differing)
    message(FATAL_ERROR
      "The libyaml sources in ${source_dir} or their patched copies are not the pinned ones "
      "(SHA-256):\n${differing}"
      "A new libyaml needs ${patch} ported to it; a changed patch needs its pins renewed in "
      "cmake/libyaml_patch.cmake as its header says.")
  endif()

  # The other files as they are; file(COPY) keeps their times and skips those already there.
  file(GLOB_RECURSE vendored_files "${source_dir}/include/*" "${source_dir}/src/*")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${vendored_files})
  file(COPY "${source_dir}/include" "${source_dir}/src" DESTINATION "${out_dir}" ${excluded})
endfunction()
