"""Feeds two solvarinth-check builds the same YAML files and compares their output byte for byte.

Used to show that a change to the YAML check changes no verdict and no message. Not part of the
test run: it needs two builds and takes minutes (about five for the large documents alone on a
2-core machine, plus the generated ones).

    python3 scripts/yaml_differential.py OLD_CHECK NEW_CHECK [--generated 300000] [--seed 1]
        [--sizes all|none|CLASS,...] [--case TEXT] [--list] [--no-tables] [--files DIR]...

The files: every YAML case of tests/config/yaml/test_yaml.py (ACCEPTED, REJECTED, HOSTILE, each also
behind a byte-order mark), the fuzz corpus, large documents, and generated documents built to
reach the rules that order failures: anchors and aliases (as keys too), deep nesting and aliases
that cross the nesting budget, repeated keys at every depth, tags, parser errors and unknown
anchors after build failures, second documents, alias counts around the expansion limit.

The large documents (--sizes, all classes by default; about 1,900 files, each written as it is
generated and deleted once compared, none over 40 MB) go past the widths the check packs its
offsets, lengths, marks and counts into:
  scalars16, scalars20, scalars24  scalars of 2^k - 11 ... 2^k + 1 bytes (2^24 - 1 ... 2^24 + 1),
      plain, quoted, UTF-8 and numeric, as explicit (block and flow) keys, values, anchored,
      tagged and collection keys, each followed in its mapping by true, false, null, ~, an empty
      key, numbers, a key differing in its last byte, and the big key again
  prefixes         keys and kept scalars of 2^7, 2^14 and 2^21 bytes, give or take one
  columns          failures at columns and lines 2^16, 2^20 and 2^24, give or take one
  anchors, tags    65,535 to 1,048,577 distinct anchors, aliases and local tags; names of 2^20 bytes
  collection_keys  tens of thousands of collection keys, deep ones about the nesting budget
  flood            2^15 to 2^17 keys of 168 bytes that differ in a few chosen positions
  numbers          keys m and -(m^1), m.5 and -m.5, m.0 beside m; numbers equal in other spellings
  counters         alias expansions past 2^32 and 2^64, and at the expansion limit in large counts
  lines32          (only when named: six files of 4 GiB, about ten minutes) failures on lines
                   2^32 - 1 ... 2^32 + 1, where a kept event's line no longer fits 32 bits
--list prints their names; --case TEXT runs only those whose name contains TEXT, e.g.
`--no-tables --generated 0 --sizes scalars20 --case block_key-n1048576` to rerun one kept file.

--files DIR (repeatable) adds every file in DIR, e.g. the documents that
`scripts/grammar_gen.py emit --dir DIR --count N --seed S` writes from the grammar (JSON ones
too: the extension picks the parser); DIR is copied, never changed.

Files go to each command in batches; a batch whose output differs is run again file by file to
name the files. A file on which either command does not end with status 0 or 1 (a crash, an
abort, a hang past --timeout) counts as differing even when both do the same. Differing files
are kept up to --keep-mb in all; the others are named with how to generate them again.
"""

import argparse
import os
import random
import signal
import subprocess
import sys
import tempfile
import time
import types
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
BOM = "\ufeff"


def table_cases():
    """The texts of the YAML test tables; the test module's fixtures are not needed here."""
    sys.modules.setdefault("conftest", types.SimpleNamespace(raises_exactly=None, run_python=None))
    sys.path.insert(0, str(ROOT / "tests" / "config" / "yaml"))
    import test_yaml as t

    texts = list(t.ACCEPTED) + [text for text, _ in t.REJECTED] + [text for _, text, _ in t.HOSTILE]
    texts += [t.chain(n, tail) for n in range(8) for tail in ("&p [*c%d, *p]" % max(n - 1, 0), "x")]
    texts += [t.at_budget(extra) for extra in (False, True)] + [t.bomb(n) for n in range(1, 22)]
    return [x.encode() for x in texts + [BOM + x for x in texts]]


def corpus_cases():
    return [p.read_bytes() for p in sorted((ROOT / "fuzz" / "corpus" / "yaml").iterdir())]


PLAIN = ["1", "0x1", "-0", "0", "01", "1.0", "-0.0", "0.0", ".nan", ".NaN", ".inf", "-.inf", "~", "null",
         "", "true", "True", "false", "a", "b", "k", "k1", "<<", "1e16", "10000000000000000", "1.5", "15e-1",
         "-9223372036854775808", "-0x8000000000000000", "18446744073709551615", "18446744073709551616"]
QUOTED = ["'1'", '"a"', "'a'", '"t\\tq"', "'e\u0301'", '"\\u00e9"', "'multi\n  line'", '"x\\\n  y"']
TAGGED = ["!t 1", "!t a", "!u 1", "!!int 1", "!!int a", "!!int '5'", "!!str 1", "! a", "!!float 1", "!!float x",
          "!!null", "!!null ~", "!!null 0", "!!bool yes", "!!bool FALSE", "!<!t> 1", "!<!!t> 1", "!!binary aGk="]
