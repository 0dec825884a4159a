// JSON validation: RapidJSON's recursive SAX reader, a handler that spends the nesting budget
// and rejects decoded lone surrogates, and a mapping of RapidJSON's errors to our descriptions.
#include "config/json_validator.hpp"

// RapidJSON measures strings in 32 bits unless told otherwise; a string over 4 GiB would then
// reach the handler cut short.
#define RAPIDJSON_NO_SIZETYPEDEFINE
namespace rapidjson {
typedef ::std::size_t SizeType;
}
#include <rapidjson/error/error.h>
#include <rapidjson/reader.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cmath>
#include <cstring>
#include <string_view>

#include "common/decimal.hpp"
#include "common/utf8.hpp"

namespace solvarinth::config {
namespace {

using rapidjson::SizeType;
static_assert(sizeof(SizeType) == sizeof(std::size_t), "string lengths must not wrap at 4 GiB");

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

}  // namespace
}  // namespace solvarinth::config

// RapidJSON copies a string's bytes into its stack one call at a time unless the stream type
// has a bulk copy; without one, clang keeps the stream and stack pointers in memory and that
// loop dominates the parse. Copies the run up to the next quote, backslash or control byte
// (the text is NUL-terminated, and NUL is a control byte) in one go.
template <>
template <>
inline void rapidjson::GenericReader<rapidjson::UTF8<>, rapidjson::UTF8<>, rapidjson::CrtAllocator>::
    ScanCopyUnescapedString(solvarinth::config::TextStream& is, StackStream<char>& os) {
    const char* p = is.src;
    while (*p != '"' && *p != '\\' && static_cast<unsigned char>(*p) >= 0x20) ++p;
    const auto n = static_cast<SizeType>(p - is.src);
    if (n == 0) return;
    std::memcpy(os.Push(n), is.src, n);
    is.src = p;
}

namespace solvarinth::config {
namespace {

bool is_json_space(char c) noexcept { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool is_digit(char c) noexcept { return c >= '0' && c <= '9'; }
bool is_number_byte(char c) noexcept {
    return is_digit(c) || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E';
}

// The end of the run of number bytes starting at offset.
std::size_t number_end(const char* text, std::size_t size, std::size_t offset) noexcept {
    while (offset < size && is_number_byte(text[offset])) ++offset;
    return offset;
}

// -? (0 | [1-9][0-9]*) (. [0-9]+)? ([eE] [+-]? [0-9]+)?
bool is_json_number(std::string_view t) noexcept {
    std::size_t i = t.starts_with('-') ? 1 : 0;
    const auto digits = [&] {
        const std::size_t from = i;
        while (i < t.size() && is_digit(t[i])) ++i;
        return i - from;
    };
    if (i >= t.size() || (t[i] == '0' ? (++i, false) : digits() == 0)) return false;
    if (i < t.size() && t[i] == '.' && (++i, digits() == 0)) return false;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
        if (digits() == 0) return false;
    }
    return i == t.size();
}

// Whether a number token's magnitude fits a double (below the range counts as zero).
bool number_fits(std::string_view token) {
    if (token.starts_with('-')) token.remove_prefix(1);
    return decimal_value(token).has_value();
}

// Spends the nesting budget and catches what RapidJSON lets through: a \uDC00-style escape is
// encoded as the bytes of a lone surrogate, and an overflowing number can arrive as infinity.
class BudgetHandler : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, BudgetHandler> {
public:
    // escapes_from: the offset of the text's first \u escape (or past its end when none): a
    // string that closes before it was copied byte for byte from valid UTF-8.
    BudgetHandler(const TextStream& stream, std::size_t escapes_from)
        : stream_(stream), escapes_from_(escapes_from) {}

