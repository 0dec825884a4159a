"""The default build from source needs neither libyaml nor RapidJSON installed (it uses the copies
in third_party/). Built against the system's (SOLVARINTH_SYSTEM_LIBS), a missing one stops
configuration with one message that names what is missing and the packages to install, instead
of CMake's own words, and a libyaml other than the tested one draws a warning."""

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
needs_cmake = pytest.mark.skipif(shutil.which("cmake") is None, reason="needs cmake")


def configure(tmp_path, system_libs, hide_yaml=False, hide_rapidjson=False, pkg_config_dir=None):
    empty = tmp_path / "empty"
    empty.mkdir()
    env = {k: v for k, v in os.environ.items() if not k.startswith("PKG_CONFIG")}
    args = ["cmake", "-S", str(ROOT), "-B", str(tmp_path / "build"), "-DSOLVARINTH_MODULE=OFF",
            f"-DSOLVARINTH_SYSTEM_LIBS={'ON' if system_libs else 'OFF'}"]
    if hide_yaml or pkg_config_dir:
        env["PKG_CONFIG_LIBDIR"] = str(pkg_config_dir or empty)
    if hide_rapidjson:
        # Headers are then looked for under the empty directory only.
        args += [f"-DCMAKE_FIND_ROOT_PATH={empty}", "-DCMAKE_FIND_ROOT_PATH_MODE_INCLUDE=ONLY"]
    return subprocess.run(args, env=env, capture_output=True, text=True)


@needs_cmake
@pytest.mark.parametrize("system_libs, hide_yaml, hide_rapidjson, missing", [
    (False, True, True, None),
    (True, False, False, None),
    (True, True, False, YAML),
    (True, False, True, RAPIDJSON),
    (True, True, True, f"{YAML}, {RAPIDJSON}"),
])
def test_configuration_names_the_packages_to_install(tmp_path, system_libs, hide_yaml, hide_rapidjson, missing):
    result = configure(tmp_path, system_libs, hide_yaml, hide_rapidjson)
    if missing is None:
        assert result.returncode == 0, result.stderr
        return
    assert result.returncode != 0
    text = " ".join(result.stderr.split())
    assert f"not found: {missing}." in text
    for line in INSTALL_LINES:
        assert " ".join(line.split()) in text


@needs_cmake
def test_another_system_libyaml_is_warned_about(tmp_path):
    pc_dir = tmp_path / "pc"
    pc_dir.mkdir()
    (pc_dir / "yaml-0.1.pc").write_text("Name: LibYAML\nDescription: older\nVersion: 0.2.2\nCflags:\nLibs: -lyaml\n")
    result = configure(tmp_path, True, pkg_config_dir=pc_dir)
    assert result.returncode == 0, result.stderr
    assert "The system's libyaml is 0.2.2, not 0.2.5" in " ".join(result.stderr.split())
