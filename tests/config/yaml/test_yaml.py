"""YAML config validation: accepted documents, each build and parser failure with its exact
message, a reference model for aliases, budgets and key equality, and hostile inputs."""


import pytest
import yaml._yaml as libyaml
from yaml.reader import ReaderError
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

from conftest import raises_exactly, run_python

PREFIX = "Invalid YAML config: "
MORE = "deserializing from YAML containing more than one document is not supported"


def nest(depth, inner=""):
    return "[" * depth + inner + "]" * depth


def chain(levels, tail):
    """Anchored sequences c0..c{levels-1}, each aliasing the one before twice, then tail."""
    links = [f"&c{i} [" + (f"*c{i - 1}, *c{i - 1}" if i else "a, a") + "]" for i in range(levels)]
    return "[" + ", ".join(links + [tail]) + "]"


def at_budget(extra_alias):
    """605 events and exactly 100 times as many alias expansions; one alias more tips it over,
    and the alias that crosses the limit is one whose node was built before."""
    return ("[&a x, &b [" + "*a, " * 199 + "*a], " + ("*a, " if extra_alias else "") + "*b, " * 300
            + "y, " * (98 if extra_alias else 99) + "y]")


def bomb(levels):
    """Each level an anchored sequence holding two aliases of the level below."""
    lines = ["l0: &l0 [x, x]"] + [f"l{i}: &l{i} [*l{i - 1}, *l{i - 1}]" for i in range(1, levels)]
    return "\n".join(lines) + "\n"


def tag_directives(n, used=False):
    """n %TAG directives of distinct handles, then with used, a document tagging a node with each:
    at 5,000 libyaml's index of them (our patch) is rebuilt ten times, and a handle lost on the
    way would be undefined; before the index each directive and tag scanned all earlier ones."""
    text = "".join(f"%TAG !h{i}! tag:x,{i}:\n" for i in range(n))
    return text + "---\n" + "".join(f"- !h{i}!a {i}\n" for i in range(n)) if used else text


def rejected(train, path):
    return str(raises_exactly(ValueError, None, train, path))


BOM = "\ufeff"

# The tables are module constants: tests/cli/test_check_command.py runs their cases through
# solvarinth-check as well.
ACCEPTED = [
    "", "# only a comment\n\n", "\ufeff", "\ufeffa: 1\n", "42", "'a scalar'", "--- \n...\n",
    "a: 1\n...\n# after the end\n",
    nest(128),
    "- " * 128 + "x",
    "{1: a, '1': b}", "{1: a, 1.0: b}", "{null: a, 'null': b}", "{~: a, '': b}",
    "{[1, 2]: a, [2, 1]: b}", "{!t 1: a, !u 1: b}", "{!t 1: a, 1: b}",
    "{01: a, 1: b}",                             # a leading zero keeps 01 a string
    "{inf: a, .inf: b}", "{.inf: a, -.inf: b}",
    "base: &b {x: 1}\nderived:\n  <<: *b\n  x: 2\n",   # "<<" is an ordinary key, not a merge
    "a: &a 1\n<<: *a\n",
    "{&k a: 1, &k b: 2, c: *k}",
    "x: !!null\ny: !!null ~\nz: !!float 1\nw: !!int -0x10\nv: !!bool FALSE\n",
    "x: !!str 1\ny: !!binary aGk=\nz: !!map {a: 1}\n",
    "a: &a " + nest(100) + "\nb: " + nest(27, "*a"),   # the alias's node fits where it stands
    "a: &a [1, 2]\nb: [*a, *a, *a]\n",
    # equal texts that are different values as keys
    "{!t a: 1, a: 2, !u a: 3, !!str b: 4}",
    "{&k !t 1: a, 1: b, [*k]: c, [1]: d}",
    "{1: a, 1.0: b, '1': c, true: d, 'true': e, ~: f, '': g}",
    at_budget(extra_alias=False),
    # a leading byte-order mark is not content: block collections keep their columns
    "\ufeffa: 1\nb: 2\n", "\ufeff- 1\n- 2\n", "\ufeff---\na: 1\nb: 2\n",
    # many %TAG handles, each used, and the defaults beside them
    tag_directives(5000, used=True) + "- !!str a\n- !t b\n",
]


