// JSON check: RapidJSON's recursive SAX reader run in place over the text, and a handler that
// spends the nesting budget and stops at what RapidJSON lets through (lone surrogates, numbers
// at the edge of the double range).
#include "config/json/validator.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "common/decimal.hpp"
#include "common/fault.hpp"
#include "config/json/chars.hpp"
#include "config/json/errors.hpp"
#include "config/json/reader.hpp"
#include "config/limits.hpp"

namespace solvarinth::config {
namespace {

using namespace json;
using rapidjson::SizeType;

// RapidJSON's number reader keeps two ints unchecked: each fraction digit before the 17th
// significant one (every zero of "0.000...") counts one down, a positive exponent is compared
// with 308 less that count as it is read digit by digit, and a negative exponent, read up to
// 2147483639, is added to it. Below 2^27 fraction digits and negative exponent together, every
// one of those values stays inside an int.
constexpr std::size_t kNumberCounterRoom = std::size_t{1} << 27;
// "0.1e-" and nine digits, the shortest number that can reach kNumberCounterRoom: nearly every
// number is settled by its length alone.
constexpr std::size_t kShortNumber = 14;

// What the guard does with a number before RapidJSON reads it.
enum class NumberGuard {
    Read,             // RapidJSON reads it: its counters stay in range
    Judge,            // a well-formed number RapidJSON must not read: decided from its digits
    MissingExponent,  // RapidJSON would count the fraction out of range and then fail here
};
struct NumberCheck {
    NumberGuard guard = NumberGuard::Read;
    std::size_t at = 0;  // MissingExponent: the offset from the number's start of the failure
};

// The number at the start of t, a number byte RapidJSON is about to read.
NumberCheck check_number(std::string_view t) {
    std::size_t length = 0;
    while (length < t.size() && is_number_byte(t[length])) ++length;
    if (length < kShortNumber) return {};
    std::size_t i = t.starts_with('-') ? 1 : 0;
    const auto digits = [&] {
        const std::size_t from = i;
        while (i < t.size() && is_digit(t[i])) ++i;
        return i - from;
    };
    // Integer digits touch none of the counters; a bad start or a point without digits fails
    // before any is read. A leading zero is the whole integer part, as RapidJSON reads it: what
    // follows it is not this number's.
    if (i < t.size() && t[i] == '0') ++i;
    else if (digits() == 0) return {};
    if (i >= t.size() || t[i] != '.') return {};
    ++i;
    const std::size_t fraction = digits();
    if (fraction == 0) return {};
    std::size_t exponent = 0;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        const bool negative = i < t.size() && t[i] == '-';
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
        if (i >= t.size() || !is_digit(t[i])) {
            if (fraction < kNumberCounterRoom) return {};
            return {NumberGuard::MissingExponent, i};
        }
        for (; negative && i < t.size() && is_digit(t[i]) && exponent < kNumberCounterRoom; ++i)
            exponent = exponent * 10 + static_cast<std::size_t>(t[i] - '0');
    }
    if (fraction + exponent < kNumberCounterRoom) return {};
    return {NumberGuard::Judge, 0};
}

// The text as RapidJSON's input, read in place: RapidJSON never copies a string and never
// writes to the buffer. It hands the decoded bytes of each string to Put only so that a lone
// surrogate can be seen; the handler needs no string's content otherwise.
//
// RapidJSON works on this stream itself, through a reference (see StreamTraits below), so that
// only the position moves in and out of memory, eight bytes at a time. Handlers still report
// faults by value and the position comes from the parse result.
class TextStream {
public:
    using Ch = char;
    TextStream(const char* text, std::size_t size, bool& lone_surrogate)
        : src_(text), head_(text), end_(text + size), lone_(&lone_surrogate) {}

    Ch Peek() const { return *src_; }
    Ch Take() { return *src_++; }
    std::size_t Tell() const { return static_cast<std::size_t>(src_ - head_); }

    Ch* PutBegin() { return nullptr; }
    // Only U+D000..U+DFFF decode to a first byte ED. An ED from the text itself is the byte just
    // taken (src_[-1]); one from a \uDXYZ escape has src_ just past Z, so src_[-3] is X. RapidJSON
    // pairs or refuses a high surrogate (X of 8..B), so X of 8 or more here is a lone low one.
    void Put(Ch c) {
        if (c == '\xED' && src_[-1] != '\xED') [[unlikely]]
            if (src_[-3] >= '8') *lone_ = true;
    }
    std::size_t PutEnd(Ch*) { return 1; }  // RapidJSON takes one off for a terminator: length 0
    void Flush() {}

