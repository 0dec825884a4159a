"""TrainerConfig: construction, attribute access, repr and the class surface."""

import ctypes
import gc
import inspect
import re
import weakref

import pytest
from hypothesis import given, strategies as st

from conftest import raises_exactly, rss_kib
from solvarinth_trainer import TrainerConfig

FIELDS = ["config_path", "output_dir", "steps", "seed", "base_ckpt"]
OOR = "out of range integral type conversion attempted"
DOC = ("Python-facing configuration struct for training.\n"
       "Serializable to/from JSON for easy YAML \u2192 JSON conversion in Python.")
DOCUMENTED = "TrainerConfig(config_path='runs/a.yaml', output_dir='out', steps=1000, seed=7, base_ckpt="


def make(base_ckpt=None):
    return TrainerConfig("runs/a.yaml", "out", 1000, 7, base_ckpt)


def values(cfg):
    return [getattr(cfg, name) for name in FIELDS]


def test_class_surface():
    assert (TrainerConfig.__name__, TrainerConfig.__qualname__, TrainerConfig.__module__) == (
        "TrainerConfig", "TrainerConfig", "builtins")
    assert TrainerConfig.__doc__ == DOC
    assert str(inspect.signature(TrainerConfig)) == "(config_path, output_dir, steps, seed, base_ckpt=None)"
    assert [getattr(TrainerConfig, name).__doc__ for name in FIELDS] == [""] * 5
    cfg = make()
    assert not gc.is_tracked(cfg)
    with pytest.raises(TypeError):
        class Sub(TrainerConfig):
            pass
    with pytest.raises(TypeError):
        weakref.ref(cfg)
    with pytest.raises(AttributeError):
        cfg.__dict__
    with pytest.raises(AttributeError):
        cfg.bogus = 1


def test_identity_semantics_and_init_is_a_no_op():
    a, b = make(), make()
    assert a != b and a == a and hash(a) != hash(b)
    assert str(a) == repr(a)
    a.__init__("x", "y", 1, 2, base_ckpt="z", bogus=3)
    assert values(a) == ["runs/a.yaml", "out", 1000, 7, None]


class Text(str):
    pass


@pytest.mark.parametrize("args, kwargs, expected", [
    (("runs/a.yaml", "out", 1000, 7), {}, DOCUMENTED + "None)"),
    (("runs/a.yaml", "out", 1000, 7, None), {}, DOCUMENTED + "None)"),
    ((), dict(seed=7, steps=1000, output_dir="out", config_path="runs/a.yaml", base_ckpt="ck/last.pt"),
     DOCUMENTED + 'Some("ck/last.pt"))'),
    (("a\n\"'\\", Text("o"), True, 4294967295), {},
     "TrainerConfig(config_path='a\n\"'\\', output_dir='o', steps=1, seed=4294967295, base_ckpt=None)"),
    (("", "", 2**64 - 1, 0, ""), {},
     "TrainerConfig(config_path='', output_dir='', steps=18446744073709551615, seed=0, base_ckpt=Some(\"\"))"),
])
def test_repr(args, kwargs, expected):
    cfg = TrainerConfig(*args, **kwargs)
    assert repr(cfg) == expected
    assert all(type(v) in (str, int, type(None)) for v in values(cfg))


@pytest.mark.parametrize("text, shown", [
    ("l\nf", r'"l\nf"'), ("q\"'", r'''"q\"'"'''), ("\t\r\\", r'"\t\r\\"'), ("\xe9", '"\xe9"'),
    ("e\u0301", r'"e\u{301}"'), ("a\0b", r'"a\0b"'), ("\xa0 ", r'"\u{a0} "'),
    ("\u2028\ue000\x7f", r'"\u{2028}\u{e000}\u{7f}"'),
])
def test_base_ckpt_is_quoted_but_paths_are_raw(text, shown):
    cfg = TrainerConfig(text, text, 1, 2, text)
    expected = f"TrainerConfig(config_path='{text}', output_dir='{text}', steps=1, seed=2, base_ckpt=Some({shown}))"
    assert repr(cfg) == expected
    assert cfg.base_ckpt == text


