// Plain-scalar resolution and the float texts of key messages, which the Python tests only see
// through duplicate keys.
#include <cmath>
#include <limits>
#include <string>
#include <string_view>

#include <doctest/doctest.h>

#include "config/yaml/check.hpp"
#include "config/yaml/scalar.hpp"

using namespace solvarinth::config::yaml;

namespace {

std::string describe(const Scalar& s) {
    switch (s.kind) {
        case ScalarKind::Null: return "null";
        case ScalarKind::Bool: return s.flag ? "bool true" : "bool false";
        case ScalarKind::Int: return "int " + std::string(s.flag ? "-" : "") + std::to_string(s.magnitude);
        case ScalarKind::Float: return "float " + format_float(s.real);
        case ScalarKind::String: return "string";
    }
    return "?";
}

}  // namespace

TEST_CASE("yaml_plain_scalar_resolution") {
    struct Row {
        std::string_view text;
        std::string_view expected;
    };
    const Row rows[] = {
        {"", "null"}, {"~", "null"}, {"NULL", "null"}, {"nULL", "string"},
        {"True", "bool true"}, {"FALSE", "bool false"}, {"tRUE", "string"}, {"yes", "string"},
        {"0", "int 0"}, {"-0", "int 0"}, {"+12", "int 12"}, {"+-5", "string"}, {"1_000", "string"},
        {"0x1F", "int 31"}, {"+0x10", "int 16"}, {"-0x10", "int -16"}, {"0X1F", "string"},
        {"0x-1", "string"}, {"0x", "string"}, {"0o17", "int 15"}, {"0b101", "int 5"}, {"0b2", "string"},
        {"00", "string"}, {"-01", "string"}, {"+007", "string"}, {"01.5", "float 1.5"},
        {"18446744073709551615", "int 18446744073709551615"},
        {"18446744073709551616", "float 1.8446744073709552e19"},   // past 64 bits: a float
        {"-9223372036854775808", "int -9223372036854775808"},
        {"-0x8000000000000000", "int -9223372036854775808"},
        {"-9223372036854775809", "float -9.223372036854776e18"},
        {"0x10000000000000000", "string"},
        {"1.", "float 1.0"}, {".5", "float 0.5"}, {"+.5", "float 0.5"}, {".", "string"},
        {"1e5", "float 100000.0"}, {"1E+5", "float 100000.0"}, {"1e", "string"}, {"e5", "string"},
        {"1e400", "string"}, {"1e-400", "float 0.0"}, {"-1e-400", "float -0.0"},
        {"0.000000000000000000000000000000000001e-300", "float 0.0"},
        {".inf", "float .inf"}, {"+.INF", "float .inf"}, {"-.Inf", "float -.inf"}, {"-.INf", "string"},
        {".nan", "float .nan"}, {".NaN", "float .nan"}, {"+.nan", "string"}, {"-.nan", "string"},
        {"inf", "string"}, {"nan", "string"}, {"infinity", "string"}, {"-inf", "string"},
    };
    for (const Row& row : rows) {
        CAPTURE(row.text);
        CHECK(describe(resolve_plain(row.text)) == row.expected);
    }
}

TEST_CASE("yaml_float_texts") {
    struct Row {
        double value;
        std::string_view expected;
    };
    const Row rows[] = {
        {0.0, "0.0"}, {-0.0, "-0.0"}, {1.0, "1.0"}, {-1.5, "-1.5"}, {100000.0, "100000.0"},
        {1e15, "1000000000000000.0"}, {1e16, "1e16"}, {1.5e16, "1.5e16"}, {123456.789, "123456.789"},
        {0.1, "0.1"}, {1.0 / 3, "0.3333333333333333"}, {0.0001, "0.0001"}, {0.00001, "0.00001"},
        {1e-6, "1e-6"}, {1.25e-7, "1.25e-7"}, {5e-324, "5e-324"},
        {1.7976931348623157e308, "1.7976931348623157e308"},
        {std::numeric_limits<double>::infinity(), ".inf"}, {-std::numeric_limits<double>::infinity(), "-.inf"},
        {std::nan(""), ".nan"},
    };
    for (const Row& row : rows) CHECK(format_float(row.value) == row.expected);
}

TEST_CASE("yaml_text_after_a_nul_is_still_parsed") {
    // The text is handed over with its length, not as a C string.
    using solvarinth::config::check_yaml;
    CHECK(check_yaml(std::string_view("a: 1\0", 5)).value_or(solvarinth::Diagnostic{"accepted", {}}).text ==
          "control characters are not allowed at position 4");
}
