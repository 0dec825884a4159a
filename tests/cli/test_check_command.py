"""solvarinth-check against the module: the same verdict and message on every config case of the
suite's own tables, both output formats, exit statuses, odd paths and a closed output pipe."""

import os
import re
import signal
import subprocess
import sys
from pathlib import Path

import pytest
from hypothesis import HealthCheck, given, settings

import solvarinth_trainer

# The config tables live beside their tests as module constants; they are imported from there,
# not copied, so a case added to a table is checked here too.
CONFIG_TESTS = Path(__file__).resolve().parents[1] / "config"
sys.path[:0] = [str(CONFIG_TESTS), str(CONFIG_TESTS / "json"), str(CONFIG_TESTS / "yaml")]
import test_files  # noqa: E402
import test_json  # noqa: E402
import test_memory  # noqa: E402
import test_yaml  # noqa: E402

POSITION = re.compile(r"line (\d+) column (\d+)")


def config_cases():
    """(file name, content) for every config case of the suite's JSON, YAML and file tables."""
    cases = [("c.json", text) for text in test_json.ACCEPTED]
    cases += [("c.json", text) for text, _ in test_json.REJECTED]
    cases += [("c.yaml", text) for text in test_yaml.ACCEPTED]
    cases += [("c.yaml", text) for text, _ in test_yaml.REJECTED]
    cases += [("c.yaml", text) for _, text, _ in test_yaml.HOSTILE]
    cases += [(name, content) for name, content, _, _ in test_files.READ_AND_SUFFIX_FAILURES]
    cases += [(name, "{}" if name.endswith(".json") else "a: 1") for name in test_files.ACCEPTED_NAMES]
    return cases


CASES = config_cases()


@pytest.fixture(scope="session")
def check_command():
    """The command pip installed beside the interpreter running the tests."""
    path = Path(sys.executable).parent / "solvarinth-check"
    if not path.exists():
        pytest.fail(f"solvarinth-check is not installed beside {sys.executable}")
    return str(path)


def run(command, *args, **kwargs):
    return subprocess.run([command, *args], capture_output=True, timeout=120, **kwargs)


def module_verdict(path):
    """None when train_from_config would launch, else (class, message)."""
    try:
        solvarinth_trainer.train_from_config(path, "out", 1, 1)
    except (OSError, ValueError) as error:
        return type(error), str(error)
    return None


def expected_line(path, message):
    found = POSITION.search(message)
    where = f"{path}:{found[1]}:{found[2]}" if found else path
    return f"{where}: {message}\n".encode()


def agree(command, path):
    verdict = module_verdict(path)
    result = run(command, path)
    assert result.stderr == b""
    if verdict is None:
        assert (result.returncode, result.stdout) == (0, b"")
    else:
        assert (result.returncode, result.stdout) == (1, expected_line(path, verdict[1]))


@pytest.mark.parametrize("name, content", CASES, ids=[f"{i}-{n}" for i, (n, _) in enumerate(CASES)])
def test_agrees_with_the_module_on_every_table_case(check_command, write_config, fake_cargo, name, content):
    agree(check_command, write_config(name, content))


@settings(max_examples=100, deadline=None, suppress_health_check=[HealthCheck.function_scoped_fixture])
@given(text=test_yaml.flow_documents())
def test_agrees_with_the_module_on_generated_documents(check_command, write_config, fake_cargo, text):
    agree(check_command, write_config("g.yaml", text))


@pytest.mark.parametrize("make", test_files.NOT_FOUND_PATHS,
                         ids=[f"missing-{i}" for i in range(len(test_files.NOT_FOUND_PATHS))])
def test_agrees_on_paths_that_cannot_be_found(check_command, tmp_path, fake_cargo, make):
    (tmp_path / "file.json").write_text("{}")
    path = make(tmp_path)
    if "\0" in path:
        pytest.skip("an argument vector cannot hold a NUL byte")
    agree(check_command, path)


