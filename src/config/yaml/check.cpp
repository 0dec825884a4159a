// The check's event loop and its verdict. Besides feeding the builder, the loop counts the
// document's events, binds anchors and watches the nesting depth, all of which go on after a
// build failure: the alias expansion limit is a multiple of the document's whole event count, so
// a failure by which building had already counted more expansions than the limit allows was
// never reached (the expansion limit fired first) unless the document has events enough. The
// loop counts on until it has seen that many, and no further: the failure stands then.
#include "config/yaml/check.hpp"

#include <functional>
#include <limits>
#include <string>

#include "common/fault.hpp"
#include "config/limits.hpp"
#include "config/yaml/builder.hpp"
#include "config/yaml/parser.hpp"

namespace solvarinth::config {
namespace {

using namespace yaml;

constexpr std::string_view kRepetitionLimit = "repetition limit exceeded";
constexpr std::string_view kMoreDocuments =
    "deserializing from YAML containing more than one document is not supported";

enum class Step { Next, Stop, DocumentEnd };

class EventLoop {
public:
    Step take(const yaml_event_t& e);
    // Whether the verdict is known whatever follows: building failed, and the document has
    // events enough for its expansions so far.
    bool settled() const;
    // The events stop early: a parser error.
    void stop(Diagnostic reason);
    void set_more_documents(bool more) { more_documents_ = more; }
    void finish() { builder_.finish(); }
    std::optional<Diagnostic> verdict() const;

private:
    Step alias(const yaml_event_t& e);
    Step open(const yaml_event_t& e, bool mapping);
    void bind(const yaml_char_t* anchor, std::uint64_t at);

    Builder builder_;
    AnchorNames anchors_;
    std::uint64_t limit() const;

    std::uint64_t events_ = 0;  // as the expansion limit counts them
    // The loop's own nesting count: building stops at its first failure, and past the budget
    // only counting goes on, to kYamlDeepestCounted levels. libyaml checks every open flow level
    // at each token it scans, so its cost per event grows with the depth.
    std::uint32_t depth_ = 0;
    std::optional<Diagnostic> stopped_;
    bool more_documents_ = false;
};

Step EventLoop::take(const yaml_event_t& e) {
    switch (e.type) {
        case YAML_STREAM_START_EVENT:
        case YAML_DOCUMENT_START_EVENT:
            return Step::Next;
        case YAML_DOCUMENT_END_EVENT:
            return Step::DocumentEnd;
        case YAML_STREAM_END_EVENT:
            // An empty stream, or one of comments only, is one document holding a null.
            if (events_ == 0) {
                ++events_;
                builder_.void_node();
            }
            return Step::Stop;
        case YAML_ALIAS_EVENT:
            return alias(e);
        case YAML_SCALAR_EVENT:
            ++events_;
            if (e.data.scalar.anchor) bind(e.data.scalar.anchor, builder_.scalar(e, true));
            else builder_.scalar(e, false);
            return Step::Next;
        case YAML_SEQUENCE_START_EVENT:
            return open(e, false);
        case YAML_MAPPING_START_EVENT:
            return open(e, true);
        case YAML_SEQUENCE_END_EVENT:
        case YAML_MAPPING_END_EVENT:
            ++events_;
            builder_.end();
            --depth_;
            return Step::Next;
        case YAML_NO_EVENT:
            break;
    }
    fatal("libyaml delivered no event");
}

Step EventLoop::alias(const yaml_event_t& e) {
    const auto found = anchors_.find(text_of(e.data.alias.anchor));
    if (!found) {
        Diagnostic message{"unknown anchor", std::nullopt};
        append_mark(message, to_mark(e.start_mark));
        stop(std::move(message));
        return Step::Stop;
    }
    ++events_;
    builder_.alias(*found);
    return Step::Next;
}

Step EventLoop::open(const yaml_event_t& e, bool mapping) {
    const yaml_char_t* anchor = mapping ? e.data.mapping_start.anchor : e.data.sequence_start.anchor;
    ++events_;
    bind(anchor, builder_.start(e, mapping, anchor != nullptr));
    // Building has failed past the budget; counting goes on while the verdict needs it, but not
    // into nesting so deep that libyaml's scanning cost has no bound: a document that nests
    // deeper than that before its count is enough has its count taken as final there.
    return ++depth_ > kYamlDeepestCounted ? Step::Stop : Step::Next;
}

void EventLoop::bind(const yaml_char_t* anchor, std::uint64_t at) {
    if (!anchor) return;
    anchors_.bind(text_of(anchor), at);
}

void EventLoop::stop(Diagnostic reason) {
    builder_.cut_short(reason);
    stopped_ = std::move(reason);
}

// The expansions the events counted so far allow.
std::uint64_t EventLoop::limit() const {
    return events_ > std::numeric_limits<std::uint64_t>::max() / kYamlRepetitionFactor
               ? std::numeric_limits<std::uint64_t>::max()
               : events_ * kYamlRepetitionFactor;
}

bool EventLoop::settled() const {
    const auto& failure = builder_.failure();
    return failure && failure->expansions <= limit();
}

std::optional<Diagnostic> EventLoop::verdict() const {
    const std::uint64_t limit = this->limit();
    const Diagnostic repetition{std::string(kRepetitionLimit), std::nullopt};
    if (const auto& failure = builder_.failure())
        return failure->expansions <= limit ? failure->message : repetition;
    if (builder_.expansions() > limit) return repetition;
    // A parser error after the last event the node needed still makes the text invalid.
    if (stopped_) return stopped_;
    if (more_documents_) return Diagnostic{std::string(kMoreDocuments), std::nullopt};
    return std::nullopt;
}

// True when anything other than the end of the stream follows the first document.
bool more_follows(Parser& parser) {
    ParsedEvent next;
    if (!parser.next(next)) return true;
    return next->type != YAML_STREAM_END_EVENT;
}

}  // namespace

std::optional<Diagnostic> check_yaml(std::string_view text) {
    Parser parser(text);
    EventLoop loop;
    ParsedEvent event;
    for (;;) {
        if (!parser.next(event)) {
            loop.stop(parser.error_message());
            break;
        }
        const Step step = loop.take(*event);
        if (step == Step::Next && !loop.settled()) continue;
        if (step == Step::DocumentEnd) {
            event.reset();
            loop.set_more_documents(more_follows(parser));
        }
        break;
    }
    loop.finish();
    return loop.verdict();
}

}  // namespace solvarinth::config
