"""Argument binding and value conversion of train_from_config: every message, exactly."""

import pytest

from conftest import argv_prefix, raises_exactly
from solvarinth_trainer import train_from_config

MISSING_CONFIG = "/nonexistent/config.json"
NAME = "train_from_config()"


def call(*args, **kwargs):
    return train_from_config(*args, **kwargs)


@pytest.mark.parametrize(
    "args, kwargs, message",
    [
        ((), {}, f"{NAME} missing 4 required positional arguments: 'config_path', 'output_dir', 'steps', and 'seed'"),
        (("c",), {}, f"{NAME} missing 3 required positional arguments: 'output_dir', 'steps', and 'seed'"),
        (("c", "o"), {}, f"{NAME} missing 2 required positional arguments: 'steps' and 'seed'"),
        (("c", "o", 1), {}, f"{NAME} missing 1 required positional argument: 'seed'"),
        (("c",), {"steps": 1}, f"{NAME} missing 2 required positional arguments: 'output_dir' and 'seed'"),
        ((), {"base_ckpt": "b", "seed": 1}, f"{NAME} missing 3 required positional arguments: 'config_path', 'output_dir', and 'steps'"),
        ((1, 2, 3, 4, 5, 6), {}, f"{NAME} takes from 4 to 5 positional arguments but 6 were given"),
        ((1,) * 9, {"bogus": 1}, f"{NAME} takes from 4 to 5 positional arguments but 9 were given"),
        ((b"wrong", "o", 1, 2), {"bogus": 1}, f"{NAME} got an unexpected keyword argument 'bogus'"),
        (("c", "o", 1, 2), {"Seed": 1}, f"{NAME} got an unexpected keyword argument 'Seed'"),
        (("c", "o", 1, 2), {"config_path": "x"}, f"{NAME} got multiple values for argument 'config_path'"),
        # A positional None still binds the parameter.
        (("c", "o", 1, 2, None), {"base_ckpt": "x"}, f"{NAME} got multiple values for argument 'base_ckpt'"),
        ((), {"seed": 1, "bogus": 2, "steps": 3}, f"{NAME} got an unexpected keyword argument 'bogus'"),
        # A keyword that cannot be encoded as UTF-8 matches nothing.
        (("c", "o", 1, 2), {"\udcff": 1}, f"{NAME} got an unexpected keyword argument '\udcff'"),
    ],
)
def test_binding_errors(args, kwargs, message):
    raises_exactly(TypeError, message, call, *args, **kwargs)


class Index:
    def __init__(self, value):
        self.value = value

    def __index__(self):
        return self.value


class RaisingIndex:
    def __init__(self, error):
        self.error = error

    def __index__(self):
        raise self.error


class MyTypeError(TypeError):
    pass


class NamedStr(str):
    pass


@pytest.mark.parametrize(
    "args, kwargs, exc, message",
    [
        ((b"c", "o", 1, 2), {}, TypeError, "argument 'config_path': 'bytes' object cannot be converted to 'PyString'"),
        ((None, "o", 1, 2), {}, TypeError, "argument 'config_path': 'NoneType' object cannot be converted to 'PyString'"),
        (("c", 3, 1, 2), {}, TypeError, "argument 'output_dir': 'int' object cannot be converted to 'PyString'"),
        (("c", "o", 1.0, 2), {}, TypeError, "argument 'steps': 'float' object cannot be interpreted as an integer"),
        (("c", "o", "1", 2), {}, TypeError, "argument 'steps': 'str' object cannot be interpreted as an integer"),
        (("c", "o", None, 2), {}, TypeError, "argument 'steps': 'NoneType' object cannot be interpreted as an integer"),
        (("c", "o", 1, 2.5), {}, TypeError, "argument 'seed': 'float' object cannot be interpreted as an integer"),
        (("c", "o", 1, 2, 5), {}, TypeError, "argument 'base_ckpt': 'int' object cannot be converted to 'PyString'"),
        (("c", "o", 1, 2), {"base_ckpt": b"x"}, TypeError, "argument 'base_ckpt': 'bytes' object cannot be converted to 'PyString'"),
        # The qualified name of a nested class is used.
        ((Index(1), "o", 1, 2), {}, TypeError, "argument 'config_path': 'Index' object cannot be converted to 'PyString'"),
        (("c", "o", -1, 2), {}, OverflowError, "can't convert negative int to unsigned"),
        (("c", "o", 2**64, 2), {}, OverflowError, "int too big to convert"),
        (("c", "o", Index(-5), 2), {}, OverflowError, "can't convert negative int to unsigned"),
        (("c", "o", 1, -1), {}, OverflowError, "out of range integral type conversion attempted"),
        (("c", "o", 1, 2**32), {}, OverflowError, "out of range integral type conversion attempted"),
        (("c", "o", 1, 2**63), {}, OverflowError, "Python int too large to convert to C long"),
        (("c", "o", 1, -(2**63) - 1), {}, OverflowError, "Python int too large to convert to C long"),
        (("c", "o", 1, Index(2**32)), {}, OverflowError, "out of range integral type conversion attempted"),
        # Only an exact TypeError gets the argument prefix; other classes pass through unchanged.
        (("c", "o", RaisingIndex(ValueError("from index")), 2), {}, ValueError, "from index"),
        (("c", "o", 1, RaisingIndex(MyTypeError("sub"))), {}, MyTypeError, "sub"),
        (("c", "o", 1, RaisingIndex(TypeError("plain"))), {}, TypeError, "argument 'seed': plain"),
        # Lone surrogates cannot be encoded: the interpreter's own error, unchanged.
        (("\udc80.json", "o", 1, 2), {}, UnicodeEncodeError, None),
        # Conversion runs in parameter order and stops at the first failure.
        ((1, 2, "x", None), {}, TypeError, "argument 'config_path': 'int' object cannot be converted to 'PyString'"),
        ((MISSING_CONFIG, "o", 1.5, 2), {}, TypeError, "argument 'steps': 'float' object cannot be interpreted as an integer"),
    ],
)
def test_conversion_errors(args, kwargs, exc, message):
    raises_exactly(exc, message, call, *args, **kwargs)


