"""Configuring a build from source without libyaml or RapidJSON stops with one message that names
what is missing and the packages to install, instead of CMake's own words."""

import os
import shutil
import subprocess
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
INSTALL_LINES = [
    "Debian/Ubuntu: sudo apt-get install g++ pkg-config libyaml-dev rapidjson-dev",
    "Fedora:        sudo dnf install gcc-c++ pkgconf-pkg-config libyaml-devel rapidjson-devel",
    "Homebrew:      brew install pkg-config libyaml rapidjson",
    "README.md",
]
YAML, RAPIDJSON = "libyaml (yaml-0.1.pc)", "RapidJSON (rapidjson/reader.h)"


def configure(tmp_path, hide_yaml, hide_rapidjson):
    empty = tmp_path / "empty"
    empty.mkdir()
    env = {k: v for k, v in os.environ.items() if not k.startswith("PKG_CONFIG")}
    args = ["cmake", "-S", str(ROOT), "-B", str(tmp_path / "build"), "-DSOLVARINTH_MODULE=OFF"]
    if hide_yaml:
        env["PKG_CONFIG_LIBDIR"] = str(empty)
    if hide_rapidjson:
        # Headers are then looked for under the empty directory only.
        args += [f"-DCMAKE_FIND_ROOT_PATH={empty}", "-DCMAKE_FIND_ROOT_PATH_MODE_INCLUDE=ONLY"]
    return subprocess.run(args, env=env, capture_output=True, text=True)


@pytest.mark.skipif(shutil.which("cmake") is None, reason="needs cmake")
@pytest.mark.parametrize("hide_yaml, hide_rapidjson, missing", [
    (False, False, None),
    (True, False, YAML),
    (False, True, RAPIDJSON),
    (True, True, f"{YAML}, {RAPIDJSON}"),
])
def test_configuration_names_the_packages_to_install(tmp_path, hide_yaml, hide_rapidjson, missing):
    result = configure(tmp_path, hide_yaml, hide_rapidjson)
    if missing is None:
        assert result.returncode == 0, result.stderr
        return
    assert result.returncode != 0
    text = " ".join(result.stderr.split())
    assert f"not found: {missing}." in text
    for line in INSTALL_LINES:
        assert " ".join(line.split()) in text
