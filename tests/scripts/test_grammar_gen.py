"""scripts/grammar_gen.py: its documents are what their recipes claim (libyaml takes exactly the
ones meant to be well formed), the shrinker ends on the smallest failing recipe, and the oracle's
runs measure the checked program alone, not the interpreter that started it."""

import importlib.util
import itertools
import json
import os
import subprocess
import sys
from pathlib import Path

import pytest
import yaml

ROOT = Path(__file__).resolve().parents[2]
SCRIPT = ROOT / "scripts" / "grammar_gen.py"
found = importlib.util.spec_from_file_location("grammar_gen", SCRIPT)
gg = importlib.util.module_from_spec(found)
sys.modules["grammar_gen"] = gg  # dataclasses look their module up by name
found.loader.exec_module(gg)

# The URI escapes and the like are libyaml's verdicts; PyYAML's pure-Python parser differs there.
needs_libyaml = pytest.mark.skipif(not yaml.__with_libyaml__, reason="PyYAML built without libyaml")


def libyaml_takes(data: bytes) -> bool:
    try:
        for _ in yaml.parse(data, Loader=yaml.CSafeLoader):
            pass
    except UnicodeDecodeError:  # libyaml took it; PyYAML cannot make a str of a tag with %FF-like bytes
        return True
    except yaml.YAMLError:
        return False
    return True


def small_recipes():
    """Every construct with every combination of its variants, counts 3 and sizes at most 50."""
    for c in gg.CONSTRUCTS.values():
        keys = list(c.variants)
        for combo in itertools.product(*(c.variants[k] for k in keys)):
            recipe = {"construct": c.name, **dict(zip(keys, combo))}
            recipe.update({k: 3 for k in c.counts})
            recipe.update({k: min(gg.params(recipe)[k], 50) for k in c.sizes})
            yield recipe


@needs_libyaml
def test_each_recipe_is_well_formed_exactly_when_it_says_so():
    wrong = []
    for recipe in small_recipes():
        c = gg.CONSTRUCTS[recipe["construct"]]
        meant = c.valid(gg.params(recipe))
        data = gg.text_of(recipe)
        if c.fmt == "yaml" and meant is not None and libyaml_takes(data) != meant:
            wrong.append((recipe, meant))
        # Python's json takes more than RapidJSON (lone surrogates, 1e999): only one way is checked
        if c.fmt == "json" and meant:
            try:
                json.loads(data)
            except ValueError:
                wrong.append((recipe, meant))
    assert wrong == []


@needs_libyaml
@pytest.mark.parametrize("name, extra", [("mix", {"tame": 0}), ("mix", {"tame": 1}), ("json_mix", {})])
def test_random_mixed_documents_are_well_formed(name, extra):
    bad = []
    for seed in range(150):
        recipe = {"construct": name, "seed": seed, "size": 80, **extra}
        data = gg.text_of(recipe)
        ok = libyaml_takes(data) if name == "mix" else json.loads(data) is not None
        if not ok:
            bad.append(seed)
    assert bad == []


# (start, predicate on the parameters, expected end): the first count halves, then the second.
SHRINKS = [
    ({"n": 1000}, lambda p: p["n"] >= 37, {"n": 62}),
    ({"n": 1000}, lambda p: True, {"n": 1}),
    ({"n": 1000}, lambda p: p["n"] >= 1000, {"n": 1000}),
    ({"n": 64, "uses": 64}, lambda p: p["n"] * p["uses"] >= 100, {"n": 2, "uses": 64}),
    # too small to judge ends the halving as a pass does
    ({"n": 1000}, lambda p: None if p["n"] < 300 else True, {"n": 500}),
]


@pytest.mark.parametrize("start, fails, end", SHRINKS)
def test_shrinking_ends_on_the_smallest_failing_recipe(start, fails, end):
    recipe = {"construct": "anchored_region_keys", **start}
    smallest, _ = gg.shrink(recipe, lambda r: fails(gg.params(r)))
    assert {k: smallest[k] for k in end} == end


MEASURE = r"""
import sys, tempfile
from pathlib import Path
sys.path.insert(0, sys.argv[1])
import grammar_gen as gg
ballast = bytearray(400 << 20)
for i in range(0, len(ballast), 4096):
    ballast[i] = 1
runner = gg.Runner(64 << 30, Path(tempfile.mkdtemp()))
quick = runner.run([sys.executable, "-c", "pass"], 60)
slow = runner.run(["sleep", "30"], 0.5)
print(quick.maxrss, quick.status, slow.timed_out, slow.signal)
"""


# The runner caps the address space, which an AddressSanitizer runtime preloaded into the child
# interpreter cannot start under.
@pytest.mark.skipif("ASAN_OPTIONS" in os.environ or "libasan" in os.environ.get("LD_PRELOAD", ""),
                    reason="under AddressSanitizer")
def test_runs_report_the_programs_own_peak_and_end_a_hang():
    # Linux hands a parent's peak RSS on through exec; the runner must not report the 400 MB
    # this interpreter holds as the peak of a small program it starts (half of it leaves room for
    # an emulator's own memory).
    done = subprocess.run([sys.executable, "-c", MEASURE, str(SCRIPT.parent)], capture_output=True, text=True,
                          timeout=120)
    if "PR_SET_CHILD_SUBREAPER" in done.stderr:
        pytest.skip("no child subreaper here (qemu-user)")
    assert done.returncode == 0, done.stderr
    peak, status, timed_out, signal = done.stdout.split()
    assert int(peak) < 200 << 20
    assert (status, timed_out, signal) == ("0", "True", "9")