def test_a_directory_and_many_paths_in_argument_order(check_command, tmp_path, fake_cargo, write_config):
    (tmp_path / "dir.json").mkdir()
    paths = [write_config("good.yaml", "a: 1"), str(tmp_path / "dir.json"), write_config("dup.yaml", "a: 1\na: 2"),
             str(tmp_path / "gone.yml"), write_config("ok.json", "[]"), write_config("bad.json", "{} x")]
    expected = b"".join(expected_line(p, v[1]) for p in paths if (v := module_verdict(p)))
    result = run(check_command, *paths)
    assert (result.returncode, result.stdout, result.stderr) == (1, expected, b"")
    assert expected.count(b"\n") == 4


# Each failure printed in both formats. GitHub's runner reads '%', CR and LF as syntax in the
# message, and ':' and ',' too in the file property.
@pytest.mark.parametrize(
    "name, content, text, github",
    [
        ("d.yaml", "x: {a: 1, a: 2}",
         '{p}:1:4: Invalid YAML config: x: duplicate entry with key "a" at line 1 column 4',
         '::error file={p},line=1,col=4::Invalid YAML config: x: duplicate entry with key "a" at line 1 column 4'),
        ("top.yaml", "a: 1\na: 2",
         '{p}: Invalid YAML config: duplicate entry with key "a"',
         '::error file={p}::Invalid YAML config: duplicate entry with key "a"'),
        ("p.yaml", "x: [1, 2",
         "{p}:2:1: Invalid YAML config: did not find expected ',' or ']' at line 2 column 1, while parsing a flow "
         "sequence at line 1 column 4",
         "::error file={p},line=2,col=1::Invalid YAML config: did not find expected ',' or ']' at line 2 column 1, "
         "while parsing a flow sequence at line 1 column 4"),
        ("e.json", "", "{p}:1:0: Invalid JSON config: EOF while parsing a value at line 1 column 0",
         "::error file={p},line=1,col=0::Invalid JSON config: EOF while parsing a value at line 1 column 0"),
        ("pct.yaml", "{'50%': 1, '50%': 2}",
         '{p}: Invalid YAML config: duplicate entry with key "50%"',
         '::error file={p}::Invalid YAML config: duplicate entry with key "50%25"'),
        # a key that reads like a position: the position is the mapping's, not the key's words
        ("k.yaml", "x:\n  line 9 column 9: {a: 1, a: 2}",
         '{p}:2:20: Invalid YAML config: x.line 9 column 9: duplicate entry with key "a" at line 2 column 20',
         '::error file={p},line=2,col=20::Invalid YAML config: x.line 9 column 9: duplicate entry with key "a" '
         'at line 2 column 20'),
        ("odd,na:me%.yaml", "a: 1\na: 2",
         '{p}: Invalid YAML config: duplicate entry with key "a"',
         '::error file={q}::Invalid YAML config: duplicate entry with key "a"'),
        ("c.txt", "{}", "{p}: Config must be .json or .yaml", "::error file={q}::Config must be .json or .yaml"),
    ],
)
def test_output_formats(check_command, tmp_path, monkeypatch, name, content, text, github):
    monkeypatch.chdir(tmp_path)
    Path(name).write_text(content)
    escaped = name.replace("%", "%25").replace(":", "%3A").replace(",", "%2C")
    result = run(check_command, name)
    assert result.stdout.decode() == text.format(p=name) + "\n"
    result = run(check_command, "--format", "github", name)
    assert result.stdout.decode() == github.format(p=name, q=escaped) + "\n"
    assert run(check_command, "--format=github", name).stdout == result.stdout


