// Scalar resolution. Integers accept 0x/0o/0b prefixes and must fit 64 bits; a text of digits
// with a leading zero stays a string; floats follow the usual decimal grammar plus the dotted
// .inf/.nan spellings and must be finite.
#include "config/yaml/scalar.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

#include "common/ascii.hpp"
#include "common/decimal.hpp"
#include "common/quote.hpp"
#include "config/yaml/store.hpp"

namespace solvarinth::config::yaml {
namespace {

constexpr std::uint64_t kMinI64Magnitude = std::uint64_t{1} << 63;

bool one_of(std::string_view text, std::initializer_list<std::string_view> words) {
    for (std::string_view w : words)
        if (text == w) return true;
    return false;
}

bool is_null_word(std::string_view t) { return one_of(t, {"~", "null", "Null", "NULL"}); }

std::optional<bool> parse_bool(std::string_view t) {
    if (one_of(t, {"true", "True", "TRUE"})) return true;
    if (one_of(t, {"false", "False", "FALSE"})) return false;
    return std::nullopt;
}

bool starts_with_sign(std::string_view t) { return t.starts_with('+') || t.starts_with('-'); }

// Unsigned digits in the radix, no sign, no separators, at least one digit, no overflow.
std::optional<std::uint64_t> parse_digits(std::string_view digits, unsigned radix) {
    if (digits.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : digits) {
        unsigned d;
        if (is_digit(c)) d = static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'f') d = static_cast<unsigned>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F') d = static_cast<unsigned>(c - 'A' + 10);
        else return std::nullopt;
        if (d >= radix) return std::nullopt;
        if (value > (std::numeric_limits<std::uint64_t>::max() - d) / radix) return std::nullopt;
        value = value * radix + d;
    }
    return value;
}

// An optional sign, a "0" and more decimal digits: YAML 1.2 reads this as a string.
bool leading_zero_digits(std::string_view t) {
    if (starts_with_sign(t)) t.remove_prefix(1);
    if (t.size() < 2 || t[0] != '0') return false;
    for (char c : t.substr(1))
        if (!is_digit(c)) return false;
    return true;
}

struct Radix {
    std::string_view prefix;
    unsigned base;
};
constexpr Radix kRadixes[] = {{"0x", 16}, {"0o", 8}, {"0b", 2}};

Scalar integer(bool negative, std::uint64_t magnitude) {
    Scalar s;
    s.kind = ScalarKind::Int;
    s.flag = negative && magnitude != 0;  // -0 is the integer 0
    s.magnitude = magnitude;
    return s;
}

std::optional<Scalar> parse_unsigned(std::string_view t) {
    const std::string_view u = t.starts_with('+') ? t.substr(1) : t;
    for (const Radix& r : kRadixes) {
        if (!u.starts_with(r.prefix)) continue;
        const std::string_view rest = u.substr(2);
        if (starts_with_sign(rest)) return std::nullopt;
        if (auto v = parse_digits(rest, r.base)) return integer(false, *v);
    }
    if (starts_with_sign(u) || leading_zero_digits(t)) return std::nullopt;
    if (auto v = parse_digits(u, 10)) return integer(false, *v);
    return std::nullopt;
}

std::optional<Scalar> parse_signed(std::string_view t) {
    for (const Radix& r : kRadixes) {
        if (!t.starts_with('-') || !t.substr(1).starts_with(r.prefix)) continue;
        auto v = parse_digits(t.substr(3), r.base);
        if (v && *v <= kMinI64Magnitude) return integer(true, *v);
    }
    if (leading_zero_digits(t)) return std::nullopt;
    const bool negative = t.starts_with('-');
    if (starts_with_sign(t)) t.remove_prefix(1);
    const auto v = parse_digits(t, 10);
    if (!v || *v > (negative ? kMinI64Magnitude : kMinI64Magnitude - 1)) return std::nullopt;
    return integer(negative, *v);
}

std::optional<Scalar> parse_integer(std::string_view t) {
    if (auto v = parse_unsigned(t)) return v;
    return parse_signed(t);
}

// digits [ "." digits ] with at least one digit, then an optional exponent; no sign.
bool decimal_syntax(std::string_view t) {
    std::size_t i = 0, digits = 0;
    while (i < t.size() && is_digit(t[i])) ++i, ++digits;
    if (i < t.size() && t[i] == '.') {
        ++i;
        while (i < t.size() && is_digit(t[i])) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
        const std::size_t exponent_start = i;
        while (i < t.size() && is_digit(t[i])) ++i;
        if (i == exponent_start) return false;
    }
    return i == t.size();
}

std::optional<double> finite_decimal(std::string_view t) {
    const bool negative = t.starts_with('-');
    if (negative) t.remove_prefix(1);
    if (!decimal_syntax(t)) return std::nullopt;
    const std::optional<double> value = decimal_value(t);
    if (!value) return std::nullopt;
    return negative ? -*value : *value;
}

std::optional<double> parse_float(std::string_view t) {
    std::string_view u = t;
    if (u.starts_with('+')) {
        u.remove_prefix(1);
        if (starts_with_sign(u)) return std::nullopt;
    }
    if (one_of(u, {".inf", ".Inf", ".INF"})) return std::numeric_limits<double>::infinity();
    if (one_of(t, {"-.inf", "-.Inf", "-.INF"})) return -std::numeric_limits<double>::infinity();
    if (one_of(t, {".nan", ".NaN", ".NAN"})) return std::numeric_limits<double>::quiet_NaN();
    return finite_decimal(u);
}

Scalar real(double v) {
    Scalar s;
    s.kind = ScalarKind::Float;
    s.real = v;
    return s;
}

Scalar string(std::string_view text) {
    Scalar s;
    s.text = text;
    return s;
}

Scalar null() {
    Scalar s;
    s.kind = ScalarKind::Null;
    return s;
}

Scalar boolean(bool v) {
    Scalar s;
    s.kind = ScalarKind::Bool;
    s.flag = v;
    return s;
}

}  // namespace