ANCHORS = ["a", "b", "c", "p", "q"]
KEYS = ["a", "b", "k", "1", "0x1", "~", "'a'", "1.0", "-0.0", "0.0", ".nan", "true", "!t a", "[a]", "{a: 1}"]


class Gen:
    """Random flow and block documents; names, tags and shapes drawn from small pools so that
    repeats, aliases and collisions are frequent; some mappings wide enough for the key table."""

    def __init__(self, rng):
        self.r = rng
        self.defined = []

    def scalar(self):
        r = self.r.random()
        pool = PLAIN if r < 0.75 else QUOTED if r < 0.93 else TAGGED
        return self.r.choice(pool)

    def key(self, depth):
        if self.r.random() < 0.7:
            return self.r.choice(KEYS)
        return self.flow(depth)

    def props(self):
        parts = []
        if self.r.random() < 0.15:
            name = self.r.choice(ANCHORS)
            self.defined.append(name)
            parts.append("&" + name)
        if self.r.random() < 0.04:
            parts.append(self.r.choice(["!t", "!", "!!map", "!!seq", "!u", "!t", "!u"]))
        return " ".join(parts) + (" " if parts else "")

    def alias(self):
        if not self.defined:
            return "*" + self.r.choice(ANCHORS + ["nope"]) if self.r.random() < 0.2 else self.scalar()
        if self.r.random() < 0.03:
            return "*" + self.r.choice(ANCHORS + ["nope"])
        return "*" + self.r.choice(self.defined)

    def flow(self, depth):
        r = self.r.random()
        if depth <= 0 or r < 0.35:
            if self.r.random() < 0.15:
                return self.alias()
            p = self.props() if self.r.random() < 0.5 else ""
            return p + self.scalar()
        n = self.r.randrange(0, 5)
        if r < 0.65:
            return self.props() + "[" + ", ".join(self.flow(depth - 1) for _ in range(n)) + "]"
        items = []
        for _ in range(n):
            k = self.key(depth - 1)
            v = self.flow(depth - 1)
            items.append(f"? {k} : {v}" if self.r.random() < 0.5 else f"{k} : {v}")
        return self.props() + "{" + ", ".join(items) + "}"

    def block(self, indent, depth):
        pad = " " * indent
        if depth <= 0 or self.r.random() < 0.3:
            return " " + self.flow(2) + "\n"
        if self.r.random() < 0.5:
            out = "\n"
            for _ in range(self.r.randrange(1, 4)):
                out += pad + "-" + self.block(indent + 2, depth - 1)
            return out
        out = "\n"
        for _ in range(self.r.randrange(1, 5)):
            key = self.r.choice(["a", "b", "k", "1", "0x1", "~", "'a'", "!t a", "*a", "&a x", "[a]", "{a: 1}"])
            out += pad + key + " :" + self.block(indent + 2, depth - 1)
        return out

    def deep(self):
        d = self.r.choice([126, 127, 128, 129, 130, 200])
        inner = self.r.choice(["", "x", "*a", "[*a]", "{k: 1, k: 2}", "! x", "!!int x"])
        head = self.r.choice(["", "a: &a " + "[" * self.r.randrange(1, 30) + "1" + "]" * 0, ""])
        text = "[" * d + inner + "]" * d
        if head and head.count("[") > 0:
            n = head.count("[")
            head = head + "]" * n + "\nb: "
        return head + text

    def budget_edge(self):
        """Alias counts around 100 times the event count, with a late failure after them."""
        k = self.r.randrange(150, 260)
        m = self.r.randrange(250, 350)
        y = self.r.randrange(0, 200)
        tail = self.r.choice(["y", "{k: 1, k: 2}", "!!int q", "[" * 130 + "]" * 130, "*nope", "*b", "&z [*z]"])
        return "[&a x, &b [" + "*a, " * k + "*a], " + "*b, " * m + "y, " * y + tail + "]"

    def self_alias(self):
        levels = self.r.randrange(0, 8)
        links = [f"&c{i} [" + (f"*c{i - 1}, *c{i - 1}" if i else "a, a") + "]" for i in range(levels)]
        prefix = "[" * self.r.randrange(0, 20)
        tail = self.r.choice(["&p [*c%d, *p]" % max(levels - 1, 0), "&p [[[[]]], *p]", "&p {a: *p}", "&p [1, [2, *p]]"])
        return "[" + ", ".join(links + [prefix + tail + "]" * prefix.count("[")]) + "]"

    def wide(self, depth):
        """A mapping past the first few keys, where keys go to a hash table: distinct keys from
        a larger pool, now and then a repeat, values that may fail or nest further."""
        names = [f"k{i}" for i in range(self.r.randrange(6, 40))] + self.r.sample(KEYS, 4)
        self.r.shuffle(names)
        if self.r.random() < 0.5:
            names.insert(self.r.randrange(len(names) + 1), self.r.choice(names))
        values = [self.wide(depth - 1) if depth > 0 and self.r.random() < 0.1 else self.flow(1) for _ in names]
        return self.props() + "{" + ", ".join(f"{k}: {v}" for k, v in zip(names, values)) + "}"

    def document(self):
        self.defined = []
        r = self.r.random()
        if r < 0.15:
            text = self.wide(2)
        elif r < 0.45:
            text = self.flow(self.r.randrange(1, 6))
        elif r < 0.75:
            text = "k:" + self.block(2, self.r.randrange(1, 5)) + "z:" + self.block(2, 2)
        elif r < 0.85:
            text = self.budget_edge()
        elif r < 0.93:
            text = self.self_alias()
        else:
            text = self.deep()
        return self.damage(text)

    def damage(self, text):
        r = self.r.random()
        if r < 0.08 and text:
            text = text[: self.r.randrange(len(text))]
        elif r < 0.13:
            text += self.r.choice(["\n---\nb: 2\n", "\n--- [\n", "\n...\n---\n", "\n...\n", " x", "\n\u0001", "]"])
        elif r < 0.16:
            text += "\n" + self.r.choice(["a: b: c", "*nope", "[1, 2", "- x"])
        if self.r.random() < 0.05:
            text = BOM + text
        return text.encode()


