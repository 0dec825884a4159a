// Building the first document from its collected events: nesting and alias budgets, tags,
// duplicate keys by value, and the node paths that locate failures.
//
// Aliases are not copied. A node that an alias names has already been built by the time the
// alias is reached, and building it again could only differ in depth and in the alias count, so
// the builder keeps each such node's height and the number of alias expansions inside it. An
// alias whose node fits both budgets is accounted for at once; only one that cannot fit is walked
// again, through its events, to find exactly where a budget runs out. An alias inside the node it
// names expands without end; its rounds are counted from the open collections around it. Either
// way the outcome is the one a full expansion would give, in time linear in the events instead of
// in the expanded size.
#include "config/yaml_loader.hpp"

#include <algorithm>
#include <limits>
#include <unordered_map>
#include <vector>

#include "common/fault.hpp"
#include "common/utf8.hpp"
#include "config/nesting.hpp"
#include "config/yaml_events.hpp"
#include "config/yaml_identity.hpp"
#include "config/yaml_scalar.hpp"

namespace solvarinth::config {
namespace {

using namespace yaml;

constexpr std::string_view kRepetitionLimit = "repetition limit exceeded";
constexpr std::string_view kMoreDocuments =
    "deserializing from YAML containing more than one document is not supported";
constexpr std::uint64_t kExpansionsPerEvent = 100;

// Where a node sits, for messages: "." at the top, "a.b" under keys, ".[0]" and "a[1]" for
// sequence elements, "?" for an entry whose key is not a scalar.
struct Path {
    enum class Kind { Root, Element, Entry, UnknownEntry };
    Kind kind = Kind::Root;
    const Path* parent = nullptr;
    std::size_t index = 0;
    std::string_view key;
};

std::string render(const Path& path) {
    std::vector<const Path*> chain;
    for (const Path* p = &path; p; p = p->parent) chain.push_back(p);
    std::string out;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        const Path& p = **it;
        switch (p.kind) {
            case Path::Kind::Root:
                out += '.';
                break;
            case Path::Kind::Element:
                out += '[' + std::to_string(p.index) + ']';
                break;
            case Path::Kind::Entry:
            case Path::Kind::UnknownEntry:
                if (p.parent->kind == Path::Kind::Root) out.clear();
                else out += '.';
                const bool named = p.kind == Path::Kind::Entry && is_valid_utf8(p.key);
                out += named ? p.key : std::string_view("?");
                break;
        }
    }
    return out;
}

// What building a node adds up to: its nesting height and the alias expansions inside it.
struct Summary {
    std::uint32_t height = 0;
    std::uint64_t jumps = 0;

    void absorb(const Summary& child) {
        height = std::max(height, child.height);
        jumps = child.jumps > std::numeric_limits<std::uint64_t>::max() - jumps
                    ? std::numeric_limits<std::uint64_t>::max()
                    : jumps + child.jumps;
    }
};

struct Frame {
    std::size_t start;     // the collection's start event
    std::size_t child_at;  // where the child being built starts
    Summary done;          // the children completed so far
};

class Builder {
public:
    explicit Builder(const Document& doc)
        : doc_(doc), ids_(doc), limit_(kExpansionsPerEvent * doc.size()) {}

    // The failure of building the document's node, if any.
    std::optional<Diagnostic> build() {
        std::size_t pos = 0;
        Summary top;
        if (!node(pos, Path{}, kNestingBudget, top)) return failure_;
        return std::nullopt;
    }

private:
    bool node(std::size_t& pos, const Path& path, std::uint32_t budget, Summary& out,
              std::optional<ScalarRead>* key = nullptr);
    bool collection(std::size_t& pos, std::size_t at, const Path& path, std::uint32_t budget,
                    Summary& out);
    bool child(std::size_t& pos, const Path& path, std::uint32_t budget,
               std::optional<ScalarRead>* key = nullptr);
    bool sequence(std::size_t& pos, const Path& path, std::uint32_t budget);
    bool mapping(std::size_t& pos, std::size_t at, const Path& path, std::uint32_t budget);
    bool alias(const Event& e, std::uint32_t budget, Summary& out);
    bool expand_enclosing(std::uint64_t target, std::uint32_t budget);
    bool replay(std::uint64_t target, std::uint32_t budget);
    bool replay_node(std::size_t& pos, std::uint32_t budget);