@pytest.mark.parametrize("text", ACCEPTED)
def test_accepted(write_config, train, fake_cargo, text):
    assert train(write_config("c.yaml", text)) is None
    assert fake_cargo.argv() is not None


REJECTED = [
    # duplicate keys in each printed form; a mapping at the very start has no position
    ("a: 1\na: 2\n", 'duplicate entry with key "a"'),
    ("\ufeff{a: 1, a: 2}", 'duplicate entry with key "a"'),
    ("\ufeffa: 1\n b: 2\n", "mapping values are not allowed in this context at line 2 column 3"),
    ("x: {~: 1, null: 2}", "x: duplicate entry with null key at line 1 column 4"),
    ("x:\n  1: a\n  0x1: b\n", "x: duplicate entry with key 1 at line 2 column 3"),
    ("x: {-9223372036854775808: a, -0x8000000000000000: b}",
     "x: duplicate entry with key -9223372036854775808 at line 1 column 4"),
    ("x: {-0: a, 0: b}", "x: duplicate entry with key 0 at line 1 column 4"),
    ("- {true: 1, True: 2}", ".[0]: duplicate entry with key `true` at line 1 column 3"),
    ("x: {.nan: 1, .NAN: 2}", "x: duplicate entry with key .nan at line 1 column 4"),
    ("x: {1.5: a, 15e-1: b}", "x: duplicate entry with key 1.5 at line 1 column 4"),
    ("x: {100000.0: a, 1e5: b}", "x: duplicate entry with key 100000.0 at line 1 column 4"),
    ("x: {1e16: a, 10000000000000000: b, 1e16: c}", "x: duplicate entry with key 1e16 at line 1 column 4"),
    ("x: {0.00001: a, 1e-5: b}", "x: duplicate entry with key 0.00001 at line 1 column 4"),
    ("x: {1e-7: a, 0.0000001: b}", "x: duplicate entry with key 1e-7 at line 1 column 4"),
    ("x: {-0.0: a, 0.0: b}", "x: duplicate entry with key -0.0 at line 1 column 4"),
    ("x: {-.inf: a, -.Inf: b}", "x: duplicate entry with key -.inf at line 1 column 4"),
    ('x: {"t\\tq\\"\\\\": 1, "t\\tq\\"\\\\": 2}',
     'x: duplicate entry with key "t\\tq\\"\\\\" at line 1 column 4'),
    ("x: {'e\u0301\u00a0': 1, 'e\u0301\u00a0': 2}",
     'x: duplicate entry with key "e\\u{301}\\u{a0}" at line 1 column 4'),
    ("x: {!!str 1: a, '1': b}", 'x: duplicate entry with key "1" at line 1 column 4'),
    ("x: {!!int '5': a, 5: b}", "x: duplicate entry with key 5 at line 1 column 4"),
    ("{<<: a, <<: b}", 'duplicate entry with key "<<"'),
    ("x: {[1, 2]: a, [1, 2]: b}", "x: duplicate entry in YAML map at line 1 column 4"),
    ("x: {{a: 1, b: 2}: c, {b: 2, a: 1}: d}", "x: duplicate entry in YAML map at line 1 column 4"),
    ("x: {!t 0x10: a, !t 16: b}", "x: duplicate entry in YAML map at line 1 column 4"),
    ("x: {&k a: 1, *k : 2}", 'x: duplicate entry with key "a" at line 1 column 4'),
    ("x: {&k a: 1, &k b: 2, *k : 3}", 'x: duplicate entry with key "b" at line 1 column 4'),
    ("x: {k: 1, k: *nope}", 'x: duplicate entry with key "k" at line 1 column 4'),
    # past the first few keys of a mapping, and mixing scalar with structural keys
    ("x: {" + ", ".join(f"k{i}: {i}" for i in range(20)) + ", 0x10: a, [k3]: b, 16: c}",
     "x: duplicate entry with key 16 at line 1 column 4"),
    ("x: {" + ", ".join(f"k{i}: {i}" for i in range(20)) + ", [k3]: b, k19: c}",
     'x: duplicate entry with key "k19" at line 1 column 4'),
    ("x: {[k3]: a, k3: b, [k3]: c}", "x: duplicate entry in YAML map at line 1 column 4"),
    # keys through aliases and under tags, each compared by the value it stands for
    ("x: {&k !t a: 1, *k : 2}", "x: duplicate entry in YAML map at line 1 column 4"),
    ("x: {&k [1]: a, *k : b}", "x: duplicate entry in YAML map at line 1 column 4"),
    ("x: {&z -0.0: a, 0.0: b, *z : c}", "x: duplicate entry with key -0.0 at line 1 column 4"),
    ("x: {!!float 1: a, &f 1.0: b}", "x: duplicate entry with key 1.0 at line 1 column 4"),
    ("x: {!!bool True: a, *nope : b}", "unknown anchor at line 1 column 21"),
    ("x: {a: 1, !!int b: 2}", 'x: invalid value: string "b", expected an integer at line 1 column 11'),
    ("x: {a: 1, ! b: 2}", "x: empty YAML tag is not allowed at line 1 column 11"),
    # node paths
    ("a:\n  b:\n    - c: 1\n      c: 2\n", 'a.b[0]: duplicate entry with key "c" at line 3 column 7'),
    ("- - {k: 1, k: 2}", '.[0][0]: duplicate entry with key "k" at line 1 column 5'),
    ("? [x]\n: {k: 1, k: 2}\n", '?: duplicate entry with key "k" at line 2 column 3'),
    ("a: {[{k: 1, k: 2}]: v}", 'a[0]: duplicate entry with key "k" at line 1 column 6'),
    ("a: &n {b: 1}\nc: [0, {d: [*n, {e: ! x}]}]", "c[1].d[1].e: empty YAML tag is not allowed at line 2 column 21"),
    # tags
    ("x: !!int 1.5", 'x: invalid value: string "1.5", expected an integer at line 1 column 4'),
    ("x: !!int 010", 'x: invalid value: string "010", expected an integer at line 1 column 4'),
    ("!!int 18446744073709551616", 'invalid value: string "18446744073709551616", expected an integer'),
    ("- !!bool yes", '.[0]: invalid value: string "yes", expected a boolean at line 1 column 3'),
    ("x: !!float inf", 'x: invalid value: string "inf", expected a float at line 1 column 4'),
    ("x: !!null 0", 'x: invalid value: string "0", expected null at line 1 column 4'),
    ("x: ! a", "x: empty YAML tag is not allowed at line 1 column 4"),
    ("x: ! [" + "[" * 200, "x: empty YAML tag is not allowed at line 1 column 4"),
    ("! {}", "empty YAML tag is not allowed"),
    # nesting budget, where the 129th collection starts
    (nest(129), "recursion limit exceeded at line 1 column 129"),
    ("- " * 129 + "x", "recursion limit exceeded at line 1 column 257"),
    ("[\n" * 200, "recursion limit exceeded at line 129 column 1"),
    ("a: &a " + nest(100) + "\nb: " + nest(28, "*a"), "recursion limit exceeded at line 1 column 106"),
    ("&a [*a]", "recursion limit exceeded"),
    ("a: &a [1, [2, *a]]", "recursion limit exceeded at line 1 column 11"),
    ("&p [[[[]]], *p]", "recursion limit exceeded at line 1 column 7"),   # inside the finished child
    # aliases
    ("a: *nope", "unknown anchor at line 1 column 4"),
    ("*nope", "unknown anchor"),
    ("- *a\n- &a 1\n", "unknown anchor at line 1 column 3"),
    (bomb(20), "repetition limit exceeded"),
    (at_budget(extra_alias=True), "repetition limit exceeded"),
    # each round of an endless expansion also counts the aliases inside c3 or c4; c0, the
    # deepest level of the last round, is where the budget runs out
    (chain(4, "&p [*c3, *p]"), "recursion limit exceeded at line 1 column 2"),
    (chain(5, "&p [*c4, *p]"), "repetition limit exceeded"),
    # more than one document
    ("a: 1\n---\nb: 2\n", MORE),
    ("a: 1\n--- [\n", MORE),
    ("a: 1\n...\n---\n", MORE),
    ("--- a\n--- b", MORE),
    ("[1] x", MORE),   # the node is complete, so libyaml ends the first document before x
    # parser errors: problem, position, context and its position when it differs
    ("a: b: c", "mapping values are not allowed in this context at line 1 column 5"),
    ("[1, 2", "did not find expected ',' or ']' at line 2 column 1, while parsing a flow sequence"),
    ("x: [1, 2", "did not find expected ',' or ']' at line 2 column 1, while parsing a flow sequence at line 1 column 4"),
    ("a: 1\n\u0001", "control characters are not allowed at position 5"),
    ("\u0001", "control characters are not allowed"),
    ("{a: 1, a: 2} x", 'duplicate entry with key "a"'),                       # building fails first
    # %TAG directives, through our patch's index of them in libyaml
    (tag_directives(5000) + "%TAG !h4321! tag:y:\n--- 1\n", "found duplicate %TAG directive at line 5001 column 1"),
    (tag_directives(5000) + "--- !h5000!x 1\n",
     "found undefined tag handle at line 5001 column 5, while parsing a node"),
]


