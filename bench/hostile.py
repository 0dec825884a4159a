"""Hostile inputs: each must end in its documented outcome, with bounded time and memory.

    python bench/hostile.py                      # writes the "Hostile inputs" section of bench/results.md
    python bench/hostile.py --print              # prints only
    python bench/hostile.py --print --mb 1       # the inputs sized in MiB made smaller
    python bench/hostile.py --print --only keys  # only the cases whose name contains "keys"
    python bench/hostile.py --print --python /tmp/old-venv   # probe another build of the module
    python bench/hostile.py --list               # names of the cases

Each input is generated into a temporary directory and checked by train_from_config in a
fresh interpreter (the same tiny `cargo` as bench/run.py, first on PATH). Reported: the
outcome against the expected one, the file size, the wall time and the CPU time (user + system
of the child over the call alone) of the call, CPU per MiB of input, the peak memory the call
added above the interpreter's baseline (VmHWM after the call, reset before it, minus VmRSS
before) and that peak over the file size.

The interpreter running this script needs PyYAML (with libyaml): every valid input it generates
is parsed with it first (well formed, depth, entry count) and its first entries shown as PyYAML
composes them, so that an input the module refuses is known to be valid YAML. `--python` picks
the interpreter (or a venv directory) whose module is probed; the same script can so compare an
old build with a new one on the same inputs.

Groups of cases:
- the original ones (deep nesting, billion laughs, huge scalars, many aliases);
- plain controls: plain nested values as deep as the nested keys below, and a million plain keys;
- nested collection keys, each line distinct so that nothing is shared between entries;
- a long explicit key followed by a null or boolean key and one more key;
- the flood: keys crafted to collide in the string and number hashes of the mapping key table
  of the tree the construction was made against (see CraftedStrings), against random keys of
  the same length and count in the same run; the ratio crafted / random of the CPU times is
  printed and written.
"""

from __future__ import annotations

import argparse
import collections
import json
import random
import shlex
import shutil
import signal
import struct
import subprocess
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import benchlib as bl  # noqa: E402

DEPTH = 10_000_000
SCALAR = 100 * (1 << 20)
ALIASES = 1_000_000
ADDRESS_LIMIT = 16 << 30  # a runaway child fails instead of taking the machine
LINES = 1_000_000  # entries of the cases sized by count rather than by bytes
FLOOD_KEYS = 1 << 19
MIB = 1 << 20

ACCEPTED = ("None", None)


def write_repeated(path: Path, parts: list[tuple[bytes, int]]) -> None:
    """Writes each (chunk, count) pair as chunk repeated count times, in blocks."""
    with open(path, "wb") as handle:
        for chunk, count in parts:
            block = 1 << 16
            full, rest = divmod(count, block)
            big = chunk * block
            for _ in range(full):
                handle.write(big)
            handle.write(chunk * rest)


def billion_laughs(path: Path) -> None:
    lines = ['a: &a ["lol", "lol", "lol", "lol", "lol", "lol", "lol", "lol", "lol"]']
    names = "abcdefghi"
    for prev, name in zip(names, names[1:]):
        lines.append(f"{name}: &{name} [" + ", ".join([f"*{prev}"] * 9) + "]")
    path.write_text("\n".join(lines) + "\n")


# ---------------------------------------------------------------------------------------------
# Inputs made of many entries of one top-level mapping. A case gives the text of entry i; the
# file holds entries 0, 1, 2, ... until it has `count` of them or reaches `mb` MiB. Every entry
# differs from the others (the number i is in it), so that no key repeats and no two keys
# share a value that could be looked up once.


class Entries:
    def __init__(self, entry, *, count: int | None = None, sized: bool = False, depth: int | None = None,
                 pairs: int = 1):
        self.entry = entry  # i -> bytes of one entry (or of `pairs` entries), newline included
        self.count = count
        self.sized = sized  # stops at --mb MiB instead of after count entries
        self.depth = depth  # levels of collections, the top mapping included, for the check
        self.pairs = pairs

    def __call__(self, path: Path, mb: float) -> dict:
        limit = int(mb * MIB) if self.sized else None
        written = 0
        n = 0
        with open(path, "wb") as handle:
            block: list[bytes] = []
            pending = 0
            while (self.count is None or n < self.count) and (limit is None or written < limit):
                text = self.entry(n)
                block.append(text)
                pending += len(text)
                written += len(text)
                n += 1
                if pending >= 1 << 20:
                    handle.write(b"".join(block))
                    block.clear()
                    pending = 0
            handle.write(b"".join(block))
        sample = b"".join(self.entry(i) for i in range(min(n, 3)))
        return {"entries": n * self.pairs, "sample": sample, "depth": self.depth}


def nest(open_: str, close: str, levels: int, inner: str) -> str:
    return open_ * levels + inner + close * levels


def collections_in(open_: str) -> int:
    """Collections one level of the shape opens: `[? ` opens a sequence and, by the `?`, a
    one-pair mapping inside it; `{? ` and `{a: ` one mapping; `[{a: ` a sequence and a mapping."""
    return open_.count("[") + open_.count("{") + (1 if open_.startswith("[?") else 0)