    bool fail(Diagnostic message) {
        failure_ = std::move(message);
        return false;
    }
    bool fail(std::string_view text) { return fail(Diagnostic{std::string(text), std::nullopt}); }
    bool fail_at(const Path& path, std::size_t at, std::string_view text) {
        const std::string where = render(path);
        Diagnostic message{(where == "." ? std::string() : where + ": ") + std::string(text), std::nullopt};
        append_mark(message, doc_.mark(at));
        return fail(std::move(message));
    }
    bool recursion_limit(std::size_t at) {
        Diagnostic message{std::string(kRecursionLimit), std::nullopt};
        append_mark(message, doc_.mark(at));
        return fail(std::move(message));
    }
    // The walk needs an event that was never collected: the reason collection stopped.
    bool past_end() {
        if (!doc_.error) fatal("YAML events end inside a complete document");
        return fail(*doc_.error);
    }

    const Document& doc_;
    Identities ids_;
    const std::uint64_t limit_;
    std::uint64_t expansions_ = 0;  // never above limit_ while building goes on
    std::unordered_map<std::uint64_t, Summary> built_;  // aliased event -> its node's summary
    // The collections being built, outermost first, each with the children it has completed.
    std::vector<Frame> open_;
    std::optional<Diagnostic> failure_;
};

// A mapping key passes `key`: a scalar key is then read in full, once, and the reading kept for
// comparing it with the other keys.
bool Builder::node(std::size_t& pos, const Path& path, std::uint32_t budget, Summary& out,
                   std::optional<ScalarRead>* key) {
    if (pos >= doc_.size()) return past_end();
    const std::size_t at = pos;
    const Event& e = doc_[pos++];
    out = Summary{};
    switch (e.kind) {
        case EventKind::Void:
            break;
        case EventKind::Alias:
            return alias(e, budget, out);
        case EventKind::Scalar:
            // Only a tag can make a scalar fail, so other values need no reading.
            if (key) {
                const ScalarRead& read = key->emplace(read_scalar(doc_, e));
                if (read.error) return fail_at(path, at, *read.error);
            } else if (e.tag != 0) {
                if (ScalarRead read = read_scalar(doc_, e); read.error) return fail_at(path, at, *read.error);
            }
            break;
        case EventKind::SequenceStart:
        case EventKind::MappingStart:
            if (!collection(pos, at, path, budget, out)) return false;
            break;
        default:
            fatal("YAML collection end where a node starts");
    }
    if (e.flags & kAliased) built_.emplace(at, out);
    return true;
}

bool Builder::collection(std::size_t& pos, std::size_t at, const Path& path, std::uint32_t budget,
                         Summary& out) {
    const Tag* tag = doc_.tag(doc_[at]);
    if (tag && tag->kind == TagClass::LocalEmpty) return fail_at(path, at, kEmptyTag);
    if (budget == 0) return recursion_limit(at);
    open_.push_back(Frame{at, pos, Summary{}});
    const bool ok = doc_[at].kind == EventKind::SequenceStart ? sequence(pos, path, budget - 1)
                                                              : mapping(pos, at, path, budget - 1);
    out = open_.back().done;
    ++out.height;
    open_.pop_back();
    return ok;
}

bool Builder::child(std::size_t& pos, const Path& path, std::uint32_t budget,
                    std::optional<ScalarRead>* key) {
    const std::size_t level = open_.size() - 1;
    open_[level].child_at = pos;
    Summary part;
    if (!node(pos, path, budget, part, key)) return false;
    open_[level].done.absorb(part);
    return true;
}

bool Builder::sequence(std::size_t& pos, const Path& path, std::uint32_t budget) {
    for (std::size_t index = 0;; ++index) {
        if (pos >= doc_.size()) return past_end();
        if (doc_[pos].kind == EventKind::SequenceEnd) break;
        if (!child(pos, Path{Path::Kind::Element, &path, index, {}}, budget)) return false;
    }
    ++pos;
    return true;
}

bool Builder::mapping(std::size_t& pos, std::size_t at, const Path& path, std::uint32_t budget) {
    MappingKeys keys(doc_, ids_);
    for (;;) {
        if (pos >= doc_.size()) return past_end();
        const Event& key = doc_[pos];
        if (key.kind == EventKind::MappingEnd) break;
        const std::size_t key_at = pos;
        // A key is built where the mapping stands, with the mapping's path.
        std::optional<ScalarRead> read;
        if (!child(pos, path, budget, &read)) return false;
        if (std::optional<std::string> repeated = keys.add(key_at, read))
            return fail_at(path, at, *repeated);
        const Path entry = key.kind == EventKind::Scalar
                               ? Path{Path::Kind::Entry, &path, 0, doc_.text(key)}
                               : Path{Path::Kind::UnknownEntry, &path, 0, {}};
        if (!child(pos, entry, budget)) return false;
    }
    ++pos;
    return true;
}

bool Builder::alias(const Event& e, std::uint32_t budget, Summary& out) {
    const auto found = built_.find(e.payload);
    if (found == built_.end()) return expand_enclosing(e.payload, budget);
    const Summary& s = found->second;
    if (s.height <= budget && s.jumps < limit_ - expansions_) {
        expansions_ += 1 + s.jumps;
        out = Summary{s.height, s.jumps + 1};
        return true;
    }
    // The node does not fit the budgets left: walking it again finds where building fails.
    if (replay(e.payload, budget)) fatal("YAML alias expansion fits after all");
    return false;
}

// The alias names a collection that is still open around it, so its expansion would repeat
// forever: the open collections from the named one down to the alias, each time one level
// deeper, until a budget runs out. The children already complete in each open collection are
// summed up in its frame, so each round costs one step per open level.
bool Builder::expand_enclosing(std::uint64_t target, std::uint32_t budget) {
    const auto named = std::find_if(open_.begin(), open_.end(),
                                    [&](const Frame& f) { return f.start == target; });
    if (named == open_.end()) fatal("YAML alias names an event that was never built");
    for (;;) {
        if (++expansions_ > limit_) return fail(std::string(kRepetitionLimit));
        for (auto f = named; f != open_.end(); ++f) {
            if (budget == 0) return recursion_limit(f->start);
            --budget;
            if (f->done.height > budget || f->done.jumps > limit_ - expansions_) {
                for (std::size_t pos = f->start + 1; pos < f->child_at;)
                    if (!replay_node(pos, budget)) return false;
                fatal("YAML alias expansion fits after all");
            }
            expansions_ += f->done.jumps;
        }
    }
}

// Expands an alias to a complete node by walking its events again. Everything but the two
// budgets was checked when those events were first built, so only the budgets are checked here.
bool Builder::replay(std::uint64_t target, std::uint32_t budget) {
    if (++expansions_ > limit_) return fail(std::string(kRepetitionLimit));
    const auto found = built_.find(target);
    if (found == built_.end()) fatal("YAML alias names an event that was never built");
    if (found->second.height <= budget && found->second.jumps <= limit_ - expansions_) {
        expansions_ += found->second.jumps;
        return true;
    }
    std::size_t pos = target;
    return replay_node(pos, budget);
}

bool Builder::replay_node(std::size_t& pos, std::uint32_t budget) {
    // A replay never passes the alias that started it, so it stays within collected events.
    if (pos >= doc_.size()) fatal("YAML alias replay ran past the collected events");
    const std::size_t at = pos;
    const Event& e = doc_[pos++];
    switch (e.kind) {
        case EventKind::Void:
        case EventKind::Scalar:
            return true;
        case EventKind::Alias:
            return replay(e.payload, budget);
        case EventKind::SequenceStart:
        case EventKind::MappingStart:
            break;
        default:
            fatal("YAML collection end where a node starts");
    }
    if (budget == 0) return recursion_limit(at);
    const EventKind end = e.kind == EventKind::SequenceStart ? EventKind::SequenceEnd : EventKind::MappingEnd;
    while (pos < doc_.size() && doc_[pos].kind != end)
        if (!replay_node(pos, budget - 1)) return false;
    ++pos;
    return true;
}

}  // namespace

std::optional<Diagnostic> check_yaml(std::string_view text) {
    const Document doc = load_first_document(text);
    if (auto failure = Builder(doc).build()) return failure;
    // A parser error after the last event the node needed still makes the text invalid.
    if (doc.error) return doc.error;
    if (doc.more_documents) return Diagnostic{std::string(kMoreDocuments), std::nullopt};
    return std::nullopt;
}

}  // namespace solvarinth::config