@pytest.mark.parametrize("text, message", REJECTED)
def test_rejected(write_config, train, fake_cargo, text, message):
    assert rejected(train, write_config("c.yaml", text)) == PREFIX + message
    assert fake_cargo.argv() is None


def test_yml_suffix_is_yaml(write_config, train, fake_cargo):
    assert rejected(train, write_config("c.yml", "a: 1\na: 2")) == PREFIX + 'duplicate entry with key "a"'


# A reference model: the documented building rules applied literally (every alias walked again,
# values compared as Python values) to small generated documents, against the module.

SCALARS = {  # plain text -> (value, key as printed)
    "1": (("int", 1), "1"), "0x1": (("int", 1), "1"), "-0": (("int", 0), "0"),
    "01": (("str", "01"), '"01"'), "1.0": (("float", 1.0), "1.0"), "-0.0": (("float", 0.0), "-0.0"),
    "0.0": (("float", 0.0), "0.0"), ".nan": (("float", "nan"), ".nan"), ".NaN": (("float", "nan"), ".nan"),
    "~": (("null",), None), "null": (("null",), None), "": (("null",), None), "true": (("bool", True), "`true`"),
    "a": (("str", "a"), '"a"'),
}


class Failed(Exception):
    pass


def at(mark):
    return "" if (mark.line, mark.column) == (0, 0) else f" at line {mark.line + 1} column {mark.column + 1}"


