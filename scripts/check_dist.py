"""Builds the sdist with `python -m build`, checks it carries what a build from source needs,
installs it into a fresh venv (compiling the libyaml and RapidJSON it carries) and checks
that the module and its stubs arrive there. The portable wheels have their own script,
build_wheels.sh. Usage: check_dist.py REPO"""

import subprocess
import sys
import tarfile
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
        run(sys.executable, "-m", "build", "--sdist", "--outdir", dist, repo)
        sdists = list(dist.glob("*.tar.gz"))
        assert len(sdists) == 1, f"expected one sdist, got {list(dist.iterdir())}"
        with tarfile.open(sdists[0]) as tar:
            members = {name.split("/", 1)[1] for name in tar.getnames() if "/" in name}
        for needed in ("LICENSE", "CMakeLists.txt", "src/common/escape_table.inc", "stubs/solvarinth_trainer-stubs/__init__.pyi",
                       "cmake/rapidjson_pin.cmake", "scripts/build_wheels.sh", "third_party/libyaml/src/scanner.c",
                       "cmake/libyaml_patch.cmake", "third_party/patches/libyaml-0.2.5-tag-directive-index.patch",
                       "third_party/rapidjson/include/rapidjson/reader.h"):
            assert needed in members, f"the sdist lacks {needed}"
        env = Path(tmp) / "venv"
        venv.create(env, with_pip=True)
        python = env / "bin" / "python"
        run(python, "-m", "pip", "install", "-q", sdists[0])
        check = (
            "import pathlib, solvarinth_trainer as m;"
            f"assert m.__version__ == {version!r};"
            "assert m.__file__.endswith('.so');"
            "stubs = pathlib.Path(m.__file__).parent / 'solvarinth_trainer-stubs' / '__init__.pyi';"
            "assert stubs.is_file(), stubs;"
            "print('sdist check: 1 passed, 0 failed')"
        )
        run(python, "-c", check, cwd=tmp)
        # The wheel also carries the command, into the environment's bin/.
        shown = subprocess.run([env / "bin" / "solvarinth-check", "--version"], capture_output=True, text=True,
                               check=True).stdout
        assert shown == f"solvarinth-check {version}\n", shown
    return 0


if __name__ == "__main__":
    sys.exit(main(Path(sys.argv[1]).resolve()))