def test_github_format_escapes_line_ends_in_path_and_message(check_command, tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    name = "two\nlines\r.json"
    result = run(check_command, "--format", "github", name)
    assert result.stdout == (b"::error file=two%0Alines%0D.json::Config file not found: two%0Alines%0D.json\n")
    assert run(check_command, name).stdout == b"two\nlines\r.json: Config file not found: two\nlines\r.json\n"


def test_non_utf8_path_is_printed_as_given(check_command, tmp_path):
    directory = os.fsencode(tmp_path)
    bad = directory + b"/caf\xe9.yaml"
    with open(bad, "wb") as f:
        f.write(b"a: 1\na: 2\n")
    good = directory + b"/\xff.json"
    with open(good, "wb") as f:
        f.write(b"{}")
    missing = directory + b"/\xfe,x.json"
    result = subprocess.run([check_command, good, bad, missing], capture_output=True, timeout=60)
    assert result.returncode == 1
    assert result.stdout == (bad + b': Invalid YAML config: duplicate entry with key "a"\n'
                             + missing + b": Config file not found: " + missing + b"\n")
    result = subprocess.run([check_command, "--format", "github", missing], capture_output=True, timeout=60)
    escaped = missing.replace(b",", b"%2C")
    assert result.stdout == b"::error file=" + escaped + b"::Config file not found: " + missing + b"\n"


@pytest.mark.parametrize(
    "args, status, problem",
    [
        ([], 2, "no PATH given"),
        (["--format", "text"], 2, "no PATH given"),
        (["--format"], 2, "--format needs a value"),
        (["--format", "json", "{good}"], 2, "unknown format 'json'"),
        (["--format=", "{good}"], 2, "unknown format ''"),
        (["--bogus", "{good}"], 2, "unknown option '--bogus'"),
        (["{good}", "-x"], 2, "unknown option '-x'"),
        (["{good}"], 0, None),
        (["{good}", "{good}", "--format", "github"], 0, None),
        (["{good}", "{bad}"], 1, None),
        (["{bad}", "{good}"], 1, None),
        (["--", "-dash.yaml"], 0, None),
        (["-dash.yaml"], 2, "unknown option '-dash.yaml'"),
        (["-"], 1, None),                           # a file named "-", not standard input
    ],
)
def test_exit_status_and_usage(check_command, tmp_path, monkeypatch, args, status, problem):
    monkeypatch.chdir(tmp_path)
    Path("good.yaml").write_text("a: 1\n")
    Path("-dash.yaml").write_text("a: 1\n")
    Path("bad.yaml").write_text("a: [\n")
    result = run(check_command, *[a.format(good="good.yaml", bad="bad.yaml") for a in args])
    assert result.returncode == status
    if problem is None:
        assert result.stderr == b""
    else:
        assert result.stdout == b""
        first, usage = result.stderr.decode().splitlines()
        assert first.startswith(f"solvarinth-check: {problem}")
        assert usage == "usage: solvarinth-check [--format text|github] PATH..."


@pytest.mark.parametrize("flag", ["--help", "-h"])
def test_help_goes_to_stdout_and_wins_over_paths(check_command, flag):
    result = run(check_command, "missing.json", flag)
    assert (result.returncode, result.stderr) == (0, b"")
    assert result.stdout.startswith(b"usage: solvarinth-check [--format text|github] PATH...\n")
    assert b"exit status" in result.stdout


def test_version_is_the_modules(check_command):
    result = run(check_command, "--version")
    assert (result.returncode, result.stdout) == (0, f"solvarinth-check {solvarinth_trainer.__version__}\n".encode())


def test_a_closed_pipe_ends_the_command_quietly(check_command, tmp_path):
    # Far more output than a pipe holds, so the command must meet the closed reader.
    bad = tmp_path / ("b" * 200 + ".yaml")
    bad.write_text("a: 1\na: 2\n")
    process = subprocess.Popen([check_command, *[str(bad)] * 2000], stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE)
    process.stdout.close()
    _, err = process.communicate(timeout=60)
    # A command killed by SIGPIPE would end with -SIGPIPE; this one must end with its own status.
    assert (process.returncode, err) == (1, b"")


@test_memory.pytestmark
def test_memory_exhaustion_ends_in_the_internal_fault(check_command, tmp_path):
    """Out of memory in a parser aborts with the module's diagnostic, not a bare C++ terminate."""
    import resource

    dense = tmp_path / "dense.yaml"
    # Anchored, so that its events are kept for the aliases that may name it.
    dense.write_bytes(b"&a [" + b"[]," * 20_000_000 + b"[]]")
    limit = 160 << 20

    def limited():
        resource.setrlimit(resource.RLIMIT_AS, (limit, limit))

    proc = run(check_command, str(dense), preexec_fn=limited)
    assert proc.returncode == -signal.SIGABRT, (proc.returncode, proc.stderr[-2000:])
    assert proc.stderr.decode() == "solvarinth_trainer: internal fault: out of memory\n"