def parser_message(error):
    if isinstance(error, ReaderError):
        return error.reason + (f" at position {error.position}" if error.position else "")
    message = error.problem + at(error.problem_mark)
    if error.context:
        message += ", " + error.context
        if (error.context_mark.line, error.context_mark.column) != (error.problem_mark.line, error.problem_mark.column):
            message += at(error.context_mark)
    return message


def more_follows(parser):
    try:
        return type(parser.get_event()).__name__ != "StreamEndEvent"
    except libyaml.YAMLError:
        return True


def collect(text):
    """The first document's events, with aliases bound, and what stopped collection."""
    parser, events, anchors = libyaml.CParser(text), [], {}
    while True:
        try:
            event = parser.get_event()
        except libyaml.YAMLError as error:
            return events, parser_message(error), False
        kind = type(event).__name__
        if kind in ("StreamStartEvent", "DocumentStartEvent"):
            continue
        if kind == "DocumentEndEvent":
            return events, None, more_follows(parser)
        if kind == "StreamEndEvent":
            return events or [("void", event)], None, False
        if kind == "AliasEvent":
            if event.anchor not in anchors:
                return events, "unknown anchor" + at(event.start_mark), False
            events.append(("alias", anchors[event.anchor]))
            continue
        if getattr(event, "anchor", None):
            anchors[event.anchor] = len(events)
        events.append((kind, event))


