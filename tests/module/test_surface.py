"""The importable module: its attributes, re-import, reload and the sub-interpreter refusal."""

import inspect
import subprocess
import sys
import textwrap
import tomllib
from pathlib import Path

import pytest

import solvarinth_trainer
from conftest import run_python

# The version is written only in pyproject.toml; the build hands it to the module.
with open(Path(__file__).resolve().parents[2] / "pyproject.toml", "rb") as _f:
    PROJECT_VERSION = tomllib.load(_f)["project"]["version"]

DOC = ("Solvarinth Trainer \u2014 Rust-native trainer with FF+BP cadencing and orthogonal "
       "gradient projections.")
SIGNATURE = "(config_path, output_dir, steps, seed, base_ckpt=None)"
SUBINTERPRETER_PREFIX = "PyO3 modules do not yet support subinterpreters, see "


def test_public_attributes():
    m = solvarinth_trainer
    assert m.__all__ == ["train_from_config", "TrainerConfig", "__version__", "__doc__"]
    assert m.__version__ == PROJECT_VERSION
    assert m.__doc__ == DOC
    assert m.__file__.endswith(".so")
    assert m.__name__ == "solvarinth_trainer"


def test_function_object():
    f = solvarinth_trainer.train_from_config
    assert type(f).__name__ == "builtin_function_or_method"
    assert f.__self__ is solvarinth_trainer
    assert f.__module__ == solvarinth_trainer.__name__
    assert f.__text_signature__ == SIGNATURE
    assert str(inspect.signature(f)) == SIGNATURE
    assert f.__doc__ == ("Main Python entry point: train_from_config\n"
                         "Loads a config file (JSON or YAML), initializes trainer, runs training loop.")


def test_reimport_and_reload_hand_out_the_same_module():
    # In a fresh interpreter, so that removing the module from sys.modules cannot disturb others.
    code = textwrap.dedent("""
        import importlib, sys
        import solvarinth_trainer as first
        first.extra = 42
        first.__version__ = "changed"
        del sys.modules["solvarinth_trainer"]
        import solvarinth_trainer as second
        third = importlib.reload(second)
        assert first is second is third, "module object was rebuilt"
        assert third.extra == 42 and third.__version__ == "changed"
        assert third.__all__ == ["train_from_config", "TrainerConfig", "__version__", "__doc__"]
        print("ok")
    """)
    result = run_python(code)
    assert result.returncode == 0, result.stderr
    assert result.stdout.strip() == "ok"


def test_star_import_binds_the_four_names():
    namespace = {"__doc__": "mine"}
    exec("from solvarinth_trainer import *", namespace)
    assert namespace["__doc__"] == DOC
    assert namespace["train_from_config"] is solvarinth_trainer.train_from_config
    assert namespace["TrainerConfig"] is solvarinth_trainer.TrainerConfig
    assert namespace["__version__"] == PROJECT_VERSION


# Runs in a child: imports in the main interpreter, then tries again in a legacy (shared-GIL)
# sub-interpreter, which writes what happened to the file named by argv[1].
SUBINTERPRETER = """
import sys, _testcapi
import solvarinth_trainer
out = sys.argv[1]
code = "\\n".join([
    "try:",
    "    import solvarinth_trainer",
    "except ImportError as e:",
    f"    open({out!r}, 'w').write('ImportError:' + str(e))",
    "else:",
    f"    open({out!r}, 'w').write('imported')",
])
_testcapi.run_in_subinterp(code)
assert solvarinth_trainer.__version__ == sys.argv[2]
print(open(out).read())
"""


def test_subinterpreter_is_refused(tmp_path):
    pytest.importorskip("_testcapi")
    result = subprocess.run([sys.executable, "-c", SUBINTERPRETER, str(tmp_path / "out.txt"), PROJECT_VERSION],
                            capture_output=True, text=True, timeout=60)
    assert result.returncode == 0, result.stderr
    out = result.stdout.strip()
    assert out.startswith("ImportError:" + SUBINTERPRETER_PREFIX), out
    assert out.endswith("https://github.com/PyO3/pyo3/issues/576")


def test_first_importer_owns_the_module():
    """A sub-interpreter that imports first owns the module, so the main interpreter is refused.
    From 3.13 on, CPython runs a single-phase init in the main interpreter first, so there the main
    interpreter owns it and the sub-interpreter is the one refused."""
    pytest.importorskip("_testcapi")
    code = textwrap.dedent("""
        import _testcapi
        print("sub", _testcapi.run_in_subinterp("import solvarinth_trainer"))
        try:
            import solvarinth_trainer
        except ImportError as e:
            print("main refused:", e)
        else:
            print("main imported")
    """)
    result = run_python(code)
    assert result.returncode == 0, result.stderr
    if sys.version_info >= (3, 13):
        assert result.stdout.splitlines() == ["sub -1", "main imported"]
        assert SUBINTERPRETER_PREFIX in result.stderr
    else:
        lines = result.stdout.splitlines()
        assert lines[0] == "sub 0"
        assert lines[1].startswith("main refused: " + SUBINTERPRETER_PREFIX)
