#!/usr/bin/env python3
"""YAML and JSON documents from the grammar libyaml 0.2.5 and RapidJSON 1.1.0 read, as recipes,
and a cost oracle that runs solvarinth-check over them.

Our other generators (yaml_differential.py, fuzz/yaml_mutator.cpp, bench/hostile.py) write the
inputs we think of; the faults found from outside sat in corners of the grammar we never write:
escapes in tag URIs, %TAG prefixes of megabytes, aliases of big scalars used as keys, anchors
around big regions. Every construct of the grammar is here, each repeatable from once to millions
of times and sized from bytes to GiB (streamed to the file, never held whole in memory).

A recipe is a small JSON object: the construct's name and its parameters (a repetition count
"n" and the like, sizes in bytes, a variant). The same recipe always writes the same bytes, so a
document found bad can be written again, and shrunk by halving its counts.

    python3 scripts/grammar_gen.py list                       # constructs, parameters, variants
    python3 scripts/grammar_gen.py write --recipe '{"construct": "alias_big_keys", "n": 100}' --out /tmp/a.yaml
    python3 scripts/grammar_gen.py write --construct json_numbers --set kind=fraction --target 1G --out /tmp/f.json
    python3 scripts/grammar_gen.py emit --dir /tmp/docs --count 20000 --seed 1 [--max-bytes 65536]
    python3 scripts/grammar_gen.py dict                       # fuzz/yaml.dict (its generated section), fuzz/json.dict
    python3 scripts/grammar_gen.py bare --build BUILD         # BUILD/yaml_bare_loop from bench/yaml_bare_loop.c
    python3 scripts/grammar_gen.py oracle --check BUILD/solvarinth-check --bare BUILD/yaml_bare_loop \\
        [--budget-seconds 600] [--seed 1] [--sizes 128k,1m,5m,20m] [--only TEXT] [--report FILE]

emit writes small and medium documents (random mixed ones and random recipes) with a
recipes.jsonl beside them, for `yaml_differential.py OLD NEW --files DIR` and as fuzz seeds.

oracle: every document of 100 KB or more is checked by solvarinth-check as a whole process,
with its CPU time (user + system) and peak RSS read from wait4. It fails when
  - the CPU per byte is over 5 times that of a document of plain values of the same size and
    depth AND over 2 times that of libyaml's bare event loop on the same file (bench/
    yaml_bare_loop.c; JSON has only the first bound), each with 5 ms of slack for the noise
    of a process's start-up, or
  - the peak RSS above the baseline (the check on an empty file) is over 16 times the file, or
  - the check crashes: a status other than 0 or 1, "runtime error" or "Sanitizer" on its
    standard error, or no end within --timeout.
A failing recipe is shrunk by halving its counts (then its sizes) while it still fails and stays
at 100 KB or more; the smallest failing recipe is reported. Exit status 1 when any failed.
"""

from __future__ import annotations

import argparse
import ctypes
import json
import math
import os
import random
import resource
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from dataclasses import dataclass, field
from pathlib import Path
from typing import Callable, Iterable, Iterator

ROOT = Path(__file__).resolve().parent.parent
KIB, MIB, GIB = 1 << 10, 1 << 20, 1 << 30
BLOCK = 1 << 20  # bytes per write
BOM = "\ufeff"
LETTERS = "abcdefghijklmnopqrstuvwxyz0123456789"

# ---------------------------------------------------------------------------------------------
# Streaming. A generator yields str (written as UTF-8) or bytes chunks of at most about BLOCK.


def width(n: int) -> int:
    """Digits of the numbers in n numbered units: all of one length, and at least 7 so that the
    length, and with it the document's size, stays linear in n up to ten million units."""
    return max(7, len(str(max(n - 1, 0))))