    bool StartObject() { return open(); }
    bool StartArray() { return open(); }
    bool EndObject(SizeType) { return close(); }
    bool EndArray(SizeType) { return close(); }
    bool Double(double d) {
        if (std::isfinite(d)) return true;
        // RapidJSON's fast conversion can round a value just below the limit up to infinity.
        const std::size_t end = stream_.Tell();
        std::size_t start = end;
        while (start > 0 && is_number_byte(stream_.head[start - 1])) --start;
        if (number_fits(std::string_view(stream_.head + start, end - start))) return true;
        return stop(kNumberOutOfRange, end - 1);
    }
    bool String(const char* str, SizeType length, bool) {
        // Only a \uDC00-style escape can put bad UTF-8 here, and its bytes start with 0xED;
        // the text was checked as a whole already, so most strings need no second look.
        if (stream_.Tell() <= escapes_from_) return true;
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
    std::size_t escapes_from_;
    int budget_ = kJsonNestingBudget;
    std::optional<JsonError> error_;
};

// The last byte before offset that is not JSON whitespace, or NUL when there is none.
char previous_token(const char* text, std::size_t offset) noexcept {
    while (offset > 0 && is_json_space(text[offset - 1])) --offset;
    return offset > 0 ? text[offset - 1] : '\0';
}

// True when the digit at offset follows a number that is a lone 0 ("01", "-01"): RapidJSON
// ends the number after the 0, callers read it as one bad number.
bool after_leading_zero(const char* text, std::size_t size, std::size_t offset) noexcept {
    if (offset >= size || !is_digit(text[offset]) || offset == 0 || text[offset - 1] != '0') return false;
    return offset == 1 || !is_number_byte(text[offset - 2]) || text[offset - 2] == '-';
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

// One pass of RapidJSON over the text: the error, or the offset of a number that RapidJSON
// refused by its digit count although its value fits a double.
struct Pass {
    std::optional<JsonError> error;
    std::optional<std::size_t> refused_number;
};

// RapidJSON reports escapes at their backslash and long numbers at their first byte; move
// those to the byte at fault.
Pass judge(rapidjson::ParseErrorCode code, const char* text, std::size_t size, std::size_t offset) {
    using namespace rapidjson;
    switch (code) {
        case kParseErrorStringUnicodeEscapeInvalidHex:
        case kParseErrorStringUnicodeSurrogateInvalid: {
            const std::size_t at = escape_fault(text, size, offset);
            if (at >= size) return {JsonError{kEofString, size}, {}};
            return {JsonError{describe(code, text, size, at), at}, {}};
        }
        case kParseErrorStringEscapeInvalid:
            if (text[offset] == '\\' && offset + 1 < size) return {JsonError{kInvalidEscape, offset + 1}, {}};
            break;
        case kParseErrorNumberTooBig: {
            const std::size_t end = number_end(text, size, offset);
            const std::string_view token(text + offset, end - offset);
            if (is_json_number(token) && number_fits(token)) return {{}, offset};
            return {JsonError{kNumberOutOfRange, end - 1}, {}};
        }
        default:
            break;
    }
    return {JsonError{describe(code, text, size, offset), offset}, {}};
}

Pass parse_once(const char* text, std::size_t size) {
    TextStream stream(text);
    const std::size_t first_escape = std::string_view(text, size).find("\\u");
    BudgetHandler handler(stream, first_escape == std::string_view::npos ? size + 1 : first_escape);
    rapidjson::Reader reader;
    const rapidjson::ParseResult result = reader.Parse<rapidjson::kParseStopWhenDoneFlag>(stream, handler);
    if (result.IsError()) {
        if (result.Code() == rapidjson::kParseErrorTermination && handler.error()) return {handler.error(), {}};
        return judge(result.Code(), text, size, result.Offset());
    }
    std::size_t rest = stream.Tell();
    while (rest < size && is_json_space(text[rest])) ++rest;
    if (rest < size)
        return {JsonError{after_leading_zero(text, size, rest) ? kInvalidNumber : kTrailingCharacters, rest}, {}};
    return {};
}

// Writes the number token at offset as 0 followed by blanks, keeping every position.
void write_as_zero(std::string& text, std::size_t offset) {
    const std::size_t end = number_end(text.data(), text.size(), offset);
    text[offset] = '0';
    std::fill(text.begin() + static_cast<std::ptrdiff_t>(offset) + 1, text.begin() + static_cast<std::ptrdiff_t>(end), ' ');
}

// Rewrites, outside strings, every well-formed number whose value fits a double as 0.
void write_fitting_numbers_as_zero(std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (c == '"') {
            for (++i; i < text.size() && text[i] != '"'; ++i)
                if (text[i] == '\\') ++i;
            ++i;
        } else if (c == '-' || is_digit(c)) {
            const std::size_t end = number_end(text.data(), text.size(), i);
            const std::string_view token(text.data() + i, end - i);
            if (is_json_number(token) && number_fits(token)) write_as_zero(text, i);
            i = end;
        } else {
            ++i;
        }
    }
}

}  // namespace

std::optional<JsonError> check_json(const char* text, std::size_t size) {
    Pass pass = parse_once(text, size);
    if (!pass.refused_number) return pass.error;
    // RapidJSON refuses some numbers by their digit or exponent count before it knows their
    // value (0e400, a 400-digit integer below the double limit). Check a copy in which such
    // numbers read 0, at the same length, so that every position stays where it was.
    std::string copy(text, size);
    write_fitting_numbers_as_zero(copy);
    for (;;) {
        pass = parse_once(copy.c_str(), size);
        if (!pass.refused_number) return pass.error;
        write_as_zero(copy, *pass.refused_number);  // one the rewrite missed: never seen, but safe
    }
}

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
