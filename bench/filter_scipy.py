"""The record filter against scipy.signal.filtfilt with the same
coefficients, odd padding of the same length and its steady-state start, on
the same 2,000,000-sample record in one run: the best of five wall-clock
times each, the speed ratio, and the largest difference away from the padded
ends as a fraction of the peak. Goals: at least 20x faster, within 1e-9.

Usage: /usr/bin/python3 bench/filter_scipy.py [build dir] [samples]
(numpy and scipy from Debian's python3-numpy and python3-scipy)."""
import os
import subprocess
import sys
import tempfile
import time

import numpy as np
from scipy import signal

build = sys.argv[1] if len(sys.argv) > 1 else "build"
n = int(sys.argv[2]) if len(sys.argv) > 2 else 2_000_000
probe = f"{build}/bench/filter_probe"
dt = 1e-5  # 100 kHz
pad_s = 0.01

rng = np.random.default_rng(3)
t = np.arange(n) * dt
# Shocks of 11 ms every 0.2 s on an offset, with ringing and noise.
x = 0.3 + 0.05 * rng.standard_normal(n)
for start in np.arange(0.05, n * dt - 0.02, 0.2):
    inside = (t >= start) & (t < start + 0.011)
    x[inside] += 50 * np.sin(np.pi * (t[inside] - start) / 0.011)
x += 5 * np.sin(2 * np.pi * 4000 * t)

failed = False
with tempfile.TemporaryDirectory() as work:
    src, dst = os.path.join(work, "in.bin"), os.path.join(work, "out.bin")
    x.astype("<f8").tofile(src)
    for name in ["CFC60", "CFC1000", "2500"]:
        for mode in ["", "plain"]:
            out = subprocess.run([probe, src, dst, repr(dt), name, repr(pad_s)] + ([mode] if mode else []),
                                 check=True, capture_output=True, text=True).stdout
            got = dict(line.split() for line in out.splitlines())
            y = np.fromfile(dst, dtype="<f8")
            b = [float(got["a0"]), float(got["a1"]), float(got["a2"])]
            a = [1.0, -float(got["b1"]), -float(got["b2"])]
            pad = int(got["pad"])
            best = 1e9
            for _ in range(5):
                t0 = time.perf_counter()
                ref = signal.filtfilt(b, a, x, padtype="odd", padlen=pad)
                best = min(best, time.perf_counter() - t0)
            inner = slice(pad, n - pad)
            diff = np.max(np.abs(y[inner] - ref[inner])) / np.max(np.abs(ref))
            ratio = best / float(got["seconds"])
            label = f"{name} {mode or 'segmented'}"
            print(f"{label:20s} korvex {float(got['seconds']) * 1e3:8.2f} ms  scipy {best * 1e3:8.2f} ms"
                  f"  ratio {ratio:6.1f}x  max diff / peak {diff:.2e}")
            if not mode and (ratio < 20 or diff > 1e-9):
                failed = True
sys.exit(1 if failed else 0)