    // Moves past the string bytes that need no decoding (none of '"', '\\', U+0000-U+001F),
    // sixteen at a time while sixteen remain; RapidJSON takes the rest byte by byte. Such bytes
    // cannot make a lone surrogate, so they need not pass through Put.
    void skip_plain_string() {
#if defined(__SSE2__)
        const __m128i quote = _mm_set1_epi8('"'), backslash = _mm_set1_epi8('\\');
        const __m128i control = _mm_set1_epi8(0x1F);
        while (end_ - src_ >= 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src_));
            const __m128i stop = _mm_or_si128(
                _mm_or_si128(_mm_cmpeq_epi8(bytes, quote), _mm_cmpeq_epi8(bytes, backslash)),
                _mm_cmpeq_epi8(_mm_max_epu8(bytes, control), control));  // unsigned byte <= 0x1F
            const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(stop));
            if (mask != 0) {
                src_ += __builtin_ctz(mask);
                return;
            }
            src_ += 16;
        }
#endif
    }

    // The bytes from the current position on, up to the NUL after the text.
    std::string_view rest() const { return {src_, static_cast<std::size_t>(end_ - src_)}; }

    // Moves past JSON white space; the text ends in a NUL, which stops the loop. RapidJSON's own
    // loop writes the position back after every byte under clang (a byte read may alias the
    // position, so it cannot stay in a register); a local copy keeps it in one.
    void skip_space() {
        const char* p = src_;
        while (is_json_space(*p)) ++p;
        src_ = p;
    }

private:
    const char* src_;
    const char* head_;
    const char* end_;
    bool* lone_;
};

}  // namespace
}  // namespace solvarinth::config

// No per-function copy of the stream. With the copy, clang keeps it in memory (its address goes
// to RapidJSON's out-of-line hex digit parser), moves the position in eight-byte stores and
// copies the whole stream in and out in sixteen-byte loads: a failed store forwarding at every
// string. g++ is faster without the copy too. The figures are in bench/results.md.
namespace rapidjson {
template <>
struct StreamTraits<solvarinth::config::TextStream> {
    enum { copyOptimization = 0 };
};

// White space between tokens, through the stream's own loop.
template <>
inline void SkipWhitespace(solvarinth::config::TextStream& is) {
    is.skip_space();
}
}  // namespace rapidjson

namespace solvarinth::config {
namespace {

// RapidJSON's stack is not used when parsing in place with these flags; should it ever be, a
// failed allocation ends in the internal fault instead of a write through a null pointer.
class FaultingAllocator {
public:
    static const bool kNeedFree = true;
    void* Malloc(std::size_t size) { return size ? checked(std::malloc(size)) : nullptr; }
    void* Realloc(void* block, std::size_t, std::size_t size) {
        if (size == 0) {
            std::free(block);
            return nullptr;
        }
        return checked(std::realloc(block, size));
    }
    static void Free(void* block) noexcept { std::free(block); }

private:
    static void* checked(void* block) {
        if (block == nullptr) fatal("out of memory");
        return block;
    }
};

using Reader = rapidjson::GenericReader<rapidjson::UTF8<>, rapidjson::UTF8<>, FaultingAllocator>;

}  // namespace
}  // namespace solvarinth::config

// RapidJSON scans a string's plain bytes through this hook, which it only fills in for its own
// streams; ours uses the same vector scan.
template <>
template <>
inline void solvarinth::config::Reader::ScanCopyUnescapedString(solvarinth::config::TextStream& is,
                                                                 solvarinth::config::TextStream&) {
    is.skip_plain_string();
}

