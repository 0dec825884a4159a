// JSON validation: RapidJSON's recursive SAX reader, a handler that spends the nesting budget
// and rejects decoded lone surrogates, and a mapping of RapidJSON's errors to our descriptions.
#include "config/json_validator.hpp"

#include <rapidjson/error/error.h>
#include <rapidjson/reader.h>

#include <cctype>
#include <cmath>
#include <cstring>
#include <string_view>

#include "common/utf8.hpp"

namespace solvarinth::config {
namespace {

using rapidjson::SizeType;

constexpr const char* kEofValue = "EOF while parsing a value";
constexpr const char* kEofList = "EOF while parsing a list";
constexpr const char* kEofObject = "EOF while parsing an object";
constexpr const char* kEofString = "EOF while parsing a string";
constexpr const char* kExpectedValue = "expected value";
constexpr const char* kExpectedIdent = "expected ident";
constexpr const char* kTrailingComma = "trailing comma";
constexpr const char* kTrailingCharacters = "trailing characters";
constexpr const char* kRecursionLimit = "recursion limit exceeded";
constexpr const char* kNumberOutOfRange = "number out of range";
constexpr const char* kInvalidNumber = "invalid number";
constexpr const char* kInvalidEscape = "invalid escape";
constexpr const char* kLoneSurrogate = "lone leading surrogate in hex escape";
constexpr const char* kControlCharacter =
    "control character (\\u0000-\\u001F) found while parsing a string";

// RapidJSON's own string stream is copied into the parser for speed, which would leave the
// handler reading a stale position. This one is used by reference, so Tell() is live.
struct TextStream {
    using Ch = char;
    explicit TextStream(const char* text) : src(text), head(text) {}
    Ch Peek() const { return *src; }
    Ch Take() { return *src++; }
    std::size_t Tell() const { return static_cast<std::size_t>(src - head); }
    Ch* PutBegin() { return nullptr; }
    void Put(Ch) {}
    void Flush() {}
    std::size_t PutEnd(Ch*) { return 0; }

    const char* src;
    const char* head;
};

bool is_json_space(char c) noexcept { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Spends the nesting budget and catches what RapidJSON lets through: a \uDC00-style escape is
// encoded as the bytes of a lone surrogate, and an overflowing number can arrive as infinity.
class BudgetHandler : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, BudgetHandler> {
public:
    explicit BudgetHandler(const TextStream& stream) : stream_(stream) {}

    bool StartObject() { return open(); }
    bool StartArray() { return open(); }
    bool EndObject(SizeType) { return close(); }
    bool EndArray(SizeType) { return close(); }
    bool Double(double d) {
        if (std::isfinite(d)) return true;
        return stop(kNumberOutOfRange, stream_.Tell());
    }
    bool String(const char* str, SizeType length, bool) {
        // Only a \uDC00-style escape can put bad UTF-8 here, and its bytes start with 0xED;
        // the text was checked as a whole already, so most strings need no second look.
        if (std::memchr(str, 0xED, length) == nullptr || is_valid_utf8(std::string_view(str, length)))
            return true;
        // Reported at the closing quote, the byte at which the string was complete.
        return stop(kLoneSurrogate, stream_.Tell() - 1);
    }
    bool Key(const char* str, SizeType length, bool copy) { return String(str, length, copy); }

    const std::optional<JsonError>& error() const noexcept { return error_; }

private:
    bool open() {
        // Called just after the bracket was consumed; the error belongs to the bracket itself.
        if (--budget_ == 0) return stop(kRecursionLimit, stream_.Tell() - 1);
        return true;
    }
    bool close() {
        ++budget_;
        return true;
    }
    bool stop(const char* description, std::size_t offset) {
        error_ = JsonError{description, offset};
        return false;
    }

    const TextStream& stream_;
    int budget_ = kJsonNestingBudget;
    std::optional<JsonError> error_;
};

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
            return at_end ? kEofObject : "expected `,` or `}`";
        case kParseErrorArrayMissCommaOrSquareBracket:
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

// True when a \uXXXX escape (and the \uXXXX that a high surrogate needs) starting at the
// backslash at offset is cut off by the end of the text rather than broken by a wrong byte.
bool escape_runs_off_end(const char* text, std::size_t size, std::size_t offset) {
    static constexpr std::string_view pattern = "\\uHHHH\\uHHHH";
    for (std::size_t k = 0; k < pattern.size(); ++k) {
        if (offset + k >= size) return true;
        const char c = text[offset + k];
        const bool ok = pattern[k] == 'H' ? std::isxdigit(static_cast<unsigned char>(c)) != 0 : c == pattern[k];
        if (!ok) return false;
    }
    return false;
}

}  // namespace

std::optional<JsonError> check_json(const char* text, std::size_t size) {
    TextStream stream(text);
    BudgetHandler handler(stream);
    rapidjson::Reader reader;
    const rapidjson::ParseResult result =
        reader.Parse<rapidjson::kParseStopWhenDoneFlag>(stream, handler);
    if (result.IsError()) {
        if (result.Code() == rapidjson::kParseErrorTermination && handler.error()) return handler.error();
        const rapidjson::ParseErrorCode code = result.Code();
        const std::size_t offset = result.Offset();
        if ((code == rapidjson::kParseErrorStringUnicodeEscapeInvalidHex ||
             code == rapidjson::kParseErrorStringUnicodeSurrogateInvalid) &&
            escape_runs_off_end(text, size, offset))
            return JsonError{kEofString, size};
        return JsonError{describe(code, text, size, offset), offset};
    }
    std::size_t rest = stream.Tell();
    while (rest < size && is_json_space(text[rest])) ++rest;
    if (rest < size) return JsonError{kTrailingCharacters, rest};
    return std::nullopt;
}

std::string describe_json_error(const char* text, std::size_t size, const JsonError& error) {
    const std::size_t offset = std::min(error.offset, size);
    std::size_t line = 1, line_start = 0;
    for (const char* p = text; (p = static_cast<const char*>(std::memchr(p, '\n', text + offset - p)));) {
        ++line;
        line_start = static_cast<std::size_t>(++p - text);
    }
    const std::size_t column = offset - line_start + (offset < size ? 1 : 0);
    std::string message(error.description);
    message += " at line ";
    message += std::to_string(line);
    message += " column ";
    message += std::to_string(column);
    return message;
}

}  // namespace solvarinth::config
