"""Reading korvex's two-million-line file (66,000,000 bytes): korvex-cli
analyse FILE --summary -, as a whole process, against numpy.loadtxt and pandas.read_csv of the same
file, in the same run, alternating, as medians of wall time.

numpy and pandas are timed inside this Python process (their import and
the interpreter's start-up are not counted); the reader is timed from the
start of its process to its exit, mapping and unmapping the file included.

Usage: /usr/bin/python3 bench/read_vs_numpy.py [build dir] [runs]
(Debian's python3-numpy and python3-pandas, hence /usr/bin/python3.)
"""
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time

import numpy as np
import pandas as pd

build = sys.argv[1] if len(sys.argv) > 1 else "build"
runs = int(sys.argv[2]) if len(sys.argv) > 2 else 7
cli = os.path.join(build, "cli", "korvex-cli")


def reader_command(path):
    # korvex-cli itself: read the record and write its figures.
    return [cli, "analyse", path, "--summary", "-"]


def read_numpy(path):
    return np.loadtxt(path)


def read_pandas(path):
    return pd.read_csv(path, sep="\t", header=None).to_numpy()


def read_korvex(path):
    done = subprocess.run(reader_command(path), check=True, capture_output=True, text=True)
    return done.stdout


def timed(read, path):
    start = time.perf_counter()
    result = read(path)
    return time.perf_counter() - start, result


with tempfile.TemporaryDirectory() as tmp:
    path = os.path.join(tmp, "big.txt")
    subprocess.run([cli, "--unit", "s", "--amplitude", "1", "--pulse-duration", "0.011",
                    "--total-duration", "200", "--sample-rate", "10000", "--output", path],
                   check=True)
    # Each reads the same numbers, or the race means nothing.
    a = read_numpy(path)
    b = read_pandas(path)
    summary = read_korvex(path)
    assert a.shape == (2_000_000, 2) and np.array_equal(a, b), "numpy and pandas disagree"
    print("korvex:", " ".join(summary.split()[:9]), "...")
    if summary.lstrip().startswith("{"):
        samples = json.loads(summary).get("samples")
        assert samples in (None, 2_000_000), summary

    times = {"korvex": [], "numpy.loadtxt": [], "pandas.read_csv": []}
    readers = {"korvex": read_korvex, "numpy.loadtxt": read_numpy,
               "pandas.read_csv": read_pandas}
    for _ in range(runs):  # alternate, so that drift hits all alike
        for name, read in readers.items():
            times[name].append(timed(read, path)[0])

    korvex = statistics.median(times["korvex"])
    print(f"file: {os.path.getsize(path)} bytes, {runs} runs each, medians of wall time")
    print(f"  korvex (whole process)  {korvex * 1e3:8.1f} ms")
    for name in ("numpy.loadtxt", "pandas.read_csv"):
        t = statistics.median(times[name])
        print(f"  {name:<22}  {t * 1e3:8.1f} ms   {t / korvex:5.1f}x the reader's time")
    print("  load average:", " ".join(f"{x:.2f}" for x in os.getloadavg()))