namespace solvarinth::config {
namespace {

constexpr unsigned kParseFlags = rapidjson::kParseStopWhenDoneFlag | rapidjson::kParseInsituFlag;

// RapidJSON's own double conversion is not correctly rounded: it can land on either side of the
// largest double for a value near it. Every number whose result comes this close (a margin far
// wider than its error) or overflows is decided again from its digits.
constexpr double kSureFinite = 1.7976931348e308;

// -? (0 | [1-9][0-9]*) (. [0-9]+)? ([eE] [+-]? [0-9]+)? as a prefix of t: its length, or 0.
std::size_t json_number_length(std::string_view t) noexcept {
    std::size_t i = t.starts_with('-') ? 1 : 0;
    const auto digits = [&] {
        const std::size_t from = i;
        while (i < t.size() && is_digit(t[i])) ++i;
        return i - from;
    };
    if (i >= t.size() || (t[i] == '0' ? (++i, false) : digits() == 0)) return 0;
    const std::size_t integer_end = i;
    if (i < t.size() && t[i] == '.' && (++i, digits() == 0)) return integer_end;
    const std::size_t fraction_end = i;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
        if (digits() == 0) return fraction_end;
    }
    return i;
}

bool is_json_number(std::string_view t) noexcept { return !t.empty() && json_number_length(t) == t.size(); }

// Whether a number token's value, correctly rounded (to nearest, ties to even), is a finite
// double; below the range counts as zero. The one rule for every number RapidJSON did not judge.
bool number_fits(std::string_view token) {
    if (token.starts_with('-')) token.remove_prefix(1);
    return decimal_value(token).has_value();
}

// The end of the run of number bytes starting at offset.
std::size_t number_end(const char* text, std::size_t size, std::size_t offset) noexcept {
    while (offset < size && is_number_byte(text[offset])) ++offset;
    return offset;
}

// Why the handler stopped the reader.
enum class Stop { None, Nesting, Number, LoneSurrogate };

// Does per value only what RapidJSON leaves open: spends the nesting budget, stops at a string
// that decoded to a lone surrogate, and at a number whose value RapidJSON may have misjudged.
class BudgetHandler : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, BudgetHandler> {
public:
    bool StartObject() { return open(); }
    bool StartArray() { return open(); }
    bool EndObject(SizeType) { return close(); }
    bool EndArray(SizeType) { return close(); }
    bool Double(double d) { return std::fabs(d) < kSureFinite || stop(Stop::Number); }
    bool String(const char*, SizeType, bool) { return !lone_surrogate || stop(Stop::LoneSurrogate); }
    bool Key(const char*, SizeType, bool) { return !lone_surrogate || stop(Stop::LoneSurrogate); }

    // A number RapidJSON must not read itself (TextStream::number_outgrows_reader).
    bool refuse_number() { return stop(Stop::Number); }
    Stop stopped() const noexcept { return stop_; }
    bool lone_surrogate = false;  // set by the stream when a string decodes to one

private:
    bool open() { return --budget_ != 0 || stop(Stop::Nesting); }
    bool close() {
        ++budget_;
        return true;
    }
    bool stop(Stop why) {
        stop_ = why;
        return false;
    }

    int budget_ = kJsonNestingBudget;
    Stop stop_ = Stop::None;
};

}  // namespace
}  // namespace solvarinth::config

// RapidJSON's string parser for this stream, the same steps, always inlined: clang otherwise
// keeps it out of line, and a config of short keys and strings pays for the call and its
// register saves at every one (figures in bench/results.md).
template <>
template <>
inline RAPIDJSON_FORCEINLINE void solvarinth::config::Reader::ParseString<solvarinth::config::kParseFlags>(
    solvarinth::config::TextStream& is, solvarinth::config::BudgetHandler& handler, bool isKey) {
    is.Take();  // the opening quote
    char* head = is.PutBegin();
    ParseStringToStream<solvarinth::config::kParseFlags, rapidjson::UTF8<>, rapidjson::UTF8<>>(is, is);
    RAPIDJSON_PARSE_ERROR_EARLY_RETURN_VOID;
    const SizeType length = is.PutEnd(head) - 1;
    const bool go_on = isKey ? handler.Key(head, length, false) : handler.String(head, length, false);
    if (!go_on) [[unlikely]]
        RAPIDJSON_PARSE_ERROR(rapidjson::kParseErrorTermination, is.Tell());
}