@pytest.mark.parametrize("args, kwargs, exc, message", [
    ((), {}, TypeError, "TrainerConfig.__new__() missing 4 required positional arguments: "
                        "'config_path', 'output_dir', 'steps', and 'seed'"),
    (("a", "b", 1, 2, None, 6), {}, TypeError,
     "TrainerConfig.__new__() takes from 4 to 5 positional arguments but 6 were given"),
    (("a", "b", 1, 2), {"bogus": 1}, TypeError, "TrainerConfig.__new__() got an unexpected keyword argument 'bogus'"),
    (("a", "b", 1, 2), {"config_path": "a"}, TypeError,
     "TrainerConfig.__new__() got multiple values for argument 'config_path'"),
    ((1, "b", 1.5, 2), {}, TypeError, "argument 'config_path': 'int' object cannot be converted to 'PyString'"),
    (("a", None, 1, 2), {}, TypeError, "argument 'output_dir': 'NoneType' object cannot be converted to 'PyString'"),
    (("a", "b", None, 2), {}, TypeError, "argument 'steps': 'NoneType' object cannot be interpreted as an integer"),
    (("a", "b", 1), {"seed": None}, TypeError,
     "argument 'seed': 'NoneType' object cannot be interpreted as an integer"),
    (("a", "b", 1, 2, b"c"), {}, TypeError, "argument 'base_ckpt': 'bytes' object cannot be converted to 'PyString'"),
    (("a", "b", -1, 2), {}, OverflowError, "can't convert negative int to unsigned"),
    (("a", "b", 2**64, 2), {}, OverflowError, "int too big to convert"),
    (("a", "b", 1, -1), {}, OverflowError, OOR),
    (("a", "b", 1, 2**32), {}, OverflowError, OOR),
    (("a", "b", 1, 2**63), {}, OverflowError, "Python int too large to convert to C long"),
    (("a", "b", 1, 2, "\ud800"), {}, UnicodeEncodeError, None),
])
def test_construction_errors(args, kwargs, exc, message):
    raises_exactly(exc, message, TrainerConfig, *args, **kwargs)


@pytest.mark.parametrize("field, value, exc, message", [
    ("config_path", None, TypeError, "argument 'config_path': 'NoneType' object cannot be converted to 'PyString'"),
    ("output_dir", b"x", TypeError, "argument 'output_dir': 'bytes' object cannot be converted to 'PyString'"),
    ("steps", None, TypeError, "argument 'steps': 'NoneType' object cannot be interpreted as an integer"),
    ("steps", -1, OverflowError, "can't convert negative int to unsigned"),
    ("seed", 1.5, TypeError, "argument 'seed': 'float' object cannot be interpreted as an integer"),
    ("seed", 2**32, OverflowError, OOR),
    ("seed", -1, OverflowError, OOR),
    ("base_ckpt", 5, TypeError, "argument 'base_ckpt': 'int' object cannot be converted to 'PyString'"),
    ("base_ckpt", "\udfff", UnicodeEncodeError, None),
])
def test_failed_assignment_keeps_the_field(field, value, exc, message):
    cfg = make("ck")
    before = values(cfg)
    raises_exactly(exc, message, setattr, cfg, field, value)
    assert values(cfg) == before


@pytest.mark.parametrize("field, value, read_back", [
    ("config_path", Text("p"), "p"), ("output_dir", "", ""), ("steps", 2**64 - 1, 2**64 - 1), ("steps", True, 1),
    ("seed", 4294967295, 4294967295), ("seed", 0, 0), ("base_ckpt", "c", "c"), ("base_ckpt", None, None),
])
def test_assignment(field, value, read_back):
    cfg = make("ck")
    setattr(cfg, field, value)
    assert getattr(cfg, field) == read_back and type(getattr(cfg, field)) is type(read_back)


