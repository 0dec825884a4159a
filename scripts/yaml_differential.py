"""Feeds two solvarinth-check builds the same YAML files and compares their output byte for byte.

Used to show that a change to the YAML check changes no verdict and no message. Not part of the
test run: it needs two builds and takes minutes.

    python3 scripts/yaml_differential.py OLD_CHECK NEW_CHECK [--generated 300000] [--seed 1]

The files: every YAML case of tests/config/test_yaml.py (ACCEPTED, REJECTED, HOSTILE, each also
behind a byte-order mark), the fuzz corpus, and generated documents built to reach the rules
that order failures: anchors and aliases (as keys too), deep nesting and aliases that cross the
nesting budget, repeated keys at every depth, tags, parser errors and unknown anchors after
build failures, second documents, alias counts around the expansion limit. Files go to each
command in batches; a batch whose output differs is run again file by file to name the files.
"""

import argparse
import os
import random
import subprocess
import sys
import tempfile
import types
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
BOM = "\ufeff"


def table_cases():
    """The texts of the YAML test tables; the test module's fixtures are not needed here."""
    sys.modules.setdefault("conftest", types.SimpleNamespace(raises_exactly=None, run_python=None))
    sys.path.insert(0, str(ROOT / "tests" / "config"))
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


def run(binary, paths):
    done = subprocess.run([binary, "--", *paths], capture_output=True)
    return done.returncode, done.stdout, done.stderr


def compare(old, new, blobs, workdir, batch):
    """Number of files compared and the names of those whose output differs."""
    differing = []
    for start in range(0, len(blobs), batch):
        chunk = blobs[start:start + batch]
        paths = []
        for i, blob in enumerate(chunk):
            path = workdir / f"c{start + i}.yaml"
            path.write_bytes(blob)
            paths.append(str(path))
        if run(old, paths)[:2] != run(new, paths)[:2]:
            differing += [p for p in paths if run(old, [p])[:2] != run(new, [p])[:2]]
            for p in differing[-5:]:
                print("differs:", p, run(old, [p])[1][:300], run(new, [p])[1][:300], file=sys.stderr)
        for p in paths:
            if p not in differing:
                os.unlink(p)
    return len(blobs), differing


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("old")
    parser.add_argument("new")
    parser.add_argument("--generated", type=int, default=300_000)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--batch", type=int, default=4000)
    args = parser.parse_args()
    workdir = Path(tempfile.mkdtemp(prefix="yaml-diff-"))
    total, bad = 0, []
    for name, blobs in (("tables", table_cases()), ("corpus", corpus_cases())):
        n, d = compare(args.old, args.new, blobs, workdir, 64)
        print(f"{name}: {n} files, {len(d)} differ", flush=True)
        total, bad = total + n, bad + d
    gen = Gen(random.Random(args.seed))
    step = 20_000
    for start in range(0, args.generated, step):
        blobs = [gen.document() for _ in range(min(step, args.generated - start))]
        n, d = compare(args.old, args.new, blobs, workdir, args.batch)
        total, bad = total + n, bad + d
        print(f"generated: {start + n} files, {len(bad)} differ so far", flush=True)
    print(f"compared {total} files, {len(bad)} differ" + (f"; kept in {workdir}" if bad else ""))
    if not bad:
        os.rmdir(workdir)
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