// RapidJSON's number parser for this stream, behind the guard on its counters (check_number):
// the well-formed numbers it stops are decided from their digits (judge_number), and a long
// fraction without exponent digits fails where RapidJSON would have failed it. ParseNumber never reads the comments
// flag, so the same flags with it added instantiate RapidJSON's own body unchanged.
template <>
template <>
inline void solvarinth::config::Reader::ParseNumber<solvarinth::config::kParseFlags>(
    solvarinth::config::TextStream& is, solvarinth::config::BudgetHandler& handler) {
    const solvarinth::config::NumberCheck check = solvarinth::config::check_number(is.rest());
    if (check.guard == solvarinth::config::NumberGuard::Judge) [[unlikely]] {
        handler.refuse_number();
        RAPIDJSON_PARSE_ERROR(rapidjson::kParseErrorTermination, is.Tell());
    }
    if (check.guard == solvarinth::config::NumberGuard::MissingExponent) [[unlikely]]
        RAPIDJSON_PARSE_ERROR(rapidjson::kParseErrorNumberMissExponent, is.Tell() + check.at);
    ParseNumber<solvarinth::config::kParseFlags | rapidjson::kParseCommentsFlag>(is, handler);
}

namespace solvarinth::config {
namespace {

// One pass of RapidJSON over the text: the error, or the offset of a number whose value fits a
// double although RapidJSON refused it (by its digit or exponent count) or doubted it.
struct Pass {
    std::optional<JsonError> error;
    std::optional<std::size_t> refused_number;
};

// A number RapidJSON could not judge, starting at offset, whose well-formed part ends at end.
Pass judge_number(const char* text, std::size_t offset, std::size_t end) {
    const std::string_view token(text + offset, end - offset);
    if (is_json_number(token) && number_fits(token)) return {{}, offset};
    return {JsonError{kNumberOutOfRange, end - 1}, {}};
}

// Where the reader stopped at the handler's request: RapidJSON gives the offset after the
// bracket or the closing quote, and the first byte of a number.
Pass handler_stop(Stop why, const char* text, std::size_t size, std::size_t offset) {
    switch (why) {
        case Stop::Nesting:
            return {JsonError{kRecursionLimit, offset - 1}, {}};
        case Stop::LoneSurrogate:
            return {JsonError{kLoneSurrogate, offset - 1}, {}};
        case Stop::Number:
            return judge_number(text, offset, offset + json_number_length({text + offset, size - offset}));
        case Stop::None:
            break;
    }
    fatal("JSON reader stopped without a reason");
}

Pass parse_once(const char* text, std::size_t size) {
    BudgetHandler handler;
    TextStream stream(text, size, handler.lone_surrogate);
    Reader reader;
    const rapidjson::ParseResult result = reader.Parse<kParseFlags>(stream, handler);
    if (result.IsError()) {
        const std::size_t offset = result.Offset();
        if (result.Code() == rapidjson::kParseErrorTermination)
            return handler_stop(handler.stopped(), text, size, offset);
        if (result.Code() == rapidjson::kParseErrorNumberTooBig)
            return judge_number(text, offset, number_end(text, size, offset));
        return {reader_error(result.Code(), text, size, offset), {}};
    }
    std::size_t rest = stream.Tell();
    while (rest < size && is_json_space(text[rest])) ++rest;
    if (rest < size)
        return {JsonError{after_leading_zero(text, size, rest) ? kInvalidNumber : kTrailingCharacters, rest}, {}};
    return {};
}

// Writes the well-formed number at offset as 0 followed by blanks, keeping every position.
void write_as_zero(std::string& text, std::size_t offset) {
    const std::size_t length = json_number_length(std::string_view(text).substr(offset));
    text[offset] = '0';
    if (length > 1) text.replace(offset + 1, length - 1, length - 1, ' ');
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
    // Some numbers RapidJSON cannot judge itself (0e400, a 400-digit integer below the double
    // limit, a value next to the largest double). Check a copy in which every number that fits
    // reads 0, at the same length, so that every position stays where it was.
    std::string copy(text, size);
    write_fitting_numbers_as_zero(copy);
    for (;;) {
        pass = parse_once(copy.c_str(), size);
        if (!pass.refused_number) return pass.error;
        // One the rewrite missed. Each is refused once: written as 0, it reads as 0.
        const std::string_view refused = std::string_view(copy).substr(*pass.refused_number);
        if (refused.starts_with('0') && json_number_length(refused) == 1)
            fatal("JSON number refused again after it was written as 0");
        write_as_zero(copy, *pass.refused_number);
    }
}

}  // namespace solvarinth::config
