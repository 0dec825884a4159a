// JSON error descriptions: RapidJSON's error codes told apart by the bytes around them, moved to
// the byte at fault, and the "<description> at line L column C" text.
#include "config/json/errors.hpp"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <string_view>

namespace solvarinth::config {
namespace json {
namespace {

constexpr const char* kEofValue = "EOF while parsing a value";
constexpr const char* kEofList = "EOF while parsing a list";
constexpr const char* kEofObject = "EOF while parsing an object";
constexpr const char* kEofString = "EOF while parsing a string";
constexpr const char* kExpectedValue = "expected value";
constexpr const char* kExpectedIdent = "expected ident";
constexpr const char* kTrailingComma = "trailing comma";
constexpr const char* kInvalidEscape = "invalid escape";
constexpr const char* kControlCharacter =
    "control character (\\u0000-\\u001F) found while parsing a string";

// The last byte before offset that is not JSON whitespace, or NUL when there is none.
char previous_token(const char* text, std::size_t offset) noexcept {
    while (offset > 0 && is_json_space(text[offset - 1])) --offset;
    return offset > 0 ? text[offset - 1] : '\0';
}

bool is_letter(char c) noexcept { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// RapidJSON reports a bad value at the byte it could not use; tell apart a misspelt literal,
// a bad number and a stray token the way callers expect to read them.
const char* describe_invalid_value(const char* text, std::size_t size, std::size_t offset) {
    if (offset == size) return previous_token(text, offset) == '[' ? kEofList : kEofValue;
    const char here = text[offset];
    if (offset > 0 && text[offset - 1] == '-') return kInvalidNumber;
    std::size_t start = offset;
    while (start > 0 && is_letter(text[start - 1])) --start;
    if (start < offset && std::strchr("tfn", text[start]) != nullptr) return kExpectedIdent;
    if (here == ']' && previous_token(text, offset) == ',') return kTrailingComma;
    return kExpectedValue;
}

const char* describe(rapidjson::ParseErrorCode code, const char* text, std::size_t size,
                     std::size_t offset) {
    using namespace rapidjson;
    const bool at_end = offset >= size;
    if (at_end && code != kParseErrorValueInvalid && previous_token(text, offset) == ',')
        return kEofValue;
    switch (code) {
        case kParseErrorDocumentEmpty:
            return at_end ? kEofValue : kExpectedValue;
        case kParseErrorValueInvalid:
            return describe_invalid_value(text, size, offset);
        case kParseErrorObjectMissName:
            if (at_end) return kEofObject;
            return text[offset] == '}' ? kTrailingComma : "key must be a string";
        case kParseErrorObjectMissColon:
            return at_end ? kEofObject : "expected `:`";
        case kParseErrorObjectMissCommaOrCurlyBracket:
            if (after_leading_zero(text, size, offset)) return kInvalidNumber;
            return at_end ? kEofObject : "expected `,` or `}`";
        case kParseErrorArrayMissCommaOrSquareBracket:
            if (after_leading_zero(text, size, offset)) return kInvalidNumber;
            return at_end ? kEofList : "expected `,` or `]`";
        case kParseErrorStringUnicodeEscapeInvalidHex:
            return kInvalidEscape;
        case kParseErrorStringUnicodeSurrogateInvalid:
            return kLoneSurrogate;
        case kParseErrorStringEscapeInvalid:
            if (text[offset] != '\\') return kControlCharacter;
            return offset + 1 >= size ? kEofString : kInvalidEscape;
        case kParseErrorStringMissQuotationMark:
            return at_end ? kEofString : kControlCharacter;
        case kParseErrorStringInvalidEncoding:
            return "invalid unicode code point";
        case kParseErrorNumberTooBig:
            return kNumberOutOfRange;
        case kParseErrorNumberMissFraction:
        case kParseErrorNumberMissExponent:
            return at_end ? kEofValue : kInvalidNumber;
        default:
            return "syntax error";
    }
}

// The byte at fault in a \uXXXX escape (with the \uXXXX that a high surrogate needs) whose
// backslash is at offset: the first byte that breaks the pattern, the escape's last byte when
// the pattern holds but the surrogates do not pair, or size when the text ends first.
std::size_t escape_fault(const char* text, std::size_t size, std::size_t offset) {
    static constexpr std::string_view pattern = "\\uHHHH\\uHHHH";
    for (std::size_t k = 0; k < pattern.size(); ++k) {
        if (offset + k >= size) return size;
        const char c = text[offset + k];
        const bool ok = pattern[k] == 'H' ? std::isxdigit(static_cast<unsigned char>(c)) != 0 : c == pattern[k];
        if (!ok) return offset + k;
    }
    return offset + pattern.size() - 1;
}

}  // namespace

bool after_leading_zero(const char* text, std::size_t size, std::size_t offset) noexcept {
    if (offset >= size || !is_digit(text[offset]) || offset == 0 || text[offset - 1] != '0') return false;
    return offset == 1 || !is_number_byte(text[offset - 2]) || text[offset - 2] == '-';
}

JsonError reader_error(rapidjson::ParseErrorCode code, const char* text, std::size_t size, std::size_t offset) {
    using namespace rapidjson;
    switch (code) {
        case kParseErrorStringUnicodeEscapeInvalidHex:
        case kParseErrorStringUnicodeSurrogateInvalid: {
            const std::size_t at = escape_fault(text, size, offset);
            if (at >= size) return JsonError{kEofString, size};
            return JsonError{describe(code, text, size, at), at};
        }
        case kParseErrorStringEscapeInvalid:
            if (text[offset] == '\\' && offset + 1 < size) return JsonError{kInvalidEscape, offset + 1};
            break;
        default:
            break;
    }
    return JsonError{describe(code, text, size, offset), offset};
}

}  // namespace json

Diagnostic describe_json_error(const char* text, std::size_t size, const JsonError& error) {
    const std::size_t offset = std::min(error.offset, size);
    std::size_t line = 1, line_start = 0;
    for (const char* p = text; (p = static_cast<const char*>(std::memchr(p, '\n', text + offset - p)));) {
        ++line;
        line_start = static_cast<std::size_t>(++p - text);
    }
    const std::size_t column = offset - line_start + (offset < size ? 1 : 0);
    Diagnostic message{error.description, std::nullopt};
    append_position(message, TextPosition{line, column});
    return message;
}

}  // namespace solvarinth::config
