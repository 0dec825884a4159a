"""The YAML check as it streams: failures decided only once the document's event count is final,
keys judged a step late still winning in walk order, key tables of closed mappings released
and their frames reused, and memory that stays near the size of the text."""

import pytest

from conftest import UNDER_ASAN, raises_exactly, run_python

PREFIX = "Invalid YAML config: "


def rejected(train, path):
    return str(raises_exactly(ValueError, None, train, path))


def expansions_then(middle, padding):
    """60,500 alias expansions over 511 events plus those of middle (6 of them) and padding: the
    expansion limit, 100 times the event count, is met by 94 padding events and missed by 93."""
    return "[&a x, &b [" + "*a, " * 199 + "*a], " + "*b, " * 300 + middle + ", y" * padding + "]"


@pytest.mark.parametrize("padding, message", [
    (94, '.[302]: duplicate entry with key "k" at line 1 column 2013'),
    (93, "repetition limit exceeded"),
])
def test_events_after_a_failure_still_raise_the_expansion_limit(write_config, train, fake_cargo, padding, message):
    # The duplicate key comes after every alias; whether the walk reaches it depends on the
    # events that follow it.
    text = expansions_then("{k: 1, k: 2}", padding)
    assert rejected(train, write_config("c.yaml", text)) == PREFIX + message


@pytest.mark.parametrize("padding, accepted", [(94, True), (93, False)])
def test_expansion_limit_counts_the_whole_document(write_config, train, fake_cargo, padding, accepted):
    text = expansions_then("{k: 1, j: 2}", padding)
    if accepted:
        assert train(write_config("c.yaml", text)) is None
    else:
        assert rejected(train, write_config("c.yaml", text)) == PREFIX + "repetition limit exceeded"


def keys(n, prefix="k"):
    return ", ".join(f"{prefix}{i}: {i}" for i in range(n))


# Past the first few keys, a key is compared only when the next event arrives; it must still
# fail before anything that follows it.
@pytest.mark.parametrize("value", ["!!int x", "*nope", "! x", "[" * 200, "[1", "{a: b: c}"])
def test_a_repeated_key_fails_before_its_value(write_config, train, fake_cargo, value):
    text = "x: {" + keys(20) + ", k3: " + value
    assert rejected(train, write_config("c.yaml", text)) == PREFIX + 'x: duplicate entry with key "k3" at line 1 column 4'


# Several keys may wait together while plain values arrive; the oldest repeat still wins, and
# keys that wait may repeat each other, also when the table grows under them.
@pytest.mark.parametrize("between", [0, 1, 7, 8, 9, 15, 16, 17, 40])
@pytest.mark.parametrize("value", ["!!int x", "*nope", "[1", "{k5: 1, k5: 2}"])
def test_a_repeated_key_fails_before_later_failures(write_config, train, fake_cargo, between, value):
    text = "x: {" + keys(20) + ", k3: a, " + keys(between, "j") + (", " if between else "") + "z: " + value
    assert rejected(train, write_config("c.yaml", text)) == PREFIX + 'x: duplicate entry with key "k3" at line 1 column 4'


@pytest.mark.parametrize("count", [9, 15, 16, 17, 30, 31, 32, 33, 100])
@pytest.mark.parametrize("gap", [1, 7, 8, 9, 15, 16, 17])
def test_waiting_keys_repeat_each_other(write_config, train, fake_cargo, count, gap):
    text = "{" + keys(count) + ", j: 1, " + keys(gap - 1, "i") + (", " if gap > 1 else "") + "j: 2, j: 3}"
    assert rejected(train, write_config("c.yaml", text)) == PREFIX + 'duplicate entry with key "j"'


@pytest.mark.parametrize("count", [3, 8, 9, 20, 3000])
def test_sibling_mappings_do_not_share_keys(write_config, train, fake_cargo, count):
    # Each mapping's keys are released when it closes; the next one at that depth starts empty.
    text = "- {" + keys(count) + "}\n- {" + keys(count) + "}\n- [{" + keys(count) + "}]\n"
    assert train(write_config("c.yaml", text)) is None
    repeated = text + "- {" + keys(count) + f", k{count - 1}: x}}\n"
    assert rejected(train, write_config("c.yaml", repeated)) == \
        PREFIX + f'.[3]: duplicate entry with key "k{count - 1}" at line 4 column 3'


@pytest.mark.parametrize("count", [2, 20])
def test_alias_keys_compare_with_released_scalars(write_config, train, fake_cargo, count):
    text = "{&a k0: 0, " + ", ".join(f"k{i}: {i}" for i in range(1, count)) + ", *a : x}"
    assert rejected(train, write_config("c.yaml", text)) == PREFIX + 'duplicate entry with key "k0"'
    text = "{&a [k0]: 0, " + keys(count) + ", [k0]: x}"
    assert rejected(train, write_config("c.yaml", text)) == PREFIX + "duplicate entry in YAML map"


@pytest.mark.parametrize("count", [2, 20])
def test_numeric_keys_past_the_first_few(write_config, train, fake_cargo, count):
    text = "{" + ", ".join(f"{i}: a" for i in range(count)) + ", -0.0: b, 0x1: c}"
    assert rejected(train, write_config("c.yaml", text)) == PREFIX + "duplicate entry with key 1"
    text = "{" + ", ".join(f"{i}.5: a" for i in range(count)) + ", -0.0: b, 0.0: c}"
    assert rejected(train, write_config("c.yaml", text)) == PREFIX + "duplicate entry with key -0.0"


@pytest.mark.skipif(UNDER_ASAN, reason="RSS means nothing under AddressSanitizer")
@pytest.mark.parametrize("name, text, factor", [
    ("list.yaml", "[" + "1," * 5_000_000 + "1]", 0.3),
    ("keys.yaml", "".join(f"k{i}: {i}\n" for i in range(1_000_000)), 2.0),
])
def test_memory_stays_near_the_text_size(write_config, fake_cargo, name, text, factor):
    """Nothing but the keys of open mappings is kept: growth above the text's own copy."""
    path = write_config(name, text)
    code = f"""
import resource, solvarinth_trainer
before = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
try:
    solvarinth_trainer.train_from_config({str(path)!r}, "out", 1, 1)
except ValueError as error:
    print(error)
print((resource.getrusage(resource.RUSAGE_SELF).ru_maxrss - before) * 1024)
"""
    result = run_python(code)
    assert result.returncode == 0, result.stderr[-2000:]
    grown = int(result.stdout.splitlines()[-1])
    assert grown < (1 + factor) * len(text), (grown, len(text))