@pytest.mark.parametrize("field", FIELDS)
def test_deletion_is_refused(field):
    cfg = make("ck")
    with pytest.raises(AttributeError, match="^can't delete attribute$"):
        delattr(cfg, field)
    assert values(cfg) == ["runs/a.yaml", "out", 1000, 7, "ck"]


def test_conversion_runs_before_the_write_access():
    cfg = make()

    class Reads:
        def __index__(self):
            return cfg.steps + len(repr(cfg))

    cfg.steps = Reads()
    assert cfg.steps == 1000 + len(repr(make()))


def borrow_flag(cfg):
    # The flag is the instance's last word; set it by hand to stand for an access in progress.
    return ctypes.c_ssize_t.from_address(id(cfg) + TrainerConfig.__basicsize__ - ctypes.sizeof(ctypes.c_ssize_t))


@pytest.mark.parametrize("held, read_error", [(-1, "Already mutably borrowed"), (2, None)])
def test_borrow_flag(held, read_error):
    cfg = make("ck")
    flag = borrow_flag(cfg)
    assert flag.value == 0
    flag.value = held
    try:
        for op in [*(lambda n=n: getattr(cfg, n) for n in FIELDS), lambda: repr(cfg)]:
            if read_error:
                with pytest.raises(RuntimeError, match=f"^{read_error}$"):
                    op()
            else:
                op()
        for field, good, bad in [("steps", 5, 1.5), ("base_ckpt", None, 5), ("config_path", "x", 1)]:
            with pytest.raises(RuntimeError, match="^Already borrowed$"):
                setattr(cfg, field, good)
            with pytest.raises(TypeError, match=f"^argument '{field}'"):
                setattr(cfg, field, bad)
        assert flag.value == held
    finally:
        flag.value = 0
    assert values(cfg) == ["runs/a.yaml", "out", 1000, 7, "ck"]


def unquote(shown):
    """Decodes the double-quoted form, refusing anything outside its escape grammar."""
    token = re.compile(r'\\([0trn\\"])|\\u\{([0-9a-f]+)\}|([^\\"])', re.S)
    assert shown[0] == shown[-1] == '"'
    out, pos = [], 1
    while pos < len(shown) - 1:
        m = token.match(shown, pos, len(shown) - 1)
        assert m, f"bad escape at {pos} in {shown!r}"
        simple, hexa, raw = m.groups()
        assert hexa is None or not hexa.startswith("0")
        out.append({"0": "\0", "t": "\t", "r": "\r", "n": "\n"}.get(simple, simple) if simple else
                   chr(int(hexa, 16)) if hexa else raw)
        pos = m.end()
    return "".join(out)


@given(st.text())
def test_quoted_form_round_trips(text):
    shown = repr(TrainerConfig("", "", 0, 0, text)).partition("base_ckpt=Some(")[2][:-2]
    assert unquote(shown) == text
    assert not re.search("[\0-\x1f\x7f-\x9f\xa0\u2028\u2029\ue000-\uf8ff]", shown)


def test_no_leak_in_construction_and_assignment():
    big = "x" * 4096

    def churn(n):
        for i in range(n):
            cfg = TrainerConfig(big, big, i, 1, big)
            cfg.base_ckpt = big + "y"
            cfg.config_path = big
            with pytest.raises(TypeError):
                cfg.output_dir = 1
            with pytest.raises(TypeError):
                TrainerConfig(big, big, 1, 2, 3)
            with pytest.raises(TypeError):
                TrainerConfig(big, big, 1, 2, bogus=3)
            with pytest.raises(OverflowError):
                cfg.seed = -1
            with pytest.raises(AttributeError):
                del cfg.base_ckpt
            repr(cfg), str(cfg)
            cfg.config_path, cfg.output_dir, cfg.steps, cfg.seed, cfg.base_ckpt
            cfg.base_ckpt = None

    churn(2000)
    before = rss_kib()
    churn(10000)
    assert rss_kib() - before < 2048