def value_lines(open_: str, close: str, levels: int) -> Entries:
    """`kN: <levels of open_> N <close>`: plain nested values, keys all plain."""
    depth = 1 + levels * collections_in(open_)
    return Entries(lambda i: f"k{i}: {nest(open_, close, levels, str(i))}\n".encode(), sized=True,
                   depth=depth)


def explicit_key_lines(open_: str, close: str, levels: int) -> Entries:
    """`? <nested key holding N>` then `: 0` on the next line: one top-level entry whose key is
    the collection itself (written on one line as `? X: 0`, the key would be the mapping X: 0)."""
    depth = 1 + levels * collections_in(open_)
    return Entries(lambda i: f"? {nest(open_, close, levels, str(i))}\n: 0\n".encode(), sized=True,
                   depth=depth)


def block_question_lines(levels: int) -> Entries:
    """`? ? ? ... N` then `: 0`: block mappings each holding the next as its only key."""
    return Entries(lambda i: ("? " * levels + f"{i}\n: 0\n").encode(), sized=True, depth=levels)


# ---------------------------------------------------------------------------------------------
# A long explicit key, then a null or boolean key (one byte in the key table), then one more key
# that makes the table read the entries before it.


def long_key(size: int, quoted: bool, word: str) -> Entries:
    scalar = b"x" * size
    if quoted:
        scalar = b'"' + scalar + b'"'
    text = b"? " + scalar + b"\n: 0\n" + word.encode() + b": 1\nafter: 2\n"
    return Entries(lambda i: text, count=1, depth=1, pairs=3)


# ---------------------------------------------------------------------------------------------
# The flood. The string hash of the key table this was made against (src/config/yaml/keys.cpp,
# hash_of): h = seed ^ kind bits ^ n * K, then for each little-endian 8-byte word
# h = (h ^ word) * K; h ^= h >> 29; K = 0x9E3779B97F4A7C15. The seed never enters the step,
# so a difference that cancels within the steps cancels whatever the seed:
# flipping bit 62 of word j flips bit 62 of h ^ word, which moves the product by +-2^62 (K is
# odd, so 2^62 * K = +-2^62 mod 2^64): when that adds or takes away without a carry into bit 63
# (for half the states h, so half the seeds) the product differs in bit 62 alone, and after the
# shift in bits 62 and 33.
# Flipping exactly those bits in word j + 1 (bit 62: byte 7 ^ 0x40; bit 33: byte 4 ^ 0x02)
# brings the states back together. One unit per word boundary: choice c_j flips byte 7 of word
# j, and byte 7 and byte 4 of word j + 1; the units overlap (byte 7 of a word takes both its own
# choice and the correction of the one before) and still cancel one after the other.
# 19 units make 2^19 keys of 168 bytes; per seed each unit merges its two halves with
# probability 1/2, so the keys land on about 1.5^19 (2,200) hash values instead of 2^19, a few
# hundred keys on each, more in the largest groups (--hash-check counts them with a model of
# the hash for a few seeds). The bytes that change are digits
# ('0'..'9' <-> 'p'..'y', 0x40 apart) and 'a' <-> 'c': every key is letters and digits and starts
# with a letter that is fixed.

FLOOD_LENGTH = 168
FLOOD_UNITS = 19
ALNUM = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"