def repeat(unit: str, n: int) -> Iterator[str]:
    """unit n times."""
    per = max(1, BLOCK // max(1, len(unit)))
    full, rest = divmod(n, per)
    if full:
        block = unit * per
        for _ in range(full):
            yield block
    if rest:
        yield unit * rest


def each(n: int, unit: Callable[[int], str], start: int = 0) -> Iterator[str]:
    """unit(i) for i in start .. start + n - 1, joined into blocks."""
    pieces: list[str] = []
    pending = 0
    for i in range(start, start + n):
        text = unit(i)
        pieces.append(text)
        pending += len(text)
        if pending >= BLOCK:
            yield "".join(pieces)
            pieces.clear()
            pending = 0
    if pieces:
        yield "".join(pieces)


def filled(size: int, alphabet: str = LETTERS) -> Iterator[str]:
    """An ASCII run of exactly size bytes."""
    line = (alphabet * (BLOCK // len(alphabet) + 1))[:BLOCK]
    full, rest = divmod(size, BLOCK)
    for _ in range(full):
        yield line
    if rest:
        yield line[:rest]


def flatten(chunks) -> Iterator[str | bytes]:
    if isinstance(chunks, (str, bytes)):
        yield chunks
        return
    for chunk in chunks:
        yield from flatten(chunk)


def encoded(chunk: str | bytes) -> bytes:
    return chunk if isinstance(chunk, bytes) else chunk.encode("utf-8", "surrogatepass")


def chunk_len(chunk: str | bytes) -> int:
    if isinstance(chunk, bytes) or chunk.isascii():
        return len(chunk)
    return len(encoded(chunk))


# ---------------------------------------------------------------------------------------------
# Constructs. Each is a function of its complete parameters yielding the document's chunks,
# with what the oracle, the shrinker, emit and the tests need to know about it.


@dataclass
class Construct:
    name: str
    fmt: str  # "yaml" or "json": the file's extension, which picks the check's parser
    make: Callable[[dict], Iterable]
    defaults: dict
    counts: tuple  # repetition counts the shrinker halves, the first one first
    sizes: tuple  # sizes in bytes it halves after the counts
    fit: str  # the parameter that sizes the document to a target
    depth: Callable[[dict], int]  # collection nesting, for the plain document of the same depth
    valid: Callable[[dict], bool | None]  # libyaml / RapidJSON accept it; None: not stated
    variants: dict  # parameter -> its choices
    oracle: list  # parameter overrides the oracle runs, one shape each; none for the constructs
    # whose documents the check refuses at their start (a second document, say): they cost nothing
    tokens: list  # fuzz dictionary tokens
    about: str


CONSTRUCTS: dict[str, Construct] = {}


def construct(name, *, fmt="yaml", defaults=None, counts=("n",), sizes=(), fit=None, depth=1, valid=True,
              variants=None, oracle=None, tokens=()):
    def register(fn):
        as_fn = lambda value: value if callable(value) else (lambda p: value)  # noqa: E731
        CONSTRUCTS[name] = Construct(
            name=name, fmt=fmt, make=fn, defaults=dict(defaults or {"n": 4}), counts=tuple(counts),
            sizes=tuple(sizes), fit=fit or (counts[0] if counts else sizes[0]), depth=as_fn(depth),
            valid=as_fn(valid), variants=dict(variants or {}), oracle=[{}] if oracle is None else list(oracle),
            tokens=list(tokens),
            about=(fn.__doc__ or "").strip())
        return fn
    return register


def params(recipe: dict) -> dict:
    c = CONSTRUCTS[recipe["construct"]]
    p = dict(c.defaults)
    p.update({k: v for k, v in recipe.items() if k != "construct"})
    return p


def chunks(recipe: dict) -> Iterator[str | bytes]:
    return flatten(CONSTRUCTS[recipe["construct"]].make(params(recipe)))


def text_of(recipe: dict) -> bytes:
    """The whole document in memory: for small recipes only."""
    return b"".join(encoded(c) for c in chunks(recipe))


def size_of(recipe: dict) -> int:
    return sum(chunk_len(c) for c in chunks(recipe))


def write(recipe: dict, path: Path) -> int:
    """Streams the document to path; returns its size."""
    size = 0
    with open(path, "wb") as out:
        for chunk in chunks(recipe):
            data = encoded(chunk)
            out.write(data)
            size += len(data)
    return size


def extension(recipe: dict) -> str:
    return CONSTRUCTS[recipe["construct"]].fmt


def depth_of(recipe: dict) -> int:
    return CONSTRUCTS[recipe["construct"]].depth(params(recipe))


def fit(recipe: dict, target: int) -> dict:
    """The recipe with its fit parameter set so that the document is about target bytes. The
    size grows about linearly with it; numbered units widen with the count, so the slope is
    taken again from probes of 1/32 and 1/16 of each estimate."""
    key = CONSTRUCTS[recipe["construct"]].fit
    value = 16
    for _ in range(3):
        low = max(1, value // 32)
        high = max(low + 16, value // 16)
        s_low = size_of(dict(recipe, **{key: low}))
        per = (size_of(dict(recipe, **{key: high})) - s_low) / (high - low)
        if per <= 0:
            return dict(recipe, **{key: low})
        value = max(1, round(low + (target - s_low) / per))
    return dict(recipe, **{key: value})


def recipe_text(recipe: dict) -> str:
    return json.dumps(recipe, sort_keys=False, separators=(", ", ": "))


# ---------------------------------------------------------------------------------------------
# YAML: directives and tags.

TAG_PREFIX = "tag:example.com,2000:"

# URI escapes in tags, and whether libyaml 0.2.5 takes them: it checks only the shape of a UTF-8
# sequence (lead byte, continuation bytes), so an overlong form, a surrogate and a code point past
# U+10FFFF go through as bytes that are not UTF-8, and %00 puts a NUL inside the tag text.
URI_ESCAPES = {
    "%41": True, "%25": True, "%2C": True, "%00": True, "%C3%A9": True, "%E2%82%AC": True,
    "%F0%9F%98%80": True, "%C0%80": True, "%ED%A0%80": True, "%F4%90%80%80": True, "%c3%a9": True,
    "%FF": False, "%80": False, "%C3%28": False, "%E2%82": False, "%F8%88%80%80%80": False, "%G1": False,
    "%4": False,
}


@construct("yaml_versions", defaults={"n": 4, "version": "1.1"},
           variants={"version": ["1.1", "1.2", "1.0", "1.3", "2.0", "1.1 dup"]},
           valid=lambda p: p["version"] in ("1.1", "1.2"), depth=0, oracle=(),
           tokens=["%YAML 1.1\n---\n", "%YAML 1.2\n", "%YAML 1.3\n", "%YAML 2.0\n", "...\n%YAML 1.1\n---\n"])
def _yaml_versions(p):
    """n documents, each behind a %YAML directive ("1.1 dup": two of them)."""
    version = p["version"].split()[0]
    head = f"%YAML {version}\n" * (2 if p["version"].endswith("dup") else 1)
    w = width(p["n"])
    yield each(p["n"], lambda i: f"{head}--- k{i:0{w}d}\n...\n")


@construct("tag_handles", defaults={"n": 4, "redefine": 1, "bare": 0}, depth=2, variants={"redefine": [0, 1], "bare": [0, 1]},
           tokens=["%TAG ! ", "%TAG !! ", "%TAG !x! ", "!x!", "!!str ", "!<tag:a,2000:x> ", "! ", "!local "])
def _tag_handles(p):
    """%TAG for the primary `!`, the secondary `!!` (redefine=1) and a named handle `!x!`; then n
    sequences with a tag of every form: primary, secondary, named, verbatim, and with bare=1 the
    lone `!` (which the check refuses)."""
    if p["redefine"]:
        yield f"%TAG ! {TAG_PREFIX}p:\n%TAG !! {TAG_PREFIX}s:\n"
    yield f"%TAG !x! {TAG_PREFIX}x:\n---\n"
    w = width(p["n"])
    bare = ", ! v" if p["bare"] else ""
    yield each(p["n"], lambda i: f"- [!a{i:0{w}d} v, !!b v, !x!c{i:0{w}d} v, !<{TAG_PREFIX}{i:0{w}d}> v{bare}, !!str {i}]\n")


@construct("tag_prefix_same", defaults={"n": 4, "size": 64}, sizes=("size",), depth=1,
           oracle=[{"size": 1024}, {"size": 64 * KIB}, {"size": MIB}], tokens=["%TAG !e! ", "!e!t "])
def _tag_prefix_same(p):
    """One %TAG !e! with a prefix of `size` bytes, then n nodes with the same tag !e!t."""
    yield f"%TAG !e! {TAG_PREFIX}", filled(p["size"]), "\n---\n"
    yield repeat("- !e!t v\n", p["n"])


@construct("tag_prefix_distinct", defaults={"n": 4, "size": 64}, sizes=("size",), depth=1,
           oracle=[{"size": 1024}, {"size": 64 * KIB}, {"size": MIB}])
def _tag_prefix_distinct(p):
    """One %TAG !e! with a prefix of `size` bytes, then n nodes each with its own tag !e!tN."""
    yield f"%TAG !e! {TAG_PREFIX}", filled(p["size"]), "\n---\n"
    w = width(p["n"])
    yield each(p["n"], lambda i: f"- !e!t{i:0{w}d} v\n")


@construct("tag_directives_many", defaults={"n": 4, "size": 8, "uses": 1}, sizes=("size",), depth=1,
           variants={"uses": [0, 1]}, oracle=[{"uses": 1}, {"uses": 0}])
def _tag_directives_many(p):
    """n %TAG directives !hN! in one document (prefixes of `size` bytes), then, with uses=1, a
    node tagged with each handle. libyaml compares each directive with all before it and looks
    each handle up by a linear scan: quadratic in n in libyaml itself."""
    w = width(p["n"])
    pad = "p" * p["size"]
    yield each(p["n"], lambda i: f"%TAG !h{i:0{w}d}! {TAG_PREFIX}{pad}{i:0{w}d}:\n")
    yield "---\n"
    if p["uses"]:
        yield each(p["n"], lambda i: f"- !h{i:0{w}d}!s v\n")
    else:
        yield "- v\n"


@construct("tag_directives_docs", defaults={"n": 4, "size": 16}, sizes=("size",), depth=1, oracle=())
def _tag_directives_docs(p):
    """n documents, each declaring `!`, `!!` and a named handle with prefixes of `size` bytes
    and using all three: directives are per document."""
    pad = "q" * p["size"]
    w = width(p["n"])
    yield each(p["n"], lambda i: f"%TAG ! {TAG_PREFIX}{pad}a:\n%TAG !! {TAG_PREFIX}{pad}b:\n"
                                 f"%TAG !n{i:0{w}d}! {TAG_PREFIX}{pad}c:\n--- [!x v, !!y v, !n{i:0{w}d}!z v]\n...\n")


@construct("verbatim_escapes", defaults={"n": 4, "escape": "%00", "size": 8}, sizes=("size",), depth=1,
           variants={"escape": list(URI_ESCAPES)}, valid=lambda p: URI_ESCAPES[p["escape"]],
           oracle=[{"escape": "%C3%A9"}, {"escape": "%F0%9F%98%80", "size": 64 * KIB}],
           tokens=["!<%00> ", "!<%FF> ", "!<%C3%A9> ", "!<%F0%9F%98%80> ", "!<%C0%80> ", "!<%ED%A0%80> ", "!<",
                   "> ", "%00", "%FF", "%C3%A9", "%E2%82%AC", "%F0%9F%98%80", "%C0%80", "%ED%A0%80", "%F4%90%80%80"])
def _verbatim_escapes(p):
    """n nodes with a verbatim tag !<...> of `size` bytes holding one URI escape, on scalars,
    sequences and keys."""
    w = width(p["n"])
    esc = p["escape"]
    yield "- !<", filled(p["size"]), f"{esc}> first\n"
    yield each(p["n"], lambda i: f"- !<{TAG_PREFIX}{esc}{i:0{w}d}> v\n- !<!{esc}> [1]\n- {{!<{esc}> k: v}}\n")


@construct("shorthand_escapes", defaults={"n": 4, "escape": "%00"}, depth=1,
           variants={"escape": list(URI_ESCAPES)}, valid=lambda p: URI_ESCAPES[p["escape"]],
           oracle=[{"escape": "%C3%A9"}],
           tokens=["%TAG !e! tag:%C3%A9:", "!e!%00", "!%00 ", "!%C3%A9 ", "!!%41 "])
def _shorthand_escapes(p):
    """The escape in a %TAG prefix and in the suffixes of the primary, secondary and a named
    handle (`!%00 x` reads as the non-specific tag `!`)."""
    esc = p["escape"]
    yield f"%TAG !e! {TAG_PREFIX}{esc}\n---\n"
    w = width(p["n"])
    yield each(p["n"], lambda i: f"- !e!{esc}{i:0{w}d} v\n- !{esc} v\n- !!{esc}{i:0{w}d} v\n")


# ---------------------------------------------------------------------------------------------
# YAML: anchors and aliases.


@construct("alias_values", defaults={"n": 4, "size": 8}, sizes=("size",), depth=1,
           tokens=["&a ", "*a", "- *a\n"])
def _alias_values(p):
    """An anchored scalar of `size` bytes, then n aliases of it as values."""
    yield "- &a ", filled(p["size"]), "\n"
    yield repeat("- *a\n", p["n"])


@construct("alias_big_keys", defaults={"n": 4, "size": MIB, "style": "flow"}, sizes=("size",), depth=2,
           variants={"style": ["flow", "block"]},
           oracle=[{"style": "flow"}, {"style": "block"}, {"style": "flow", "size": 64 * KIB}],
           tokens=["{*a : 1}", "- {*a : 1}\n", "? *a\n: 1\n"])
def _alias_big_keys(p):
    """An anchored scalar of `size` bytes (1 MiB), then n one-pair mappings whose key is an
    alias of it: `- {*a : 1}` (flow) or `- ? *a` / `  : 1` (block)."""
    yield "- &a ", filled(p["size"]), "\n"
    unit = "- {*a : 1}\n" if p["style"] == "flow" else "- ? *a\n  : 1\n"
    yield repeat(unit, p["n"])


def _region_depth(p):
    return 2 + p["depth"] + 1


@construct("anchored_region_keys", defaults={"n": 4, "depth": 8, "uses": 1}, counts=("n", "uses"),
           depth=_region_depth, oracle=[{"uses": 1}, {"uses": 16}, {"depth": 100, "uses": 4}],
           tokens=["a: &a [", "? *a : 1", "{? *a : 1}"])
def _anchored_region_keys(p):
    """`a: &a [` n chains `[[..[wN]..]]` of `depth` levels `]`, then `uses` mappings whose
    key is an alias of the whole region: `- {? *a : 1}`."""
    d = p["depth"]
    w = width(p["n"])
    yield "a: &a ["
    yield each(p["n"], lambda i: "[" * d + f"w{i:0{w}d}" + "]" * d + ", ")
    yield "w]\nb:\n"
    yield repeat("- {? *a : 1}\n", p["uses"])


@construct("anchored_region_block", defaults={"n": 4, "uses": 1}, counts=("n", "uses"), depth=4,
           oracle=[{"uses": 1}], tokens=["a: &a\n  ", "b: *a\n"])
def _anchored_region_block(p):
    """`a: &a` over a block mapping of n entries, then `uses` aliases of it as values."""
    w = width(p["n"])
    yield "a: &a\n"
    yield each(p["n"], lambda i: f"  k{i:0{w}d}: [v{i:0{w}d}, {{x: {i}}}]\n")
    yield "b:\n"
    yield repeat("- *a\n", p["uses"])


@construct("anchor_everything", defaults={"n": 4}, depth=3, tokens=["&a [&b x, &c {&d k: &e v}]"])
def _anchor_everything(p):
    """Every node anchored, every anchor distinct: collections, keys and values."""
    w = width(p["n"])
    yield each(p["n"], lambda i: f"- &a{i:0{w}d} [&b{i:0{w}d} x, &c{i:0{w}d} {{&d{i:0{w}d} k: &e{i:0{w}d} v}}]\n")


@construct("rebound_anchors", defaults={"n": 4}, depth=2, tokens=["- &a x\n- *a\n"])
def _rebound_anchors(p):
    """One anchor name bound again and again, each binding aliased right after, as a value and
    as a key."""
    w = width(p["n"])
    yield each(p["n"], lambda i: f"- &a v{i:0{w}d}\n- *a\n- {{*a : 1}}\n")


@construct("distinct_anchors", defaults={"n": 4, "size": 1}, sizes=("size",), depth=1,
           oracle=[{"size": 1}, {"size": 1024}])
def _distinct_anchors(p):
    """n distinct anchors with names of `size` bytes and more, each aliased once."""
    w = width(p["n"])
    name = "a" * p["size"]
    yield each(p["n"], lambda i: f"- &{name}{i:0{w}d} v\n- *{name}{i:0{w}d}\n")


@construct("anchored_keys_aliased", defaults={"n": 4}, depth=2, tokens=["? &k ", "{&k key : v, x: *k}"])
def _anchored_keys_aliased(p):
    """Anchored keys, aliased as values in their own mapping and as keys of others."""
    w = width(p["n"])
    yield each(p["n"], lambda i: f"- {{&k{i:0{w}d} key{i:0{w}d} : v, x: *k{i:0{w}d}}}\n- {{*k{i:0{w}d} : 1}}\n"
                                 f"- ? &m{i:0{w}d} [k{i:0{w}d}]\n  : *m{i:0{w}d}\n")


@construct("merge_keys", defaults={"n": 4, "form": "single"}, depth=3, variants={"form": ["single", "list", "inline"]},
           tokens=["<<: *b\n", "<<: [*b, *c]\n", "<<: {x: 1}\n", "<<"])
def _merge_keys(p):
    """Anchored base mappings, then n mappings merging them with `<<`."""
    yield "base: &b {x: 1, y: 2}\nmore: &c {z: 3}\nitems:\n"
    merge = {"single": "*b", "list": "[*b, *c]", "inline": "{x: 9}"}[p["form"]]
    w = width(p["n"])
    yield each(p["n"], lambda i: f"- <<: {merge}\n  k: {i:0{w}d}\n")


# ---------------------------------------------------------------------------------------------
# YAML: scalars.

DOUBLE_ESCAPES = {
    "\\0": True, "\\a": True, "\\b": True, "\\t": True, "\\\t": True, "\\n": True, "\\v": True, "\\f": True,
    "\\r": True, "\\e": True, "\\ ": True, '\\"': True, "\\/": True, "\\\\": True, "\\N": True, "\\_": True,
    "\\L": True, "\\P": True, "\\x41": True, "\\xe9": True, "\\u00e9": True, "\\U0001F600": True,
    "\\\n  ": True, "\\ud800": False, "\\U00110000": False, "\\q": False, "\\x4": False, "\\u12": False,
}


@construct("double_escapes", defaults={"n": 4, "escape": "\\0", "repeat": 8}, counts=("n", "repeat"), depth=1,
           variants={"escape": list(DOUBLE_ESCAPES) + ["all"]},
           valid=lambda p: p["escape"] == "all" or DOUBLE_ESCAPES[p["escape"]],
           oracle=[{"escape": "all"}, {"escape": "\\U0001F600", "repeat": 4096}],
           tokens=list(DOUBLE_ESCAPES))
def _double_escapes(p):
    """n double-quoted scalars holding an escape `repeat` times ("all": every valid one)."""
    if p["escape"] == "all":
        body = "".join(e for e, ok in DOUBLE_ESCAPES.items() if ok) * p["repeat"]
    else:
        body = p["escape"] * p["repeat"]
    yield repeat(f'- "{body}"\n', p["n"])


@construct("single_quoted", defaults={"n": 4, "lines": 1}, counts=("n", "lines"), depth=1,
           tokens=["''", "'it''s'"])
def _single_quoted(p):
    """Single-quoted scalars with doubled quotes, # and : inside, over `lines` lines."""
    w = width(p["n"])
    tail = "".join("\n  line it''s #" for _ in range(p["lines"] - 1))
    yield each(p["n"], lambda i: f"- 'it''s {i:0{w}d} # not: a comment{tail}'\n")


BLOCK_HEADERS = ["|", "|-", "|+", ">", ">-", ">+", "|1", "|2", "|9", "|2-", "|-2", "|1+", ">1", ">2-", ">3+", ">+2"]


@construct("block_scalars", defaults={"n": 4, "header": "|", "lines": 4}, counts=("n", "lines"), depth=1,
           variants={"header": BLOCK_HEADERS}, oracle=[{"header": "|2-"}, {"header": ">+"}],
           tokens=BLOCK_HEADERS + ["|\n", ">\n"])
def _block_scalars(p):
    """n literal or folded scalars with an indentation indicator and chomping; with an
    indicator, the first line starts with more spaces than it, which only the indicator allows."""
    header = p["header"]
    digits = [c for c in header if c.isdigit()]
    pad = " " * int(digits[0]) if digits else "  "
    lead = pad + "  " if digits else pad
    body = lead + "first\n" + "".join(f"{pad}line {k} of text\n{pad}\n{pad}   more indented\n"
                                      for k in range(p["lines"])) + "\n\n"
    yield repeat(f"- {header}\n{body}", p["n"])


@construct("plain_multiline", defaults={"n": 4, "size": 16}, sizes=("size",), depth=1)
def _plain_multiline(p):
    """One plain scalar folded over n continuation lines of `size` bytes, then a key."""
    yield "k: start\n"
    yield repeat("  " + "w" * p["size"] + " word\n", p["n"])
    yield "z: 1\n"


@construct("big_scalar", defaults={"size": 64, "style": "plain"}, counts=(), sizes=("size",),
           variants={"style": ["plain", "single", "double", "literal"]}, depth=1,
           oracle=[{"style": "plain"}, {"style": "double"}, {"style": "literal"}])
def _big_scalar(p):
    """One scalar of `size` bytes as a value."""
    style = p["style"]
    if style == "literal":
        yield "k: |\n  ", filled(p["size"]), "\n"
        return
    quote = {"plain": "", "single": "'", "double": '"'}[style]
    yield "k: " + quote, filled(p["size"]), quote + "\n"


# ---------------------------------------------------------------------------------------------
# YAML: collections, keys, documents.


@construct("plain_map", defaults={"n": 4}, depth=1)
def _plain_map(p):
    """n plain `kN: vN` entries: a control."""
    w = width(p["n"])
    yield each(p["n"], lambda i: f"k{i:0{w}d}: v{i:0{w}d}\n")


def _plain_nested_depth(p):
    return max(1, p["depth"])


@construct("plain_nested", defaults={"n": 4, "depth": 1}, depth=_plain_nested_depth)
def _plain_nested(p):
    """The plain document of a given depth: a block sequence of n items, each `depth - 1` flow
    sequences around two plain scalars. The oracle's yardstick."""
    d = max(1, p["depth"]) - 1
    w = width(p["n"])
    yield each(p["n"], lambda i: "- " + "[" * d + f"w{i:0{w}d}" + (", x" if d else "") + "]" * d + "\n")


@construct("explicit_keys", defaults={"n": 4, "key": "scalar"}, depth=lambda p: 1 if p["key"] == "scalar" else 2,
           variants={"key": ["scalar", "flow_seq", "flow_map", "block_seq", "empty"]},
           oracle=[{"key": "flow_seq"}, {"key": "block_seq"}], tokens=["? ", "?\n", "? [k, x]\n: v\n", ": "])
def _explicit_keys(p):
    """n explicit `? key` / `: value` entries, the key a scalar, a collection or empty."""
    w = width(p["n"])
    unit = {"scalar": "? k{i}\n: v\n", "flow_seq": "? [k{i}, x]\n: v\n", "flow_map": "? {{a: k{i}}}\n: v\n",
            "block_seq": "? - k{i}\n  - x\n: v\n", "empty": "? k{i}\n:\n"}[p["key"]]
    yield each(p["n"], lambda i: unit.format(i=f"{i:0{w}d}"))
    if p["key"] == "empty":
        yield "?\n: last\n"


@construct("flow_nested", defaults={"n": 4}, depth=4, tokens=["[a: b]", "{? h : i}", "[j, k]: l", "{a, b}"])
def _flow_nested(p):
    """Flow mappings and sequences inside each other: single pairs in sequences, explicit keys,
    collection keys, keys without values, trailing commas."""
    w = width(p["n"])
    yield each(p["n"], lambda i: f"- {{a{i:0{w}d}: [b, {{c: {i}}}, ], d: [e: f, [g]], ? h : i, [j, k]: l, m, }}\n")


@construct("deep_flow", defaults={"n": 4, "depth": 128, "kind": "seq"}, depth=lambda p: p["depth"] + 1,
           variants={"depth": [126, 127, 128, 129], "kind": ["seq", "map"]},
           oracle=[{"depth": 127}, {"depth": 127, "kind": "map"}], tokens=["[[[[", "{a: {a: "])
def _deep_flow(p):
    """n flow collections `depth` deep, about the check's nesting budget."""
    d = p["depth"]
    opener, closer = ("[", "]") if p["kind"] == "seq" else ("{a: ", "}")
    w = width(p["n"])
    yield each(p["n"], lambda i: "- " + opener * d + f"x{i:0{w}d}" + closer * d + "\n")


@construct("deep_block", defaults={"n": 4, "depth": 16}, depth=lambda p: p["depth"],
           variants={"depth": [2, 16, 64, 127]}, oracle=[{"depth": 64}])
def _deep_block(p):
    """n block mappings nested `depth` levels by indentation."""
    d = p["depth"]
    w = width(p["n"])
    inner = "".join("  " * level + "k:\n" for level in range(1, d - 1))
    yield each(p["n"], lambda i: f"e{i:0{w}d}:\n" + inner + "  " * (d - 1) + f"leaf: {i}\n")


@construct("collection_keys", defaults={"n": 4, "depth": 1}, depth=lambda p: p["depth"] + 1,
           variants={"depth": [1, 8, 62, 127]}, oracle=[{"depth": 8}])
def _collection_keys(p):
    """n explicit keys that are flow sequences `depth` deep."""
    d = p["depth"]
    w = width(p["n"])
    yield each(p["n"], lambda i: "? " + "[" * d + f"k{i:0{w}d}" + "]" * d + "\n: 0\n")


@construct("long_simple_keys", defaults={"n": 4, "length": 1024}, depth=1,
           variants={"length": [1, 1023, 1024, 1025, 4096]}, valid=lambda p: p["length"] <= 1024,
           oracle=[{"length": 1024}])
def _long_simple_keys(p):
    """Implicit keys of `length` characters: libyaml takes up to 1024."""
    w = width(p["n"])
    n = max(p["length"] - w, 0)
    yield each(p["n"], lambda i: "k" * n + f"{i:0{w}d}"[-p['length']:] + ": v\n")


@construct("big_keys", defaults={"n": 4, "size": 4096}, sizes=("size",), depth=1, oracle=[{"size": 64 * KIB}])
def _big_keys(p):
    """n distinct explicit keys of `size` bytes."""
    w = width(p["n"])
    body = "x" * p["size"]
    yield each(p["n"], lambda i: f"? {body}{i:0{w}d}\n: 1\n")


@construct("comments", defaults={"n": 4, "size": 16}, sizes=("size",), depth=1, tokens=["# ", " # ", "#\n"])
def _comments(p):
    """Comment lines of `size` bytes between entries, and comments after values."""
    w = width(p["n"])
    text = "c" * p["size"]
    yield each(p["n"], lambda i: f"# {text}\nk{i:0{w}d}: v # {i}\n  # indented\n")


@construct("documents", defaults={"n": 4, "marker": "both"}, depth=1,
           variants={"marker": ["end", "start", "both", "bare_end"]}, valid=lambda p: p["marker"] in ("start", "both"),
           oracle=(),
           tokens=["---", "--- ", "...", "---\n...\n", "--- |\n", "--- >\n"])
def _documents(p):
    """n documents, with `---`, `...` or both (libyaml wants `---` before every document after
    the first, even after `...`)."""
    w = width(p["n"])
    unit = {"end": "k{i}: v\n...\n", "start": "---\nk{i}: v\n", "both": "--- {{k{i}: v}}\n...\n",
            "bare_end": "k{i}\n...\n"}[p["marker"]]
    yield each(p["n"], lambda i: unit.format(i=f"{i:0{w}d}"))


@construct("bom_lines", defaults={"n": 4, "where": "lines"}, depth=1,
           variants={"where": ["start", "lines", "flow", "keys", "docs"]},
           valid=lambda p: p["where"] in ("start", "lines", "flow"), tokens=["\ufeff", "\ufeff---\n", "\ufeff# "])
def _bom_lines(p):
    """Byte-order marks: at the start; at column 0 of comment and blank lines and of the lines
    of a flow sequence (libyaml skips one there, anywhere); before keys and before `---`, where
    the skipped mark still counts as a column, so that libyaml refuses them."""
    w = width(p["n"])
    where = p["where"]
    if where == "start":
        yield BOM
        yield each(p["n"], lambda i: f"k{i:0{w}d}: v\n")
    elif where == "lines":
        yield each(p["n"], lambda i: f"{BOM}# c\nk{i:0{w}d}: v\n{BOM}\n")
    elif where == "flow":
        yield "[\n", each(p["n"], lambda i: f"{BOM}w{i:0{w}d},\n"), "]\n"
    elif where == "keys":
        yield each(p["n"], lambda i: f"{BOM}k{i:0{w}d}: v\n")
    else:
        yield each(p["n"], lambda i: f"{BOM}--- k{i:0{w}d}\n...\n")


RAW = {
    "nul": (b"\x00", False), "c1": (b"\xc2\x85", False), "overlong": (b"\xc0\xaf", False),
    "surrogate": (b"\xed\xa0\x80", False), "past_max": (b"\xf4\x90\x80\x80", False), "lone_cont": (b"\x80", False),
    "truncated": (b"\xe2\x82", False), "bell": (b"\x07", False), "del": (b"\x7f", False), "nbsp": (b"\xc2\xa0", True),
    "u2028": (b"\xe2\x80\xa8", False), "ffff": (b"\xef\xbf\xbf", False), "tab": (b"\t", True),
}


@construct("raw_bytes", defaults={"n": 4, "byte": "nul"}, depth=1, variants={"byte": list(RAW)}, oracle=[{"byte": "nbsp"}],
           valid=lambda p: RAW[p["byte"]][1], tokens=[])
def _raw_bytes(p):
    """Bytes that UTF-8 or YAML's printable set refuse, and a few they take, inside scalars
    (NEL and U+2028 break the line for libyaml, and the rest then sits at column 0)."""
    raw = RAW[p["byte"]][0]
    w = width(p["n"])
    for start in range(0, p["n"], 4096):
        yield b"".join(b"- a" + raw + f"{i:0{w}d}".encode() + b"\n" for i in range(start, min(p["n"], start + 4096)))


# ---------------------------------------------------------------------------------------------
# JSON.

JSON_NUMBER_KINDS = ["digits", "fraction", "zeros", "exp_big", "exp_neg", "exp_digits", "mantissa", "negzero"]


def _json_number_valid(p):
    s = p["size"]
    # RapidJSON stops with "number too big" once the digits before the exponent pass about
    # 1.8e307, or a positive exponent passes 308; between 300 and 320 digits it depends on them
    long_ok = True if s <= 300 else False if s >= 320 else None
    return {"digits": long_ok, "fraction": True, "zeros": True, "exp_big": s <= 2, "exp_neg": True,
            "exp_digits": True, "mantissa": long_ok, "negzero": True}[p["kind"]]


@construct("json_numbers", fmt="json", defaults={"n": 4, "kind": "digits", "size": 20}, sizes=("size",),
           variants={"kind": JSON_NUMBER_KINDS}, valid=_json_number_valid,
           oracle=[{"kind": "digits", "size": 300}, {"kind": "fraction", "size": 64 * KIB},
                   {"kind": "exp_neg", "size": 64 * KIB}, {"kind": "exp_digits", "size": 4096}],
           tokens=["1e308", "1e309", "1e-400", "-0", "0.0", "1E+2", "e-", "E+", "00000000000000000000",
                   "18446744073709551616", "9007199254740993", "0.30000000000000004", "1.7976931348623157e308"])
def _json_numbers(p):
    """An array of n numbers each with a run of `size` digits: an integer, a fraction, a zero
    with many fraction digits, a huge or a tiny exponent, an exponent written with many digits,
    a long mantissa with a negative exponent, -0.0..."""
    s = p["size"]
    text = {"digits": lambda: "1" + "2" * (s - 1),
            "fraction": lambda: "0." + "7" * s,
            "zeros": lambda: "0." + "0" * s + "1",
            "exp_big": lambda: "1e" + "9" * s,
            "exp_neg": lambda: "1e-" + "9" * s,
            "exp_digits": lambda: "1e" + "0" * s + "2",
            "mantissa": lambda: "1" + "0" * s + f"e-{s}",
            "negzero": lambda: "-0." + "0" * s}[p["kind"]]()
    yield "["
    yield repeat(text + ",\n", p["n"])
    yield "0]\n"


JSON_ESCAPES = {
    '\\"': True, "\\\\": True, "\\/": True, "\\b": True, "\\f": True, "\\n": True, "\\r": True, "\\t": True,
    "\\u0041": True, "\\u00e9": True, "\\u0000": True, "\\uFFFF": True, "\\ud83d\\ude00": True,
    "\\ud83d": False, "\\ude00": False, "\\ud83dx": False, "\\ud83d\\u0041": False, "\\x41": False, "\\u12G4": False,
    "\\'": False,
}


@construct("json_escapes", fmt="json", defaults={"n": 4, "escape": "\\ud83d\\ude00", "repeat": 8, "where": "value"},
           counts=("n", "repeat"), variants={"escape": list(JSON_ESCAPES) + ["all"], "where": ["value", "key"]},
           valid=lambda p: p["escape"] == "all" or JSON_ESCAPES[p["escape"]],
           oracle=[{"escape": "all"}, {"escape": "\\ud83d\\ude00", "where": "key", "repeat": 1024}],
           tokens=list(JSON_ESCAPES) + ['"\\ud83d\\ude00"', '"\\u0000"'])
def _json_escapes(p):
    """n strings holding an escape `repeat` times (surrogates paired and lone among them), as
    values or as distinct keys."""
    body = ("".join(e for e, ok in JSON_ESCAPES.items() if ok) if p["escape"] == "all" else p["escape"]) * p["repeat"]
    w = width(p["n"])
    if p["where"] == "value":
        yield "["
        yield repeat(f'"{body}",\n', p["n"])
        yield '""]\n'
    else:
        yield "{"
        yield each(p["n"], lambda i: f'"{body}{i:0{w}d}": {i},\n')
        yield '"": 0}\n'


@construct("json_nesting", fmt="json", defaults={"n": 4, "depth": 127, "kind": "array"}, depth=lambda p: p["depth"] + 1,
           variants={"depth": [126, 127, 128, 129], "kind": ["array", "object"]},
           oracle=[{"depth": 126}, {"depth": 126, "kind": "object"}], tokens=["[[[[[[[[", '{"a":{"a":'])
def _json_nesting(p):
    """n values nested `depth` deep inside the top array: about the check's budget of 128."""
    d = p["depth"]
    opener, closer = ("[", "]") if p["kind"] == "array" else ('{"a":', "}")
    yield "["
    yield repeat(opener * d + "1" + closer * d + ",\n", p["n"])
    yield "0]\n"


@construct("json_keys", fmt="json", defaults={"n": 4, "size": 4}, sizes=("size",), oracle=[{"size": 4}, {"size": 4096}])
def _json_keys(p):
    """One object of n distinct keys of `size` bytes and more."""
    w = width(p["n"])
    pad = "k" * p["size"]
    yield "{"
    yield each(p["n"], lambda i: f'"{pad}{i:0{w}d}": {i},\n')
    yield '"": 0}\n'


@construct("json_big_string", fmt="json", defaults={"size": 64}, counts=(), sizes=("size",))
def _json_big_string(p):
    """One string of `size` bytes."""
    yield '{"k": "', filled(p["size"]), '"}\n'


@construct("json_plain_nested", fmt="json", defaults={"n": 4, "depth": 1}, depth=_plain_nested_depth)
def _json_plain_nested(p):
    """The plain JSON document of a given depth: the yardstick, as plain_nested."""
    d = max(1, p["depth"]) - 1
    w = width(p["n"])
    yield "["
    yield each(p["n"], lambda i: "[" * d + f'"w{i:0{w}d}"' + (', "x"' if d else "") + "]" * d + ",\n")
    yield "0]\n"


# ---------------------------------------------------------------------------------------------
# Random mixed documents: every construct above in small doses, nested in each other, seeded.

PLAIN_WORDS = ["a", "k", "x y", "true", "False", "null", "~", "0x1F", "0o17", "1e3", "-5", ".inf", "-.Inf", ".nan",
               "foo-bar", "a b c", "2001-12-14", "12:30", "yes", "0", "-0", "01", "1_000", "+1", "é", "日本"]
ANCHOR_NAMES = ["a", "b", "anc", "x1", "long_anchor_name"]


class YamlMix:
    """One random document stream: directives with every handle form, tags of every form,
    anchors and aliases anywhere (keys too), scalars in every style, explicit keys, flow and
    block collections, merge keys, comments, document markers and byte-order marks."""

    def __init__(self, seed: int, budget: int, tame: bool = False):
        self.r = random.Random(seed)
        self.budget = budget
        # tame: what the check accepts, so that its whole cost is paid: distinct keys, no
        # merges, no alias keys, no lone `!` or %00, one document
        self.tame = tame
        self.anchors: list[str] = []
        self.open: list[str] = []  # anchors whose node is still being written
        self.last_anchor: str | None = None
        self.handles: list[str] = []
        self.serial = 0

    def spend(self) -> bool:
        self.budget -= 1
        return self.budget > 0

    def name(self) -> str:
        self.serial += 1
        return f"k{self.serial}"

    def tag(self) -> str:
        r = self.r.random()
        if self.tame:
            return self.r.choice(["!t", "!local", f"!<{TAG_PREFIX}%C3%A9v>"] + [h + "s" for h in self.handles])
        if r < 0.3:
            return "!" + self.r.choice(["t", "local", "x" + str(self.serial)])
        if r < 0.5:
            return "!!" + self.r.choice(["str", "int", "map", "seq", "float", "bool", "null", "binary", "custom"])
        if r < 0.65 and self.handles:
            return self.r.choice(self.handles) + self.r.choice(["s", "t%C3%A9", "u%00"])
        if r < 0.98:
            # %00 (an empty tag text for the check) ends the verdict early: seldom
            esc = self.r.choice([e for e, ok in URI_ESCAPES.items() if ok and (e != "%00" or self.r.random() < 0.1)])
            return f"!<{TAG_PREFIX}{esc}v>"
        return "!"

    def props(self, chance: float = 0.2) -> str:
        """An anchor, a tag, both or neither; the anchor's name is left in last_anchor."""
        pieces = []
        self.last_anchor = None
        if self.r.random() < chance:
            name = self.r.choice(ANCHOR_NAMES)
            pieces.append("&" + name)
            self.last_anchor = name
            if name not in self.anchors:
                self.anchors.append(name)
        if self.r.random() < chance / 2:
            pieces.append(self.tag())
        if len(pieces) == 2 and self.r.random() < 0.5:
            pieces.reverse()
        return " ".join(pieces) + " " if pieces else ""

    def closed(self) -> list[str]:
        """Anchors an alias may name: not those around it, which would make the node hold itself."""
        return [a for a in self.anchors if a not in self.open]

    def alias(self) -> str | None:
        names = self.closed()
        return "*" + self.r.choice(names) if names and self.r.random() < 0.5 else None

    def collection(self, props: str, make: Callable[[], str]) -> str:
        """props, then the collection make() writes with props' anchor open meanwhile."""
        name = self.last_anchor
        if name:
            self.open.append(name)
        try:
            return props + make()
        finally:
            if name:
                self.open.pop()

    def scalar(self, flow: bool) -> str:
        r = self.r.random()
        if r < 0.5:
            word = self.r.choice(PLAIN_WORDS)
            return word if not flow or ":" not in word else "w"
        if r < 0.65:
            return "'" + self.r.choice(["it''s", "", "# x", "a: b", "[x]"]) + "'"
        if r < 0.9:
            escapes = [e for e, ok in DOUBLE_ESCAPES.items() if ok and "\n" not in e]
            return '"' + "".join(self.r.choice(escapes + ["x", " ", "é"]) for _ in range(self.r.randrange(0, 6))) + '"'
        return str(self.r.choice([0, 1, -1, 3.5, 1e100, 2**63, -(2**63) - 1, 10**30]))

    def flow(self, depth: int) -> str:
        self.spend()
        r = self.r.random()
        if depth <= 0 or r < 0.45 or self.budget <= 0:
            alias = self.alias() if r < 0.1 else None
            return alias or self.props() + self.scalar(True)
        items = self.r.randrange(0, 4)

        def sequence() -> str:
            body = []
            for _ in range(items):
                if self.r.random() < 0.15:
                    body.append(f"{self.flow_key(depth - 1)}: {self.flow(depth - 1)}")
                else:
                    body.append(self.flow(depth - 1))
            return "[" + ", ".join(body) + (", " if body and self.r.random() < 0.1 else "") + "]"

        def mapping() -> str:
            body = []
            for _ in range(items):
                key = self.flow_key(depth - 1)
                r2 = self.r.random()
                if r2 < 0.2:
                    body.append(f"? {key} : {self.flow(depth - 1)}")
                elif r2 < 0.3:
                    body.append(key)
                else:
                    body.append(f"{key} : {self.flow(depth - 1)}")
            return "{" + ", ".join(body) + "}"

        return self.collection(self.props(), sequence if r < 0.7 else mapping)

    def flow_key(self, depth: int) -> str:
        r = self.r.random()
        if self.tame:
            return self.props(0.1) + self.name()
        if r < 0.1 and self.closed():
            return "*" + self.r.choice(self.closed())
        if r < 0.2 and depth > 0:
            return self.flow(min(depth, 1))
        return self.props(0.1) + self.r.choice([self.name(), self.scalar(True)])

    def block_scalar(self, ind: int) -> str:
        header = self.r.choice(BLOCK_HEADERS)
        digits = [c for c in header if c.isdigit()]
        step = int(digits[0]) if digits else 2
        pad = " " * (ind + step)
        lines = []
        for k in range(self.r.randrange(0, 4)):
            extra = "  " if (k or digits) and self.r.random() < 0.3 else ""
            lines.append(pad + extra + self.r.choice(["text", "a # b", "- x", "key: v", "'q'", "\\n"]) + "\n")
            if self.r.random() < 0.2:
                lines.append("\n")
        return f" {header}\n" + "".join(lines)

    def value(self, ind: int, depth: int) -> str:
        """What follows `key:`, `? `, `- ` or the document start at indentation ind: a flow node
        on the line, a block scalar, or a block collection on the next lines at ind + 2."""
        r = self.r.random()
        if depth <= 0 or self.budget <= 0 or r < 0.35:
            comment = " # c" if self.r.random() < 0.05 else ""
            return " " + self.flow(min(depth, 2)) + comment + "\n"
        if r < 0.45:
            return self.block_scalar(ind)
        props = self.props()
        head = (" " + props.rstrip()) if props else ""
        if r < 0.75:
            return self.collection(head + "\n", lambda: self.mapping(ind + 2, depth - 1))
        return self.collection(head + "\n", lambda: self.sequence(ind + 2, depth - 1))

    def mapping(self, ind: int, depth: int, top: bool = False) -> str:
        """A block mapping at indentation ind; at the top, entries go on until the budget is
        spent, so that a large budget makes a large document."""
        pad = " " * ind
        out = []
        for _ in range(1 << 62 if top else self.r.randrange(1, 5)):
            self.spend()
            r = self.r.random()
            if r < 0.05:
                out.append(pad + "# comment\n")
            if r < 0.15:
                key = " " + self.props(0.1) + self.name() + "\n" if self.tame else self.value(ind, depth)
                out.append(pad + "?" + key + pad + ":" + self.value(ind, depth))
            elif r < 0.2 and self.closed() and not self.tame:
                out.append(pad + "<<: *" + self.r.choice(self.closed()) + "\n")
            elif r < 0.3 and self.closed() and not self.tame:
                out.append(pad + "*" + self.r.choice(self.closed()) + " :" + self.value(ind, depth))
            else:
                key = self.name() if self.tame else self.r.choice([self.name(), self.name(), self.scalar(False)])
                out.append(pad + self.props(0.1) + key + ":" + self.value(ind, depth))
            if self.budget <= 0:
                break
        return "".join(out)

    def sequence(self, ind: int, depth: int, top: bool = False) -> str:
        pad = " " * ind
        out = []
        for _ in range(1 << 62 if top else self.r.randrange(1, 5)):
            self.spend()
            out.append(pad + "-" + self.value(ind, depth))
            if self.budget <= 0:
                break
        return "".join(out)

    def document(self, first: bool, ended: bool) -> str:
        """One document; directives only where the one before was closed with `...`."""
        out = []
        self.handles = []
        directives = []
        may_direct = first or ended
        if may_direct and self.r.random() < 0.25:
            directives.append(f"%YAML 1.{self.r.choice([1, 2])}")
        if may_direct and self.r.random() < 0.35:
            for handle in self.r.sample(["!", "!!", "!e!", "!x1!", "!long-handle!"], self.r.randrange(1, 4)):
                esc = self.r.choice(["", "%C3%A9", "%00", "%41"])
                directives.append(f"%TAG {handle} {TAG_PREFIX}{esc}{handle.strip('!')}:")
                if len(handle) > 2:
                    self.handles.append(handle)
        if self.r.random() < 0.1:
            out.append("# leading comment\n")
        out += [d + "\n" for d in directives]
        explicit = bool(directives) or not first or self.r.random() < 0.3
        # a large budget goes to a top collection, whose entries go on until it is spent
        r = self.r.random() * (0.75 if self.budget > 100 else 1)
        if r < 0.5:
            out.append(("---\n" if explicit else "") + self.mapping(0, 4, top=True))
        elif r < 0.75:
            out.append(("---\n" if explicit else "") + self.sequence(0, 4, top=True))
        elif r < 0.9:
            out.append(("--- " if explicit else "") + self.flow(4) + "\n")
        else:
            out.append("---" + self.block_scalar(0))
        return "".join(out)

    def stream(self) -> str:
        docs = []
        first, ended = True, False
        while True:
            docs.append(self.document(first, ended))
            first = False
            if self.budget <= 0 or self.tame or self.r.random() < 0.8:
                break
            ended = self.r.random() < 0.7
            docs.append("...\n" if ended else "")
        text = "".join(docs)
        if self.r.random() < 0.05:
            text = BOM + text
        if self.r.random() < 0.1:
            text += "...\n"
        return text


class JsonMix:
    """One random JSON value: objects, arrays, strings with every escape (surrogate pairs
    too), numbers with long digit runs and exponents, whitespace of every kind."""

    def __init__(self, seed: int, budget: int):
        self.r = random.Random(seed)
        self.budget = budget
        self.serial = 0

    def ws(self) -> str:
        return self.r.choice(["", "", " ", "\n", "\t", "\r\n  "])

    def string(self) -> str:
        escapes = [e for e, ok in JSON_ESCAPES.items() if ok]
        return '"' + "".join(self.r.choice(escapes + ["a", " ", "é", "日", "😀"]) for _ in range(self.r.randrange(0, 6))) + '"'

    def number(self) -> str:
        r = self.r.random()
        if r < 0.5:
            return str(self.r.randrange(-1000, 1000))
        if r < 0.7:
            return self.r.choice(["0.5", "-0.0", "1e10", "1E-10", "2.5e+3", "-1.7976931348623157e308", "5e-324"])
        digits = "".join(self.r.choice("0123456789") for _ in range(self.r.randrange(1, 60)))
        return self.r.choice(["1", "-9"]) + digits + self.r.choice(["", "." + digits, "e-" + digits[:3], "E+12"])

    def value(self, depth: int) -> str:
        self.budget -= 1
        r = self.r.random()
        if depth <= 0 or self.budget <= 0 or r < 0.45:
            return self.r.choice([self.string, self.number, lambda: self.r.choice(["true", "false", "null"])])()
        items = self.r.randrange(0, 5)
        if r < 0.7:
            return "[" + ",".join(self.ws() + self.value(depth - 1) + self.ws() for _ in range(items)) + "]"
        body = []
        for _ in range(items):
            self.serial += 1
            key = f'"k{self.serial}"' if self.r.random() < 0.8 else self.string()
            body.append(f"{self.ws()}{key}{self.ws()}:{self.ws()}{self.value(depth - 1)}")
        return "{" + ",".join(body) + self.ws() + "}"

    def document(self) -> str:
        """A top array of values until the budget is spent, now and then nested about the
        check's budget of 128."""
        items = []
        deep = self.r.random() < 0.05  # the first draw: _json_mix_depth reads it
        while self.budget > 0:
            if deep:
                d = self.r.choice([125, 126, 127])
                items.append("[" * d + self.value(1) + "]" * d)
                deep = False
            else:
                items.append(self.value(5))
        return self.ws() + "[" + ("," + self.ws()).join(items) + "]" + self.ws() + "\n"


def damage(data: bytes, rng: random.Random, fmt: str) -> bytes:
    """One slip of the kind attackers and typos make: cut short, a stray indicator, a tab, a
    byte that is not UTF-8, a bracket dropped, a lone surrogate."""
    if not data:
        return b"]"
    at = rng.randrange(len(data) + 1)
    kind = rng.randrange(6)
    if kind == 0:
        return data[:at]
    if kind == 1:
        stray = rng.choice([b"]", b"}", b",", b":", b"-", b"?", b"&", b"*", b"!", b"%", b"@", b"|", b"\t"] if fmt == "yaml"
                           else [b"]", b"}", b",", b":", b"\\", b'"', b"01", b"NaN", b"//", b"\\ud800"])
        return data[:at] + stray + data[at:]
    if kind == 2:
        return data[:at] + rng.choice([b"\xff", b"\xc0\x80", b"\xed\xa0\x80", b"\x00", b"\x07"]) + data[at:]
    if kind == 3:
        closers = [i for i, b in enumerate(data) if b in b"]}"]
        if closers:
            i = rng.choice(closers)
            return data[:i] + data[i + 1:]
        return data + b"\n- ["
    if kind == 4 and fmt == "yaml":
        return data + rng.choice([b"\n*nope\n", b"\n--- [\n", b"\n%TAG ! x\n", b"\n!<%FF> x\n", b"\n- !z!x y\n"])
    return data + rng.choice([b" x", b"\n]", b"\n..."])


@construct("mix", defaults={"seed": 1, "size": 40, "damage": 0, "tame": 0}, counts=("size",), depth=lambda p: 6,
           valid=lambda p: True if not p["damage"] else None, variants={"tame": [0, 1]})
def _mix(p):
    """A random YAML stream of about `size` nodes from YamlMix; damage=1 spoils one spot;
    tame=1 keeps to what the check accepts. Built in memory: for documents of up to some tens
    of MB (the constructs above stream any size)."""
    data = YamlMix(p["seed"], p["size"], bool(p["tame"])).stream().encode()
    if p["damage"]:
        data = damage(data, random.Random(p["seed"] ^ 0x5EED), "yaml")
    yield data


def _json_mix_depth(p):
    # JsonMix.document draws whether one item nests about the budget before anything else
    return 129 if random.Random(p["seed"]).random() < 0.05 else 7


@construct("json_mix", fmt="json", defaults={"seed": 1, "size": 40, "damage": 0}, counts=("size",),
           depth=_json_mix_depth, valid=lambda p: True if not p["damage"] else None)
def _json_mix(p):
    """A random JSON document of about `size` values from JsonMix; damage=1 spoils one spot.
    Built in memory, as mix."""
    data = JsonMix(p["seed"], p["size"]).document().encode()
    if p["damage"]:
        data = damage(data, random.Random(p["seed"] ^ 0x5EED), "json")
    yield data


# ---------------------------------------------------------------------------------------------
# emit: small and medium documents for the differential and the fuzz seeds.


def random_recipe(rng: random.Random) -> dict:
    r = rng.random()
    if r < 0.5:
        return {"construct": "mix", "seed": rng.randrange(2**32), "size": int(2 ** rng.uniform(0, 11)),
                "damage": int(rng.random() < 0.15), "tame": int(rng.random() < 0.3)}
    if r < 0.62:
        return {"construct": "json_mix", "seed": rng.randrange(2**32), "size": int(2 ** rng.uniform(0, 11)),
                "damage": int(rng.random() < 0.15)}
    c = CONSTRUCTS[rng.choice(sorted(CONSTRUCTS))]
    recipe = {"construct": c.name}
    for key, choices in c.variants.items():
        recipe[key] = rng.choice(choices)
    for key in c.counts:
        recipe[key] = int(2 ** rng.uniform(0, 10))
    for key in c.sizes:
        recipe[key] = int(2 ** rng.uniform(0, 13))
    return recipe


def shrunk_to(recipe: dict, max_bytes: int) -> dict | None:
    """The recipe with its counts and sizes halved until its document fits max_bytes."""
    c = CONSTRUCTS[recipe["construct"]]
    recipe = dict(recipe)
    for _ in range(40):
        if size_of(recipe) <= max_bytes:
            return recipe
        p = params(recipe)
        keys = [k for k in c.counts + c.sizes if p[k] > 1]
        if not keys:
            return None
        key = max(keys, key=lambda k: p[k])
        recipe[key] = p[key] // 2
    return None


def emit(directory: Path, count: int, seed: int, max_bytes: int) -> tuple[int, int]:
    directory.mkdir(parents=True, exist_ok=True)
    rng = random.Random(seed)
    total = written = 0
    with open(directory / "recipes.jsonl", "w") as index:
        while written < count:
            recipe = shrunk_to(random_recipe(rng), max_bytes)
            if recipe is None:
                continue
            name = f"g{written:06d}-{recipe['construct']}.{extension(recipe)}"
            size = write(recipe, directory / name)
            index.write(json.dumps({"file": name, "bytes": size, "recipe": recipe}) + "\n")
            total += size
            written += 1
    return written, total


# ---------------------------------------------------------------------------------------------
# dict: libFuzzer dictionaries.

YAML_DICT_EXTRA = [
    "%TAG !! tag:yaml.org,2002:\n", "%TAG !e! !\n", "%TAG ! !\n", "!e!", "!!", "!<!> ", "!<tag:x,2000:%00> ",
    "&a !t ", "!t &a ", "*a : ", "? *a : 1", "&a [", "&a {", "- &a ", "? &k ", ": *a", "<<: [*a, *b]",
    '"\\0"', '"\\x41"', '"\\u00e9"', '"\\U0001F600"', '"\\N\\_\\L\\P"', "|2-\n", ">+\n", "|1\n  ", "--- ", "... ",
    "\ufeff", "\t", "\r\n", "\u0085",
]
JSON_DICT_BASE = ["{", "}", "[", "]", ":", ",", '"', '""', "true", "false", "null", "-", "0", ".", "e", "E", "e+",
                  "e-", '{"":', '{"a":', '[""]', "\\u", "\\", " ", "\n", "\t", "\r", "\ufeff", "[[[[[[[[[[[[[[[[",
                  "]]]]]]]]]]]]]]]]", "1.0", "-1", "123456789012345678901234567890", "4294967296", "2147483648"]
BEGIN_MARK = "# --- generated by scripts/grammar_gen.py dict: every construct's tokens; edit above this line ---"


def dict_entry(token: str) -> str:
    out = []
    for byte in token.encode("utf-8"):
        if byte in (0x22, 0x5C):
            out.append("\\" + chr(byte))
        elif 0x20 <= byte < 0x7F:
            out.append(chr(byte))
        else:
            out.append(f"\\x{byte:02x}")
    return '"' + "".join(out) + '"'


def dict_tokens(fmt: str) -> list[str]:
    tokens = list(YAML_DICT_EXTRA if fmt == "yaml" else JSON_DICT_BASE)
    for c in CONSTRUCTS.values():
        if c.fmt == fmt:
            tokens += c.tokens
    seen, out = set(), []
    for t in tokens:
        # libFuzzer drops words over 64 bytes
        if t and t not in seen and len(t.encode()) <= 64:
            seen.add(t)
            out.append(t)
    return out


def write_dicts(yaml_path: Path, json_path: Path) -> tuple[int, int]:
    text = yaml_path.read_text() if yaml_path.exists() else ""
    kept = text.split(BEGIN_MARK)[0].rstrip("\n") + "\n"
    present = {line.strip() for line in kept.splitlines() if line.startswith('"')}
    fresh = [e for e in map(dict_entry, dict_tokens("yaml")) if e not in present]
    yaml_path.write_text(kept + "\n" + BEGIN_MARK + "\n" + "".join(e + "\n" for e in fresh))
    entries = [dict_entry(t) for t in dict_tokens("json")]
    json_path.write_text("# libFuzzer dictionary for the JSON target (scripts/fuzz.sh passes it with -dict), written by\n"
                         "# scripts/grammar_gen.py dict: JSON's tokens, escapes, surrogates and number shapes.\n"
                         + "".join(e + "\n" for e in entries))
    return len(fresh), len(entries)


# ---------------------------------------------------------------------------------------------
# oracle: measuring one process.

PR_SET_CHILD_SUBREAPER = 36


def become_subreaper() -> None:
    """Children's children come back to this process when their parent exits, so it can wait4
    them itself: see Runner."""
    libc = ctypes.CDLL(None, use_errno=True)
    if libc.prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0) != 0:
        raise OSError(ctypes.get_errno(), "prctl(PR_SET_CHILD_SUBREAPER)")


@dataclass
class Run:
    status: int | None  # exit status, or None when killed by a signal or the timeout
    signal: int | None
    cpu: float  # seconds, user + system
    maxrss: int  # bytes
    stderr: str
    stdout: str
    timed_out: bool = False

    @property
    def crashed(self) -> bool:
        return (self.timed_out or self.status not in (0, 1) or "runtime error" in self.stderr
                or "Sanitizer" in self.stderr)

    def describe(self) -> str:
        if self.timed_out:
            return "timed out"
        if self.signal:
            return f"killed by {signal.Signals(self.signal).name}"
        return f"status {self.status}"


class Runner:
    """Runs a program on one file and reads its CPU time and peak RSS from wait4.

    Linux carries a process's peak RSS over exec from the address space it had before, so a
    program this interpreter starts would report at least this interpreter's peak. A small
    shell starts it instead and exits at once; the program, orphaned, comes back to this
    process (a child subreaper), which waits for it: its peak is then its own over the
    shell's few hundred kilobytes, and its CPU time its own alone. The program waits on a pipe
    before it starts, so that the shell can never reap it first."""

    def __init__(self, address_limit: int, workdir: Path):
        become_subreaper()
        self.address_limit = address_limit
        self.out = workdir / "run.out"
        self.err = workdir / "run.err"

    def _limits(self) -> None:
        resource.setrlimit(resource.RLIMIT_CORE, (0, 0))
        resource.setrlimit(resource.RLIMIT_AS, (self.address_limit, self.address_limit))

    def run(self, argv: list[str], timeout: float) -> Run:
        script = ('o=$1 e=$2; shift 2; exec 3<&0\n'
                  '{ read -r go <&3; exec "$@" 3<&- </dev/null >"$o" 2>"$e"; } &\n'
                  'echo $!')
        shell = subprocess.Popen(["/bin/sh", "-c", script, "sh", str(self.out), str(self.err), *argv],
                                 stdin=subprocess.PIPE, stdout=subprocess.PIPE, preexec_fn=self._limits)
        pid = int(shell.stdout.readline())
        if shell.wait() != 0:
            raise RuntimeError(f"the shell that starts {argv[0]} failed")
        try:
            fd = os.pidfd_open(pid)
        except (AttributeError, OSError):
            fd = None
        shell.stdin.write(b"go\n")
        shell.stdin.close()
        shell.stdout.close()
        timed_out = False
        if fd is not None:
            try:
                ready, _, _ = select.select([fd], [], [], timeout)
            finally:
                os.close(fd)
            if not ready:
                timed_out = True
        else:
            deadline = time.monotonic() + timeout
            while os.waitid(os.P_PID, pid, os.WEXITED | os.WNOHANG | os.WNOWAIT) is None:
                if time.monotonic() > deadline:
                    timed_out = True
                    break
                time.sleep(0.005)
        if timed_out:
            os.kill(pid, signal.SIGKILL)
        _, status, usage = os.wait4(pid, 0)
        return Run(status=os.waitstatus_to_exitcode(status) if os.WIFEXITED(status) else None,
                   signal=os.WTERMSIG(status) if os.WIFSIGNALED(status) else None,
                   cpu=usage.ru_utime + usage.ru_stime, maxrss=usage.ru_maxrss * 1024,
                   stdout=self.out.read_bytes()[:2000].decode("utf-8", "replace"),
                   stderr=self.err.read_bytes()[:4000].decode("utf-8", "replace"), timed_out=timed_out)

    def best(self, argv: list[str], timeout: float, times: int) -> Run:
        """The least CPU and least peak of a few runs (the first abnormal one is returned as is)."""
        runs = []
        for _ in range(times):
            run = self.run(argv, timeout)
            if run.crashed:
                return run
            runs.append(run)
        best = min(runs, key=lambda r: r.cpu)
        best.maxrss = min(r.maxrss for r in runs)
        return best


# ---------------------------------------------------------------------------------------------
# oracle: judging a document.

CPU_VS_PLAIN = 5.0
CPU_VS_BARE = 2.0
PEAK_VS_FILE = 16.0
MIN_JUDGED = 100_000  # bytes: smaller documents are not judged
CPU_FLOOR = 1e-4  # seconds: a yardstick never counts as faster than this
# seconds of CPU over a bound that still count as within it: a process's start-up varies by a
# millisecond or two, as much as the whole check of a 1 MB JSON document costs
CPU_SLACK = 0.005


@dataclass
class Verdict:
    recipe: dict
    size: int
    check: Run | None = None
    bare: Run | None = None
    cpu: float = 0.0  # the check's CPU above its baseline
    vs_plain: float | None = None
    vs_bare: float | None = None
    peak: float | None = None  # peak RSS above the baseline, over the file size
    problems: list = field(default_factory=list)

    @property
    def failed(self) -> bool:
        return bool(self.problems)


class Oracle:
    def __init__(self, check: str, bare: list[str] | None, runner: Runner, workdir: Path, timeout: float,
                 log=print):
        self.check, self.bare, self.runner, self.workdir, self.timeout = check, bare, runner, workdir, timeout
        self.log = log
        self.plain_cache: dict = {}
        self.base = {}
        for fmt in ("yaml", "json"):
            empty = workdir / f"empty.{fmt}"
            empty.write_bytes(b"")
            self.base[fmt] = runner.best([check, "--", str(empty)], timeout, 5)
        self.bare_base = None
        if bare:
            self.bare_base = runner.best([*bare, str(workdir / "empty.yaml")], timeout, 5)

    def reps(self, size: int) -> int:
        return 3 if size < 2 * MIB else 1

    def plain_cpu(self, fmt: str, depth: int, size: int) -> tuple[float, dict] | None:
        """CPU per byte of the check on a plain document of this format, depth and (about) size."""
        depth = max(1, min(depth, 127))  # deeper, the check stops at its budget
        bucket = (fmt, depth, round(math.log2(max(size, 1)) * 4))
        if bucket not in self.plain_cache:
            name = "plain_nested" if fmt == "yaml" else "json_plain_nested"
            recipe = fit({"construct": name, "depth": depth}, size)
            path = self.workdir / f"plain.{fmt}"
            write(recipe, path)
            run = self.runner.best([self.check, "--", str(path)], self.timeout, self.reps(size) + 1)
            path.unlink()
            if run.status != 0:
                self.log(f"  plain document {recipe_text(recipe)} not accepted ({run.describe()}): no yardstick")
                self.plain_cache[bucket] = None
            else:
                size = size_of(recipe)
                self.plain_cache[bucket] = (max(run.cpu - self.base[fmt].cpu, CPU_FLOOR) / size, recipe)
        return self.plain_cache[bucket]

    def judge(self, recipe: dict, times: int | None = None, bare_after_timeout: bool = True) -> Verdict:
        """Writes, runs and judges one document (`times` runs of each program, the least taken).
        bare_after_timeout: run the bare loop even when the check timed out, to tell whether
        libyaml alone takes as long."""
        fmt = extension(recipe)
        path = self.workdir / f"doc.{fmt}"
        size = write(recipe, path)
        verdict = Verdict(recipe=recipe, size=size)
        try:
            if size < MIN_JUDGED:
                return verdict
            times = times or self.reps(size)
            check = self.runner.best([self.check, "--", str(path)], self.timeout, times)
            verdict.check = check
            if check.crashed:
                what = check.describe()
                if "Sanitizer" in check.stderr or "runtime error" in check.stderr:
                    what += ", sanitizer report"
                verdict.problems.append(what)
            base = self.base[fmt]
            verdict.cpu = max(check.cpu - base.cpu, 0.0)
            verdict.peak = max(check.maxrss - base.maxrss, 0) / size
            plain = self.plain_cpu(fmt, depth_of(recipe), size)
            if plain:
                verdict.vs_plain = verdict.cpu / (plain[0] * size)
            bare_cpu = None
            if self.bare and fmt == "yaml" and (not check.crashed or (check.timed_out and bare_after_timeout)):
                # A bare loop stopped by its timeout still reports the CPU it used: a lower bound
                # of its cost, so the ratio is an upper bound and holds the bound honestly.
                limit = self.timeout if check.timed_out else min(self.timeout, 4 * check.cpu + 5)
                bare = self.runner.best([*self.bare, str(path)], limit, 1 if check.timed_out else times)
                verdict.bare = bare
                if bare.timed_out or bare.status in (0, 1):
                    bare_cpu = max(bare.cpu - self.bare_base.cpu, CPU_FLOOR)
                    verdict.vs_bare = verdict.cpu / bare_cpu
                if check.timed_out and bare.timed_out:
                    verdict.problems[-1] += " (libyaml's bare loop too)"
                elif check.timed_out and bare.status in (0, 1):
                    # libyaml alone nearly fills the timeout: give the check the time its bound
                    # allows before calling it over
                    allowed = CPU_VS_BARE * bare_cpu + CPU_SLACK + base.cpu
                    if allowed <= check.cpu:
                        verdict.problems[-1] += f" (past {CPU_VS_BARE:g}x the bare loop's CPU)"
                    else:
                        again = self.runner.run([self.check, "--", str(path)], 1.5 * allowed + 5)
                        if again.timed_out and again.cpu < allowed:
                            verdict.problems[-1] += f" twice, the second time after {1.5 * allowed + 5:.0f} s"
                        else:
                            verdict.check = check = again
                            verdict.problems = [] if not again.crashed else [again.describe() + " (run again)"]
                            verdict.cpu = max(check.cpu - base.cpu, 0.0)
                            verdict.peak = max(check.maxrss - base.maxrss, 0) / size
                            verdict.vs_plain = verdict.cpu / (plain[0] * size) if plain else None
                            verdict.vs_bare = verdict.cpu / bare_cpu
            held = []
            if plain:
                held.append(verdict.cpu <= CPU_VS_PLAIN * plain[0] * size + CPU_SLACK)
            if bare_cpu is not None:
                held.append(verdict.cpu <= CPU_VS_BARE * bare_cpu + CPU_SLACK)
            if held and not any(held) and not check.timed_out:
                verdict.problems.append("CPU " + ", ".join(
                    f"{ratio:.1f}x {name}" for ratio, name in ((verdict.vs_plain, "plain"), (verdict.vs_bare, "bare"))
                    if ratio is not None))
            if verdict.peak > PEAK_VS_FILE:
                verdict.problems.append(f"peak {verdict.peak:.1f}x the file")
            return verdict
        finally:
            path.unlink(missing_ok=True)


def shrink(recipe: dict, still_fails: Callable[[dict], bool | None], out_of_time: Callable[[], bool] = lambda: False
           ) -> tuple[dict, int]:
    """Halves each count, then each size, of a failing recipe for as long as the document still
    fails; still_fails returns None when the document has become too small to judge. Returns
    the smallest failing recipe and the number of documents tried."""
    c = CONSTRUCTS[recipe["construct"]]
    best = dict(recipe)
    tries = 0
    for key in c.counts + c.sizes:
        while params(best)[key] > 1 and not out_of_time():
            candidate = dict(best, **{key: params(best)[key] // 2})
            tries += 1
            if not still_fails(candidate):
                break
            best = candidate
    return best, tries


def parse_size(text: str) -> int:
    text = text.strip().lower()
    units = {"k": KIB, "m": MIB, "g": GIB}
    if text and text[-1] in units:
        return int(float(text[:-1]) * units[text[-1]])
    return int(text)


def shapes(only: list[str] | None, seed: int) -> list[tuple[str, dict]]:
    """(label, recipe without its fit parameter) for every oracle shape."""
    out = []
    for c in CONSTRUCTS.values():
        if c.name in ("plain_nested", "json_plain_nested"):
            continue
        if c.name == "mix":
            overrides = [{"seed": seed + k, "tame": 1} for k in range(2)]
        elif c.name == "json_mix":
            overrides = [{"seed": seed + k} for k in range(2)]
        else:
            overrides = c.oracle
        for o in overrides:
            label = c.name + "".join(f" {k}={v}" for k, v in o.items())
            if only and not any(t in label for t in only):
                continue
            out.append((label, {"construct": c.name, **o}))
    return out


def fmt_size(n: float) -> str:
    for unit, scale in (("GiB", GIB), ("MiB", MIB), ("KiB", KIB)):
        if n >= scale:
            return f"{n / scale:.1f} {unit}"
    return f"{int(n)} B"


def oracle_main(args) -> int:
    bare = args.bare.split() if args.bare else None
    started = time.monotonic()
    deadline = started + args.budget_seconds
    workdir = Path(tempfile.mkdtemp(prefix="grammar-oracle-"))
    runner = Runner(int(args.address_limit_gib * GIB), workdir)
    oracle = Oracle(args.check, bare, runner, workdir, args.timeout)
    sizes = [parse_size(s) for s in args.sizes.split(",")]
    todo = shapes(args.only, args.seed)
    print(f"baseline: check on an empty file {oracle.base['yaml'].cpu * 1e3:.1f} ms CPU, "
          f"{fmt_size(oracle.base['yaml'].maxrss)} peak"
          + (f"; bare loop {oracle.bare_base.cpu * 1e3:.1f} ms" if bare else "")
          + f"; {len(todo)} shapes at {', '.join(fmt_size(s) for s in sizes)}; budget {args.budget_seconds:g} s",
          flush=True)
    rows: list[tuple[str, Verdict]] = []
    failures: list[tuple[str, Verdict, dict, int, bool]] = []
    failed_shapes: set[str] = set()
    skipped = 0
    for target in sizes:
        for label, recipe in todo:
            if label in failed_shapes:
                continue
            if time.monotonic() > deadline:
                skipped += 1
                continue
            sized = fit(recipe, target)
            verdict = oracle.judge(sized)
            if verdict.size < MIN_JUDGED:
                continue
            if verdict.failed and not verdict.check.crashed:
                # noise on a shared machine: judge again from more runs before calling it
                verdict = oracle.judge(sized, times=3)
            rows.append((label, verdict))
            print(row_line(label, verdict), flush=True)
            if verdict.failed:
                failed_shapes.add(label)

                def still_fails(candidate):
                    v = oracle.judge(candidate, bare_after_timeout=False)
                    if v.failed and not v.check.crashed:
                        v = oracle.judge(candidate, times=3, bare_after_timeout=False)
                    return None if v.size < MIN_JUDGED else v.failed

                small, tries = shrink(sized, still_fails, lambda: time.monotonic() > deadline)
                small_size = size_of(small)
                cut = time.monotonic() > deadline
                failures.append((label, verdict, small, small_size, cut))
                print(f"     smallest failing: {recipe_text(small)} ({fmt_size(small_size)}, {tries} tried"
                      + (", cut short by the budget" if cut else "") + ")", flush=True)
    shutil.rmtree(workdir, ignore_errors=True)
    print_summary(rows, failures, skipped, time.monotonic() - started)
    if args.report:
        with open(args.report, "w") as out:
            for label, v in rows:
                out.write(json.dumps({"shape": label, "recipe": v.recipe, "bytes": v.size, "cpu": v.cpu,
                                      "vs_plain": v.vs_plain, "vs_bare": v.vs_bare, "peak_over_file": v.peak,
                                      "check": v.check.describe() if v.check else None,
                                      "problems": v.problems}) + "\n")
            for label, v, small, small_size, cut in failures:
                out.write(json.dumps({"shape": label, "smallest_failing": small, "bytes": small_size,
                                      "cut_short": cut}) + "\n")
    return 1 if failures else 0


def row_line(label: str, v: Verdict) -> str:
    cpu_mb = v.cpu / (v.size / 1e6)
    ratio = lambda x: "-" if x is None else f"{x:.1f}x"  # noqa: E731
    check = v.check.describe() if v.check else "-"
    bare = "" if not v.bare or not v.bare.timed_out else " (bare timed out)"
    return (f"{'FAIL' if v.failed else 'ok  '} {label:44.44s} {fmt_size(v.size):>10s} {cpu_mb * 1e3:9.2f} "
            f"{ratio(v.vs_plain):>8s} {ratio(v.vs_bare):>8s} {ratio(v.peak):>8s}  {check}{bare}"
            + (f"  <- {'; '.join(v.problems)}" if v.problems else ""))


def print_summary(rows, failures, skipped, elapsed) -> None:
    print(f"\n{'':4s} {'shape':44s} {'size':>10s} {'CPU ms/MB':>9s} {'/plain':>8s} {'/bare':>8s} {'peak/file':>8s}")
    for label, v in rows:
        print(row_line(label, v))
    print(f"\nbounds: CPU <= {CPU_VS_PLAIN:g}x plain or <= {CPU_VS_BARE:g}x bare (+{CPU_SLACK * 1e3:g} ms); peak above baseline <= "
          f"{PEAK_VS_FILE:g}x the file; no crash. {len(rows)} documents judged in {elapsed:.0f} s"
          + (f", {skipped} left for lack of time" if skipped else "") + f"; {len(failures)} shape(s) failed.")
    for label, v, small, small_size, cut in failures:
        print(f"  {label}: {'; '.join(v.problems)} at {fmt_size(v.size)}; smallest failing "
              f"{recipe_text(small)} ({fmt_size(small_size)}){' (shrinking cut short)' if cut else ''}")


# ---------------------------------------------------------------------------------------------


def build_bare(build: Path, out: Path) -> Path:
    """Compiles bench/yaml_bare_loop.c against the libyaml a CMake build directory compiled: its
    static library, and the headers of the copy it compiled when it made one (a patched copy may
    rename functions by macros), else the vendored ones."""
    library = build / "libsolvarinth_yaml.a"
    if not library.exists():
        sys.exit(f"grammar_gen: no {library}: build solvarinth-check there first (vendored libyaml)")
    copies = sorted(build.glob("libyaml-*/include"))
    headers = copies[-1] if copies else ROOT / "third_party" / "libyaml" / "include"
    cc = shutil.which("cc") or shutil.which("gcc")
    if cc is None:
        sys.exit("grammar_gen: no C compiler (cc) on PATH")
    subprocess.run([cc, "-O2", "-DYAML_DECLARE_STATIC", f"-I{headers}", str(ROOT / "bench" / "yaml_bare_loop.c"),
                    str(library), "-o", str(out)], check=True)
    return out


def parse_set(items: list[str]) -> dict:
    out = {}
    for item in items or []:
        key, _, value = item.partition("=")
        try:
            out[key] = json.loads(value)
        except json.JSONDecodeError:
            out[key] = value
    return out


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0],
                                     formatter_class=argparse.RawDescriptionHelpFormatter, epilog=__doc__)
    sub = parser.add_subparsers(dest="mode", required=True)
    sub.add_parser("list", help="constructs, their parameters and variants")
    w = sub.add_parser("write", help="write one recipe's document")
    w.add_argument("--recipe", help="a recipe as JSON")
    w.add_argument("--construct")
    w.add_argument("--set", action="append", metavar="KEY=VALUE", help="a parameter (JSON value or text)")
    w.add_argument("--target", help="size the document to about this many bytes (k, m, g suffixes)")
    w.add_argument("--out", type=Path, required=True)
    e = sub.add_parser("emit", help="small and medium documents with recipes.jsonl")
    e.add_argument("--dir", type=Path, required=True)
    e.add_argument("--count", type=int, required=True)
    e.add_argument("--seed", type=int, default=1)
    e.add_argument("--max-bytes", type=parse_size, default=64 * KIB)
    d = sub.add_parser("dict", help="write fuzz/yaml.dict's generated section and fuzz/json.dict")
    d.add_argument("--yaml", type=Path, default=ROOT / "fuzz" / "yaml.dict")
    d.add_argument("--json", type=Path, default=ROOT / "fuzz" / "json.dict")
    b = sub.add_parser("bare", help="build bench/yaml_bare_loop.c against a CMake build's libyaml")
    b.add_argument("--build", type=Path, required=True, help="the CMake build directory of solvarinth-check")
    b.add_argument("--out", type=Path, help="default: BUILD/yaml_bare_loop")
    o = sub.add_parser("oracle", help="the cost oracle")
    o.add_argument("--check", required=True, help="solvarinth-check to judge")
    o.add_argument("--bare", help="libyaml's bare loop (bench/yaml_bare_loop.c), with any leading arguments")
    o.add_argument("--budget-seconds", type=float, default=600)
    o.add_argument("--seed", type=int, default=1)
    o.add_argument("--sizes", default="128k,1m,5m,20m")
    o.add_argument("--only", action="append", help="only the shapes whose label contains this (repeatable)")
    o.add_argument("--timeout", type=float, default=30, help="seconds one run may take (default 30)")
    o.add_argument("--address-limit-gib", type=float, default=16)
    o.add_argument("--report", type=Path, help="also write every verdict as JSON lines here")
    args = parser.parse_args(argv)

    if args.mode == "list":
        for c in CONSTRUCTS.values():
            extra = "".join(f"\n      {k}: {', '.join(map(repr, v))}" for k, v in c.variants.items())
            print(f"{c.name} ({c.fmt}) {json.dumps(c.defaults)}\n    {c.about.splitlines()[0] if c.about else ''}{extra}")
        return 0
    if args.mode == "write":
        recipe = json.loads(args.recipe) if args.recipe else {"construct": args.construct}
        recipe.update(parse_set(args.set))
        if recipe.get("construct") not in CONSTRUCTS:
            parser.error(f"unknown construct {recipe.get('construct')!r}; see `list`")
        if args.target:
            recipe = fit(recipe, parse_size(args.target))
        size = write(recipe, args.out)
        print(f"{args.out}: {size} bytes, {recipe_text(recipe)}")
        return 0
    if args.mode == "emit":
        n, total = emit(args.dir, args.count, args.seed, args.max_bytes)
        print(f"{args.dir}: {n} documents, {fmt_size(total)}, recipes in recipes.jsonl")
        return 0
    if args.mode == "bare":
        print(build_bare(args.build, args.out or args.build / "yaml_bare_loop"))
        return 0
    if args.mode == "dict":
        fresh, entries = write_dicts(args.yaml, args.json)
        print(f"{args.yaml}: {fresh} generated entries; {args.json}: {entries} entries")
        return 0
    return oracle_main(args)


if __name__ == "__main__":
    sys.exit(main())
