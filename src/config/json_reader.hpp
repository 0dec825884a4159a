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

static_assert(sizeof(rapidjson::SizeType) == sizeof(std::size_t), "string lengths must not wrap at 4 GiB");