def reference(text):
    events, stored, more = collect(text)
    limit, expansions = 100 * len(events), [0]

    def fail_at(path, message, mark):
        raise Failed(("" if path == "." else path + ": ") + message + at(mark))

    def child(path, key):
        return key if path == "." else f"{path}.{key}"

    def scalar(event, path):
        if event.tag == "!":
            fail_at(path, "empty YAML tag is not allowed", event.start_mark)
        if event.tag == "tag:yaml.org,2002:int":
            if event.value != "1":
                fail_at(path, f'invalid value: string "{event.value}", expected an integer', event.start_mark)
            return ("int", 1), "1"
        if event.style == "" and event.tag in (None, "!t"):
            value, printed = SCALARS[event.value]
        else:
            value, printed = ("str", event.value), f'"{event.value}"'
        return (("tagged", "t", value), "?") if event.tag == "!t" else (value, printed)

    def build(pos, path, budget):
        if pos >= len(events):
            raise Failed(stored)
        kind, event = events[pos]
        if kind == "alias":
            expansions[0] += 1
            if expansions[0] > limit:
                raise Failed("repetition limit exceeded")
            return build(event, path, budget)[0], pos + 1
        if kind == "void":
            return (("null",), None), pos + 1
        if kind == "ScalarEvent":
            return scalar(event, path), pos + 1
        if event.tag == "!":
            fail_at(path, "empty YAML tag is not allowed", event.start_mark)
        if budget == 0:
            raise Failed("recursion limit exceeded" + at(event.start_mark))
        pos, items, keys = pos + 1, [], {}
        while True:
            if pos >= len(events):
                raise Failed(stored)
            if events[pos][0] in ("SequenceEndEvent", "MappingEndEvent"):
                break
            if kind == "SequenceStartEvent":
                (value, _), pos = build(pos, f"{path}[{len(items)}]", budget - 1)
                items.append(value)
                continue
            key_kind, key_event = events[pos]
            (key, printed), pos = build(pos, path, budget - 1)
            if key in keys:
                first = keys[key]
                what = "with null key" if first is None else "in YAML map" if first == "?" else "with key " + first
                fail_at(path, "duplicate entry " + what, event.start_mark)
            keys[key] = printed if key[0] not in ("seq", "map", "tagged") else "?"
            name = key_event.value if key_kind == "ScalarEvent" else "?"
            (value, _), pos = build(pos, child(path, name), budget - 1)
            items.append((key, value))
        value = ("seq", tuple(items)) if kind == "SequenceStartEvent" else ("map", frozenset(items))
        if event.tag == "!t":
            value = ("tagged", "t", value)
        return (value, "?"), pos + 1

    try:
        build(0, ".", 128)
    except Failed as failure:
        return str(failure)
    return stored or (MORE if more else None)


@st.composite
def flow_documents(draw):
    """A chain of anchored sequences, each aliasing the one before up to three times, then a
    random tree over scalars, tags, anchors and aliases to the chain or to the tree's own nodes;
    sometimes cut short."""
    chain = draw(st.lists(st.integers(1, 3), max_size=14))
    defs = [f"&c{i} [" + ", ".join([f"*c{i - 1}" if i else "a"] * k) + "]" for i, k in enumerate(chain)]
    plain = [*filter(None, SCALARS), "1", "1", "a", "a", "'1'", '"a"', "!t 1", "!t a", "!!int 1", "!!int a", "!!str 1", "! a"]
    aliases = st.sampled_from(["*p", "*q", *(f"*c{i}" for i in range(len(chain)))])
    anchors = st.sampled_from(["", "", "", "&p ", "&q "])
    tags = st.sampled_from(["", "", "", "", "", "", "!t ", "! "])

    def extend(children):
        seqs = st.lists(children, max_size=4).map(lambda xs: "[" + ", ".join(xs) + "]")
        maps = st.lists(st.tuples(children, children), max_size=4).map(
            lambda kvs: "{" + ", ".join(f"? {k} : {v}" for k, v in kvs) + "}")
        return st.tuples(anchors, tags, st.one_of(seqs, maps)).map("".join)

    leaves = st.one_of(st.tuples(anchors, st.sampled_from(plain)).map("".join), aliases)
    tree = draw(st.recursive(leaves, extend, max_leaves=14))
    text = "[" + ", ".join(defs + [tree]) + "]" if defs else tree
    # Now and then cut short after a separator, leaving the scalars whole, so that building
    # meets the parser error where the events stop.
    cuts = [i for i in range(len(text)) if i == 0 or text[i - 1] in " ,[]{}"]
    return text[: draw(st.sampled_from(cuts))] if draw(st.integers(0, 3)) == 0 else text


