"""Shared pieces of the benchmarks: the tiny child program, the config generator, the
machine description, peak-memory probes in fresh processes and the results.md sections.

Nothing here is timed by the test suite; these scripts are run by hand (see README).
"""

from __future__ import annotations

import datetime
import hashlib
import json
import os
import platform
import random
import re
import shutil
import statistics
import subprocess
import sys
import sysconfig
import tempfile
from pathlib import Path

# The argument vector the module builds; peers pass the same 16 entries to the same program.
MANIFEST = "/home/runner/work/quillon_yard/quillon_yard/Cargo.toml"
RESULTS = Path(__file__).resolve().parent / "results.md"

TINY_C = "int main(void) { return 0; }\n"


def trainer_argv(config: str, out: str, steps: int, seed: int) -> list[str]:
    return ["cargo", "run", "--manifest-path", MANIFEST, "--release", "--bin", "train_generic",
            "--", "--config", config, "--output-dir", out, "--steps", str(steps), "--seed", str(seed)]


def build_tiny(workdir: Path) -> Path:
    """Compiles a program that exits 0 as <workdir>/bin/cargo and puts that directory first
    on PATH (for this process and every child it starts)."""
    bindir = workdir / "bin"
    bindir.mkdir(parents=True, exist_ok=True)
    src = workdir / "tiny.c"
    src.write_text(TINY_C)
    cc = shutil.which("cc") or shutil.which("gcc")
    if cc is None:
        sys.exit("bench: no C compiler (cc) on PATH")
    exe = bindir / "cargo"
    subprocess.run([cc, "-O2", "-o", str(exe), str(src)], check=True)
    os.environ["PATH"] = f"{bindir}{os.pathsep}{os.environ.get('PATH', '')}"
    found = shutil.which("cargo")
    if found is None or Path(found).resolve() != exe.resolve():
        sys.exit(f"bench: PATH lookup of cargo finds {found}, not {exe}")
    return exe


# ---------------------------------------------------------------------------------------------
# Config-like documents: hyperparameters, a list of layers, data paths, a schedule, strings,
# numbers, booleans and nulls, nested a few levels deep. Seeded, so the same size and seed
# always give the same bytes.

WORDS = ("warmup cosine decay residual attention encoder decoder token batch shard epoch "
         "checkpoint gradient clip momentum adaptive layer norm dropout embedding vocab "
         "sequence window stride kernel channel pool head latent prior sample").split()
ACTIVATIONS = ["relu", "gelu", "silu", "tanh", "sigmoid", "softplus", "identity"]
KINDS = ["linear", "conv2d", "attention", "layernorm", "embedding", "dropout", "mlp", "rnn"]
INITS = ["xavier_uniform", "xavier_normal", "kaiming_normal", "orthogonal", "zeros", "trunc_normal"]


def _sentence(rng: random.Random, lo: int = 3, hi: int = 9) -> str:
    return " ".join(rng.choice(WORDS) for _ in range(rng.randint(lo, hi)))


def _layer(rng: random.Random, index: int, shared_init: dict) -> dict:
    kind = rng.choice(KINDS)
    layer = {
        "name": f"block_{index:06d}.{kind}",
        "type": kind,
        "units": rng.choice([32, 64, 128, 256, 512, 1024, 2048, 4096]),
        "activation": rng.choice(ACTIVATIONS),
        "dropout": round(rng.uniform(0.0, 0.5), 3),
        "bias": rng.random() < 0.8,
        "shape": [rng.choice([1, 3, 5, 7, 16, 32, 64]) for _ in range(rng.randint(1, 4))],
        "regularizer": None if rng.random() < 0.5 else {"l2": float(f"{rng.uniform(1e-6, 1e-3):.3e}")},
        "frozen": rng.random() < 0.1,
        "notes": _sentence(rng),
    }
    # Every 64th layer shares one init block: YAML writes it as an alias, JSON repeats it.
    if index % 64 == 0:
        layer["init"] = shared_init
    else:
        layer["init"] = {"scheme": rng.choice(INITS), "gain": round(rng.uniform(0.5, 2.0), 4),
                         "seed": rng.randrange(2**31)}
    return layer


def _base(rng: random.Random, shared_init: dict) -> dict:
    return {
        "experiment": {
            "name": f"run-{rng.randrange(10**6):06d}",
            "description": _sentence(rng, 6, 12),
            "tags": [rng.choice(WORDS) for _ in range(4)],
            "seed": rng.randrange(2**32),
            "resume": None,
        },
        "defaults": {"init": shared_init, "dtype": "bfloat16", "compile": True},
        "optimizer": {
            "name": "adamw",
            "lr": 3.0e-4,
            "betas": [0.9, 0.95],
            "eps": 1.0e-8,
            "weight_decay": 0.1,
            "grad_clip": 1.0,
        },
        "schedule": [{"step": s, "lr": round(3.0e-4 * (1 - s / 10000), 8)} for s in (0, 500, 5000)],
        "data": {
            "train": [f"/data/shards/train-{i:05d}.bin" for i in range(3)],
            "val": "/data/shards/val-00000.bin",
            "batch_size": 64,
            "shuffle": True,
            "num_workers": 4,
        },
        "model": {"vocab_size": 50304, "context": 2048, "layers": []},
    }


