// RapidJSON as this project builds it: every file that includes RapidJSON goes through here, so
// that all of them agree on the width of its string lengths.
#pragma once

#include <cstddef>

// RapidJSON measures strings in 32 bits unless told otherwise; a string over 4 GiB would then
// reach the handler cut short.
#define RAPIDJSON_NO_SIZETYPEDEFINE
namespace rapidjson {
typedef ::std::size_t SizeType;
}
#include <rapidjson/error/error.h>
#include <rapidjson/reader.h>

// The headers are checked in full when the build is configured (cmake/rapidjson_pin.cmake); this
// stops at least a build that skips that check, or finds another version than the checked one.
static_assert(RAPIDJSON_MAJOR_VERSION == 1 && RAPIDJSON_MINOR_VERSION == 1 && RAPIDJSON_PATCH_VERSION == 0,
              "json/validator.cpp replaces parts of RapidJSON 1.1.0's reader; build with third_party/rapidjson");
static_assert(sizeof(rapidjson::SizeType) == sizeof(std::size_t), "string lengths must not wrap at 4 GiB");
