"""A sweep: one training run per (config, seed), many at once on a Dask cluster.

    python examples/sweep.py --local 2 --seeds 1,2,3 runs/a.yaml runs/b.json
    python examples/sweep.py --scheduler tcp://HOST:8786 --seeds 1,2,3 runs/a.yaml runs/b.json

--local N starts a LocalCluster of N worker processes on this machine (each running --threads
trainers at a time); --scheduler connects to a cluster that is already running. The code that
submits the runs is the same either way.

Needs distributed (`pip install "distributed>=2024.1"`). Every worker needs solvarinth_trainer
installed, cargo on its PATH with the trainer project at the module's fixed manifest path, and
the config paths readable and the output directory writable under the same names where it runs
(paths are made absolute here, because a relative one would resolve against the worker's working
directory). Each run writes to OUT/<n>-<config name>-seed<seed>.
"""

import argparse
import sys
from pathlib import Path

from distributed import Client, LocalCluster, as_completed

from solvarinth_trainer import train_from_config


def sweep(client, configs, seeds, out_dir, steps):
    """Runs train_from_config once per (config, seed) on the client's cluster.

    Yields (config, seed, error) as the runs finish, error being None for a run whose trainer
    exited with status 0, else the exception train_from_config raised on the worker (same class,
    same message).
    """
    runs = {}
    for n, (config, seed) in enumerate((c, s) for c in configs for s in seeds):
        output_dir = Path(out_dir).absolute() / f"{n:03d}-{Path(config).stem}-seed{seed}"
        # pure=False: every call is a run of its own, even with arguments seen before.
        future = client.submit(train_from_config, str(Path(config).absolute()), str(output_dir), steps,
                               seed, pure=False)
        runs[future] = (config, seed)
    for future in as_completed(runs):
        config, seed = runs[future]
        try:
            future.result()  # re-raises the worker's exception here
        except Exception as error:
            yield config, seed, error
        else:
            yield config, seed, None


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    where = parser.add_mutually_exclusive_group(required=True)
    where.add_argument("--local", type=int, metavar="N", help="start a LocalCluster of N worker processes")
    where.add_argument("--scheduler", metavar="ADDRESS", help="connect to a running cluster's scheduler")
    parser.add_argument("--threads", type=int, default=2, help="trainers at a time per local worker (2)")
    parser.add_argument("--seeds", type=lambda text: [int(s) for s in text.split(",")], default=[1],
                        help="comma-separated seeds (1)")
    parser.add_argument("--steps", type=int, default=200, help="steps per run (200)")
    parser.add_argument("--out", default="sweep-out", help="directory for the runs (sweep-out)")
    parser.add_argument("configs", nargs="+", metavar="CONFIG", help="a .json, .yaml or .yml training config")
    args = parser.parse_args(argv)

    if args.local is not None:
        cluster = LocalCluster(n_workers=args.local, threads_per_worker=args.threads, processes=True)
        client = Client(cluster)
    else:
        cluster, client = None, Client(args.scheduler)
    failed = 0
    try:
        for config, seed, error in sweep(client, args.configs, args.seeds, args.out, args.steps):
            outcome = "ok" if error is None else f"{type(error).__name__}: {error}"
            print(f"{config} seed {seed}: {outcome}", flush=True)
            failed += error is not None
    finally:
        client.close()
        if cluster is not None:
            cluster.close()
    return 1 if failed else 0


if __name__ == "__main__":  # the guard LocalCluster's worker processes need
    sys.exit(main())
