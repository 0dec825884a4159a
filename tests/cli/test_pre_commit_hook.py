"""The repository's pre-commit hook, installed and run by the real pre-commit from this checkout.

Costly: each try-repo run builds the package with pip into a fresh hook environment (about 50 s
on a quiet two-core machine, most of it pip fetching the build backend), and try-repo keeps no
environment between runs, so this file takes about two such builds."""

import os
import shutil
import subprocess
import sys
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
pytestmark = pytest.mark.builds_checkout


def git(*args, cwd):
    subprocess.run(["git", *args], cwd=cwd, check=True, capture_output=True)


@pytest.fixture
def scratch_repo(tmp_path):
    if shutil.which("git") is None or not (ROOT / ".git").exists():
        pytest.skip("needs git and a git checkout of this project")
    repo = tmp_path / "scratch"
    repo.mkdir()
    git("init", "-q", cwd=repo)
    (repo / "good.yaml").write_text("lr: 0.1\nlayers: [64, 64]\n")
    (repo / "conf").mkdir()
    (repo / "conf" / "bad.json").write_text('{"lr": 0.1} x')
    (repo / "notes.txt").write_text("{} x")  # neither JSON nor YAML: the hook never sees it
    git("add", ".", cwd=repo)
    return repo


def try_repo(repo, *files):
    env = dict(os.environ, CMAKE_BUILD_PARALLEL_LEVEL="2", PRE_COMMIT_COLOR="never")
    return subprocess.run([sys.executable, "-m", "pre_commit", "try-repo", str(ROOT), "solvarinth-check",
                           "--files", *files], cwd=repo, env=env, capture_output=True, text=True, timeout=900)


def test_hook_fails_a_bad_config_with_its_message_and_passes_a_good_one(scratch_repo):
    result = try_repo(scratch_repo, "good.yaml", "conf/bad.json", "notes.txt")
    assert result.returncode == 1, result.stdout + result.stderr
    reported = [line for line in result.stdout.splitlines() if line.startswith(("good", "conf", "notes"))]
    assert reported == ["conf/bad.json:1:13: Invalid JSON config: trailing characters at line 1 column 13"]
    assert "Failed" in result.stdout

    result = try_repo(scratch_repo, "good.yaml", "notes.txt")
    assert result.returncode == 0, result.stdout + result.stderr
    assert "Passed" in result.stdout