def _build(seed: int, count: int) -> dict:
    rng = random.Random(seed)
    shared_init = {"scheme": "trunc_normal", "gain": 1.0, "std": 0.02}
    doc = _base(rng, shared_init)
    doc["model"]["layers"] = [_layer(rng, i, shared_init) for i in range(count)]
    return doc


def dump(doc: dict, fmt: str) -> bytes:
    if fmt == "json":
        return (json.dumps(doc, indent=2) + "\n").encode()
    import yaml

    return yaml.dump(doc, Dumper=yaml.CSafeDumper, sort_keys=False, default_flow_style=None,
                     width=100, allow_unicode=True).encode()


def make_config(fmt: str, target: int, seed: int) -> bytes:
    """A config document of about `target` bytes (within a few per cent)."""
    probe = 256
    small = len(dump(_build(seed, 0), fmt))
    big = len(dump(_build(seed, probe), fmt))
    per_layer = (big - small) / probe
    count = max(0, round((target - small) / per_layer))
    return dump(_build(seed, count), fmt)


def write_config(directory: Path, name: str, fmt: str, target: int, seed: int) -> Path:
    path = directory / f"{name}.{fmt}"
    path.write_bytes(make_config(fmt, target, seed))
    return path


def sha256_prefix(path: Path) -> str:
    digest = hashlib.sha256()
    with open(path, "rb") as handle:
        for block in iter(lambda: handle.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()[:12]


# ---------------------------------------------------------------------------------------------
# Statistics


def median(values: list[float]) -> float:
    return statistics.median(values)


def ratio_ci(peer: list[int], module: list[int], rounds: int = 2000, seed: int = 1) -> tuple[float, float]:
    """95% bootstrap interval of median(peer)/median(module), resampling the paired rounds."""
    rng = random.Random(seed)
    n = len(peer)
    ratios = []
    for _ in range(rounds):
        idx = [rng.randrange(n) for _ in range(n)]
        ratios.append(statistics.median(peer[i] for i in idx) / statistics.median(module[i] for i in idx))
    ratios.sort()
    return ratios[int(0.025 * rounds)], ratios[int(0.975 * rounds) - 1]


def fmt_time(ns: float) -> str:
    if ns >= 1e9:
        return f"{ns / 1e9:.3f} s"
    if ns >= 1e6:
        return f"{ns / 1e6:.2f} ms"
    return f"{ns / 1e3:.1f} µs"


def fmt_size(n: int) -> str:
    if n >= 1 << 20:
        return f"{n / (1 << 20):.1f} MiB"
    if n >= 1 << 10:
        return f"{n / (1 << 10):.1f} KiB"
    return f"{n} B"


# ---------------------------------------------------------------------------------------------
# Peak memory and time of one call in a fresh interpreter. The child resets its high-water
# mark (clear_refs 5) right before the call, so VmHWM afterwards minus VmRSS before is the
# peak the call itself added on top of the interpreter's baseline. CPU time is the user and
# system time of the child (all its threads, plus the trainer it waited for) over the call
# alone, read with getrusage before and after, so interpreter start-up does not count.

PROBE = r"""
import json, os, resource, sys, time
kind, path, out = sys.argv[1], sys.argv[2], sys.argv[3]

def status():
    fields = {}
    with open("/proc/self/status") as handle:
        for line in handle:
            key, _, value = line.partition(":")
            if key in ("VmRSS", "VmHWM"):
                fields[key] = int(value.split()[0]) * 1024
    return fields

def cpu_ns():
    total = 0.0
    for who in (resource.RUSAGE_SELF, resource.RUSAGE_CHILDREN):
        usage = resource.getrusage(who)
        total += usage.ru_utime + usage.ru_stime
    return int(total * 1e9)

if kind == "module":
    from solvarinth_trainer import train_from_config
    def call():
        return train_from_config(path, out, 1, 7)
elif kind == "json":
    def call():
        with open(path) as handle:
            json.load(handle)
else:
    import yaml
    def call():
        with open(path) as handle:
            yaml.load(handle, Loader=yaml.CSafeLoader)

reset = True
try:
    with open("/proc/self/clear_refs", "w") as handle:
        handle.write("5")
except OSError:
    reset = False
before = status()
cpu_start = cpu_ns()
start = time.perf_counter_ns()
outcome = {"ok": True}
try:
    result = call()
    outcome["result"] = repr(result)
except BaseException as exc:  # the outcome is what we report
    outcome = {"ok": False, "type": type(exc).__name__, "message": str(exc)[:300]}
elapsed = time.perf_counter_ns() - start
cpu = cpu_ns() - cpu_start
after = status()
print(json.dumps({"reset": reset, "rss_before": before["VmRSS"], "hwm_before": before["VmHWM"],
                  "hwm_after": after["VmHWM"], "ns": elapsed, "cpu_ns": cpu, **outcome}))
"""


def probe(kind: str, path: Path, out: str, timeout: float = 900, address_limit: int | None = None,
          python: str | None = None) -> dict:
    """Runs one call (module, json or yaml peer) in a fresh interpreter; time, CPU time, peak,
    outcome. address_limit caps the child's address space (bytes) so a runaway input cannot take
    the whole machine; hitting it shows up as a MemoryError or a crash, never as success.
    python is the interpreter to run (default: this one), so that another build can be probed.
    A child killed by a signal leaves no core file: crashing inputs are expected here."""

    def limit() -> None:
        import resource

        resource.setrlimit(resource.RLIMIT_CORE, (0, 0))
        if address_limit is not None:
            resource.setrlimit(resource.RLIMIT_AS, (address_limit, address_limit))

    proc = subprocess.run([python or sys.executable, "-c", PROBE, kind, str(path), out],
                          capture_output=True, text=True, timeout=timeout, preexec_fn=limit)
    lines = proc.stdout.strip().splitlines()
    if proc.returncode != 0 or not lines:
        return {"ok": False, "type": f"child ended with status {proc.returncode}",
                "message": proc.stderr.strip()[-300:], "ns": None, "cpu_ns": None, "peak": None,
                "reset": None, "status": proc.returncode}
    data = json.loads(lines[-1])
    data["peak"] = data["hwm_after"] - data["rss_before"]
    return data


# ---------------------------------------------------------------------------------------------
# Machine description


def _first(pattern: str, text: str, default: str = "?") -> str:
    match = re.search(pattern, text, re.M)
    return match.group(1).strip() if match else default


def machine() -> dict:
    cpuinfo = Path("/proc/cpuinfo").read_text()
    meminfo = Path("/proc/meminfo").read_text()
    mem_kib = int(_first(r"^MemTotal:\s+(\d+)", meminfo, "0"))
    cc = sysconfig.get_config_var("CXX") or "c++"
    try:
        cxx = subprocess.run(["g++", "--version"], capture_output=True, text=True).stdout.splitlines()[0]
    except (OSError, IndexError):
        cxx = "?"
    try:
        uptime = subprocess.run(["uptime"], capture_output=True, text=True).stdout.strip()
    except OSError:
        uptime = Path("/proc/loadavg").read_text().strip()
    import yaml

    try:
        import importlib.metadata as md

        module_version = md.version("solvarinth_trainer")
    except Exception:  # noqa: BLE001 - description only
        module_version = "?"
    return {
        "cpu": _first(r"^model name\s*:\s*(.*)$", cpuinfo),
        "cores": os.cpu_count(),
        "memory": f"{mem_kib / (1 << 20):.1f} GiB",
        "kernel": f"{platform.system()} {platform.release()}",
        "python": f"{platform.python_implementation()} {platform.python_version()} ({sys.executable})",
        "compiler": f"{cxx} (module built with Release flags by pip; interpreter's CXX: {cc})",
        "pyyaml": f"{yaml.__version__}, libyaml binding: {yaml.__with_libyaml__}",
        "module": module_version,
        "date": datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M UTC"),
        "load": uptime,
    }


def machine_lines(info: dict) -> list[str]:
    return [
        f"- Date: {info['date']}",
        f"- CPU: {info['cpu']}, {info['cores']} cores; memory {info['memory']}",
        f"- Kernel: {info['kernel']}",
        f"- Python: {info['python']}",
        f"- Compiler: {info['compiler']}",
        f"- PyYAML: {info['pyyaml']}; solvarinth_trainer {info['module']}",
        f"- Load at start: `{info['load']}`",
    ]


def update_results(section: str, body: str, path: Path = RESULTS) -> None:
    """Replaces the block between the section's markers in results.md (or appends it)."""
    begin, end = f"<!-- {section}:begin -->", f"<!-- {section}:end -->"
    block = f"{begin}\n{body.rstrip()}\n{end}\n"
    text = path.read_text() if path.exists() else "# Benchmark results\n\nWritten by `bench/run.py` and `bench/hostile.py`; every figure below comes from the run described in its section.\n\n"
    if begin in text and end in text:
        head, rest = text.split(begin, 1)
        _, tail = rest.split(end, 1)
        text = head + block + tail.lstrip("\n")
    else:
        text = text.rstrip() + "\n\n" + block
    path.write_text(text)


def scratch_dir(prefix: str) -> Path:
    return Path(tempfile.mkdtemp(prefix=prefix))
