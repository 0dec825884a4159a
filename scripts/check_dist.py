"""Builds the wheel and sdist with `python -m build`, installs the wheel into a fresh venv and
checks that the module and its stubs arrive there. Usage: check_dist.py REPO"""

import subprocess
import sys
import tempfile
import tomllib
import venv
from pathlib import Path


def run(*args, **kwargs):
    print("+", " ".join(map(str, args)), flush=True)
    subprocess.run([str(a) for a in args], check=True, **kwargs)


def main(repo: Path) -> int:
    version = tomllib.loads((repo / "pyproject.toml").read_text())["project"]["version"]
    run(sys.executable, "-m", "pip", "install", "-q", "build")
    with tempfile.TemporaryDirectory() as tmp:
        dist = Path(tmp) / "dist"
        run(sys.executable, "-m", "build", "--outdir", dist, repo)
        wheels = list(dist.glob("*.whl"))
        sdists = list(dist.glob("*.tar.gz"))
        assert len(wheels) == 1 and len(sdists) == 1, f"expected one wheel and one sdist, got {list(dist.iterdir())}"
        env = Path(tmp) / "venv"
        venv.create(env, with_pip=True)
        python = env / "bin" / "python"
        run(python, "-m", "pip", "install", "-q", wheels[0])
        check = (
            "import pathlib, solvarinth_trainer as m;"
            f"assert m.__version__ == {version!r};"
            "assert m.__file__.endswith('.so');"
            "stubs = pathlib.Path(m.__file__).parent / 'solvarinth_trainer-stubs' / '__init__.pyi';"
            "assert stubs.is_file(), stubs;"
            "print('wheel check: 1 passed, 0 failed')"
        )
        run(python, "-c", check, cwd=tmp)
        # The wheel also carries the command, into the environment's bin/.
        shown = subprocess.run([env / "bin" / "solvarinth-check", "--version"], capture_output=True, text=True,
                               check=True).stdout
        assert shown == f"solvarinth-check {version}\n", shown
    return 0


if __name__ == "__main__":
    sys.exit(main(Path(sys.argv[1]).resolve()))