class CraftedStrings:
    def __init__(self, units: int = FLOOD_UNITS, length: int = FLOOD_LENGTH, seed: int = 5):
        assert length % 8 == 0 and units < length // 8
        rng = random.Random(seed)
        base = bytearray(rng.choice(ALNUM[:52]).encode())
        base += bytes(ord(rng.choice(ALNUM)) for _ in range(length - 1))
        for w in range(length // 8):
            base[8 * w + 7] = ord("0") + rng.randrange(10)
            base[8 * w + 4] = ord("a")
        self.base = bytes(base)
        self.units = units
        # Word w's bytes for each (choice of unit w - 1, choice of unit w).
        self.words = []
        for w in range(length // 8):
            variants = {}
            for before in (0, 1):
                for own in (0, 1):
                    word = bytearray(self.base[8 * w: 8 * w + 8])
                    if own and w < units:
                        word[7] ^= 0x40
                    if before and 0 < w <= units:
                        word[7] ^= 0x40
                        word[4] ^= 0x02
                    variants[before, own] = bytes(word)
            self.words.append(variants)

    def key(self, i: int) -> bytes:
        bits = [(i >> u) & 1 for u in range(self.units)] + [0] * (len(self.words) - self.units)
        return b"".join(self.words[w][bits[w - 1] if w else 0, bits[w]] for w in range(len(self.words)))

    def keys(self, count: int) -> list[bytes]:
        assert count <= 1 << self.units
        return [self.key(i) for i in range(count)]


def random_strings(count: int, length: int = FLOOD_LENGTH, seed: int = 11) -> list[bytes]:
    rng = random.Random(seed)
    keys: set[bytes] = set()
    out = []
    while len(out) < count:
        key = (rng.choice(ALNUM[:52]) + "".join(rng.choices(ALNUM, k=length - 1))).encode()
        if key not in keys:
            keys.add(key)
            out.append(key)
    return out


# The number hash of the same table: mix(seed ^ (kind << 1 | flag) ^ bits), kind 2 for integers
# (flag: negative; bits: the magnitude) and 3 for floats (flag 0; bits: the IEEE bits). So the
# integer -m (5 ^ m), the integer m ^ 1 (4 ^ m ^ 1) and the float whose bits are m ^ 3
# (6 ^ m ^ 3) hash alike for every seed. m runs from the bits of 1.0 in steps of 4, so the
# floats are 1.0000000000000007 and up (normal, written the shortest way that reads back) and the
# integers fit 63 bits.
ONE_BITS = 0x3FF0000000000000


def crafted_numbers(count: int) -> list[bytes]:
    out = []
    i = 0
    while len(out) < count:
        m = ONE_BITS + 4 * i
        real = struct.unpack("<d", struct.pack("<Q", m ^ 3))[0]
        text = repr(real)
        assert struct.unpack("<Q", struct.pack("<d", float(text)))[0] == m ^ 3
        out += [str(-m).encode(), str(m ^ 1).encode(), text.encode()]
        i += 1
    return out[:count]


def random_integers(count: int, seed: int = 13) -> list[bytes]:
    rng = random.Random(seed)
    seen: set[int] = set()
    out = []
    while len(out) < count:
        v = rng.getrandbits(64) - (1 << 63)
        if v not in seen:
            seen.add(v)
            out.append(str(v).encode())
    return out


class KeyLines(Entries):
    """One `key: 0` entry per key of make(), checked distinct; the keys are made when the file
    is written and dropped after."""

    def __init__(self, make, quote: bool):
        super().__init__(self._entry, count=FLOOD_KEYS, depth=1)
        self.make = make
        self.quote = quote
        self.keys: list[bytes] = []

    def _entry(self, i: int) -> bytes:
        key = self.keys[i]
        return (b'"' + key + b'"' if self.quote else key) + b": 0\n"

    def __call__(self, path: Path, mb: float) -> dict:
        self.keys = self.make()
        assert len(set(self.keys)) == len(self.keys), "generated keys repeat"
        self.count = len(self.keys)
        try:
            return super().__call__(path, mb)
        finally:
            self.keys = []


def hash_spread(keys: list[bytes], seeds: int = 3) -> list[tuple[int, int]]:
    """(distinct hash values, largest group) of the keys under the string hash described above,
    for a few random seeds: the check that the construction still collides."""
    mask = (1 << 64) - 1
    k_mul = 0x9E3779B97F4A7C15

    def mix(h: int) -> int:
        h ^= h >> 33
        h = (h * 0xFF51AFD7ED558CCD) & mask
        h ^= h >> 33
        h = (h * 0xC4CEB9FE1A85EC53) & mask
        return h ^ (h >> 33)

    def tail_word(b: bytes) -> int:
        n = len(b)
        if n >= 4:
            return int.from_bytes(b[:4], "little") << 32 | int.from_bytes(b[n - 4:], "little")
        if n == 0:
            return 0
        return b[0] << 16 | b[n // 2] << 8 | b[n - 1]

    out = []
    rng = random.Random(17)
    for _ in range(seeds):
        seed = rng.getrandbits(64)
        counts: collections.Counter = collections.Counter()
        for key in keys:
            n = len(key)
            h = seed ^ (4 << 1) ^ ((n * k_mul) & mask)
            full = n - n % 8
            for p in range(0, full, 8):
                h = ((h ^ int.from_bytes(key[p:p + 8], "little")) * k_mul) & mask
                h ^= h >> 29
            h = ((h ^ tail_word(key[full:])) * k_mul) & mask
            counts[mix(h) & 0xFFFFFFFF] += 1
        out.append((len(counts), max(counts.values())))
    return out


# ---------------------------------------------------------------------------------------------


def fixed(build):
    """A builder of the original cases, which take no size."""

    def run(path: Path, mb: float) -> dict:
        build(path)
        return {}

    return run


def case(name, file_name, build, expected, what, *, validate=True, control=None):
    return {"name": name, "file": file_name, "build": build, "expected": expected, "what": what,
            "validate": validate, "control": control}


SEQ_Q = ("[? ", "]")
MAP_Q = ("{? ", "}")
SEQ = ("[", "]")
MAP_A = ("{a: ", "}")
SEQ_MAP = ("[{a: ", "}]")

CASES = [
    case("JSON nesting 10^7 deep", "deep.json", fixed(lambda p: write_repeated(p, [(b"[", DEPTH), (b"]", DEPTH)])),
         ("ValueError", "Invalid JSON config: recursion limit exceeded at line 1 column 128"),
         "`[` x 10^7 then `]` x 10^7", validate=False),
    case("YAML nesting 10^7 deep", "deep.yaml", fixed(lambda p: write_repeated(p, [(b"[", DEPTH), (b"]", DEPTH)])),
         ("ValueError", "Invalid YAML config: recursion limit exceeded at line 1 column 129"),
         "flow `[` x 10^7 then `]` x 10^7", validate=False),
    case("YAML billion laughs", "laughs.yaml", fixed(billion_laughs),
         ("ValueError", "Invalid YAML config: repetition limit exceeded"),
         "9 levels, each an anchored flow sequence of 9 aliases of the level below (9^9 strings)",
         validate=False),
    case("JSON 100 MiB string", "scalar.json",
         fixed(lambda p: write_repeated(p, [(b'"', 1), (b"training-config-", SCALAR // 16), (b'"\n', 1)])),
         ACCEPTED, "one string of 100 MiB", validate=False),
    case("YAML 100 MiB scalar", "scalar.yaml",
         fixed(lambda p: write_repeated(p, [(b"training-config-", SCALAR // 16), (b"\n", 1)])),
         ACCEPTED, "one plain scalar of 100 MiB", validate=False),
    case("YAML 10^6 aliases", "aliases.yaml",
         fixed(lambda p: write_repeated(p, [(b"a: &a x\nb:\n", 1), (b"- *a\n", ALIASES)])),
         ACCEPTED, "`a: &a x`, then `b:` holding a block sequence of 10^6 `*a`", validate=False),

    # Plain controls: the same depths with every key a plain scalar.
    case("values: [ ] 62 deep", "values-seq62.yaml", value_lines(*SEQ, 62), ACCEPTED,
         "`kN: [[...[N]...]]`, 62 flow sequences deep, one per line, --mb MiB"),
    case("values: [ ] 126 deep", "values-seq126.yaml", value_lines(*SEQ, 126), ACCEPTED,
         "`kN: [[...[N]...]]`, 126 flow sequences deep, one per line, --mb MiB"),
    case("values: [{a: }] 124 deep", "values-seqmap124.yaml", value_lines(*SEQ_MAP, 62), ACCEPTED,
         "`kN: [{a: [{a: ... N}]}]`, 62 pairs of sequence and mapping (124 deep), --mb MiB"),
    case("values: {a: } 100 deep", "values-map100.yaml", value_lines(*MAP_A, 100), ACCEPTED,
         "`kN: {a: {a: ... N}}`, 100 flow mappings deep, --mb MiB"),
    case("values: {a: } 126 deep", "values-map126.yaml", value_lines(*MAP_A, 126), ACCEPTED,
         "`kN: {a: {a: ... N}}`, 126 flow mappings deep, --mb MiB"),
    case("plain keys 10^6", "plain-keys.yaml",
         Entries(lambda i: f"param_{i:07d}: {i}\n".encode(), count=LINES, depth=1), ACCEPTED,
         "`param_NNNNNNN: N`, 10^6 distinct plain keys"),
    case("values: [N] 10^6", "values-seq1.yaml",
         Entries(lambda i: f"k{i}: [{i}]\n".encode(), count=LINES, depth=2), ACCEPTED,
         "`kN: [N]`, 10^6 one-entry sequences as values"),

    # Nested collection keys, each compared against the plain values of the same depth.
    case("keys: [? ] 62 deep", "keys-seqq62.yaml", explicit_key_lines(*SEQ_Q, 62), ACCEPTED,
         "`? [? [? ... N]]` / `: 0`: 62 flow sequences each holding a one-pair mapping whose key "
         "is the next (124 deep), --mb MiB", control="values: [{a: }] 124 deep"),
    case("keys: {? } 126 deep", "keys-mapq126.yaml", explicit_key_lines(*MAP_Q, 126), ACCEPTED,
         "`? {? {? ... N}}` / `: 0`: 126 flow mappings, each the only key of the one around it, --mb MiB",
         control="values: {a: } 126 deep"),
    case("keys: [ ] 126 deep", "keys-seq126.yaml", explicit_key_lines(*SEQ, 126), ACCEPTED,
         "`? [[...[N]...]]` / `: 0`: 126 flow sequences deep, --mb MiB", control="values: [ ] 126 deep"),
    case("keys: block ? 126 deep", "keys-blockq126.yaml", block_question_lines(126), ACCEPTED,
         "`? ? ? ... N` / `: 0`: 126 block mappings, each the only key of the one around it, --mb MiB",
         control="values: {a: } 126 deep"),
    case("keys: {a: } 100 deep", "keys-map100.yaml", explicit_key_lines(*MAP_A, 100), ACCEPTED,
         "`? {a: {a: ... N}}` / `: 0`: 100 flow mappings deep, --mb MiB", control="values: {a: } 100 deep"),
    case("keys: [N] 10^6", "keys-seq1.yaml", Entries(lambda i: f"[{i}]: 0\n".encode(), count=LINES, depth=2),
         ACCEPTED, "`[N]: 0`, 10^6 one-entry sequence keys", control="values: [N] 10^6"),
    case("keys: local tag each 10^6", "keys-tags.yaml",
         Entries(lambda i: f"!t{i} k{i}: 0\n".encode(), count=LINES, depth=1), ACCEPTED,
         "`!tN kN: 0`, 10^6 keys each under its own local tag", control="plain keys 10^6"),

    # Anchors: what the check keeps for each anchored node, and identities of aliases as keys.
    case("anchors: &aN [] each", "anchors-empty.yaml",
         Entries(lambda i: f"k{i}: &a{i} []\n".encode(), count=LINES, depth=2), ACCEPTED,
         "`kN: &aN []`, 10^6 anchored empty sequences", control="values: [N] 10^6"),
    case("anchors: ? &aN [N] keys", "anchors-keys.yaml",
         Entries(lambda i: f"? &a{i} [{i}]\n: 0\n".encode(), count=LINES, depth=2), ACCEPTED,
         "`? &aN [N]` / `: 0`, 10^6 anchored sequence keys", control="values: [N] 10^6"),
    case("anchors: *aN as keys", "anchors-alias-keys.yaml",
         Entries(lambda i: (f"a{i}: &a{i} [{i}]\n" if i % 2 == 0 else f"? *a{i - 1}\n: 0\n").encode(),
                 count=LINES, depth=2), ACCEPTED,
         "`aN: &aN [N]` then `? *aN` / `: 0`, 5 * 10^5 of each", control="values: [N] 10^6"),
]

# A long explicit key (plain or double-quoted, 2^20 - 1, 2^20 or 2^20 + 1 bytes) followed by a
# one-byte key and one more key.
for size, quoted, word in [(MIB, False, "true"), (MIB, False, "false"), (MIB, False, "null"), (MIB, False, "~"),
                           (MIB, True, "true"), (MIB, True, "false"), (MIB, True, "null"), (MIB, True, "~"),
                           (MIB - 1, False, "true"), (MIB + 1, False, "true"),
                           (MIB - 1, True, "true"), (MIB + 1, True, "true")]:
    style = "quoted" if quoted else "plain"
    size_text = {MIB: "2^20", MIB - 1: "2^20-1", MIB + 1: "2^20+1"}[size]
    CASES.append(case(f"long key {size_text} {style}, {word}", f"long-key-{size}-{style}-{len(word)}.yaml",
                      long_key(size, quoted, word), ACCEPTED,
                      f"`? ` {style} scalar of {size:,} B / `: 0`, then `{word}: 1`, then `after: 2`"))

CASES += [
    case("flood: crafted strings", "flood-strings.yaml",
         KeyLines(lambda: CraftedStrings().keys(FLOOD_KEYS), quote=True), ACCEPTED,
         f"2^19 `\"KEY\": 0`, {FLOOD_LENGTH}-byte keys crafted to collide in the string hash"),
    case("flood: random strings", "random-strings.yaml",
         KeyLines(lambda: random_strings(FLOOD_KEYS), quote=True), ACCEPTED,
         f"2^19 `\"KEY\": 0`, random {FLOOD_LENGTH}-byte keys of letters and digits"),
    case("flood: crafted numbers", "flood-numbers.yaml",
         KeyLines(lambda: crafted_numbers(FLOOD_KEYS), quote=False), ACCEPTED,
         "2^19 `N: 0`, -m, m ^ 1 and the float of bits m ^ 3 for m = bits of 1.0 + 4i"),
    case("flood: random integers", "random-numbers.yaml",
         KeyLines(lambda: random_integers(FLOOD_KEYS), quote=False), ACCEPTED,
         "2^19 `N: 0`, random 64-bit signed integers"),
]

# Corners of the grammar: long %TAG prefixes, aliases of large scalars as keys, large anchored
# regions, many %TAG directives. Too large for PyYAML to compose (it copies every tag whole).
TAG_PREFIX = b"x" * 65536
CHAIN = 126


def chains(open_line: bytes, count: int, close: bytes) -> callable:
    """open_line, then count distinct flow sequences CHAIN deep, one a line, then close."""
    def build(path: Path) -> None:
        with open(path, "wb") as handle:
            handle.write(open_line)
            for i in range(count):
                handle.write(b" " + b"[" * CHAIN + str(i).encode() + b"]" * CHAIN + b",\n")
            handle.write(close)
    return build


def numbered_lines(head: bytes, line: str, count: int) -> callable:
    """head, then line with {i} filled in for i = 0 ... count - 1."""
    def build(path: Path) -> None:
        with open(path, "wb") as handle:
            handle.write(head)
            handle.write("".join(line.format(i=i) for i in range(count)).encode())
    return build


def tag_directives(path: Path) -> None:
    """Half the file %TAG directives of distinct handles, half nodes tagged through `!!`."""
    with open(path, "wb") as handle:
        for i in range(20_000):
            handle.write(f"%TAG !h{i}! tag:x,{i}:\n".encode())
        handle.write(b"---\n" + b"- !!str 0\n" * 48_000)


CASES += [
    case("%TAG prefix 64 KiB, 93,000 tags", "tag-prefix-distinct.yaml",
         fixed(numbered_lines(b"%TAG !e! tag:x," + TAG_PREFIX + b"\n---\n", "- !e!{i} 0\n", 93_000)),
         ACCEPTED, "`%TAG !e! tag:x,` + 64 KiB, then `- !e!N 0` for 93,000 distinct N", validate=False,
         control="values: [N] 10^6"),
    case("%TAG local prefix 64 KiB, 20,000 tags", "tag-local-prefix-distinct.yaml",
         fixed(numbered_lines(b"%TAG !e! !" + TAG_PREFIX + b"\n---\n", "- !e!{i} 0\n", 20_000)),
         ACCEPTED, "`%TAG !e! !` + 64 KiB, then `- !e!N 0` for 20,000 distinct N", validate=False,
         control="values: [N] 10^6"),
    case("one %TAG prefix of 1 MiB on 100,000 nodes", "tag-prefix-shared.yaml",
         fixed(numbered_lines(b"%TAG !e! !" + b"y" * MIB + b"\n---\n", "- !e!a 0\n", 100_000)),
         ACCEPTED, "`%TAG !e! !` + 1 MiB, then 100,000 `- !e!a 0`", validate=False, control="values: [N] 10^6"),
    case("alias of a 1 MiB scalar as key 10^6", "alias-big-scalar-keys.yaml",
         fixed(numbered_lines(b"a: &a " + b"z" * MIB + b"\nb:\n", "- {{*a : 1}}\n", 1_000_000)),
         ACCEPTED, "`a: &a` 1 MiB scalar, then 10^6 `- {*a : 1}`", validate=False, control="values: [N] 10^6"),
    case("alias of a tagged 1 MiB scalar as key 10^6", "alias-big-tagged-keys.yaml",
         fixed(numbered_lines(b"a: &a !t " + b"z" * MIB + b"\nb:\n", "- {{*a : 1}}\n", 1_000_000)),
         ACCEPTED, "`a: &a !t` 1 MiB scalar, then 10^6 `- {*a : 1}`", validate=False, control="values: [N] 10^6"),
    case("anchored chains 126 deep, aliased as key", "anchored-chains-key.yaml",
         fixed(chains(b"a: &a [\n", 62_000, b"]\n? *a\n: 1\n")), ACCEPTED,
         "`a: &a [` 62,000 distinct chains 126 deep `]`, then `? *a` / `: 1`", validate=False,
         control="values: [ ] 126 deep"),
    case("anchored key of chains 126 deep", "anchored-chains-as-key.yaml",
         fixed(chains(b"? &a [\n", 62_000, b"]\n: 1\n")), ACCEPTED,
         "`? &a [` 62,000 distinct chains 126 deep `]` / `: 1`", validate=False, control="values: [ ] 126 deep"),
    case("key of 10^6 anchored empty sequences", "anchored-empties-key.yaml",
         fixed(lambda p: write_repeated(p, [(b"? [", 1), (b"&a [], ", 1_000_000), (b"&a []]\n: 1\n", 1)])),
         ACCEPTED, "`? [&a [], &a [], ...]` / `: 1`, 10^6 of them", validate=False, control="values: [N] 10^6"),
    case("%TAG directives 20,000, then 48,000 nodes", "tag-directives.yaml", fixed(tag_directives), ACCEPTED,
         "20,000 `%TAG !hN! tag:x,N:` then 48,000 `- !!str 0`", validate=False, control="values: [N] 10^6"),
]

FLOOD_PAIRS = [("strings", "flood: crafted strings", "flood: random strings"),
               ("numbers", "flood: crafted numbers", "flood: random integers")]


# ---------------------------------------------------------------------------------------------
# What PyYAML makes of an input.


def shown_node(node, limit: int = 100) -> str:
    import yaml

    def show(n) -> str:
        tag = n.tag if n.tag.startswith("!") and not n.tag.startswith("!!") else ""
        if isinstance(n, yaml.ScalarNode):
            text = n.value if len(n.value) <= 40 else n.value[:20] + f"...({len(n.value):,} chars)"
            return f"{tag}{text!r}"
        if isinstance(n, yaml.SequenceNode):
            return tag + "[" + ", ".join(show(x) for x in n.value) + "]"
        return tag + "{" + ", ".join(show(k) + ": " + show(v) for k, v in n.value) + "}"

    text = show(node)
    return text if len(text) <= limit else text[: limit // 2] + " ... " + text[-limit // 2:]


def check_yaml(path: Path, info: dict) -> str:
    """Parses the whole file with libyaml through PyYAML (raises if it is not valid YAML),
    checks the depth and the number of top-level entries, and shows the first entries
    as PyYAML composes them (a collection key cannot be loaded into a dict)."""
    import yaml

    depth = deepest = nodes = 0
    with open(path, "rb") as handle:
        for event in yaml.parse(handle, Loader=yaml.CSafeLoader):
            kind = type(event)
            if kind in (yaml.MappingStartEvent, yaml.SequenceStartEvent):
                if depth == 1:
                    nodes += 1
                depth += 1
                deepest = max(deepest, depth)
            elif kind in (yaml.MappingEndEvent, yaml.SequenceEndEvent):
                depth -= 1
            elif kind in (yaml.ScalarEvent, yaml.AliasEvent) and depth == 1:
                nodes += 1
    problems = []
    if nodes != 2 * info["entries"]:
        problems.append(f"{nodes // 2:,} entries, expected {info['entries']:,}")
    if info.get("depth") is not None and deepest != info["depth"]:
        problems.append(f"depth {deepest}, expected {info['depth']}")
    if problems:
        raise AssertionError("generated input is not as meant: " + "; ".join(problems))
    sample = yaml.compose(info["sample"], Loader=yaml.CSafeLoader)
    try:
        loaded = yaml.load(info["sample"], Loader=yaml.CSafeLoader)
        kinds = sorted({type(k).__name__ for k in loaded})
        loads = f"; keys load as {', '.join(kinds)}"
    except yaml.YAMLError:
        loads = ""
    return f"valid YAML, {info['entries']:,} entries, depth {deepest}{loads}; first entries: {shown_node(sample)}"


# ---------------------------------------------------------------------------------------------


def resolve_python(given: str | None) -> str:
    if not given:
        return sys.executable
    path = Path(given)
    if path.is_dir():
        path = path / "bin" / "python"
    if not path.exists():
        sys.exit(f"hostile: no interpreter at {path}")
    return str(path)


def describe_module(python: str) -> dict:
    code = ("import json, platform, sys, importlib.metadata as md, solvarinth_trainer as m\n"
            "try:\n    version = md.version('solvarinth_trainer')\nexcept Exception:\n    version = '?'\n"
            "print(json.dumps({'python': f'{platform.python_implementation()} {platform.python_version()} ({sys.executable})',"
            " 'module': version, 'file': m.__file__}))")
    proc = subprocess.run([python, "-c", code], capture_output=True, text=True)
    if proc.returncode != 0:
        sys.exit(f"hostile: {python} cannot import solvarinth_trainer:\n{proc.stderr.strip()}")
    return json.loads(proc.stdout)


def outcome_text(data: dict) -> tuple[tuple, str]:
    if data["ok"]:
        got = ("None", None) if data.get("result") == "None" else ("returned", data.get("result"))
    elif data.get("status") is not None and data["status"] < 0:
        got = ("crashed", f"killed by {signal.Signals(-data['status']).name}")
    else:
        got = (data["type"], data["message"])
    return got, "accepted (None)" if got == ACCEPTED else f"{got[0]}: {got[1]}"


def per_mib(ns, size: int):
    return None if ns is None or size == 0 else ns / (size / MIB)


def fmt(ns) -> str:
    return bl.fmt_time(ns) if ns is not None else "-"


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--print", action="store_true", help="print only, do not write results.md")
    parser.add_argument("--output", type=Path, default=bl.RESULTS)
    parser.add_argument("--only", action="append", default=None,
                        help="run only the cases whose name contains this text (may be given again)")
    parser.add_argument("--mb", type=float, default=5.0, help="size in MiB of the inputs sized by bytes (default 5)")
    parser.add_argument("--python", default=None,
                        help="interpreter (or venv directory) whose solvarinth_trainer is probed; default: this one")
    parser.add_argument("--timeout", type=float, default=900, help="seconds one call may take (default 900)")
    parser.add_argument("--address-limit-gib", type=float, default=ADDRESS_LIMIT / (1 << 30),
                        help="address space of the probed child, GiB (default 16)")
    parser.add_argument("--no-check", action="store_true", help="skip the PyYAML check of each generated input")
    parser.add_argument("--hash-check", action="store_true",
                        help="before the run, count the hash values of the crafted string keys over a few seeds "
                             "(a Python model of the hash; about a minute)")
    parser.add_argument("--list", action="store_true", help="list the cases and exit")
    args = parser.parse_args()

    selected = [c for c in CASES if not args.only or any(o in c["name"] for o in args.only)]
    if args.list:
        for c in selected:
            print(f"{c['name']:36s} {c['what']}")
        return 0

    python = resolve_python(args.python)
    target = describe_module(python)
    address_limit = int(args.address_limit_gib * (1 << 30))
    info = bl.machine()
    info["python"] = target["python"]
    info["module"] = f"{target['module']} ({target['file']})"
    work = bl.scratch_dir("solvarinth-hostile-")
    bl.build_tiny(work)
    out_dir = str(work / "out")
    for line in bl.machine_lines(info):
        print(line)
    print(f"- Inputs sized by bytes: {args.mb:g} MiB; timeout {args.timeout:g} s; "
          f"address space {address_limit / (1 << 30):g} GiB")

    if args.hash_check:
        crafted = CraftedStrings()
        keys = crafted.keys(FLOOD_KEYS)
        for distinct, largest in hash_spread(keys):
            print(f"  crafted strings, one seed: {len(keys):,} keys on {distinct:,} hash values, largest group {largest:,}")
        keys = random_strings(FLOOD_KEYS)
        for distinct, largest in hash_spread(keys, 1):
            print(f"  random strings, one seed: {len(keys):,} keys on {distinct:,} hash values, largest group {largest:,}")

    print(f"\n{'':4s} {'case':36s} {'size':>10s} {'wall':>10s} {'CPU':>10s} {'CPU/MiB':>10s} "
          f"{'peak':>10s} {'peak/size':>9s}  outcome", flush=True)
    rows = []
    failures = 0
    for c in selected:
        path = work / c["file"]
        built = c["build"](path, args.mb)
        size = path.stat().st_size
        if c["validate"] and not args.no_check:
            try:
                print(f"     {c['name']}: {check_yaml(path, built)}", flush=True)
            except Exception as exc:  # noqa: BLE001 - a bad input is reported, the run goes on
                print(f"     {c['name']}: PyYAML check failed: {type(exc).__name__}: {str(exc)[:300]}", flush=True)
                failures += 1
        try:
            data = bl.probe("module", path, out_dir, timeout=args.timeout, address_limit=address_limit,
                            python=python)
        except subprocess.TimeoutExpired:
            data = {"ok": False, "type": "timed out", "message": f"after {args.timeout:g} s", "ns": None,
                    "cpu_ns": None, "peak": None}
        got, shown = outcome_text(data)
        ok = got == c["expected"]
        failures += not ok
        want = "accepted (None)" if c["expected"] == ACCEPTED else f"{c['expected'][0]}: {c['expected'][1]}"
        peak = data.get("peak")
        row = {"name": c["name"], "what": c["what"], "size": size, "got": shown, "want": want, "ok": ok,
               "ns": data.get("ns"), "cpu": data.get("cpu_ns"), "peak": peak, "control": c["control"],
               "cpu_mib": per_mib(data.get("cpu_ns"), size),
               "ratio": None if peak is None or size == 0 else peak / size}
        rows.append(row)
        peak_text = bl.fmt_size(peak) if peak is not None else "-"
        ratio_text = f"{row['ratio']:.3f}x" if row["ratio"] is not None else "-"
        print(f"{'ok  ' if ok else 'FAIL'} {c['name']:36s} {bl.fmt_size(size):>10s} {fmt(row['ns']):>10s} "
              f"{fmt(row['cpu']):>10s} {fmt(row['cpu_mib']):>10s} {peak_text:>10s} {ratio_text:>9s}  {shown[:160]}",
              flush=True)
        if not ok:
            print(f"     expected {want}")
        path.unlink()

    by_name = {r["name"]: r for r in rows}
    controls = []
    for r in rows:
        other = by_name.get(r["control"]) if r["control"] else None
        if other and r["cpu_mib"] and other["cpu_mib"]:
            controls.append((r, other, r["cpu_mib"] / other["cpu_mib"]))
    if controls:
        print("\nCPU per MiB against the plain control of the same depth:")
        for r, other, ratio in controls:
            print(f"  {r['name']:28s} {fmt(r['cpu_mib']):>10s}  vs {other['name']:28s} {fmt(other['cpu_mib']):>10s}  "
                  f"= {ratio:.1f}x")
    floods = []
    for label, crafted, plain in FLOOD_PAIRS:
        a, b = by_name.get(crafted), by_name.get(plain)
        if a and b and a["cpu"] and b["cpu"]:
            floods.append((label, a, b, a["cpu"] / b["cpu"], a["ns"] / b["ns"]))
    if floods:
        print("\nFlood ratio (crafted / random, same count and length, same run):")
        for label, a, b, cpu_ratio, wall_ratio in floods:
            print(f"  {label:8s} CPU {fmt(a['cpu'])} / {fmt(b['cpu'])} = {cpu_ratio:.2f}x; "
                  f"wall {fmt(a['ns'])} / {fmt(b['ns'])} = {wall_ratio:.2f}x")

    load_end = subprocess.run(["uptime"], capture_output=True, text=True).stdout.strip()
    print(f"\n{failures} failure(s); load at end: {load_end}")
    if not args.print:
        command = "python bench/hostile.py" + "".join(" " + shlex.quote(a) for a in sys.argv[1:])
        lines = ["## Hostile inputs (`bench/hostile.py`)", ""]
        lines += bl.machine_lines(info)
        lines += [f"- Load at end: `{load_end}`",
                  f"- Command: `{command}`",
                  "- Each input checked once by `train_from_config` in a fresh interpreter "
                  f"(address space capped at {address_limit / (1 << 30):g} GiB); CPU = user + system time of "
                  "the child over the call; peak = memory the call added above the interpreter's baseline. "
                  f"Inputs sized by bytes: {args.mb:g} MiB.",
                  "", "| input | file | size | outcome | expected | wall time | CPU | CPU per MiB | peak above baseline "
                  "| peak / size |",
                  "|---|---|---|---|---|---|---|---|---|---|"]
        for row in rows:
            peak_text = bl.fmt_size(row["peak"]) if row["peak"] is not None else "-"
            ratio_text = f"{row['ratio']:.3f}x" if row["ratio"] is not None else "-"
            mark = "as documented" if row["ok"] else "**NOT as documented**"
            lines.append(f"| {row['name']} | {row['what']} | {row['size']:,} B | {row['got']} ({mark}) | "
                         f"{row['want']} | {fmt(row['ns'])} | {fmt(row['cpu'])} | {fmt(row['cpu_mib'])} | "
                         f"{peak_text} | {ratio_text} |")
        if controls:
            lines += ["", "### Nested keys against plain values of the same depth", "",
                      "| keys | CPU per MiB | plain control | CPU per MiB | keys / control |", "|---|---|---|---|---|"]
            for r, other, ratio in controls:
                lines.append(f"| {r['name']} | {fmt(r['cpu_mib'])} | {other['name']} | {fmt(other['cpu_mib'])} | "
                             f"{ratio:.1f}x |")
        if floods:
            lines += ["", "### Flood ratio", "",
                      "| keys | crafted CPU | random CPU | crafted / random (CPU) | crafted / random (wall) |",
                      "|---|---|---|---|---|"]
            for label, a, b, cpu_ratio, wall_ratio in floods:
                lines.append(f"| {label} | {fmt(a['cpu'])} | {fmt(b['cpu'])} | {cpu_ratio:.2f}x | {wall_ratio:.2f}x |")
        bl.update_results("hostile", "\n".join(lines), args.output)
        print(f"wrote {args.output}")
    shutil.rmtree(work, ignore_errors=True)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