def test_rewrapped_type_error_keeps_only_the_cause():
    cause = KeyError("root")
    original = TypeError("inner")
    original.__cause__ = cause
    with pytest.raises(TypeError) as info:
        call("c", "o", RaisingIndex(original), 1)
    assert info.value is not original
    assert str(info.value) == "argument 'steps': inner"
    assert info.value.__cause__ is cause
    assert info.value.args == ("argument 'steps': inner",)


# What reached the trainer shows where each value was bound: config_path and output_dir are both
# valid config files, so two parameters trading places would pass the config check and only the
# command line could tell.

PARAMETERS = ["config_path", "output_dir", "steps", "seed", "base_ckpt"]


@pytest.fixture
def two_configs(write_config):
    return write_config("first.json", "{}"), write_config("second.json", "{}")


def launched(config, out, steps, seed, ckpt=None):
    tail = [] if ckpt is None else ["--base-ckpt", ckpt]
    return argv_prefix() + ["--config", config, "--output-dir", out, "--steps", steps, "--seed", seed, *tail]


@pytest.mark.parametrize(
    "positional, keywords",
    [
        (0, ["seed", "steps", "output_dir", "base_ckpt", "config_path"]),
        (0, ["output_dir", "config_path", "seed", "steps"]),
        (1, ["seed", "base_ckpt", "steps", "output_dir"]),
        (2, ["seed", "steps"]),
        (3, ["base_ckpt", "seed"]),
        (4, ["base_ckpt"]),
        (5, []),
    ],
)
def test_each_argument_reaches_its_own_option(fake_cargo, two_configs, positional, keywords):
    config, out = two_configs
    values = {"config_path": config, "output_dir": out, "steps": 11, "seed": 9, "base_ckpt": "ck"}
    args = [values[name] for name in PARAMETERS[:positional]]
    assert call(*args, **{name: values[name] for name in keywords}) is None
    given = "base_ckpt" in PARAMETERS[:positional] + keywords
    assert fake_cargo.argv() == launched(config, out, "11", "9", "ck" if given else None)


@pytest.mark.parametrize(
    "steps, seed, shown",
    [
        (0, 0, ("0", "0")),
        (2**64 - 1, 2**32 - 1, ("18446744073709551615", "4294967295")),
        (True, False, ("1", "0")),
        (Index(7), Index(9), ("7", "9")),
    ],
)
def test_accepted_numbers_reach_the_command_line(fake_cargo, two_configs, steps, seed, shown):
    config, out = two_configs
    assert call(config, out, steps, seed) is None
    assert fake_cargo.argv() == launched(config, out, *shown)


def test_str_subclasses_pass_as_their_text(fake_cargo, two_configs):
    config, out = two_configs
    assert call(NamedStr(config), NamedStr(out), 1, 2, base_ckpt=NamedStr("b")) is None
    assert fake_cargo.argv() == launched(config, out, "1", "2", "b")