# Large documents. The check packs offsets, lengths, marks and counters into fixed widths to stay
# small and fast; these documents carry scalars, keys, columns, lines and counts of names just
# below, at and just above 2^16, 2^20 and 2^24 (and the other widths listed with each class), each
# followed by more work in the same place, so that a field that wraps shows up as a different
# verdict or a crash rather than passing unseen. Each case is a name and a generator of text
# chunks, streamed to its file; none is kept in memory as a whole beyond its largest scalar.

LETTERS = "abcdefghijklmnopqrstuvwxyz0123456789"
BIG = object()    # the big key again: the duplicate
OTHER = object()  # the big key with its last character changed
# Each alone after the big key, with one more key after it that makes the table read it back.
SINGLE = ["true", "false", "null", "~", "", "1", "1.5", "k"]
# All together: distinct up to the last, which repeats the big key.
ALL = ["true", "false", "null", "0", "-2", "1.5", "1.0", "-0.0", ".nan", "k", OTHER, BIG]


def filled(n, content="letters"):
    """A plain-safe text of exactly n UTF-8 bytes."""
    if content == "letters":
        return (LETTERS * (n // len(LETTERS) + 1))[:n]
    if content == "utf8":  # two bytes a character: columns and byte offsets part ways
        return "x" * (n % 2) + "\u00e9" * (n // 2)
    if content == "digits":  # too many digits for an integer, a float that overflows
        return "1" * n
    if content == "zero":  # so many digits that it rounds to 0.0, equal to the key -0.0
        return "0." + "0" * (n - 3) + "1"
    if content == "one":  # 1.0 written out long: a one, zeros, and an exponent that takes them back
        zeros = n - 1 - len(f"e-{n}")
        while 1 + zeros + len(f"e-{zeros}") < n:
            zeros += 1
        return "1" + "0" * zeros + f"e-{zeros}"
    raise ValueError(content)


def last_changed(text):
    last = text[-1]
    swap = {"\u00e9": "\u00e8", "1": "2", "0": "2", "9": "8"}.get(last, "b" if last == "a" else "a")
    return text[:-1] + swap


def quoted(text, style):
    return {"plain": text, "single": f"'{text}'", "double": f'"{text}"'}[style]


class Keys:
    """The written forms of one big key: as it is and with its last character changed."""

    def __init__(self, text, style):
        self.big = quoted(text, style)
        self.other = quoted(last_changed(text), style)

    def block(self, key, value, pad=""):
        if key is BIG or key is OTHER:
            return f"{pad}? {self.big if key is BIG else self.other}\n{pad}: {value}\n"
        if key == "":
            return f"{pad}?\n{pad}: {value}\n"
        return f"{pad}{key}: {value}\n"

    def flow(self, key, value):
        if key is BIG or key is OTHER:
            return f"? {self.big if key is BIG else self.other} : {value}"
        if key == "":
            return f"? : {value}"
        return f"{key}: {value}"

    def entries(self, keys, pad=""):
        return "".join(self.block(k, i + 1, pad) for i, k in enumerate(keys))


# Where the big scalar stands, then the keys that follow it in the same mapping.
def big_first(head):
    """The shape whose mapping opens with head(w), the big scalar's entries, the followers after."""
    def shape(w, follow):
        yield head(w)
        yield w.entries(follow)
    return shape


def shape_flow_key(w, follow):
    yield "{" + ", ".join([f"? {w.big} : 0"] + [w.flow(k, i + 1) for i, k in enumerate(follow)]) + "}\n"


def shape_wide(w, follow):
    """Past the first few keys, where they go to the hash table."""
    yield "".join(f"w{i}: {i}\n" for i in range(10))
    yield f"? {w.big}\n: 0\n"
    yield w.entries(follow)


def shape_anchored(w, follow):
    """An anchored key is kept as an event too; the alias to it as a key is the repeat."""
    yield f"? &a {w.big}\n: 0\n"
    yield w.entries([k for k in follow if k is not BIG])
    yield "? *a\n: 99\n"


def shape_siblings(w, follow):
    """A second mapping at the same level after the one with the big key."""
    yield f"- ? {w.big}\n  : 0\n"
    yield w.entries(follow, "  ")
    yield "- a: 1\n"
    yield w.entries([k for k in follow if k is not BIG and k is not OTHER], "  ")


def shape_local_tag(w, follow):
    yield f"? !t {w.big}\n: 0\n? !t {w.other}\n: 1\n? !u {w.big}\n: 2\n? {w.big}\n: 3\n"
    yield w.entries([k for k in follow if k is not BIG and k is not OTHER])
    yield f"? !t {w.big}\n: 4\n"


def shape_collection_key(w, follow):
    yield f"? [{w.big}, true]\n: 0\n? [{w.other}]\n: 1\n? {{? {w.big} : 1}}\n: 2\n? [{w.big}]\n: 3\n"
    yield w.entries([k for k in follow if k is not BIG and k is not OTHER])
    yield f"? [{w.big}, true]\n: 4\n"


SHAPES = {
    "block_key": big_first(lambda w: f"? {w.big}\n: 0\n"),
    "flow_key": shape_flow_key,
    "value": big_first(lambda w: f"k0: {w.big}\n"),
    "key_and_value": big_first(lambda w: f"? {w.big}\n: {w.big}\n"),
    "wide": shape_wide,
    "anchored": shape_anchored,
    "str_tag": big_first(lambda w: f"? !!str {w.big}\n: 0\n"),
    "siblings": shape_siblings,
    "local_tag": shape_local_tag,
    "collection_key": shape_collection_key,
    "invalid": big_first(lambda w: f"k0: !!str {w.big}\nk1: !!float {w.big}\n? !!bool {w.big}\n: 0\n"),
    "literal": big_first(lambda w: f"k0: |\n  {w.big}\nk1: >\n  {w.big}\n"),
}
# The big key again at the end, without the changed one: a third copy would make the largest
# files larger than needed.
ALL_NO_OTHER = [k for k in ALL if k is not OTHER]
# Shapes whose outcome the followers cannot change: run with all of them only.
NO_SINGLES = {"invalid"}


def follower_name(key):
    if key is OTHER:
        return "other"
    return {"": "empty", "~": "tilde", "1.5": "float", "1": "int"}.get(key, key)


def big_scalars(exponent, offsets, singles, full, shapes, extra):
    """Scalars of 2^exponent + offset bytes in each shape; each single follower alone, then the
    full list. extra: (shape, style, content) run with the full list only."""
    for offset in offsets:
        n = (1 << exponent) + offset
        w = Keys(filled(n), "plain")
        for shape in shapes:
            for f in [] if shape in NO_SINGLES else singles:
                yield f"{shape}-n{n}-{follower_name(f)}", SHAPES[shape](w, [f, "z"])
            yield f"{shape}-n{n}-all", SHAPES[shape](w, full)
        for shape, style, content in extra:
            yield f"{shape}-{style}-{content}-n{n}-all", SHAPES[shape](Keys(filled(n, content), style), full)


EXTRA_STYLES = [(shape, style, "letters") for shape in ("block_key", "flow_key", "value", "key_and_value")
                for style in ("single", "double")]
EXTRA_CONTENT = [(shape, "plain", content) for shape in ("block_key", "flow_key", "value")
                 for content in ("utf8", "digits", "zero", "one")]
SHAPES_16_20 = list(SHAPES)
# At 2^24 only shapes that hold the big text at most twice, so that no file passes 40 MB.
SHAPES_24 = ["block_key", "flow_key", "value", "wide", "anchored", "siblings", "str_tag", "invalid"]
# Below the boundary by the few bytes a kind byte and a length prefix add to a stored key.
OFFSETS_16_20 = (-11, -5, -4, -1, 0, 1)


def class_scalars16():
    return big_scalars(16, OFFSETS_16_20, SINGLE, ALL, SHAPES_16_20, EXTRA_STYLES + EXTRA_CONTENT)


def class_scalars20():
    return big_scalars(20, OFFSETS_16_20, SINGLE, ALL, SHAPES_16_20, EXTRA_STYLES + EXTRA_CONTENT)


def class_scalars24():
    return big_scalars(24, (-1, 0, 1), ["true", "null", "~", OTHER], ALL_NO_OTHER, SHAPES_24,
                       [("block_key", "double", "letters"), ("block_key", "plain", "utf8"),
                        ("value", "plain", "zero"), ("flow_key", "single", "letters")])


def class_prefixes():
    """Keys and kept scalars whose length prefix just needs one more byte: 2^7, 2^14, 2^21."""
    for exponent in (7, 14, 21):
        for offset in (-1, 0, 1):
            n = (1 << exponent) + offset
            w = Keys(filled(n), "plain")
            for shape in ("block_key", "anchored", "local_tag", "collection_key", "siblings"):
                yield f"{shape}-n{n}-all", SHAPES[shape](w, ALL)
                yield f"{shape}-n{n}-true", SHAPES[shape](w, ["true", "z"])


def up_to_column(column, filler):
    """'[' and filler items, so that what follows starts at this 1-based column."""
    inside = column - 2
    unit = len(filler)
    return "[" + filler * (inside // unit) + " " * (inside % unit)


COLUMN_TAILS = {"int": "!!int x]", "unknown": "*nope]", "self": "&p [*p]]", "dup": "{a: 1, a: 2}]",
                "empty_tag": "! x]", "unclosed": "{a: 1"}
LINE_TAILS = {"int": "b: !!int x\n", "self": "b: &p [*p]\n", "unknown": "b: [*nope]\n",
              "dup": "b: {c: 1, c: 2}\n", "kept": "b: [*a, &p [1, *p]]\n", "control": "b: \x01\n"}


def class_columns():
    """Failures at columns and lines past 2^16, 2^20 and 2^24, on nodes kept and not kept."""
    for exponent in (16, 20, 24):
        tails = COLUMN_TAILS if exponent < 24 else {k: COLUMN_TAILS[k] for k in ("int", "self", "dup")}
        for offset in (-1, 0, 1):
            column = (1 << exponent) + offset
            for name, tail in tails.items():
                yield f"column-c{column}-{name}", [up_to_column(column, "1, "), tail, "\n"]
            yield f"column-utf8-c{column}-self", [up_to_column(column, "\u00e9, "), "&p [*p]]\n"]
            yield f"column-kept-c{column}", ["a: &a [x]\nb: ", up_to_column(column - 3, "1, "), "*a, &p [*p]]\n"]
        line_tails = LINE_TAILS if exponent < 24 else {k: LINE_TAILS[k] for k in ("int", "self", "kept")}
        for offset in (-1, 0, 1):
            line = (1 << exponent) + offset
            for name, tail in line_tails.items():
                yield f"line-l{line}-{name}", ["a: &a [x]\n", "\n" * (line - 2), tail]
        if exponent < 24:
            n = (1 << exponent) + 1
            yield f"line-items{n}-int", [f"- {i}\n" for i in range(n)] + ["- !!int x\n"]
            yield f"line-keys{n}-dup", [f"k{i}: {i}\n" for i in range(n)] + ["k7: again\n"]


def name_list(item, n, unit):
    """item(0) ... item(n - 1), comma separated, in pieces of `unit` items: a long flow
    collection's inside, written a piece at a time."""
    for start in range(0, n, unit):
        yield ", ".join(item(i) for i in range(start, min(n, start + unit))) + (", " if start + unit < n else "")


def class_anchors():
    """Tens of thousands of distinct anchors, aliases to them as values and keys; anchors
    rebound; names of 2^16 and 2^20 bytes."""
    for n in ((1 << 16) - 1, (1 << 16) + 1, (1 << 17) + 3):
        yield f"anchors{n}-values", (["defs: ["], name_list(lambda i: f"&a{i} v{i}", n, 1000),
                                     ["]\nuses: ["], name_list(lambda i: f"*a{(i * 7919) % n}", n, 1000), ["]\n"])
        yield f"anchors{n}-keys-dup", (["defs: ["], name_list(lambda i: f"&a{i} v{i}", n, 1000),
                                       ["]\nkeys: {"], name_list(lambda i: f"*a{(i * 7919) % n} : {i}", n, 1000),
                                       [f", *a{n // 2} : again}}\n"])
        yield f"anchors{n}-collection-keys-dup", (
            ["defs: ["], name_list(lambda i: f"&c{i} [{i}]", n, 1000), ["]\nkeys: {"],
            name_list(lambda i: f"*c{i} : {i}", n, 1000), [f", [{n - 1}]: again}}\n"])
        yield f"anchors{n}-rebound-unknown", (["["], name_list(lambda i: f"&a {i}, *a", n, 1000),
                                              [", *a1]\n"])
        yield f"anchors{n}-then-unknown", (["["], name_list(lambda i: f"&a{i} {i}", n, 1000),
                                           [f", *a{n - 1}, *a{n}]\n"])
    n = (1 << 20) + 1
    yield f"anchors{n}-values", (["["], name_list(lambda i: f"&a{i} 0", n, 1000), [f", *a{n - 1}, *a0]\n"])
    for exponent in (16, 20):
        for offset in (-1, 0, 1):
            name = filled((1 << exponent) + offset)
            yield f"anchor-name{len(name)}", [f"a: &{name} x\nb: *{name}\n? *{name}\n: 1\nc: *{name}x\n"]


def class_tags():
    """Tens of thousands of distinct local tags on keys and values; tag names of 2^16 and 2^20
    bytes."""
    for n in ((1 << 16) + 1, (1 << 17) + 3):
        yield f"tags{n}-keys-dup", (["{"], name_list(lambda i: f"!t{i} k: {i}", n, 1000),
                                    [f", !t{n // 3} k: again}}\n"])
        yield f"tags{n}-keys", (["{"], name_list(lambda i: f"!t{i} k: {i}", n, 1000), [", k: 0}\n"])
        yield f"tags{n}-values-empty", (["["], name_list(lambda i: f"!t{i} v", n, 1000), [", ! x]\n"])
        yield f"tags{n}-collection-keys-verbatim", (
            ["{"], name_list(lambda i: f"!t{i} [{i}]: {i}", n, 1000), [f", !<!t{n - 1}> [{n - 1}]: again}}\n"])
    n = (1 << 20) + 1
    yield f"tags{n}-values", (["["], name_list(lambda i: f"!t{i} 0", n, 1000), [", !!int x]\n"])
    for exponent in (16, 20):
        for offset in (-1, 0, 1):
            name = filled((1 << exponent) + offset)
            yield f"tag-name{len(name)}", [f"? !{name} k\n: 1\n? !{name}x k\n: 2\na: !{name} [1]\n? !{name} k\n: 3\n"]


def nested_key(depth, leaf):
    return "[? " * depth + leaf + " : 0]" * depth


def class_collection_keys():
    """Collection keys: tens of thousands of them, deep ones about the nesting budget, and many
    deep ones."""
    for n in ((1 << 16) + 1, (1 << 17) + 3):
        yield f"keys{n}-dup", ((f"? [{i}, {nested_key(1, f'[x{i}]')}]\n: 0\n" for i in range(n)),
                               [f"? [{n // 2}, {nested_key(1, f'[x{n // 2}]')}]\n: again\n"])
        yield f"keys{n}-mappings", ((f"? {{a{i}: [{i}], b: {{c: {i % 7}}}}}\n: 0\n" for i in range(n)), ["z: 1\n"])
    for depth in (62, 63, 64):  # two levels each, inside the mapping: 127, 129, 131 in all
        yield f"deep-pairs{depth}", [f"? {nested_key(depth, 'x')}\n: 0\n? {nested_key(depth, 'y')}\n: 1\n"]
    for depth in (126, 127, 128):
        yield f"deep-seq{depth}", [f"? {'[' * depth}x{']' * depth}\n: 0\n? {'[' * depth}x{']' * depth}\n: 1\n"]
    for lines, depth in ((20_000, 20), (2_000, 60)):
        yield f"deep{depth}-many{lines}-dup", ((f"? {nested_key(depth, f'x{i}')}\n: 0\n" for i in range(lines)),
                                               [f"? {nested_key(depth, f'x{lines // 2}')}\n: again\n"])


FLOOD_POSITIONS = [0, 1, 7, 8, 15, 16, 31, 32, 63, 64, 80, 127, 128, 159, 160, 166, 167]
FLOOD_PAIRS = ["01", "ac", "AE", "hx", "Bb", "pq", "-_", "MO", "st", "29", "Kk", "wW", "fg", "Zz", "35", "jr", "de"]
FLOOD_BASE = filled(168)


def flood_partners():
    """For each flood position another one a whole number of 8-byte words away, used by no other."""
    taken, partners = set(FLOOD_POSITIONS), []
    for position in FLOOD_POSITIONS:
        partner = next(q for q in ((position + 8 * k) % 168 for k in range(1, 21)) if q not in taken)
        taken.add(partner)
        partners.append(partner)
    return partners


FLOOD_PARTNERS = flood_partners()


def flood_key(i, paired):
    """Key i of the flood set: bit b of i picks the second character of pair b at one position,
    or, paired, at two positions whole words apart, so that the change shows in two words alike."""
    chars = list(FLOOD_BASE)
    for b, position in enumerate(FLOOD_POSITIONS):
        first, second = FLOOD_PAIRS[b]
        pick = second if i >> b & 1 else first
        chars[position] = pick
        if paired:
            chars[FLOOD_PARTNERS[b]] = pick
    return "".join(chars)


def flood_lines(n, paired, per=512):
    for start in range(0, n, per):
        yield "".join(f"{flood_key(i, paired)}: {i}\n" for i in range(start, min(n, start + per)))


def class_flood():
    """2^15 to 2^17 string keys of equal length that differ in a few positions."""
    for exponent in (15, 16, 17):
        n = 1 << exponent
        for paired in (False, True):
            kind = "paired" if paired else "single"
            yield f"flood{n}-{kind}-dup", (flood_lines(n, paired), [f"{flood_key(n - 3, paired)}: again\n"])
        yield f"flood{n}-single-pass", (flood_lines(n, False), ["z: 0\n"])
    n = 1 << 16
    yield f"flood{n}-flow-dup", (["{"], (", ".join(f"'{flood_key(i, True)}': {i}" for i in range(s, min(n, s + 512)))
                                        + ", " for s in range(0, n, 512)), [f"'{flood_key(5, True)}': again}}\n"])


def class_numbers():
    """Number keys m and -(m^1), floats m.5 and -m.5, and m.0 beside m; the repeat is a number
    written another way."""
    for n in (1 << 16, 1 << 17):
        pairs = lambda: (f"{m}: 0\n-{m ^ 1}: 0\n" for m in range(2, n + 2))
        yield f"ints{n}-pass", (pairs(), ["z: 1\n"])
        yield f"ints{n}-dup", (pairs(), [f"{hex(n // 2 + 1)}: again\n"])
        yield f"ints{n}-negzero", (pairs(), ["0: 1\n-0: again\n"])
        floats = lambda: (f"{m}.5: 0\n-{m}.5: 0\n{m}.0: 0\n" for m in range(n))
        yield f"floats{n}-pass", (floats(), ["z: 1\n"])
        yield f"floats{n}-dup", (floats(), [f"{(n // 3) * 10 + 5}e-1: again\n"])
        yield f"mixed{n}-dup", ((f"{m}: 0\n{m}.0: 0\n'{m}': 0\n" for m in range(n)), [f"{n - 1}.0e0: again\n"])
    yield "number-edges", ["9223372036854775807: a\n-9223372036854775808: b\n18446744073709551615: c\n",
                           "9007199254740992.0: d\n9007199254740993: e\n9007199254740993.0: again\n"]


def chain_doc(levels, fan, tail):
    """Anchored sequences, each holding `fan` aliases of the one before: expansions grow as
    fan^levels, past 2^32 and up to where the count saturates."""
    links = [f"&c0 [{', '.join(['a'] * fan)}]"]
    links += [f"&c{i} [{', '.join([f'*c{i - 1}'] * fan)}]" for i in range(1, levels)]
    return ["[" + ", ".join(links + [tail]) + "]\n"]


def edge_doc(k, m, z, y):
    """An anchored sequence of k aliases, then z aliases to its first item and m to the sequence,
    then y plain scalars: the expansion count against 100 times the event count, which y moves."""
    return ["[&a x, &b [", "*a, " * (k - 1), "*a], ", "*a, " * z, "*b, " * m, "y, " * y, "y]\n"]


def class_counters():
    """Alias expansion counts around 2^32 and 2^64, and at the expansion limit with large counts."""
    for levels, fan in ((31, 2), (32, 2), (33, 2), (63, 2), (64, 2), (65, 2), (15, 16), (16, 16), (17, 16)):
        for name, tail in (("plain", "x"), ("again", f"*c{levels - 1}"), ("self", "&p [*p]"),
                           ("dup", "{k: 1, k: 2}"), ("unknown", "*nope")):
            yield f"chain{levels}x{fan}-{name}", chain_doc(levels, fan, tail)
    for k in ((1 << 16) + 1, (1 << 20) + 1):
        m = 150
        # Each alias to a costs one expansion and each alias to b one plus the k inside; z more
        # aliases to a make the count a multiple of 100, so that one event less tips it over.
        z = -(k + m * (k + 1)) % 100
        expansions = k + z + m * (k + 1)
        fixed = k + z + m + 6  # the events but the y scalars: collections, x, aliases, the last y
        for d in (-1, 0, 1):
            y = expansions // 100 - fixed + d
            yield f"edge-k{k}-y{y}", edge_doc(k, m, z, y)


def class_lines32():
    """Failures on lines past 2^32, on a kept node and on one judged as it arrives."""
    for offset in (-1, 0, 1):
        line = (1 << 32) + offset
        blank = "\n" * (1 << 24)
        newlines = [blank] * ((line - 2) >> 24) + ["\n" * ((line - 2) & ((1 << 24) - 1))]
        for name in ("kept", "int"):
            yield f"line-l{line}-{name}", ["a: &a [x]\n", newlines, LINE_TAILS[name]]


SIZE_CLASSES = {
    "scalars16": class_scalars16, "scalars20": class_scalars20, "scalars24": class_scalars24,
    "prefixes": class_prefixes, "columns": class_columns, "anchors": class_anchors, "tags": class_tags,
    "collection_keys": class_collection_keys, "flood": class_flood, "numbers": class_numbers,
    "counters": class_counters, "lines32": class_lines32,
}
# Named only: their files are too large for every run.
BY_NAME_ONLY = {"lines32"}


def flatten(chunks):
    """Text pieces from nested iterables of strings (or bytes)."""
    if isinstance(chunks, (str, bytes)):
        yield chunks
        return
    for c in chunks:
        yield from flatten(c)


class Runs:
    """Runs both commands over files in batches and collects the files whose outcome differs
    or on which either command did not end normally (status 0 or 1): a crash, an abort or a
    hang of both builds alike is a failure too, never a match."""

    def __init__(self, old, new, workdir, timeout, keep_bytes):
        self.old, self.new, self.workdir = old, new, workdir
        self.timeout = timeout
        self.keep_bytes = keep_bytes  # differing files kept up to this many bytes in all
        self.bad = []  # (name, why)

    def run(self, binary, paths):
        try:
            done = subprocess.run([binary, "--", *paths], capture_output=True, timeout=self.timeout)
        except subprocess.TimeoutExpired:
            return "timeout", b""
        return done.returncode, done.stdout

    @staticmethod
    def describe(result):
        status, out = result
        if status == "timeout":
            return "timed out"
        if status < 0:
            return f"killed by {signal.Signals(-status).name}"
        text = out[:160].decode("utf-8", "replace")
        return f"status {status}" + (f", {text!r}" + ("..." if len(out) > 160 else "") if out else ", no output")

    @staticmethod
    def normal(result):
        return result[0] in (0, 1)

    def batch(self, paths):
        """Both commands over the files at once; file by file when anything is amiss."""
        if not paths:
            return
        old, new = self.run(self.old, paths), self.run(self.new, paths)
        if old == new and self.normal(old):
            for p in paths:
                os.unlink(p)
            return
        for p in paths:
            old, new = self.run(self.old, [p]), self.run(self.new, [p])
            if old == new and self.normal(old):
                os.unlink(p)
                continue
            why = "old " + self.describe(old) + (" | new " + self.describe(new) if old != new else " | new the same")
            size = os.path.getsize(p)
            if size <= self.keep_bytes:
                self.keep_bytes -= size
                where = p
            else:
                os.unlink(p)
                where = Path(p).name + " (not kept: over --keep-mb)"
            self.bad.append((where, why))
            print(f"differs: {where}: {why}", file=sys.stderr, flush=True)

    def files(self, items, max_files, max_bytes=64 << 20):
        """items: (file name, text chunks). Each file is written as its chunks come and left on
        disk only until its batch has run. Returns the number of files and of bytes."""
        paths, pending, count, total = [], 0, 0, 0
        for name, chunks in items:
            path = self.workdir / name
            with open(path, "wb") as out:
                for chunk in flatten(chunks):
                    out.write(chunk.encode() if isinstance(chunk, str) else chunk)
                size = out.tell()
            paths.append(str(path))
            pending += size
            count, total = count + 1, total + size
            if len(paths) >= max_files or pending >= max_bytes:
                self.batch(paths)
                paths, pending = [], 0
        self.batch(paths)
        return count, total


def blobs_as_files(prefix, blobs, first=0):
    return ((f"{prefix}{first + i}.yaml", [blob]) for i, blob in enumerate(blobs))


def dir_cases(directory):
    """(name, chunks) for the files of a directory, read in blocks when written; the extension
    is kept, since it picks the check's parser. recipes.jsonl and the like are left out."""
    def blocks(path):
        with open(path, "rb") as handle:
            yield from iter(lambda: handle.read(1 << 20), b"")

    for path in sorted(Path(directory).iterdir()):
        if path.is_file() and path.suffix in (".yaml", ".yml", ".json"):
            yield f"files-{path.name}", blocks(path)


def size_cases(names, only):
    for name in names:
        for case, chunks in SIZE_CLASSES[name]():
            full = f"{name}-{case}"
            if only in full:
                yield full + ".yaml", chunks


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("old")
    parser.add_argument("new")
    parser.add_argument("--generated", type=int, default=300_000)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--batch", type=int, default=4000)
    parser.add_argument("--sizes", default="all",
                        help="large-document classes: all (the default; all but lines32), none, or a comma list of "
                             + ", ".join(SIZE_CLASSES))
    parser.add_argument("--case", default="", help="only the large documents whose name contains this")
    parser.add_argument("--list", action="store_true", help="print the names of the large documents and stop")
    parser.add_argument("--no-tables", action="store_true", help="leave out the test tables and the fuzz corpus")
    parser.add_argument("--keep-mb", type=int, default=512, help="differing files kept, in MB at most (default 512)")
    parser.add_argument("--timeout", type=float, default=600, help="seconds per command run (default 600)")
    parser.add_argument("--files", action="append", default=[], metavar="DIR",
                        help="also compare every .yaml, .yml and .json file in DIR (repeatable)")
    args = parser.parse_args()
    sizes = [c for c in SIZE_CLASSES if c not in BY_NAME_ONLY] if args.sizes == "all" else [] if args.sizes == "none" else args.sizes.split(",")
    unknown = [s for s in sizes if s not in SIZE_CLASSES]
    if unknown:
        parser.error(f"unknown size class {', '.join(unknown)}; known: {', '.join(SIZE_CLASSES)}")
    if args.list:
        for name, _ in size_cases(sizes, args.case):
            print(name)
        return 0
    workdir = Path(tempfile.mkdtemp(prefix="yaml-diff-"))
    runs = Runs(args.old, args.new, workdir, args.timeout, args.keep_mb << 20)
    total = 0
    if not args.no_tables:
        for name, blobs in (("tables", table_cases()), ("corpus", corpus_cases())):
            before = len(runs.bad)
            n, _ = runs.files(blobs_as_files(name, blobs), 64)
            print(f"{name}: {n} files, {len(runs.bad) - before} differ", flush=True)
            total += n
    for directory in args.files:
        before = len(runs.bad)
        n, size = runs.files(dir_cases(directory), args.batch)
        print(f"files {directory}: {n} files, {size / 2**20:.1f} MB, {len(runs.bad) - before} differ", flush=True)
        total += n
    for name in sizes:
        before, start = len(runs.bad), time.monotonic()
        n, size = runs.files(size_cases([name], args.case), 200)
        print(f"sizes/{name}: {n} files, {size / 2**20:.0f} MB, {time.monotonic() - start:.0f} s, "
              f"{len(runs.bad) - before} differ", flush=True)
        total += n
    gen = Gen(random.Random(args.seed))
    step = 20_000
    for start in range(0, args.generated, step):
        blobs = [gen.document() for _ in range(min(step, args.generated - start))]
        n, _ = runs.files(blobs_as_files("c", blobs, start), args.batch)
        total += n
        print(f"generated: {start + n} files, {len(runs.bad)} differ so far", flush=True)
    print(f"compared {total} files, {len(runs.bad)} differ or failed" + (f"; kept in {workdir}" if runs.bad else ""))
    for where, why in runs.bad[:20]:
        print(f"  {where}: {why}")
    if len(runs.bad) > 20:
        print(f"  and {len(runs.bad) - 20} more, each named on standard error as it was found")
    if not any(workdir.iterdir()):
        os.rmdir(workdir)
    return 1 if runs.bad else 0


if __name__ == "__main__":
    sys.exit(main())
