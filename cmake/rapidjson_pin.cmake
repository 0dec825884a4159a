# Stops configuration unless the RapidJSON headers are the ones our JSON reader was written for.
#
# json/validator.cpp replaces some of GenericReader's members (ParseString, ScanCopyUnescapedString)
# with copies of RapidJSON 1.1.0's code that call into its private parts, and TextStream::Put
# relies on the order in which ParseStringToStream decodes escapes. Every JSON verdict (error code,
# offset, which numbers are refused) comes from the rest of that reader. A later RapidJSON that
# kept the signatures but changed those bodies (how a lone surrogate or a long number is handled)
# would still compile and silently judge configs differently, and a development snapshot still
# carries 1.1.0 in its version macros. So each header the reader is compiled from is compared by
# SHA-256 with the one in third_party/rapidjson (Debian's 1.1.0+dfsg2-7.1, whose patches touch
# none of these files). Any change stops the build, a harmless one too: a new reader needs the
# copies ported and the suite run, whatever changed.

set(SOLVARINTH_RAPIDJSON_PINS
  reader.h                   7825cd236782b26c3df953b30623218805b7c2faa66ff1029321c9f0030c841d
  rapidjson.h                f2a9af92f880ec8ed2ddc0ff9ae6d6f15adfa9137eaac9658bfe39ecdebc21f0
  allocators.h               574fb8bebf000c3a4779fe200b37cbcfabf9d028cd04a0e2ed633f757060c0ec
  stream.h                   84d03fe1bb5293ee416a6340e4be9b4e0f63c5dc064e2ba902fcc1694d1e1e8e
  encodings.h                4cc11051fca0f274fe3a296987de98d9d99174cd94aaf274652cab4c1c6f586f
  encodedstream.h            b44479a6e74ff0a5c461debd10de5a48810989e9565e6b1f20523a8449c39ccb
  memorystream.h             5381dd5981676dc6194cb384af6bcf623d9dee46b9b1508bd1e62c7cf3efac9f
  error/error.h              97563d14f2d7d5eee7ba73149b66034d3612c0e0358d0d591f9faa5d4c926f0a
  internal/meta.h            24d25dc872a13b7df5cb0b80c704ef1e06792ceaa6595a84bb63b3ecce615e45
  internal/stack.h           9608f057f67fcbabd6cdc7ae35b0e6130b430deecf47d0c3670fd27eae806861
  internal/swap.h            1403bd099a25621c63a1234ca61daae0444f1538c4be7b193694cf41a76f14ac
  internal/strtod.h          344940dfc5936f2f4f967c4063d84da8fb3021cddb727d0e108b12e17ad0d6e6
  internal/biginteger.h      3e139846902741c8a18da9e2be9d79f98d0a44e8966df41ae37910d49642ec83
  internal/diyfp.h           ea94d97853cb1f4dfb6d14314386af71bae61d7ba015cc942c97c7116fbb599c
  internal/ieee754.h         ae0a4ff88545bf762e659079bc35a0ad274c8ce9f46dbdf8bd034de749a46699
  internal/pow10.h           6b8787ecc984887cc2579d7043c08ac57614b8c59e09073565538890dcd1ff21
)

# solvarinth_check_rapidjson(INCLUDE_DIR): INCLUDE_DIR holds rapidjson/reader.h.
function(solvarinth_check_rapidjson include_dir)
  set(differing "")
  set(pins ${SOLVARINTH_RAPIDJSON_PINS})
  while(pins)
    list(POP_FRONT pins header pinned)
    set(file "${include_dir}/rapidjson/${header}")
    if(EXISTS "${file}")
      file(SHA256 "${file}" actual)
      set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${file}")
    else()
      set(actual "missing")
    endif()
    if(NOT actual STREQUAL pinned)
      string(APPEND differing "  ${header}: ${actual}\n")
    endif()
  endwhile()
  if(differing)
    message(FATAL_ERROR
      "The RapidJSON headers in ${include_dir} are not RapidJSON 1.1.0 as our JSON reader was "
      "written for (the one in third_party/rapidjson). These headers differ from it (SHA-256):\n"
      "${differing}"
      "Our reader replaces parts of RapidJSON's and would judge configs differently with another "
      "version. Build with the vendored copy (leave SOLVARINTH_SYSTEM_LIBS off), or port "
      "src/config/json/validator.cpp and renew the pins in cmake/rapidjson_pin.cmake.")
  endif()
endfunction()