Scalar resolve_plain(std::string_view text) {
    if (text.empty()) return null();
    // Every null, boolean, integer and float spelling starts with a digit, a sign, a dot, "~"
    // or the first letter of a null or boolean word; most keys start otherwise.
    const char first = text[0];
    if (!is_digit(first) && first != '+' && first != '-' && first != '.') {
        // A test per letter: a find in "~nNtTfF" would cost a library call for most keys.
        const char lower = static_cast<char>(first | 0x20);
        if (first != '~' && lower != 'n' && lower != 't' && lower != 'f') return string(text);
        if (is_null_word(text)) return null();
        if (auto b = parse_bool(text)) return boolean(*b);
        return string(text);
    }
    if (is_null_word(text)) return null();
    if (auto b = parse_bool(text)) return boolean(*b);
    if (auto i = parse_integer(text)) return *i;
    if (!leading_zero_digits(text))
        if (auto f = parse_float(text)) return real(*f);
    return string(text);
}

std::optional<Scalar> resolve_core(TagClass tag, std::string_view text) {
    switch (tag) {
        case TagClass::Bool:
            if (auto b = parse_bool(text)) return boolean(*b);
            return std::nullopt;
        case TagClass::Int:
            return parse_integer(text);
        case TagClass::Float:
            if (auto f = parse_float(text)) return real(*f);
            return std::nullopt;
        case TagClass::Null:
            // The same spellings as an untagged null, the empty scalar included.
            if (text.empty() || is_null_word(text)) return null();
            return std::nullopt;
        default:
            return string(text);
    }
}

std::string invalid_value(TagClass tag, std::string_view text) {
    const char* expected = tag == TagClass::Bool    ? "a boolean"
                           : tag == TagClass::Int   ? "an integer"
                           : tag == TagClass::Float ? "a float"
                                                    : "null";
    // Scalar values decode from UTF-8 text; the lossy pass only guards the quoting routine.
    return "invalid value: string " + quoted_lossy(text) + ", expected " + expected;
}

std::string format_float(double value) {
    if (std::isnan(value)) return ".nan";
    if (std::isinf(value)) return value > 0 ? ".inf" : "-.inf";
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
    std::string_view sci(buf, static_cast<std::size_t>(r.ptr - buf));  // d.ddde±XX, shortest
    std::string out;
    if (sci.starts_with('-')) {
        out += '-';
        sci.remove_prefix(1);
    }
    const std::size_t e = sci.find('e');
    std::string digits;
    for (char c : sci.substr(0, e))
        if (c != '.') digits += c;
    int exponent = 0;
    std::from_chars(sci.data() + e + (sci[e + 1] == '+' ? 2 : 1), sci.data() + sci.size(), exponent);
    const int length = static_cast<int>(digits.size());
    const int point = exponent + 1;  // digits.digits × 10^point reads 0.digits
    if (point >= length && point <= 16) {
        out += digits;
        out.append(static_cast<std::size_t>(point - length), '0');
        out += ".0";
    } else if (point > 0 && point <= 16) {
        out += digits.substr(0, static_cast<std::size_t>(point));
        out += '.';
        out += digits.substr(static_cast<std::size_t>(point));
    } else if (point > -5 && point <= 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-point), '0');
        out += digits;
    } else {
        out += digits[0];
        if (length > 1) out += '.' + digits.substr(1);
        out += 'e' + std::to_string(point - 1);
    }
    return out;
}

ScalarRead read_scalar(const Store& store, const Event& scalar) {
    return read_scalar(store.text(scalar), (scalar.flags & kPlain) != 0, store.tag(scalar));
}

ScalarRead read_scalar(std::string_view text, bool plain, const Tag* tag) {
    ScalarRead out;
    const Scalar untagged = resolve_untagged(text, plain);
    if (!tag) {
        out.value = untagged;
        return out;
    }
    switch (tag->kind) {
        case TagClass::Local:
            out.value = untagged;  // the tagged node reads as if it had no tag
            out.wrapper = tag;
            break;
        case TagClass::LocalEmpty:
            out.error = std::string(kEmptyTag);
            break;
        case TagClass::LocalUnreadable:
            out.value = untagged;
            break;
        case TagClass::Bool:
        case TagClass::Int:
        case TagClass::Float:
        case TagClass::Null:
            if (auto v = resolve_core(tag->kind, text)) out.value = *v;
            else out.error = invalid_value(tag->kind, text);
            break;
        case TagClass::Other:
            out.value = string(text);
            break;
    }
    return out;
}

}  // namespace solvarinth::config::yaml
