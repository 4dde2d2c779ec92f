"""korvex-cli synthesize on a pyroshock-like target (10 Hz to 10 kHz, rising
6 dB/octave to a 1,000 g plateau above 1 kHz, Q 10, 12 per octave, 100 kHz
sampling, 0.25 s), in one run: the time of the whole command against the
time scipy.signal.lfilter takes to compute the spectrum of the result once,
the drive's spectrum from scipy (the independent reference) against the
target, and whether the drive starts and ends at rest.

Usage: /usr/bin/python3 bench/synthesis_scipy.py [build dir] [seed ...]
(numpy and scipy from Debian's python3-numpy and python3-scipy)."""
import json
import os
import subprocess
import sys
import tempfile
import time

import numpy as np
from srs_reference import srs

build = sys.argv[1] if len(sys.argv) > 1 else "build"
seeds = [int(s) for s in sys.argv[2:]] or [1]
cli = f"{build}/cli/korvex-cli"
rate, duration, q, per_octave = 100_000.0, 0.25, 10.0, 12
target = "10:10,1000:1000,10000:1000"


def target_level(f):
    return np.where(f < 1000, 1000 * f / 1000, 1000.0)


with tempfile.TemporaryDirectory() as work:
    drive_path = os.path.join(work, "drive.csv")
    summary_path = os.path.join(work, "summary.json")
    for seed in seeds:
        args = [cli, "synthesize", "--target", target, "--sample-rate", str(rate),
                "--duration", str(duration), "--seed", str(seed), "--format", "csv",
                "--output", drive_path, "--summary", summary_path, "--amplitude-unit", "g"]
        start = time.perf_counter()
        rc = subprocess.run(args, capture_output=True, text=True)
        korvex_s = time.perf_counter() - start
        summary = json.load(open(summary_path))
        a = np.loadtxt(drive_path, delimiter=",", skiprows=1)[:, 1]
        interval = 1 / rate

        start = time.perf_counter()
        rows = srs(a, interval, q, 10, 10000, per_octave, free=True)
        scipy_s = time.perf_counter() - start

        error_db = 20 * np.log10(rows[:, 3] / target_level(rows[:, 0]))
        korvex_db = np.array([p["error_db"] for p in summary["frequencies"]])
        v = np.concatenate([[0], np.cumsum((a[1:] + a[:-1]) / 2) * interval])
        x = np.concatenate([[0], np.cumsum((v[1:] + v[:-1]) / 2) * interval])
        rest = max(abs(a[0]), abs(a[-1])) / np.abs(a).max(), abs(v[-1]) / np.abs(v).max(), \
            abs(x[-1]) / np.abs(x).max()
        print(f"seed {seed}: exit {rc.returncode}, attempt {summary['attempt']}, {summary['iterations']} iterations in it, "
              f"korvex-cli synthesize {korvex_s * 1e3:.0f} ms (whole command), "
              f"scipy spectrum of the drive {scipy_s * 1e3:.0f} ms")
        print(f"  scipy's spectrum against the target: {error_db.min():+.3f} to "
              f"{error_db.max():+.3f} dB over {len(rows)} frequencies; korvex's own "
              f"{korvex_db.min():+.3f} to {korvex_db.max():+.3f} dB "
              f"(largest difference {np.abs(error_db - korvex_db).max():.1e} dB)")
        print(f"  at rest: first/last acceleration {rest[0]:.1e}, final velocity {rest[1]:.1e}, "
              f"final displacement {rest[2]:.1e} of their peaks; peak {summary['peak_acceleration']:.1f} g, "
              f"stroke {summary['displacement_peak_to_peak_mm']:.2f} mm, "
              f"velocity {summary['peak_velocity_m_s']:.3f} m/s")