@settings(max_examples=300, deadline=None, suppress_health_check=[HealthCheck.function_scoped_fixture])
@given(text=flow_documents())
def test_matches_reference_model(write_config, train, fake_cargo, text):
    expected = reference(text)
    path = write_config("c.yaml", text)
    if expected is None:
        assert train(path) is None
    else:
        assert rejected(train, path) == PREFIX + expected


# Hostile inputs: each ends in its documented outcome (times and memory are in bench/).

def outcome_of(train, path):
    try:
        return train(path)
    except ValueError as error:
        return str(error)


HOSTILE = [
    ("ten million levels", "[" * 10_000_000, "recursion limit exceeded at line 1 column 129"),
    ("billion laughs", "".join(
        f"l{i}: &l{i} [" + ", ".join([f"*l{i - 1}" if i else "lol"] * 10) + "]\n" for i in range(10)),
     "repetition limit exceeded"),
    ("a long run of aliases", "a: &a [1]\nb: [" + "*a, " * 1_000_000 + "]\n", None),
    ("a large node aliased many times", "a: &a [" + "1, " * 200_000 + "]\nb: [" + "*a, " * 200_000 + "]\n", None),
    ("a large node aliasing itself", "a: &a [" + "1, " * 1_000_000 + "*a]\n", "recursion limit exceeded at line 1 column 4"),
    ("one huge scalar", "key: " + "x" * 50_000_000 + "\n", None),
]


@pytest.mark.parametrize("name, text, expected", HOSTILE)
def test_hostile(write_config, train, fake_cargo, name, text, expected):
    outcome = outcome_of(train, write_config("c.yaml", text))
    assert outcome == (None if expected is None else PREFIX + expected)


# Every case of the tables above, with the outcome the table expects; those that start with a
# mark already are about the mark itself.
MARKABLE = [(text, expected) for text, expected in
            [(text, None) for text in ACCEPTED] + REJECTED + [(text, expected) for _, text, expected in HOSTILE]
            if not text.startswith(BOM)]


@pytest.mark.parametrize("text, expected", MARKABLE, ids=[str(i) for i in range(len(MARKABLE))])
def test_a_leading_byte_order_mark_changes_nothing(write_config, train, fake_cargo, text, expected):
    outcome = outcome_of(train, write_config("c.yaml", BOM + text))
    assert outcome == (None if expected is None else PREFIX + expected)


def test_deep_nesting_memory_stays_near_the_text_size(write_config):
    """libyaml keeps per-level stacks: collection must stop at the budget, not at the end."""
    size = 20_000_000
    path = write_config("deep.yaml", "[" * size)
    code = f"""
import resource, solvarinth_trainer
before = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
try:
    solvarinth_trainer.train_from_config({path!r}, "out", 1, 1)
except ValueError as error:
    print(error)
print((resource.getrusage(resource.RUSAGE_SELF).ru_maxrss - before) * 1024)
"""
    result = run_python(code)
    message, grown = result.stdout.splitlines()
    assert message == PREFIX + "recursion limit exceeded at line 1 column 129"
    assert int(grown) < 2 * size
