"""A real IPython kernel: a cell that runs a chatty trainer finishes and shows the trainer's output.

The kernel brings fd 1 into the cell through a pipe drained by one of its own Python threads; a
call that kept the interpreter lock through the wait would leave that pipe full and the trainer
blocked on it for ever.
"""

import json
import os
import sys
import time

import pytest

jupyter_client = pytest.importorskip("jupyter_client")
pytest.importorskip("ipykernel")

from jupyter_client.manager import start_new_kernel  # noqa: E402

OUTPUT_BYTES = 1 << 20  # the fake writes 64-byte lines
LINES = OUTPUT_BYTES // 64
CELL_SECONDS = 60
DONE = "cell finished"

MODULE_CELL = """
import solvarinth_trainer
solvarinth_trainer.train_from_config({config!r}, {out!r}, 1, 1)
print({done!r})
"""
SUBPROCESS_CELL = """
import subprocess
subprocess.run(["cargo", "run"], check=True)
print({done!r})
"""


@pytest.fixture
def kernel(tmp_path, fake_cargo, monkeypatch):
    """A kernel of this very interpreter, under a kernelspec of our own so that no installed
    "python3" kernel of another interpreter is picked up. It inherits the fake cargo's PATH."""
    kernel_dir = tmp_path / "jupyter" / "kernels" / "solvarinth-test"
    kernel_dir.mkdir(parents=True)
    argv = [sys.executable, "-m", "ipykernel_launcher", "-f", "{connection_file}"]
    (kernel_dir / "kernel.json").write_text(json.dumps({"argv": argv, "display_name": "test", "language": "python"}))
    monkeypatch.setenv("JUPYTER_PATH", str(tmp_path / "jupyter"))
    monkeypatch.setenv("JUPYTER_RUNTIME_DIR", str(tmp_path / "runtime"))
    monkeypatch.setenv("FAKE_CARGO_OUTPUT_BYTES", str(OUTPUT_BYTES))
    # ipykernel leaves fd 1 and 2 alone under pytest (it spots PYTEST_CURRENT_TEST); a notebook
    # server starts it without, and that capture is what this test is about.
    env = {name: value for name, value in os.environ.items() if not name.startswith("PYTEST_")}
    manager, client = start_new_kernel(kernel_name="solvarinth-test", startup_timeout=60, env=env)
    try:
        yield client
    finally:
        client.stop_channels()
        # A hung cell leaves the trainer blocked on the pipe; killing the kernel closes it.
        manager.shutdown_kernel(now=True)


def run_cell(client, code):
    """Runs code; returns (finished, status, stdout text). Output the kernel forwards from fd 1
    may trail the idle status a little, so reading goes on until every line is in."""
    msg_id = client.execute(code)
    deadline = time.monotonic() + CELL_SECONDS
    finished, status, chunks = False, None, []
    while time.monotonic() < deadline:
        try:
            msg = client.get_iopub_msg(timeout=1)
        except Exception:  # queue.Empty: nothing within the second
            if finished:
                break
            continue
        if msg["parent_header"].get("msg_id") != msg_id:
            continue
        kind, content = msg["msg_type"], msg["content"]
        if kind == "stream" and content["name"] == "stdout":
            chunks.append(content["text"])
        elif kind == "error":
            status = f"{content['ename']}: {content['evalue']}"
        elif kind == "status" and content["execution_state"] == "idle":
            finished = True
        if finished and "".join(chunks).count("\nline ") >= LINES - 1:
            break
    return finished, status, "".join(chunks)


@pytest.mark.parametrize("cell", [MODULE_CELL, SUBPROCESS_CELL], ids=["train_from_config", "subprocess_control"])
def test_cell_finishes_and_shows_the_trainers_output(kernel, config_path, tmp_path, cell):
    code = cell.format(config=config_path, out=str(tmp_path / "out"), done=DONE)
    finished, error, text = run_cell(kernel, code)
    assert finished, f"the cell did not finish within {CELL_SECONDS} s ({len(text)} characters shown)"
    assert error is None
    lines = [line for line in text.splitlines() if line.startswith("line ")]
    assert len(lines) == LINES
    assert lines[0].startswith("line 000000 ") and lines[-1].startswith(f"line {LINES - 1:06d} ")
    assert DONE in text


@pytest.fixture
def config_path(write_config):
    return write_config("config.yaml", "lr: 0.1\n")
